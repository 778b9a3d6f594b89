// Little-endian field access at any byte offset: the class list's records are
// packed with no alignment, so fields are assembled byte by byte.
#pragma once

#include <cstdint>
#include <cstring>

// On a little-endian machine a copy is the same read, and compilers turn it
// into one unaligned load where they may not see through the shifts.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#define TURFWISE_LITTLE_ENDIAN 1
#endif

inline uint16_t ReadLE16(const uint8_t* p)
{
#ifdef TURFWISE_LITTLE_ENDIAN
    uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
#else
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
#endif
}

inline int16_t ReadLE16s(const uint8_t* p)
{
    return static_cast<int16_t>(ReadLE16(p));
}

inline uint32_t ReadLE32(const uint8_t* p)
{
#ifdef TURFWISE_LITTLE_ENDIAN
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
#endif
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
