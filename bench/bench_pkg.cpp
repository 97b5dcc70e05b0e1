// Container reads against the libraries doing the same work in the same run:
// - streaming a 32 MB compressed and masked entry through pkg_read, against zlib
//   inflating the same stream from a plain file with 64 KiB buffers;
// - pkg_extract of that entry (full size known), against the same zlib streaming, and
//   with a fresh output buffer against zlib inflating into a fresh buffer;
// - pkg_read of a stored 32 MB entry, against fread of the same bytes.
#include "data/pkg.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace narvo;

constexpr size_t DataSize = 32u << 20;
constexpr size_t BufferSize = 64u << 10;

// Text-like data that compresses about as well as a work's scenario and pictures.
std::string MakeData() {
    static const char* const Words[] = {"narvo ",    "page ",         "message ", "layer ",
                                        "0x00FF00 ", "@MessageDraw ", "<wait> ",  "選択 ",
                                        "\r\n",      "book "};
    std::string Data;
    Data.reserve(DataSize + 32);
    uint32_t Seed = 12345;
    while (Data.size() < DataSize) {
        Seed = Seed * 1103515245u + 12345u;
        Data += Words[(Seed >> 16) % 10];
        if ((Seed >> 8) % 7 == 0)
            Data.push_back(char('A' + (Seed >> 20) % 26));
    }
    Data.resize(DataSize);
    return Data;
}

struct TFixture {
    std::string Dir;
    std::string Container;
    std::string ZlibFile; // the entry's zlib stream, unmasked, alone in a file
    std::string RawFile;  // the stored entry's bytes alone in a file
    uint64_t StoredPos = 0;

    TFixture() {
        Dir = (std::filesystem::temp_directory_path() / "narvo-bench-pkg-XXXXXX").string();
        if (!mkdtemp(Dir.data()))
            std::abort();
        Container = Dir + "/bench.nvp";
        ZlibFile = Dir + "/bench.z";
        RawFile = Dir + "/bench.raw";
        std::string Data = MakeData();

        PkgWriter W;
        pkg_writer_init(W);
        pkg_writer_magic(W, "NV5PKG");
        if (!pkg_create(W, Container))
            std::abort();
        W.Compressed = W.Masked = 1;
        pkg_write_stream(W, Data, "big.zm");
        W.Compressed = W.Masked = 0;
        pkg_write_stream(W, Data, "big.raw");
        if (!pkg_finish(W))
            std::abort();

        uLongf Size = compressBound(uLong(Data.size()));
        std::string Zipped(Size, '\0');
        compress2(reinterpret_cast<Bytef*>(Zipped.data()), &Size,
                  reinterpret_cast<const Bytef*>(Data.data()), uLong(Data.size()),
                  Z_DEFAULT_COMPRESSION);
        Zipped.resize(Size);
        WriteAll(ZlibFile, Zipped);
        WriteAll(RawFile, Data);
    }
    ~TFixture() {
        std::error_code Ignored;
        std::filesystem::remove_all(Dir, Ignored);
    }
    static void WriteAll(const std::string& Path, const std::string& Bytes) {
        FILE* F = std::fopen(Path.c_str(), "wb");
        std::fwrite(Bytes.data(), 1, Bytes.size(), F);
        std::fclose(F);
    }
};

TFixture& Fixture() {
    static TFixture F;
    return F;
}

// Streams a whole entry through `pkg_read` in the caller-sized pieces a player uses.
void BM_PkgRead(benchmark::State& State, const char* Entry) {
    PkgReader Reader;
    if (!pkg_open(Fixture().Container, Reader))
        std::abort();
    std::vector<uint8_t> Buffer(BufferSize);
    for (auto _ : State) {
        pkg_select_name(Reader, Entry);
        size_t Total = 0;
        while (size_t Got = pkg_read(Reader, Buffer.data(), Buffer.size()))
            Total += Got;
        if (Total != DataSize)
            std::abort();
        benchmark::DoNotOptimize(Buffer.data());
    }
    State.SetBytesProcessed(int64_t(State.iterations()) * int64_t(DataSize));
}
BENCHMARK_CAPTURE(BM_PkgRead, CompressedMasked, "big.zm")->Unit(benchmark::kMillisecond);

