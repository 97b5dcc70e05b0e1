// The scenario store: one scenario file held in memory as its lines plus an index of
// its head, book and page blocks. It answers the work's settings (section, key,
// default), the books and pages it holds, the lines of one page and the lines of a
// whole book, which another store can copy in. The player never writes a scenario.
#pragma once

#include "system/icm_sub.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace narvo {

class IDialogs;

class TNarvoFile {
public:
    // What a line is to the index.
    enum class TLineKind {
        None,
        Unknown,
        HeadStart,
        HeadEnd,
        BookStart,
        BookEnd,
        PageStart,
        PageEnd,
    };

    // Structure errors are shown through `Dialogs` as error boxes.
    explicit TNarvoFile(IDialogs& Dialogs);
    TNarvoFile(const TNarvoFile&) = delete;
    TNarvoFile& operator=(const TNarvoFile&) = delete;

    // Back to an empty scenario of two comment lines and no blocks.
    void Clear();
    // Replaces every line with the file's and builds the index. False (and the store
    // unchanged) when the file cannot be read.
    bool LoadFromFile(const std::string& Path);
    // The same from bytes held in memory (an entry of a package).
    void LoadFromStream(std::string_view Bytes);

    // Settings of the head block `Section`: the value of its first line that begins with
    // `Key` "=", exactly as written after the "=".
    std::string ReadString(std::string_view Section, std::string_view Key,
                           std::string_view Default);
    int32_t ReadInteger(std::string_view Section, std::string_view Key, int32_t Default);
    bool ReadBool(std::string_view Section, std::string_view Key, bool Default);

    // Lines strictly between the page's start and end lines; 0 when there is no such page.
    int GetPageLineCount(std::string_view Book, std::string_view Page);
    // Line `Index` of the page, empty when the page does not exist. Callers stay below
    // `GetPageLineCount`; an index that leaves the file gives the empty text. The
    // reference is valid until the store's lines change (a load or an import).
    const std::string& GetPageLine(std::string_view Book, std::string_view Page, int Index);

    void GetBookList(TStringList& List);
    void GetPageList(std::string_view Book, TStringList& List);
    bool BookExists(std::string_view Book);
    bool PageExists(std::string_view Book, std::string_view Page);
    // Appends the book's lines, its start and end lines included; false without the book.
    bool GetBookLines(std::string_view Book, TStringList& List);
    // Copies the book from `Source` when this store lacks it and `Source` has it.
    void ImportBook(std::string_view Book, TNarvoFile& Source);

    bool FindHeadBlock(std::string_view Name, int& Start, int& End);
    bool FindBookBlock(std::string_view Name, int& Start, int& End);
    bool FindPageBlock(std::string_view Book, std::string_view Page, int& Start, int& End);
    bool FindBlock(std::string_view Key, int& Start, int& End);
    bool SearchIndex(std::string_view Key, int& Start, int& End);
    // True when the whole file was indexed; false when a structure error stopped it (the
    // error box has been shown and the index stays stale).
    bool BuildIndex();

    static TLineKind ClassifyLine(std::string_view Line);
    // The name of a start line: after the first "=", before the next ">", and between
    // double quotes when there are any.
    static std::string BlockName(std::string_view Line);

    const TStringList& Lines() const { return Lines_; }
    const TStringList& BlockIndex() const { return BlockIndex_; }
    bool IndexStale() const { return IndexStale_; }
    const std::string& CachedKey() const { return CachedKey_; }

private:
    struct TBlock {
        int Start;
        int End;
    };

    void ResetCache();
    void AddEntry(std::string Key, int Start, int End);
    void EnsureIndex();
    void StoreCache(std::string_view Key, const TBlock& Block);
    const std::unordered_map<std::string, int>& HeadKeys(const TBlock& Block);

    IDialogs& Dialogs_;
    TStringList Lines_;
    TStringList BlockIndex_;
    bool IndexStale_ = true;
    std::string CachedKey_;
    int CachedStart_ = -1;
    int CachedEnd_ = -1;

    // Lookup structures built beside `BlockIndex_` so that no lookup walks the index.
    // `Blocks_` keeps the first entry of each key, as the index order makes it win.
    std::unordered_map<std::string, TBlock> Blocks_;
    // The text before the first ":" of every entry: what the book and page lists are
    // made of.
    std::unordered_set<std::string> EntryNames_;
    // Per head block (by start line), built on its first settings read: the line of the
    // first setting of each key.
    std::unordered_map<int, std::unordered_map<std::string, int>> HeadKeys_;
};

} // namespace narvo
