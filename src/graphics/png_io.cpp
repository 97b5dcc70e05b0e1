#include "graphics/png_io.h"

#include "graphics/las_grf.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace narvo {

namespace {

// State shared with libpng's callbacks. libpng reports errors by longjmp back to
// `DecodeCore`; nothing with a destructor lives in the frames it jumps over (the
// callbacks below hold none, and `DecodeCore` keeps its objects in this struct, owned
// by the caller).
struct TDecodeState {
    const TPngReader* Read = nullptr;
    TPngImage* Out = nullptr;
    std::vector<png_bytep> Rows;
    bool ReadFailed = false;
};

void ReadCallback(png_structp Png, png_bytep Data, png_size_t Length) {
    auto* State = static_cast<TDecodeState*>(png_get_io_ptr(Png));
    size_t Got = 0;
    // Exceptions must not cross libpng's C frames; a reader that throws fails the load.
    try {
        Got = (*State->Read)(Data, Length);
    } catch (...) {
        Got = 0;
    }
    if (Got != Length) {
        State->ReadFailed = true;
        png_error(Png, "truncated stream");
    }
}

void ErrorCallback(png_structp Png, png_const_charp) { png_longjmp(Png, 1); }
void WarningCallback(png_structp, png_const_charp) {}

// Returns false on any libpng error. Keep this free of C++ objects with destructors.
bool DecodeCore(png_structp Png, png_infop Info, TDecodeState& State) {
    if (setjmp(png_jmpbuf(Png))) return false;

    png_set_user_limits(Png, 1u << 16, 1u << 16);
    png_set_chunk_malloc_max(Png, 64u << 20);
    png_set_sig_bytes(Png, 8);
    png_read_info(Png, Info);

    png_uint_32 Width = 0, Height = 0;
    int BitDepth = 0, ColourType = 0;
    png_get_IHDR(Png, Info, &Width, &Height, &BitDepth, &ColourType, nullptr, nullptr, nullptr);
    if (uint64_t(Width) * Height > MaxPngPixels) return false;

    // Every picture ends as blue, green, red, alpha bytes: palettes and grey become
    // RGB, low depths grow to 8 bits and 16-bit samples are scaled down, a tRNS chunk
    // becomes an alpha channel, and pictures without alpha get 0xFF as filler.
    if (ColourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(Png);
    if (ColourType == PNG_COLOR_TYPE_GRAY && BitDepth < 8) png_set_expand_gray_1_2_4_to_8(Png);
    if (png_get_valid(Png, Info, PNG_INFO_tRNS)) {
        png_set_tRNS_to_alpha(Png);
        State.Out->Transparency = true;
    }
    if (ColourType & PNG_COLOR_MASK_ALPHA) State.Out->AlphaChannel = true;
    if (BitDepth == 16) png_set_scale_16(Png);
    if (!(ColourType & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(Png);
    png_set_bgr(Png);
    png_set_filler(Png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(Png);
    png_read_update_info(Png, Info);
    if (png_get_rowbytes(Png, Info) != size_t(Width) * 4) return false;

    State.Out->Pixels = TPicture(int(Width), int(Height), 0);
    State.Rows.resize(Height);
    for (png_uint_32 Y = 0; Y < Height; ++Y)
        State.Rows[Y] = reinterpret_cast<png_bytep>(State.Out->Pixels.Row(int(Y)));
    png_read_image(Png, State.Rows.data());
    png_read_end(Png, nullptr);
    return true;
}

} // namespace

bool DecodePng(const TPngReader& Read, TPngImage& Out) {
    Out = TPngImage{};
    unsigned char Signature[8];
    size_t Got = 0;
    try {
        Got = Read(Signature, sizeof Signature);
    } catch (...) {
        return false;
    }
    if (Got != sizeof Signature || png_sig_cmp(Signature, 0, sizeof Signature) != 0) return false;

    png_structp Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, ErrorCallback,
                                             WarningCallback);
    if (!Png) return false;
    png_infop Info = png_create_info_struct(Png);
    if (!Info) {
        png_destroy_read_struct(&Png, nullptr, nullptr);
        return false;
    }
    TDecodeState State;
    State.Read = &Read;
    State.Out = &Out;
    png_set_read_fn(Png, &State, ReadCallback);
    bool Ok = false;
    try {
        Ok = DecodeCore(Png, Info, State);
    } catch (...) {
        Ok = false; // allocation failure of the picture
    }
    png_destroy_read_struct(&Png, &Info, nullptr);
    if (!Ok) Out = TPngImage{};
    return Ok;
}

bool DecodePngBytes(const void* Data, size_t Size, TPngImage& Out) {
    const auto* Bytes = static_cast<const uint8_t*>(Data);
    size_t Pos = 0;
    return DecodePng(
        [&](void* Buffer, size_t Want) {
            size_t N = std::min(Want, Size - Pos);
            if (N) std::memcpy(Buffer, Bytes + Pos, N);
            Pos += N;
            return N;
        },
        Out);
}

namespace {

struct TWriteState {
    FILE* File = nullptr;
    std::vector<png_bytep> Rows;
};

void WriteErrorCallback(png_structp Png, png_const_charp) { png_longjmp(Png, 1); }

bool EncodeCore(png_structp Png, png_infop Info, TWriteState& State, int Width, int Height) {
    if (setjmp(png_jmpbuf(Png))) return false;
    png_init_io(Png, State.File);
    png_set_IHDR(Png, Info, png_uint_32(Width), png_uint_32(Height), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(Png, Info);
    png_write_image(Png, State.Rows.data());
    png_write_end(Png, nullptr);
    return true;
}

} // namespace

TResult SavePngFile(const std::string& Path, const TPicture& Picture, const uint8_t* Alpha) {
    if (Picture.Width <= 0 || Picture.Height <= 0)
        return TResult::Failure("cannot write an empty picture to " + Path);
    std::vector<uint8_t> Rgba(size_t(Picture.Width) * size_t(Picture.Height) * 4);
    for (int Y = 0; Y < Picture.Height; ++Y) {
        const uint32_t* Src = Picture.Row(Y);
        uint8_t* Dst = Rgba.data() + size_t(Y) * size_t(Picture.Width) * 4;
        const uint8_t* A = Alpha ? Alpha + size_t(Y) * size_t(Picture.Width) : nullptr;
        for (int X = 0; X < Picture.Width; ++X) {
            uint32_t W = Src[X];
            Dst[4 * X + 0] = uint8_t(W >> 16);
            Dst[4 * X + 1] = uint8_t(W >> 8);
            Dst[4 * X + 2] = uint8_t(W);
            Dst[4 * X + 3] = A ? A[X] : 255;
        }
    }
    TWriteState State;
    State.File = std::fopen(Path.c_str(), "wb");
    if (!State.File) return TResult::Failure("cannot create " + Path + ": " + std::strerror(errno));
    State.Rows.resize(size_t(Picture.Height));
    for (int Y = 0; Y < Picture.Height; ++Y)
        State.Rows[size_t(Y)] = Rgba.data() + size_t(Y) * size_t(Picture.Width) * 4;

    png_structp Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr,
                                              WriteErrorCallback, WarningCallback);
    png_infop Info = Png ? png_create_info_struct(Png) : nullptr;
    bool Ok = Png && Info && EncodeCore(Png, Info, State, Picture.Width, Picture.Height);
    if (Png) png_destroy_write_struct(&Png, Info ? &Info : nullptr);
    bool Closed = std::fclose(State.File) == 0;
    if (!Ok || !Closed) {
        std::remove(Path.c_str());
        return TResult::Failure("cannot write " + Path);
    }
    return TResult::Success();
}

TResult SavePngFile(const std::string& Path, const TLasGraphic& Graphic) {
    if (!Graphic.ColourPlane) return TResult::Failure("cannot write an empty picture to " + Path);
    const uint8_t* Alpha = Graphic.MaskPlane ? Graphic.MaskPlane->Bytes.data() : nullptr;
    return SavePngFile(Path, *Graphic.ColourPlane, Alpha);
}

} // namespace narvo