void BM_ZlibStreamFromFile(benchmark::State& State) {
    std::vector<uint8_t> In(BufferSize), Out(BufferSize);
    for (auto _ : State) {
        FILE* F = std::fopen(Fixture().ZlibFile.c_str(), "rb");
        z_stream Z{};
        inflateInit(&Z);
        size_t Total = 0;
        int Result = Z_OK;
        while (Result != Z_STREAM_END) {
            if (Z.avail_in == 0) {
                Z.next_in = In.data();
                Z.avail_in = uInt(std::fread(In.data(), 1, In.size(), F));
            }
            Z.next_out = Out.data();
            Z.avail_out = uInt(Out.size());
            Result = inflate(&Z, Z_NO_FLUSH);
            if (Result != Z_OK && Result != Z_STREAM_END)
                std::abort();
            Total += Out.size() - Z.avail_out;
        }
        inflateEnd(&Z);
        std::fclose(F);
        if (Total != DataSize)
            std::abort();
        benchmark::DoNotOptimize(Out.data());
    }
    State.SetBytesProcessed(int64_t(State.iterations()) * int64_t(DataSize));
}
BENCHMARK(BM_ZlibStreamFromFile)->Unit(benchmark::kMillisecond);

// The caller keeps its memory stream, as one that extracts entry after entry would:
// this measures the inflation, not the kernel faulting in a fresh 32 MB buffer.
void BM_PkgExtractCompressedMasked(benchmark::State& State) {
    PkgReader Reader;
    if (!pkg_open(Fixture().Container, Reader))
        std::abort();
    std::string Out;
    for (auto _ : State) {
        if (!pkg_extract(Out, "big.zm", Reader) || Out.size() != DataSize)
            std::abort();
        benchmark::DoNotOptimize(Out.data());
    }
    State.SetBytesProcessed(int64_t(State.iterations()) * int64_t(DataSize));
}
BENCHMARK(BM_PkgExtractCompressedMasked)->Unit(benchmark::kMillisecond);

// A fresh memory stream per extraction, against zlib streaming into a fresh buffer of the
// same size: both pay for the new pages.
void BM_PkgExtractFreshOutput(benchmark::State& State) {
    PkgReader Reader;
    if (!pkg_open(Fixture().Container, Reader))
        std::abort();
    for (auto _ : State) {
        std::string Out;
        if (!pkg_extract(Out, "big.zm", Reader) || Out.size() != DataSize)
            std::abort();
        benchmark::DoNotOptimize(Out.data());
    }
    State.SetBytesProcessed(int64_t(State.iterations()) * int64_t(DataSize));
}
BENCHMARK(BM_PkgExtractFreshOutput)->Unit(benchmark::kMillisecond);

void BM_ZlibStreamIntoFreshBuffer(benchmark::State& State) {
    std::vector<uint8_t> In(BufferSize);
    for (auto _ : State) {
        std::string Out;
        Out.resize(DataSize);
        FILE* F = std::fopen(Fixture().ZlibFile.c_str(), "rb");
        z_stream Z{};
        inflateInit(&Z);
        Z.next_out = reinterpret_cast<Bytef*>(Out.data());
        Z.avail_out = uInt(Out.size());
        int Result = Z_OK;
        while (Result != Z_STREAM_END) {
            if (Z.avail_in == 0) {
                Z.next_in = In.data();
                Z.avail_in = uInt(std::fread(In.data(), 1, In.size(), F));
            }
            Result = inflate(&Z, Z_NO_FLUSH);
            if (Result != Z_OK && Result != Z_STREAM_END)
                std::abort();
        }
        inflateEnd(&Z);
        std::fclose(F);
        benchmark::DoNotOptimize(Out.data());
    }
    State.SetBytesProcessed(int64_t(State.iterations()) * int64_t(DataSize));
}
BENCHMARK(BM_ZlibStreamIntoFreshBuffer)->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(BM_PkgRead, Stored, "big.raw")->Unit(benchmark::kMillisecond);

void BM_FreadPlainFile(benchmark::State& State) {
    std::vector<uint8_t> Buffer(BufferSize);
    for (auto _ : State) {
        FILE* F = std::fopen(Fixture().RawFile.c_str(), "rb");
        size_t Total = 0;
        while (size_t Got = std::fread(Buffer.data(), 1, Buffer.size(), F))
            Total += Got;
        std::fclose(F);
        if (Total != DataSize)
            std::abort();
        benchmark::DoNotOptimize(Buffer.data());
    }
    State.SetBytesProcessed(int64_t(State.iterations()) * int64_t(DataSize));
}
BENCHMARK(BM_FreadPlainFile)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
