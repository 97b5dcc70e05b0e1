// narvo-tool replay: plays a work headless on the virtual clock, through the same code
// the player runs, and prints what happens, one event per line (UTF-8).
#include "tool_commands.h"

#include "app/rtm_main.h"
#include "graphics/png_io.h"
#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/headless/headless_platform.h"

#include <charconv>
#include <cstdio>
#include <unistd.h>

namespace narvo::tool {

namespace {

constexpr const char* Usage =
    "usage: narvo-tool replay [--library FILE] [--script FILE] [--until MS] [--answer WORD]\n"
    "                         [--trace] [--vars] [--shot MS:FILE.png] [--final-shot FILE.png]\n"
    "                         [--start-tick N] WORK\n"
    "Plays WORK headless on a virtual clock. Without --until a run stops after one hour\n"
    "of virtual time. Exit status: 0 finished, 3 stopped by --until, 1 the work could\n"
    "not be opened, 2 usage.\n";

// A run that nothing ends (a wait no script answers) stops here.
constexpr uint64_t DefaultUntil = 3600 * 1000;

struct TReplayOptions {
    std::optional<std::string> Library;
    std::optional<std::string> Script;
    std::optional<uint64_t> Until;
    std::optional<TDialogResult> Answer;
    bool Trace = false;
    bool Vars = false;
    std::vector<std::pair<uint64_t, std::string>> Shots;
    std::optional<std::string> FinalShot;
    uint32_t StartTick = 0x10000;
    std::string Work;
};

template <typename T> bool ParseNumber(const std::string& Text, T& Value) {
    auto [Ptr, Ec] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    return Ec == std::errc() && Ptr == Text.data() + Text.size();
}

std::optional<TDialogResult> AnswerWord(const std::string& Word) {
    for (TDialogResult R : {TDialogResult::Ok, TDialogResult::Abort, TDialogResult::Ignore,
                            TDialogResult::Yes, TDialogResult::No, TDialogResult::Cancel})
        if (Word == DialogResultName(R)) return R;
    return std::nullopt;
}

bool ParseOptions(const TArgs& Args, TReplayOptions& Options) {
    for (size_t I = 0; I < Args.size(); ++I) {
        const std::string& Arg = Args[I];
        auto Value = [&](std::string& Out) {
            if (I + 1 >= Args.size()) return false;
            Out = Args[++I];
            return true;
        };
        std::string Text;
        if (Arg == "--trace") {
            Options.Trace = true;
        } else if (Arg == "--vars") {
            Options.Vars = true;
        } else if (Arg == "--library") {
            if (!Value(Text)) return false;
            Options.Library = Text;
        } else if (Arg == "--script") {
            if (!Value(Text)) return false;
            Options.Script = Text;
        } else if (Arg == "--until") {
            uint64_t Ms;
            if (!Value(Text) || !ParseNumber(Text, Ms)) return false;
            Options.Until = Ms;
        } else if (Arg == "--answer") {
            if (!Value(Text) || !(Options.Answer = AnswerWord(Text))) return false;
        } else if (Arg == "--start-tick") {
            if (!Value(Text) || !ParseNumber(Text, Options.StartTick)) return false;
        } else if (Arg == "--final-shot") {
            if (!Value(Text)) return false;
            Options.FinalShot = Text;
        } else if (Arg == "--shot") {
            uint64_t Ms;
            size_t Colon;
            if (!Value(Text) || (Colon = Text.find(':')) == std::string::npos ||
                !ParseNumber(Text.substr(0, Colon), Ms) || Colon + 1 == Text.size())
                return false;
            Options.Shots.emplace_back(Ms, Text.substr(Colon + 1));
        } else if (!Arg.empty() && Arg[0] == '-') {
            return false;
        } else if (Options.Work.empty()) {
            Options.Work = Arg;
        } else {
            return false;
        }
    }
    return !Options.Work.empty();
}

std::string ToolDirectory() {
    char Buffer[4096];
    ssize_t Length = readlink("/proc/self/exe", Buffer, sizeof Buffer - 1);
    return Length > 0 ? ExtractFileDir(std::string(Buffer, size_t(Length))) : std::string();
}

// One line of output: Shift-JIS text as UTF-8, line breaks written as "\n".
std::string OneLine(std::string_view Sjis) {
    std::string Utf8 = SjisToUtf8(Sjis);
    std::string Out;
    Out.reserve(Utf8.size());
    for (size_t I = 0; I < Utf8.size(); ++I) {
        if (Utf8[I] == '\r') {
            if (I + 1 < Utf8.size() && Utf8[I + 1] == '\n') ++I;
            Out += "\\n";
        } else if (Utf8[I] == '\n') {
            Out += "\\n";
        } else {
            Out.push_back(Utf8[I]);
        }
    }
    return Out;
}

void PrintDialog(const TDialogRecord& Record) {
    if (Record.IsInput) {
        std::printf("dialog input ok/cancel: %s\n", OneLine(Record.Text).c_str());
        if (Record.Answer == TDialogResult::Cancel)
            std::printf("answer cancel\n");
        else
            std::printf("answer ok %s\n", OneLine(Record.InputText).c_str());
    } else {
        std::printf("dialog %s %s: %s\n", DialogKindName(Record.Kind),
                    DialogButtonsName(Record.Buttons), OneLine(Record.Text).c_str());
        std::printf("answer %s\n", DialogResultName(Record.Answer));
    }
    std::fflush(stdout);
}

void WriteShot(IWindow& Window, const std::string& Path) {
    TResult Saved = SavePngFile(Path, Window.ReadFrame(), nullptr);
    if (!Saved) std::fprintf(stderr, "narvo-tool replay: %s\n", Saved.Message.c_str());
}

} // namespace

int RunReplayTool(const TArgs& Args) {
    TReplayOptions Options;
    if (!ParseOptions(Args, Options)) {
        std::fputs(Usage, stderr);
        return 2;
    }

    std::vector<TScriptEvent> Script;
    if (Options.Script) {
        std::optional<std::string> Text = ReadWholeFile(*Options.Script);
        if (!Text) {
            std::fprintf(stderr, "narvo-tool replay: cannot read %s\n", Options.Script->c_str());
            return 2;
        }
        TResult Parsed = ParseInputScript(*Text, Script);
        if (!Parsed) {
            std::fprintf(stderr, "narvo-tool replay: %s: %s\n", Options.Script->c_str(),
                         Parsed.Message.c_str());
            return 2;
        }
    }
    for (const auto& [Ms, File] : Options.Shots) {
        TScriptEvent Shot;
        Shot.Time = Ms;
        Shot.Kind = TScriptEventKind::Shot;
        Shot.Text = File;
        Script.push_back(Shot);
    }

    THeadlessOptions Headless;
    Headless.StartTick = Options.StartTick;
    Headless.Until = Options.Until ? *Options.Until : DefaultUntil;
    Headless.DefaultAnswer = Options.Answer;
    THeadlessPlatform Platform(Headless);
    std::stable_sort(Script.begin(), Script.end(),
                     [](const TScriptEvent& A, const TScriptEvent& B) { return A.Time < B.Time; });
    Platform.SetScript(std::move(Script));
    Platform.SetDialogListener(PrintDialog);
    Platform.SetShotHandler([&](const std::string& File) { WriteShot(Platform.Window(), File); });

    TPlayerStart Start;
    Start.PlayerPath = JoinPath(ToolDirectory(), "narvo");
    Start.PackagePath = Options.Work;
    Start.LibraryPath = Options.Library ? *Options.Library : JoinPath(ToolDirectory(), "narvort5.nvl");

    bool Opened = false;
    auto Prepare = [&](TfrmMain& Main) {
        if (!Options.Trace) return;
        Main.OnCommand = [&Main, &Platform](int32_t Index, const std::string& Marker) {
            const TCommandCtrl& Commands = Main.AccessControl->CommandCtrl;
            std::printf("cmd %llu %s/%s %d %s\n", static_cast<unsigned long long>(Platform.Elapsed()),
                        OneLine(Commands.BookName()).c_str(), OneLine(Commands.PageName()).c_str(),
                        Index, OneLine(Marker).c_str());
        };
    };
    auto Finish = [&](TfrmMain& Main) {
        Opened = Main.PackageOpened();
        if (Options.FinalShot) WriteShot(Platform.Window(), *Options.FinalShot);
        if (!Opened || !Options.Vars) return;
        TStringList Values, Texts;
        Main.AccessControl->Variables.Copy_Values(Values);
        Main.AccessControl->Variables.Copy_Texts(Texts);
        for (const std::string& Line : Values) std::printf("value %s\n", OneLine(Line).c_str());
        for (const std::string& Line : Texts) std::printf("string %s\n", OneLine(Line).c_str());
    };
    RunPlayer(Platform, Start, Prepare, Finish);

    if (!Opened) {
        std::fprintf(stderr, "narvo-tool replay: cannot open %s\n", Options.Work.c_str());
        return 1;
    }
    // Anything but the program ending by itself (a limit, or nothing left that could
    // ever happen) is a stop from outside.
    bool Until = Platform.StopReason() != THeadlessPlatform::TStopReason::Terminated;
    std::printf("end %s %llu\n", Until ? "until" : "finished",
                static_cast<unsigned long long>(Platform.Elapsed()));
    return Until ? 3 : 0;
}

} // namespace narvo::tool
