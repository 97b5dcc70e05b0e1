#include "interp/cmdctrl3.h"

#include "data/cf2_ctrl.h"
#include "platform/encoding.h"
#include "platform/platform.h"

#include <array>

namespace narvo {

namespace {

constexpr std::array<std::string_view, CommandCode::Count> kCommandNames = {
    "",            "@rem",         "@if",           "@else",       "@endif",
    "@MessageDraw", "@GraphicDraw", "@Effect",       "@Music",      "@Sound",
    "@MusicStop",  "@ValueCtrl",   "@StringCtrl",   "@LayerCtrl",  "@GraphicCtrl",
    "@Wait",       "@Select",      "@Move",         "@Call",       "@Return",
    "@DynamicLayer", "@DynamicLayerClear", "@WindowShow", "@StringInput", "@SaveCtrl",
    "@System",
};

std::string_view TrimBlanks(std::string_view S) {
    size_t B = 0;
    while (B < S.size() && static_cast<unsigned char>(S[B]) <= 32) ++B;
    size_t E = S.size();
    while (E > B && static_cast<unsigned char>(S[E - 1]) <= 32) --E;
    return S.substr(B, E - B);
}

} // namespace

TCommandCtrl::TCommandCtrl(IDialogs& Dialogs, TNarvoFile* NarvoFile)
    : Dialogs_(Dialogs), NarvoFile_(NarvoFile) {
    Entries_.reserve(MaxCommands);
}

void TCommandCtrl::SetNarvoFile(TNarvoFile* NarvoFile) {
    NarvoFile_ = NarvoFile;
    CacheStale_ = true;
}

void TCommandCtrl::SetBookName(std::string_view Book) {
    if (Book == BookName_) return;
    BookName_.assign(Book);
    CacheStale_ = true;
}

void TCommandCtrl::SetPageName(std::string_view Page) {
    if (Page == PageName_) return;
    PageName_.assign(Page);
    CacheStale_ = true;
}

int32_t TCommandCtrl::CommandType(std::string_view Text) {
    for (int32_t Code = 1; Code < CommandCode::Count; ++Code) {
        if (Text == kCommandNames[Code]) return Code;
    }
    return CommandCode::Unknown;
}

bool TCommandCtrl::Make_CommandCache() {
    if (NarvoFile_ == nullptr) {
        Dialogs_.MessageBox(TDialogKind::Error, TDialogButtons::Ok,
                            "Error : Make_CommandCache()\nCan't access \"NarvoFile\"");
        Entries_.clear();
        Count_ = 0;
        return false;
    }
    const int N = NarvoFile_->GetPageLineCount(BookName_, PageName_);
    Entries_.clear();
    int32_t Depth = 0;
    for (int I = 0; I < N; ++I) {
        std::string_view Line = TrimBlanks(NarvoFile_->GetPageLine(BookName_, PageName_, I));
        // The limit is tested on every line before the marker test: a page whose 500th
        // command is its last line builds, one more line of any kind does not.
        if (static_cast<int>(Entries_.size()) >= MaxCommands) {
            static const std::string Message = Utf8ToSjis("１ページあたりのコマンド数が多すぎます");
            Dialogs_.MessageBox(TDialogKind::Error, TDialogButtons::Ok, Message);
            // Nothing of this page can be run; no count of an earlier page may stand
            // for it either.
            Entries_.clear();
            Count_ = 0;
            return false;
        }
        if (Line.empty() || Line[0] != '@') continue;
        const int32_t Type = CommandType(Line);
        int32_t Level = Depth;
        if (Type == CommandCode::If) {
            ++Depth;
        } else if (Type == CommandCode::Else) {
            Level = Depth - 1;
        } else if (Type == CommandCode::EndIf) {
            --Depth;
            Level = Depth;
        }
        Entries_.push_back({I, Type, Level});
    }
    Count_ = static_cast<int32_t>(Entries_.size());
    CacheStale_ = false;
    return true;
}

void TCommandCtrl::EnsureCache() {
    if (CacheStale_) Make_CommandCache();
}

int32_t TCommandCtrl::CommandCount() {
    EnsureCache();
    return Count_;
}

bool TCommandCtrl::GetCommand(int32_t Index, TNarvoCommand& Command) {
    EnsureCache();
    if (Index < 0 || Index >= Count_) return false;
    const TEntry& Entry = Entries_[Index];
    // The record runs under the marker as stored: blanks around it make it unknown,
    // although the trimmed form counted for the block levels.
    Command.Type = CommandType(NarvoFile_->GetPageLine(BookName_, PageName_, Entry.Line));
    Command.BlockLevel = Entry.Level;
    Command.Properties.clear();
    const int First = Index == 0 ? 0 : Entries_[Index - 1].Line + 1;
    for (int I = First; I < Entry.Line; ++I)
        Command.Properties.push_back(NarvoFile_->GetPageLine(BookName_, PageName_, I));
    return true;
}

std::string TCommandCtrl::GetMarkerLine(int32_t Index) {
    EnsureCache();
    if (Index < 0 || Index >= Count_) return {};
    return NarvoFile_->GetPageLine(BookName_, PageName_, Entries_[Index].Line);
}

int32_t TCommandCtrl::GetBlockLevel(int32_t Index) {
    EnsureCache();
    if (Index < 0 || Index >= Count_) return -1;
    return Entries_[Index].Level;
}

} // namespace narvo
