// Byte-order and masking helpers shared by the container reader and writer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace narvo::pkg_detail {

inline uint32_t LoadBE32(const uint8_t* P) {
    return (uint32_t(P[0]) << 24) | (uint32_t(P[1]) << 16) | (uint32_t(P[2]) << 8) | P[3];
}
inline uint32_t LoadLE32(const uint8_t* P) {
    return (uint32_t(P[3]) << 24) | (uint32_t(P[2]) << 16) | (uint32_t(P[1]) << 8) | P[0];
}
inline void StoreBE32(uint8_t* P, uint32_t V) {
    P[0] = uint8_t(V >> 24);
    P[1] = uint8_t(V >> 16);
    P[2] = uint8_t(V >> 8);
    P[3] = uint8_t(V);
}
inline void StoreLE32(uint8_t* P, uint32_t V) {
    P[0] = uint8_t(V);
    P[1] = uint8_t(V >> 8);
    P[2] = uint8_t(V >> 16);
    P[3] = uint8_t(V >> 24);
}

// XORs `N` bytes with the 256-byte mask, the first of them being stored byte `Pos` of
// the entry. Runs up to the end of the mask keep the inner loop branch-free so the
// compiler vectorises it.
inline void ApplyMask(uint8_t* Data, size_t N, const uint8_t* Mask, uint32_t Pos) {
    size_t Offset = Pos & 0xFF;
    while (N > 0) {
        size_t Run = 256 - Offset;
        if (Run > N) Run = N;
        const uint8_t* M = Mask + Offset;
        for (size_t I = 0; I < Run; ++I) Data[I] ^= M[I];
        Data += Run;
        N -= Run;
        Offset = 0;
    }
}

// Copies `N` bytes to `Out`, masked as above.
inline void CopyMasked(uint8_t* Out, const uint8_t* Data, size_t N, const uint8_t* Mask,
                       uint32_t Pos) {
    size_t Offset = Pos & 0xFF;
    while (N > 0) {
        size_t Run = 256 - Offset;
        if (Run > N) Run = N;
        const uint8_t* M = Mask + Offset;
        for (size_t I = 0; I < Run; ++I) Out[I] = Data[I] ^ M[I];
        Out += Run;
        Data += Run;
        N -= Run;
        Offset = 0;
    }
}

} // namespace narvo::pkg_detail
