// Little-endian field access at any byte offset: the class list's records are
// packed with no alignment, so fields are assembled byte by byte.
#pragma once

#include <cstdint>

inline uint16_t ReadLE16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline int16_t ReadLE16s(const uint8_t* p)
{
    return static_cast<int16_t>(ReadLE16(p));
}

inline uint32_t ReadLE32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline int32_t ReadLE32s(const uint8_t* p)
{
    return static_cast<int32_t>(ReadLE32(p));
}

inline void WriteLE16(uint8_t* p, uint16_t value)
{
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}
