// The credentials file "data.drk" in the station folder: the database user,
// CR LF, the password, kept scrambled at rest.
//
// Stored in the scrambled form of platform/scramble.h (the backups share it).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/account.h"
#include "platform/scramble.h"

namespace tovanix::credentials {

inline constexpr const char* kFileName = "data.drk";
inline constexpr std::uint8_t kKey = platform::scramble::kKey;
inline constexpr const char* kMarker = platform::scramble::kMarker;
inline constexpr std::size_t kTrailerSize = platform::scramble::kTrailerSize;

// Pure forms, for tests and for the file operations below.
std::vector<std::uint8_t> scrambled(const std::vector<std::uint8_t>& plain);
bool hasTrailer(const std::vector<std::uint8_t>& stored);
// nullopt when the trailer is not the marker.
std::optional<std::vector<std::uint8_t>> unscrambled(const std::vector<std::uint8_t>& stored);

// In place. False when the file cannot be opened read-write (or, for
// unscramble, when its trailer is not the marker: the file is untouched).
bool scrambleFile(const std::string& path);
bool unscrambleFile(const std::string& path);

// Writes user CR LF password (replacing any previous content, mode 0600) and
// scrambles it.
bool writeFile(const std::string& path, const db::Account& account);

// The first two lines of a plain file: user and password. Line ends (LF or
// CR LF) are not part of either; a missing line is empty.
db::Account parsePlain(const std::vector<std::uint8_t>& plain);

std::string pathInStationFolder();

enum class LoadState {
    Missing,  // no file: the database login dialog must ask
    Loaded,   // account read (and the file rests scrambled again)
    Unreadable,
};

struct Loaded {
    LoadState state = LoadState::Missing;
    db::Account account;
};

// Start-up: read the two lines of the unscrambled content (a plain file is
// accepted as it is and scrambled in place). Sets the process-wide account
// when loaded.
Loaded load(const std::string& path);

}  // namespace tovanix::credentials
