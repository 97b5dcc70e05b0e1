/* JPEG import filter: decodes baseline and progressive JPEG (colour or grey) from
 * memory into a 24-bit bottom-up bitmap through libjpeg-turbo. */
#include "data/spi_api.h"

#include <setjmp.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <jpeglib.h>

/* Pictures above this many pixels are refused instead of allocated. */
#define MAX_PIXELS (1u << 26)

static const char* const InfoTexts[] = {
    "00IN",
    "JPEG import filter (libjpeg-turbo)",
    "*.jpg;*.jpeg;*.jpe;*.jfif",
    "JPEG pictures",
};

struct ErrorManager {
    struct jpeg_error_mgr Base;
    jmp_buf Jump;
};

static void OnError(j_common_ptr Info) {
    longjmp(((struct ErrorManager*)Info->err)->Jump, 1);
}

/* Warnings about damaged data go nowhere: a plug-in has no console. */
static void OnMessage(j_common_ptr Info) {
    (void)Info;
}

SPI_EXPORT int GetPluginInfo(int InfoNo, char* Buffer, int BufferLength) {
    if (InfoNo < 0 || InfoNo >= (int)(sizeof InfoTexts / sizeof InfoTexts[0]) || !Buffer ||
        BufferLength <= 0)
        return 0;
    size_t Length = strlen(InfoTexts[InfoNo]);
    if (Length >= (size_t)BufferLength)
        Length = (size_t)BufferLength - 1;
    memcpy(Buffer, InfoTexts[InfoNo], Length);
    Buffer[Length] = '\0';
    return (int)Length;
}

SPI_EXPORT int IsSupported(const char* FileName, const void* Data) {
    const unsigned char* P = (const unsigned char*)Data;
    (void)FileName;
    return P && P[0] == 0xFF && P[1] == 0xD8 && P[2] == 0xFF;
}

SPI_EXPORT int GetPictureInfo(const char* Buffer, intptr_t Length, unsigned Flag,
                              SpiPictureInfo* Info) {
    struct jpeg_decompress_struct Jpeg;
    struct ErrorManager Errors;
    if (!(Flag & SPI_INPUT_MEMORY) || !Buffer || Length <= 0 || !Info)
        return SPI_NOT_SUPPORTED;
    Jpeg.err = jpeg_std_error(&Errors.Base);
    Errors.Base.error_exit = OnError;
    Errors.Base.output_message = OnMessage;
    if (setjmp(Errors.Jump)) {
        jpeg_destroy_decompress(&Jpeg);
        return SPI_BAD_FORMAT;
    }
    jpeg_create_decompress(&Jpeg);
    jpeg_mem_src(&Jpeg, (const unsigned char*)Buffer, (unsigned long)Length);
    jpeg_read_header(&Jpeg, TRUE);
    memset(Info, 0, sizeof *Info);
    Info->Width = (int32_t)Jpeg.image_width;
    Info->Height = (int32_t)Jpeg.image_height;
    Info->ColourDepth = 24;
    jpeg_destroy_decompress(&Jpeg);
    return SPI_SUCCESS;
}

SPI_EXPORT int GetPicture(const char* Buffer, intptr_t Length, unsigned Flag, void** Info,
                          void** Bits, SpiProgressCallback Progress, intptr_t UserData) {
    struct jpeg_decompress_struct Jpeg;
    struct ErrorManager Errors;
    unsigned char* volatile Rows = NULL;
    volatile int Result = SPI_BAD_FORMAT;
    if (!Info || !Bits)
        return SPI_INTERNAL_ERROR;
    *Info = NULL;
    *Bits = NULL;
    if (!(Flag & SPI_INPUT_MEMORY) || !Buffer || Length <= 0)
        return SPI_NOT_SUPPORTED;

    Jpeg.err = jpeg_std_error(&Errors.Base);
    Errors.Base.error_exit = OnError;
    Errors.Base.output_message = OnMessage;
    if (setjmp(Errors.Jump)) {
        free(Rows);
        jpeg_destroy_decompress(&Jpeg);
        return Result;
    }
    jpeg_create_decompress(&Jpeg);
    jpeg_mem_src(&Jpeg, (const unsigned char*)Buffer, (unsigned long)Length);
    jpeg_read_header(&Jpeg, TRUE);
    /* Refused before the decoder allocates its own buffers for the picture. */
    if ((unsigned long long)Jpeg.image_width * Jpeg.image_height > MAX_PIXELS) {
        Result = SPI_NO_MEMORY;
        longjmp(Errors.Jump, 1);
    }
    /* Blue, green, red: the byte order of bitmap rows. */
    Jpeg.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&Jpeg);

    const size_t Width = Jpeg.output_width, Height = Jpeg.output_height;
    if (Width == 0 || Height == 0 || (unsigned long long)Width * Height > MAX_PIXELS) {
        Result = SPI_NO_MEMORY;
        longjmp(Errors.Jump, 1);
    }
    const size_t Stride = (Width * 3 + 3) & ~(size_t)3;
    Rows = (unsigned char*)calloc(Height, Stride);
    if (!Rows) {
        Result = SPI_NO_MEMORY;
        longjmp(Errors.Jump, 1);
    }
    Result = SPI_DAMAGED;
    while (Jpeg.output_scanline < Height) {
        /* Bottom-up: the picture's first line is the last row. */
        JSAMPROW Row = Rows + (Height - 1 - Jpeg.output_scanline) * Stride;
        jpeg_read_scanlines(&Jpeg, &Row, 1);
        if (Progress && (Jpeg.output_scanline % 16 == 0 || Jpeg.output_scanline == Height) &&
            Progress((int)Jpeg.output_scanline, (int)Height, UserData)) {
            Result = SPI_ABORTED;
            longjmp(Errors.Jump, 1);
        }
    }
    jpeg_finish_decompress(&Jpeg);
    jpeg_destroy_decompress(&Jpeg);

    SpiBitmapInfoHeader* Header = (SpiBitmapInfoHeader*)calloc(1, sizeof *Header);
    if (!Header) {
        free(Rows);
        return SPI_NO_MEMORY;
    }
    Header->Size = sizeof *Header;
    Header->Width = (int32_t)Width;
    Header->Height = (int32_t)Height;
    Header->Planes = 1;
    Header->BitCount = 24;
    Header->SizeImage = (uint32_t)(Stride * Height);
    *Info = Header;
    *Bits = Rows;
    return SPI_SUCCESS;
}
