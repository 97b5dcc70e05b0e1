/* A test plug-in that claims every picture and fails to decode it, counting the calls,
 * so tests can see that the search goes on to the next plug-in. Built twice: as an
 * import filter and, with FAIL_SPI_VERSION set otherwise, as a filter of another kind
 * that the loader must drop. */
#include "data/spi_api.h"

#include <stddef.h>
#include <string.h>

#ifndef FAIL_SPI_VERSION
#define FAIL_SPI_VERSION "00IN"
#endif

static int Calls;
static size_t LastLength;

SPI_EXPORT int GetPluginInfo(int InfoNo, char* Buffer, int BufferLength) {
    static const char* const Texts[] = {FAIL_SPI_VERSION, "failing test filter", "*.*", "anything"};
    if (InfoNo < 0 || InfoNo > 3 || BufferLength <= 0)
        return 0;
    strncpy(Buffer, Texts[InfoNo], (size_t)BufferLength - 1);
    Buffer[BufferLength - 1] = '\0';
    return (int)strlen(Buffer);
}

SPI_EXPORT int IsSupported(const char* FileName, const void* Data) {
    (void)FileName;
    /* Look at the whole header the host promises, as real filters may. */
    const unsigned char* P = (const unsigned char*)Data;
    unsigned Sum = 0;
    for (int I = 0; I < SPI_HEADER_BYTES; ++I)
        Sum += P[I];
    return Sum != 0xFFFFFFFFu;
}

SPI_EXPORT int GetPicture(const char* Buffer, intptr_t Length, unsigned Flag, void** Info,
                          void** Bits, SpiProgressCallback Progress, intptr_t UserData) {
    (void)Buffer;
    (void)Flag;
    (void)Progress;
    (void)UserData;
    ++Calls;
    LastLength = (size_t)Length;
    *Info = NULL;
    *Bits = NULL;
    return SPI_DAMAGED;
}

SPI_EXPORT int FailSpiCalls(void) {
    return Calls;
}
SPI_EXPORT size_t FailSpiLastLength(void) {
    return LastLength;
}
