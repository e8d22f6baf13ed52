// Noise: reproducible pseudo-random bytes for tests that need content no compressor shrinks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace QRV2Test {

// n bytes from a linear congruential sequence; the same seed always gives the same bytes.
inline std::string Noise(std::size_t n, std::uint32_t seed) {
    std::string s(n, '\0');
    for (char& c : s) {
        seed = seed * 1664525u + 1013904223u;
        c = static_cast<char>(seed >> 24);
    }
    return s;
}

}  // namespace QRV2Test
