#include "data/cf2_ctrl.h"

#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstring>

namespace narvo {

namespace {

const std::string& EmptyText() {
    static const std::string Empty;
    return Empty;
}

// The error texts, as Shift-JIS like every text the player shows.
const std::string& UnknownBlockText() {
    static const std::string Text = Utf8ToSjis(
        "ファイル内に未知のブロックが存在します\r\nファイル保護のため処理を停止します\r\n");
    return Text;
}

const std::string& BrokenFileText() {
    static const std::string Text = Utf8ToSjis("ファイルが破損しています\r\n");
    return Text;
}

bool IsTrimmed(unsigned char C) { return C <= 32; }

std::string_view Trim(std::string_view S) {
    size_t B = 0;
    while (B < S.size() && IsTrimmed(static_cast<unsigned char>(S[B]))) ++B;
    size_t E = S.size();
    while (E > B && IsTrimmed(static_cast<unsigned char>(S[E - 1]))) --E;
    return S.substr(B, E - B);
}

// The same split as `TextToStringList`, walking the text with memchr so that a large
// scenario loads at the speed of a plain read.
void SplitLines(std::string_view Text, TStringList& Lines) {
    Lines.clear();
    if (Text.empty()) return;
    if (const void* Nul = std::memchr(Text.data(), 0, Text.size())) {
        Text = Text.substr(0, static_cast<const char*>(Nul) - Text.data());
    }
    const char* P = Text.data();
    const char* End = P + Text.size();
    const char* NextCr = nullptr; // next CR at or after P, or End
    const char* NextLf = nullptr;
    auto Refresh = [&](const char*& Next, char Ch) {
        if (Next == nullptr || (Next < P)) {
            const void* Found = std::memchr(P, Ch, End - P);
            Next = Found ? static_cast<const char*>(Found) : End;
        }
    };
    while (P < End) {
        Refresh(NextCr, '\r');
        Refresh(NextLf, '\n');
        const char* Break = NextCr < NextLf ? NextCr : NextLf;
        Lines.emplace_back(P, Break - P);
        if (Break == End) break;
        P = Break + ((*Break == '\r' && Break + 1 < End && Break[1] == '\n') ? 2 : 1);
    }
}

// True when `Key` is `A` + `B` + `C` + `D`, compared without building it.
inline bool KeyEquals(const std::string& Key, std::string_view A, std::string_view B,
                      std::string_view C, std::string_view D) {
    if (Key.size() != A.size() + B.size() + C.size() + D.size()) return false;
    const char* P = Key.data();
    for (std::string_view Part : {A, B, C, D}) {
        if (!Part.empty() && std::memcmp(P, Part.data(), Part.size()) != 0) return false;
        P += Part.size();
    }
    return true;
}

} // namespace

TNarvoFile::TNarvoFile(IDialogs& Dialogs) : Dialogs_(Dialogs) { Clear(); }

void TNarvoFile::ResetCache() {
    CachedKey_.clear();
    CachedStart_ = -1;
    CachedEnd_ = -1;
}

void TNarvoFile::Clear() {
    Lines_.clear();
    Lines_.emplace_back("/// Narvo scenario");
    Lines_.emplace_back("/// (empty)");
    ResetCache();
    IndexStale_ = true;
    BuildIndex();
}

bool TNarvoFile::LoadFromFile(const std::string& Path) {
    std::optional<std::string> Bytes = ReadWholeFile(Path);
    if (!Bytes) return false;
    LoadFromStream(*Bytes);
    return true;
}

void TNarvoFile::LoadFromStream(std::string_view Bytes) {
    ResetCache();
    IndexStale_ = true;
    SplitLines(Bytes, Lines_);
    BuildIndex();
}

// --- Index ---------------------------------------------------------------------------

TNarvoFile::TLineKind TNarvoFile::ClassifyLine(std::string_view Line) {
    std::string_view T = Trim(Line);
    if (T.empty() || T[0] != '<') return TLineKind::None;
    std::string_view Tag;
    bool Start;
    size_t Eq = T.find('=');
    if (Eq != std::string_view::npos) {
        Start = true;
        Tag = T.substr(1, Eq - 1);
    } else {
        Start = false;
        size_t Space = T.find(' ');
        // An end line must have a space after its tag: "<Head>" is no end line.
        if (Space == std::string_view::npos) return TLineKind::Unknown;
        Tag = T.substr(1, Space - 1);
    }
    if (Tag == "Head") return Start ? TLineKind::HeadStart : TLineKind::HeadEnd;
    if (Tag == "Book") return Start ? TLineKind::BookStart : TLineKind::BookEnd;
    if (Tag == "Page") return Start ? TLineKind::PageStart : TLineKind::PageEnd;
    return TLineKind::Unknown;
}

std::string TNarvoFile::BlockName(std::string_view Line) {
    size_t Eq = Line.find('=');
    if (Eq == std::string_view::npos) return {};
    std::string_view Rest = Line.substr(Eq + 1);
    size_t Gt = Rest.find('>');
    if (Gt == std::string_view::npos) return {};
    Rest = Rest.substr(0, Gt);
    size_t Quote = Rest.find('"');
    if (Quote != std::string_view::npos) {
        Rest = Rest.substr(Quote + 1);
        Rest = Rest.substr(0, Rest.find('"'));
    }
    return std::string(Rest);
}

void TNarvoFile::AddEntry(std::string Key, int Start, int End) {
    std::string Entry = Key;
    Entry += std::to_string(Start);
    Entry += ',';
    Entry += std::to_string(End);
    EntryNames_.emplace(Entry.substr(0, Entry.find(':')));
    BlockIndex_.push_back(std::move(Entry));
    // The first entry of a key wins, as a search of the index in order would find it.
    Blocks_.try_emplace(std::move(Key), TBlock{Start, End});
}

bool TNarvoFile::BuildIndex() {
    BlockIndex_.clear();
    Blocks_.clear();
    EntryNames_.clear();
    HeadKeys_.clear();
    IndexStale_ = true;

    int OpenHead = -1, OpenBook = -1, OpenPage = -1;
    std::string HeadName, BookName, PageName;

    auto Fail = [&](const std::string& Text) {
        Dialogs_.MessageBox(TDialogKind::Error, TDialogButtons::Ok, Text);
        return false;
    };
    auto Broken = [&](const char* What) {
        return Fail(BrokenFileText() + What);
    };

    const int Count = static_cast<int>(Lines_.size());
    for (int N = 0; N < Count; ++N) {
        const std::string& Line = Lines_[N];
        // Most lines are commands and properties: decide those without a full classify.
        size_t First = 0;
        while (First < Line.size() && IsTrimmed(static_cast<unsigned char>(Line[First]))) ++First;
        if (First == Line.size() || Line[First] != '<') continue;

        switch (ClassifyLine(Line)) {
        case TLineKind::None:
            break;
        case TLineKind::Unknown:
            return Fail(UnknownBlockText() + Line);
        case TLineKind::HeadStart:
            if (OpenHead >= 0) return Broken("[Header block miss close flag]");
            HeadName = BlockName(Line);
            OpenHead = N;
            break;
        case TLineKind::HeadEnd:
            if (OpenHead < 0) return Broken("[Header block miss start flag]");
            AddEntry(HeadName + "/:", OpenHead, N);
            OpenHead = -1;
            break;
        case TLineKind::BookStart:
            if (OpenBook >= 0) return Broken("[Book block miss close flag]");
            BookName = BlockName(Line);
            OpenBook = N;
            break;
        case TLineKind::BookEnd:
            if (OpenBook < 0) return Broken("[Book block miss start flag]");
            AddEntry(BookName + ":", OpenBook, N);
            OpenBook = -1;
            break;
        case TLineKind::PageStart:
            if (OpenPage >= 0) return Broken("[Page block miss close flag]");
            PageName = BlockName(Line);
            OpenPage = N;
            break;
        case TLineKind::PageEnd:
            if (OpenPage < 0) return Broken("[Page block miss start flag]");
            // Filed under the last book started, even when that book has ended already.
            AddEntry(BookName + "/" + PageName + ":", OpenPage, N);
            OpenPage = -1;
            break;
        }
    }
    ResetCache();
    IndexStale_ = false;
    return true;
}

void TNarvoFile::EnsureIndex() {
    if (IndexStale_) BuildIndex();
}

bool TNarvoFile::SearchIndex(std::string_view Key, int& Start, int& End) {
    EnsureIndex();
    // Keys are compared whole. (Matching only the leading characters of an entry would
    // let a block whose name extends this one with ":" hide it.)
    auto It = Blocks_.find(std::string(Key));
    if (It == Blocks_.end()) return false;
    Start = It->second.Start;
    End = It->second.End;
    return Start >= 0 && End >= 0;
}

void TNarvoFile::StoreCache(std::string_view Key, const TBlock& Block) {
    CachedKey_.assign(Key);
    CachedStart_ = Block.Start;
    CachedEnd_ = Block.End;
}

bool TNarvoFile::FindBlock(std::string_view Key, int& Start, int& End) {
    if (!CachedKey_.empty() && Key == CachedKey_) {
        Start = CachedStart_;
        End = CachedEnd_;
        return true;
    }
    if (!SearchIndex(Key, Start, End)) return false;
    StoreCache(Key, {Start, End});
    return true;
}

bool TNarvoFile::FindHeadBlock(std::string_view Name, int& Start, int& End) {
    if (!CachedKey_.empty() && KeyEquals(CachedKey_, Name, "/:", {}, {})) {
        Start = CachedStart_;
        End = CachedEnd_;
        return true;
    }
    std::string Key(Name);
    Key += "/:";
    return FindBlock(Key, Start, End);
}

bool TNarvoFile::FindBookBlock(std::string_view Name, int& Start, int& End) {
    if (!CachedKey_.empty() && KeyEquals(CachedKey_, Name, ":", {}, {})) {
        Start = CachedStart_;
        End = CachedEnd_;
        return true;
    }
    std::string Key(Name);
    Key += ":";
    return FindBlock(Key, Start, End);
}

bool TNarvoFile::FindPageBlock(std::string_view Book, std::string_view Page, int& Start,
                               int& End) {
    // The hot path of page interpretation: a cache hit builds no key.
    if (!CachedKey_.empty() && KeyEquals(CachedKey_, Book, "/", Page, ":")) {
        Start = CachedStart_;
        End = CachedEnd_;
        return true;
    }
    std::string Key;
    Key.reserve(Book.size() + Page.size() + 2);
    Key.append(Book).append("/").append(Page).append(":");
    return FindBlock(Key, Start, End);
}

// --- Settings --------------------------------------------------------------------------

const std::unordered_map<std::string, int>& TNarvoFile::HeadKeys(const TBlock& Block) {
    auto [It, Inserted] = HeadKeys_.try_emplace(Block.Start);
    if (Inserted) {
        auto& Keys = It->second;
        const int Last = std::min<int>(Block.End, static_cast<int>(Lines_.size()));
        for (int N = Block.Start + 1; N < Last; ++N) {
            const std::string& Line = Lines_[N];
            size_t Eq = Line.find('=');
            if (Eq != std::string::npos) Keys.try_emplace(Line.substr(0, Eq), N);
        }
    }
    return It->second;
}

std::string TNarvoFile::ReadString(std::string_view Section, std::string_view Key,
                                   std::string_view Default) {
    int Start, End;
    if (!FindHeadBlock(Section, Start, End)) return std::string(Default);
    if (Key.find('=') == std::string_view::npos) {
        const auto& Keys = HeadKeys({Start, End});
        auto It = Keys.find(std::string(Key));
        if (It == Keys.end()) return std::string(Default);
        return Lines_[It->second].substr(Key.size() + 1);
    }
    // A key that itself holds "=" can only be matched by comparing line prefixes.
    const int Last = std::min<int>(End, static_cast<int>(Lines_.size()));
    for (int N = Start + 1; N < Last; ++N) {
        const std::string& Line = Lines_[N];
        if (Line.size() > Key.size() && Line.compare(0, Key.size(), Key) == 0 &&
            Line[Key.size()] == '=')
            return Line.substr(Key.size() + 1);
    }
    return std::string(Default);
}

int32_t TNarvoFile::ReadInteger(std::string_view Section, std::string_view Key,
                                int32_t Default) {
    return TextToInt(ReadString(Section, Key, IntToText(Default)), Default);
}

bool TNarvoFile::ReadBool(std::string_view Section, std::string_view Key, bool Default) {
    return TextToInt(ReadString(Section, Key, Default ? "1" : "0"), Default ? 1 : 0) != 0;
}

// --- Pages and books -----------------------------------------------------------------

int TNarvoFile::GetPageLineCount(std::string_view Book, std::string_view Page) {
    int Start, End;
    if (!FindPageBlock(Book, Page, Start, End)) return 0;
    return End - Start - 1;
}

const std::string& TNarvoFile::GetPageLine(std::string_view Book, std::string_view Page,
                                           int Index) {
    int Start, End;
    if (!FindPageBlock(Book, Page, Start, End)) return EmptyText();
    int64_t N = int64_t(Start) + 1 + Index;
    if (N < 0 || N >= static_cast<int64_t>(Lines_.size())) return EmptyText();
    return Lines_[static_cast<size_t>(N)];
}

void TNarvoFile::GetBookList(TStringList& List) {
    List.clear();
    EnsureIndex();
    for (const std::string& Entry : BlockIndex_) {
        std::string_view Name = std::string_view(Entry).substr(0, Entry.find(':'));
        if (Name.find('/') == std::string_view::npos) List.emplace_back(Name);
    }
}

void TNarvoFile::GetPageList(std::string_view Book, TStringList& List) {
    List.clear();
    EnsureIndex();
    for (const std::string& Entry : BlockIndex_) {
        std::string_view E = Entry;
        if (E.size() <= Book.size() || E.compare(0, Book.size(), Book) != 0 ||
            E[Book.size()] != '/')
            continue;
        size_t From = Book.size() + 1;
        size_t Colon = E.find(':');
        // A colon inside the book's own name leaves nothing between "/" and ":".
        if (Colon == std::string_view::npos || Colon <= From) continue;
        List.emplace_back(E.substr(From, Colon - From));
    }
}

bool TNarvoFile::BookExists(std::string_view Book) {
    EnsureIndex();
    // The book list holds the text before each entry's first ":" when it has no "/".
    if (Book.find_first_of("/:") != std::string_view::npos) return false;
    return EntryNames_.count(std::string(Book)) != 0;
}

bool TNarvoFile::PageExists(std::string_view Book, std::string_view Page) {
    EnsureIndex();
    // A page of the list is the non-empty text between book "/" and the entry's first
    // ":"; so the whole of book "/" page must be such a text and hold no ":".
    if (Page.empty()) return false;
    std::string Name;
    Name.reserve(Book.size() + 1 + Page.size());
    Name.append(Book).append("/").append(Page);
    if (Name.find(':') != std::string::npos) return false;
    return EntryNames_.count(Name) != 0;
}

bool TNarvoFile::GetBookLines(std::string_view Book, TStringList& List) {
    int Start, End;
    if (!FindBookBlock(Book, Start, End)) return false;
    const int Last = std::min<int>(End, static_cast<int>(Lines_.size()) - 1);
    for (int N = Start; N <= Last; ++N) List.push_back(Lines_[N]);
    return true;
}

void TNarvoFile::ImportBook(std::string_view Book, TNarvoFile& Source) {
    if (BookExists(Book)) return;
    TStringList Copied;
    if (!Source.GetBookLines(Book, Copied)) return;
    Lines_.insert(Lines_.end(), std::make_move_iterator(Copied.begin()),
                  std::make_move_iterator(Copied.end()));
    BuildIndex();
}

} // namespace narvo
