// Loading and reading a large scenario: 200,000 lines in 2,000 pages of 20 books.
//
// Baselines in the same run: reading the file and splitting it into lines (what any
// loader must do), and touching the same lines straight out of a vector. Load + index
// should stay within a small factor of the first; reading every line of every page
// (in a random page order, so the one-block cache misses at every page change) should
// cost about what the second does.
#include "data/cf2_ctrl.h"
#include "interp/cmdctrl3.h"
#include "platform/files.h"
#include "platform/platform.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <unistd.h>

namespace {

using namespace narvo;

constexpr int kBooks = 20;
constexpr int kPagesPerBook = 100;
constexpr int kLinesPerPage = 99; // plus the start and end lines: 202,045 lines in all
constexpr int kPages = kBooks * kPagesPerBook;

class TSilentDialogs final : public IDialogs {
public:
    TDialogResult MessageBox(TDialogKind, TDialogButtons Buttons, std::string_view,
                             std::string_view) override {
        return DialogButtonList(Buttons).front();
    }
    std::optional<std::string> InputBox(std::string_view, std::string_view,
                                        std::string_view) override {
        return std::nullopt;
    }
};

struct TWork {
    std::string Path;
    std::vector<std::pair<std::string, std::string>> Pages; // random order
    size_t LineCount = 0;

