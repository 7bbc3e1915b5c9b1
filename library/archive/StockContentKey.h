#pragma once

#include <array>

// The AES-128 key of the encrypted records in stock-content packages. The packages this
// program reads are made with the same key (tools/ generates them).
inline constexpr std::array<unsigned char, 16> StockContentKey = {
    0x5c, 0x1e, 0x93, 0xa7, 0x42, 0xd8, 0x0b, 0x6f,
    0xe1, 0x37, 0x8a, 0xc4, 0x29, 0x7d, 0xb0, 0x56,
};
