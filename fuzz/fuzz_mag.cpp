// The MAG converter on untrusted bytes: the header check, then the flag and pixel
// decoding into a buffer of exactly the size the header gives. Whatever it converts must
// be a BMP the platform bitmap reads, of the header's size.
#include "data/m2bc.h"
#include "platform/bitmap.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    narvo::TMagHeader H;
    if (!narvo::TM2BC::ReadHeader(Data, Size, false, H))
        return 0;
    std::vector<uint8_t> Bmp(H.BmpSize());
    if (narvo::TM2BC::MagToBmp(Data, Size, Bmp.data(), Bmp.size()) != 0)
        return 0;
    narvo::TBitmap B;
    if (!B.LoadFromStream(Bmp.data(), Bmp.size()))
        std::abort();
    if (uint32_t(B.Width()) != H.Width || uint32_t(B.Height()) != H.Lines)
        std::abort();
    return 0;
}