    TWork() {
        std::string Text = "/// generated work\r\n<Head=\"Narvo\">\r\nFileType=NV5\r\n"
                           "Title=bench\r\n<Head End>\r\n";
        for (int B = 0; B < kBooks; ++B) {
            std::string Book = "book" + std::to_string(B);
            Text += "<Book=\"" + Book + "\">\r\n";
            for (int P = 0; P < kPagesPerBook; ++P) {
                std::string Page = "page" + std::to_string(P);
                Pages.emplace_back(Book, Page);
                Text += "<Page=\"" + Page + "\">\r\n";
                for (int L = 0; L < kLinesPerPage; L += 3) {
                    Text += "MessageDraw.Text=line " + std::to_string(L) +
                            " of a message that is about as long as a real one\r\n";
                    Text += "MessageDraw.Window=0\r\n";
                    Text += "@MessageDraw\r\n";
                }
                Text += "<Page End>\r\n";
            }
            Text += "<Book End>\r\n";
        }
        char Name[] = "/tmp/narvo-bench-XXXXXX";
        int Fd = mkstemp(Name);
        if (Fd < 0) std::abort();
        close(Fd);
        Path = Name;
        std::FILE* F = std::fopen(Path.c_str(), "wb");
        std::fwrite(Text.data(), 1, Text.size(), F);
        std::fclose(F);
        std::mt19937 Rng(12345);
        std::shuffle(Pages.begin(), Pages.end(), Rng);
        LineCount = size_t(std::count(Text.begin(), Text.end(), '\n'));
    }
    ~TWork() { std::remove(Path.c_str()); }
};

const TWork& Work() {
    static TWork W;
    return W;
}

// The plainest fast loader: the whole file, then one string per line into a list that
// is reused, as the store reuses its own.
void ReadAndSplit(const std::string& Path, std::vector<std::string>& Lines) {
    std::string Bytes = *ReadWholeFile(Path);
    Lines.clear();
    const char* P = Bytes.data();
    const char* End = P + Bytes.size();
    while (P < End) {
        const char* Lf = static_cast<const char*>(std::memchr(P, '\n', End - P));
        const char* Stop = Lf ? Lf : End;
        const char* LineEnd = (Stop > P && Stop[-1] == '\r') ? Stop - 1 : Stop;
        Lines.emplace_back(P, LineEnd - P);
        P = Lf ? Lf + 1 : End;
    }
}

void BM_ReadAndSplit(benchmark::State& State) {
    const TWork& W = Work();
    std::vector<std::string> Lines;
    for (auto _ : State) {
        ReadAndSplit(W.Path, Lines);
        benchmark::DoNotOptimize(Lines.data());
    }
    State.counters["lines"] = double(W.LineCount);
}
BENCHMARK(BM_ReadAndSplit)->Unit(benchmark::kMillisecond);

void BM_LoadAndIndex(benchmark::State& State) {
    const TWork& W = Work();
    TSilentDialogs Dialogs;
    TNarvoFile File(Dialogs);
    for (auto _ : State) {
        File.LoadFromFile(W.Path);
        benchmark::DoNotOptimize(File.BlockIndex().data());
    }
    if (File.BlockIndex().size() != size_t(kPages + kBooks + 1)) State.SkipWithError("index");
}
BENCHMARK(BM_LoadAndIndex)->Unit(benchmark::kMillisecond);

// Baseline of the page reads: the same lines, indexed straight out of a vector.
void BM_DirectLineReads(benchmark::State& State) {
    const TWork& W = Work();
    std::vector<std::string> Lines;
    ReadAndSplit(W.Path, Lines);
    // Start line of each page, in the same random order as the store is read in.
    TSilentDialogs Dialogs;
    TNarvoFile File(Dialogs);
    File.LoadFromFile(W.Path);
    std::vector<int> Starts;
    for (const auto& [Book, Page] : W.Pages) {
        int S = 0, E = 0;
        File.FindPageBlock(Book, Page, S, E);
        Starts.push_back(S);
    }
    size_t Read = 0;
    for (auto _ : State) {
        size_t Sum = 0;
        for (int S : Starts)
            for (int I = 0; I < kLinesPerPage; ++I) Sum += Lines[size_t(S + 1 + I)].size();
        benchmark::DoNotOptimize(Sum);
        Read += size_t(kPages) * kLinesPerPage;
    }
    State.SetItemsProcessed(int64_t(Read));
}
BENCHMARK(BM_DirectLineReads)->Unit(benchmark::kMillisecond);

void BM_PageReads(benchmark::State& State) {
    const TWork& W = Work();
    TSilentDialogs Dialogs;
    TNarvoFile File(Dialogs);
    File.LoadFromFile(W.Path);
    size_t Read = 0;
    for (auto _ : State) {
        size_t Sum = 0;
        for (const auto& [Book, Page] : W.Pages) {
            const int Count = File.GetPageLineCount(Book, Page);
            for (int I = 0; I < Count; ++I) Sum += File.GetPageLine(Book, Page, I).size();
            Read += size_t(Count);
        }
        benchmark::DoNotOptimize(Sum);
    }
    State.SetItemsProcessed(int64_t(Read));
}
BENCHMARK(BM_PageReads)->Unit(benchmark::kMillisecond);

// The page changes alone: one block lookup per page, no lines read.
void BM_PageLookups(benchmark::State& State) {
    const TWork& W = Work();
    TSilentDialogs Dialogs;
    TNarvoFile File(Dialogs);
    File.LoadFromFile(W.Path);
    for (auto _ : State) {
        int Sum = 0;
        for (const auto& [Book, Page] : W.Pages) Sum += File.GetPageLineCount(Book, Page);
        benchmark::DoNotOptimize(Sum);
    }
    State.SetItemsProcessed(int64_t(State.iterations()) * kPages);
}
BENCHMARK(BM_PageLookups)->Unit(benchmark::kMillisecond);

// What the interpreter does on every page visit: scan the page for its commands.
void BM_CommandCacheBuilds(benchmark::State& State) {
    const TWork& W = Work();
    TSilentDialogs Dialogs;
    TNarvoFile File(Dialogs);
    File.LoadFromFile(W.Path);
    TCommandCtrl Commands(Dialogs, &File);
    size_t Read = 0;
    for (auto _ : State) {
        for (const auto& [Book, Page] : W.Pages) {
            Commands.SetBookName(Book);
            Commands.SetPageName(Page);
            benchmark::DoNotOptimize(Commands.CommandCount());
            Read += kLinesPerPage;
        }
    }
    State.SetItemsProcessed(int64_t(Read));
}
BENCHMARK(BM_CommandCacheBuilds)->Unit(benchmark::kMillisecond);

// Settings reads against a head block, as the screen set-up does them.
void BM_SettingsReads(benchmark::State& State) {
    const TWork& W = Work();
    TSilentDialogs Dialogs;
    TNarvoFile File(Dialogs);
    File.LoadFromFile(W.Path);
    for (auto _ : State) {
        benchmark::DoNotOptimize(File.ReadString("Narvo", "Title", ""));
        benchmark::DoNotOptimize(File.ReadInteger("Narvo", "Missing", 3));
    }
}
BENCHMARK(BM_SettingsReads);

} // namespace

BENCHMARK_MAIN();
