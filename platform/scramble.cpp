#include "platform/scramble.h"

namespace tovanix::platform::scramble {

std::vector<std::uint8_t> trailer() {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < kTrailerSize; ++i) out.push_back(static_cast<std::uint8_t>(kMarker[i]) ^ kKey);
    return out;
}

bool isTrailer(const std::uint8_t* tail) {
    for (std::size_t i = 0; i < kTrailerSize; ++i) {
        if ((tail[i] ^ kKey) != static_cast<std::uint8_t>(kMarker[i])) return false;
    }
    return true;
}

std::vector<std::uint8_t> scrambled(const std::vector<std::uint8_t>& plain) {
    std::vector<std::uint8_t> out;
    out.reserve(plain.size() + kTrailerSize);
    const std::uint8_t k = contentKey(plain.size());
    for (std::uint8_t b : plain) out.push_back(b ^ k);
    const auto t = trailer();
    out.insert(out.end(), t.begin(), t.end());
    return out;
}

bool hasTrailer(const std::vector<std::uint8_t>& stored) {
    return stored.size() >= kTrailerSize && isTrailer(stored.data() + stored.size() - kTrailerSize);
}

std::optional<std::vector<std::uint8_t>> unscrambled(const std::vector<std::uint8_t>& stored) {
    if (!hasTrailer(stored)) return std::nullopt;
    const std::size_t n = stored.size() - kTrailerSize;
    const std::uint8_t k = contentKey(n);
    std::vector<std::uint8_t> out(stored.begin(), stored.begin() + static_cast<std::ptrdiff_t>(n));
    for (auto& b : out) b ^= k;
    return out;
}

}  // namespace tovanix::platform::scramble
