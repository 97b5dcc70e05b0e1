/* The import-filter interface of image plug-ins, declared from its published
 * description. Plug-ins are shared libraries with the extension ".spi" that export the
 * three functions below with C linkage. Where the original interface handed back
 * movable memory handles, a plug-in here returns blocks it allocated with malloc, and
 * the host releases them with free. Usable from C and C++, so plug-ins can be written
 * in either. */
#ifndef NARVO_SPI_API_H
#define NARVO_SPI_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Plug-ins mark their three exports with this when they build with hidden symbols. */
#define SPI_EXPORT __attribute__((visibility("default")))

/* Results of GetPicture. */
enum {
    SPI_SUCCESS = 0,
    SPI_NOT_SUPPORTED = -1,
    SPI_ABORTED = 1, /* the progress callback asked to stop */
    SPI_BAD_FORMAT = 2,
    SPI_DAMAGED = 4,
    SPI_NO_MEMORY = 5,
    SPI_MEMORY_ERROR = 6,
    SPI_READ_ERROR = 7,
    SPI_INTERNAL_ERROR = 8
};

/* Flag bits of GetPicture: the picture is in memory (never a file name here). */
#define SPI_INPUT_MEMORY 1u

/* IsSupported is given at least this many bytes: the picture's start, zero-padded when
 * the picture is shorter. */
#define SPI_HEADER_BYTES 2048

/* The device-independent bitmap header that starts the info block (40 bytes, little
 * endian, packed). A colour table of 4-byte blue, green, red, 0 entries follows it for
 * 1, 4 and 8 bits per pixel; three 32-bit masks follow it for compression 3. */
#pragma pack(push, 1)
typedef struct SpiBitmapInfoHeader {
    uint32_t Size; /* 40 */
    int32_t Width;
    int32_t Height;       /* positive: rows bottom-up */
    uint16_t Planes;      /* 1 */
    uint16_t BitCount;    /* 1, 4, 8, 16, 24 or 32 */
    uint32_t Compression; /* 0 plain, 3 bit-field masks */
    uint32_t SizeImage;
    int32_t XPelsPerMeter;
    int32_t YPelsPerMeter;
    uint32_t ClrUsed;
    uint32_t ClrImportant;
} SpiBitmapInfoHeader;

/* What GetPictureInfo answers (looked up by hosts, not called by this player). */
typedef struct SpiPictureInfo {
    int32_t Left, Top;
    int32_t Width, Height;
    uint16_t XDensity, YDensity;
    int16_t ColourDepth;
    void* Info; /* a text block the plug-in allocated, or null */
} SpiPictureInfo;
#pragma pack(pop)

/* Reports progress; answering non-zero asks the plug-in to stop. */
typedef int (*SpiProgressCallback)(int Numerator, int Denominator, intptr_t UserData);

/* Writes the 0-terminated text number InfoNo into Buffer (at most BufferLength bytes
 * with the terminator) and answers its length; 0 for an unknown number.
 * 0: API version, "00IN" for an import filter; 1: the plug-in's name; then pairs of an
 * extension pattern ("*.jpg;*.jpeg") and a type name for 2 and 3, 4 and 5, ... */
typedef int (*SpiGetPluginInfo)(int InfoNo, char* Buffer, int BufferLength);
/* Non-zero when the plug-in reads the picture. FileName is null and Data points at the
 * picture's first SPI_HEADER_BYTES bytes. */
typedef int (*SpiIsSupported)(const char* FileName, const void* Data);
typedef int (*SpiGetPictureInfo)(const char* Buffer, intptr_t Length, unsigned Flag,
                                 SpiPictureInfo* Info);
/* Decodes Length bytes at Buffer (Flag SPI_INPUT_MEMORY). On SPI_SUCCESS, *Info holds a
 * malloc'd block with the bitmap info header and its colour table or masks, and *Bits a
 * malloc'd block with the rows (each padded to 4 bytes). The host frees both. */
typedef int (*SpiGetPicture)(const char* Buffer, intptr_t Length, unsigned Flag, void** Info,
                             void** Bits, SpiProgressCallback Progress, intptr_t UserData);

#ifdef __cplusplus
}
#endif

#endif
