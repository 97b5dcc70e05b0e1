// Byte fixtures of small containers, assembled field by field, shared by the container
// tests. Checksums in them are constants worked out by hand (and by a second
// implementation), so the code under test never checks itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace narvo::test {

struct TBytes {
    std::string Data;

    TBytes& Raw(std::string_view S) {
        Data.append(S);
        return *this;
    }
    TBytes& Byte(uint8_t B) {
        Data.push_back(char(B));
        return *this;
    }
    TBytes& Zeros(size_t N) {
        Data.append(N, '\0');
        return *this;
    }
    TBytes& BE32(uint32_t V) {
        for (int Shift = 24; Shift >= 0; Shift -= 8) Byte(uint8_t(V >> Shift));
        return *this;
    }
    TBytes& LE32(uint32_t V) {
        for (int Shift = 0; Shift <= 24; Shift += 8) Byte(uint8_t(V >> Shift));
        return *this;
    }
};

// The zlib stream (default level) of "hello hello hello hello".
inline const std::string& HelloZlib() {
    static const std::string Z("\x78\x9C\xCB\x48\xCD\xC9\xC9\x57\xC8\x40\x27\x01\x68\x03\x08\xB1",
                               16);
    return Z;
}
inline constexpr std::string_view HelloText = "hello hello hello hello";

inline std::string TestMask() {
    std::string M(256, '\0');
    for (size_t I = 0; I < 256; ++I) M[I] = char(uint8_t(I * 7 + 3));
    return M;
}

// An entry-stream container of three entries:
//   0 "a.txt"  stored "abc", full size 0
//   1 "B.bin"  extract + masked, "xyz", full size 0
//   2 "z"      compressed, attribute 1, no-extract, value 5, "hello hello hello hello"
inline std::string StreamFixture(const std::string& Mask = TestMask()) {
    TBytes B;
    B.Raw(std::string_view("NV5PKG\0\0", 8)); // magic, NUL-padded to 8
    B.Zeros(256);                             // text
    B.LE32(0);                                // count 0: entry-stream layout
    B.BE32(0);                                // flags
    B.BE32(0);                                // value
    B.BE32(0x03264000);                       // header checksum
    B.Raw(Mask);                              // mask

    B.Raw("LI");
    B.BE32(0x6940191C); // entry checksum
    B.Byte(5).Raw("a.txt");
    B.BE32(0);     // attributes
    B.BE32(0);     // value
    B.BE32(3);     // stored size
    B.BE32(0);     // full size: 0 means the stored size
    B.BE32(0x123); // data checksum of "abc"
    B.Raw("abc");

    B.Raw("LI");
    B.BE32(0x4C421B44); // entry checksum: the masked bit is not covered
    B.Byte(5).Raw("B.bin");
    B.BE32(0x00400000 | 0x00080000); // extract, masked
    B.BE32(0);
    B.BE32(3);
    B.BE32(0);
    B.BE32(0x168); // data checksum of "xyz", taken before masking
    for (int I = 0; I < 3; ++I) B.Byte(uint8_t("xyz"[I] ^ uint8_t(Mask[size_t(I)])));

    B.Raw("LI");
    B.BE32(0xF870F621);
    B.Byte(1).Raw("z");
    B.BE32(0x80000000 | 0x00800000 | 0x00100000); // compressed, attribute 1, no-extract
    B.BE32(5);                                     // value
    B.BE32(16);                                    // stored size
    B.BE32(23);                                    // full size
    B.BE32(0xFFD8409D);                            // data checksum of the zlib stream
    B.Raw(HelloZlib());

    B.Raw("EP");
    return B.Data;
}

} // namespace narvo::test
