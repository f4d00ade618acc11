// The scrambling of the station's files at rest (the credentials file and
// the database backups): with L the length of the plain content and K the key
// byte 0x5B, every byte XOR the low byte of (L XOR K), then a trailer of five
// bytes: the marker "rune" and its terminating zero, each XOR K. A file is
// recognised by its trailer alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tovanix::platform::scramble {

inline constexpr std::uint8_t kKey = 0x5B;
inline constexpr char kMarker[] = "rune";
inline constexpr std::size_t kTrailerSize = 5;  // four marker letters and the zero

// The byte every content byte is XORed with, for a plain content of n bytes.
inline std::uint8_t contentKey(std::uint64_t n) { return static_cast<std::uint8_t>((n ^ kKey) & 0xFF); }

// The five trailer bytes as they are stored.
std::vector<std::uint8_t> trailer();
// Whether the last kTrailerSize bytes at `tail` are the stored trailer.
bool isTrailer(const std::uint8_t* tail);

// Whole contents in memory.
std::vector<std::uint8_t> scrambled(const std::vector<std::uint8_t>& plain);
bool hasTrailer(const std::vector<std::uint8_t>& stored);
// nullopt when the trailer is not the marker.
std::optional<std::vector<std::uint8_t>> unscrambled(const std::vector<std::uint8_t>& stored);

}  // namespace tovanix::platform::scramble
