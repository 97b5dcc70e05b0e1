#include "data/ca_ctrl.h"

#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/platform.h"

namespace narvo {

namespace {

std::string WithSlash(std::string Dir) {
    if (!Dir.empty() && Dir.back() != '/') Dir.push_back('/');
    return Dir;
}

} // namespace

TNarvoAccessControl::TNarvoAccessControl(TPlatform& Platform, TRandom& Random)
    : NarvoFile(Platform.Dialogs()), Process(&Stack, Platform.Clock()),
      CommandCtrl(Platform.Dialogs(), &NarvoFile),
      Variables(Platform.Dialogs(), Platform.Clock(), Random),
      SystemFont(NARVO_SJIS("ＭＳ ゴシック")), Platform_(Platform) {
    Variables.SetNarvoFile(&NarvoFile);
    LayerCtrl.SetScenario(&NarvoFile);
}

TNarvoAccessControl::~TNarvoAccessControl() {
    CloseSaveFile();
    CloseLibrary();
    ClosePackage();
}

bool TNarvoAccessControl::OpenPackage(const std::string& Path) {
    PackagePath = Path;
    Variables.SetScriptFile(Utf8ToSjis(ExtractFileName(Path)));
    if (!OpenSource(Path) || !CheckHeader()) return false;
    PackageDirectory = ExtractFileDir(Path);
    if (PackageDirectory.empty()) PackageDirectory = "./";
    std::string Setting = NarvoFile.ReadString("Narvo", "DataDirectory", "");
    if (!Setting.empty())
        DataDirectory = WithSlash(PackageDirectory + WorkNameToRelativePath(Setting));
    else
        DataDirectory = WithSlash(ChangeFileExt(Path, ""));
    ExtractFiles(Path);
    Stack.ClearFrame();
    CommandCtrl.SetBookName(NarvoFile.ReadString("Narvo", "StartBook", NARVO_SJIS("スタートブック")));
    CommandCtrl.SetPageName(NarvoFile.ReadString("Narvo", "StartPage", NARVO_SJIS("スタートページ")));
    CommandIndex = 0;
    Process.EndCommand();
    LayerCtrl.Load();
    return true;
}

bool TNarvoAccessControl::OpenSource(const std::string& Path) {
    IDialogs& Dialogs = Platform_.Dialogs();
    if (!FileExists(Path)) {
        Dialogs.MessageBox(TDialogKind::Error, TDialogButtons::Ok,
                           Utf8ToSjis(Path) + NARVO_SJIS("が見つかりません"));
        Platform_.App().Terminate();
        return false;
    }
    if (pkg_has_magic(Path, "NV5PKG") || pkg_has_magic(Path, "MZ")) {
        pkg_open(Path, PackageArchive);
    } else if (!pkg_has_magic(Path, "///")) {
        Dialogs.MessageBox(TDialogKind::Error, TDialogButtons::Ok,
                           NARVO_SJIS("ファイルのヘッダIDが違います。\nこのファイルはナルボスタジオ５で"
                                      "利用できるファイルではありません"));
        Platform_.App().Terminate();
        return false;
    }
    if (PackageArchive.File) {
        // A package without its scenario leaves the store empty, which the header check
        // then reports.
        std::string Scenario;
        pkg_extract(Scenario, "narvo.nvf", PackageArchive);
        NarvoFile.LoadFromStream(Scenario);
    } else {
        NarvoFile.LoadFromFile(Path);
    }
    return true;
}

bool TNarvoAccessControl::AskAbortIgnore(const std::string& SjisText) {
    TDialogResult Answer =
        Platform_.Dialogs().MessageBox(TDialogKind::Error, TDialogButtons::AbortIgnore, SjisText);
    if (Answer == TDialogResult::Ignore) return true;
    Platform_.App().Terminate();
    return false;
}

bool TNarvoAccessControl::CheckHeader() {
    if (NarvoFile.ReadString("Narvo", "FileType", "") != "NV5" &&
        !AskAbortIgnore(NARVO_SJIS("ファイルタイプが違います\nこのファイルは正常に読み込めないかもしれません")))
        return false;
    if (NarvoFile.ReadInteger("Narvo", "CommandVersion", 19) > 19 &&
        !AskAbortIgnore(NARVO_SJIS("このファイルには現バージョンで対応していない\nコマンドが含まれている可能性が"
                                   "あります\n最新版のナルボスタジオを入手することをおすすめします")))
        return false;
    return true;
}

void TNarvoAccessControl::ExtractFiles(const std::string& Path) {
    if (!PackageArchive.File || !NarvoFile.ReadBool("Narvo", "AutoExtract", false)) return;
    IDialogs& Dialogs = Platform_.Dialogs();
    DataDirectory = WithSlash(ChangeFileExt(Path, ""));
    if (!DirectoryExists(DataDirectory)) {
        std::string Question = NARVO_SJIS("実行に必要なファイルの展開や、セーブファイルの保存のため\r\n") + "\"" +
                               Utf8ToSjis(DataDirectory) + "\"" +
                               NARVO_SJIS(" フォルダを作成します。\r\nよろしいですか？");
        if (Dialogs.MessageBox(TDialogKind::Warning, TDialogButtons::YesNo, Question) !=
            TDialogResult::Yes)
            return;
        if (!CreateDir(DataDirectory)) {
            Dialogs.MessageBox(TDialogKind::Error, TDialogButtons::Ok,
                               NARVO_SJIS("フォルダの作成に失敗しました"));
            return;
        }
    }
    for (int I = 0; I < PackageArchive.Count; ++I) {
        const PkgEntry* Entry = pkg_entry(PackageArchive, I);
        if (Entry && Entry->Extract) ExtractEntry(I);
    }
}

void TNarvoAccessControl::ExtractEntry(int Index) {
    const PkgEntry* Entry = pkg_entry(PackageArchive, Index);
    if (!Entry || Entry->NoExtract || Entry->Masked) return;
    IDialogs& Dialogs = Platform_.Dialogs();
    // Entry names come from the package: one that would leave the data directory is
    // refused rather than written wherever it points.
    if (!IsSafeRelativeName(Entry->Name)) {
        Dialogs.MessageBox(TDialogKind::Error, TDialogButtons::Ok,
                           NARVO_SJIS("展開先がデータフォルダの外になるため、このファイルは展開しません\n") +
                               Entry->Name);
        return;
    }
    std::string Target = DataDirectory + WorkNameToRelativePath(Entry->Name);
    // A file already there is never extracted again, whatever its contents.
    if (FileExists(Target) || ResolveWorkPath(DataDirectory, Entry->Name)) return;
    // Written to a temporary file and renamed, so a failed or interrupted extraction
    // never leaves half a file that later starts would take as complete.
    std::string Data;
    TAtomicFile Out;
    if (!pkg_extract_index(Data, Index, PackageArchive) || !Out.Open(Target) || !Out.Write(Data) ||
        !Out.Commit()) {
        Dialogs.MessageBox(TDialogKind::Error, TDialogButtons::Ok,
                           NARVO_SJIS("ファイルを展開できませんでした\n") + Entry->Name);
    }
}

bool TNarvoAccessControl::OpenLibrary(const std::string& Path) {
    if (!pkg_has_magic(Path, "NV5LIB") || !pkg_open(Path, LibraryArchive)) return false;
    return ImportSystemBook();
}

bool TNarvoAccessControl::ImportSystemBook() {
    if (pkg_find(LibraryArchive, "system.nvf") < 0) return false;
    std::string Bytes;
    if (!pkg_extract(Bytes, "system.nvf", LibraryArchive)) return false;
    TNarvoFile System(Platform_.Dialogs());
    System.LoadFromStream(Bytes);
    NarvoFile.ImportBook("_system", System);
    return true;
}

void TNarvoAccessControl::CloseLibrary() { pkg_close(LibraryArchive); }
void TNarvoAccessControl::ClosePackage() {
    pkg_close(PackageArchive);
    SetPlugInsActive(false);
}

bool TNarvoAccessControl::OpenSaveFile(const std::string& Path) {
    CloseSaveFile();
    return pkg_has_magic(Path, "NV5SAVE") && pkg_open(Path, SaveArchive);
}

void TNarvoAccessControl::CloseSaveFile() { pkg_close(SaveArchive); }

bool TNarvoAccessControl::LoadInfoList(std::string_view Name, TStringList& List) {
    for (PkgReader* Archive : {&SaveArchive, &PackageArchive, &LibraryArchive})
        if (Archive->File && pkg_load_strings(Name, List, *Archive)) return true;
    return false;
}

std::string TNarvoAccessControl::ResolveMediaFile(std::string_view Name) {
    if (!DataDirectory.empty())
        if (std::optional<std::string> Path = ResolveWorkPath(DataDirectory, Name)) return *Path;
    if (std::optional<std::string> Path = ResolveWorkPath(PackageDirectory, Name)) return *Path;
    return NoEntry;
}

// --- Jumps -------------------------------------------------------------------------------

void TNarvoAccessControl::MovePage(std::string_view Book, std::string_view Page) {
    CommandCtrl.SetBookName(Book);
    CommandCtrl.SetPageName(Page);
    CommandIndex = 0;
}

void TNarvoAccessControl::PushReturnPoint(bool KeepState) {
    Stack.ClearFrame();
    if (KeepState) Process.SaveToFrame();
    Stack.WriteString("Stack.BookName", CommandCtrl.BookName());
    Stack.WriteString("Stack.PageName", CommandCtrl.PageName());
    Stack.WriteInteger("Stack.CommandIndex", CommandIndex);
    Stack.Push();
    Process.Reset();
}

void TNarvoAccessControl::CallPage(std::string_view Book, std::string_view Page) {
    PushReturnPoint(false);
    MovePage(Book, Page);
}

void TNarvoAccessControl::CallPageKeepState(std::string_view Book, std::string_view Page) {
    PushReturnPoint(true);
    MovePage(Book, Page);
}

bool TNarvoAccessControl::ReturnPage() {
    if (!Stack.Pop()) return false;
    Process.LoadFromFrame();
    CommandCtrl.SetBookName(Stack.ReadString("Stack.BookName", ""));
    CommandCtrl.SetPageName(Stack.ReadString("Stack.PageName", ""));
    CommandIndex = Stack.ReadInteger("Stack.CommandIndex", 0);
    return true;
}

void TNarvoAccessControl::DumpPosition(TStringList& List) {
    WriteListString(List, "Stack.BookName", CommandCtrl.BookName());
    WriteListString(List, "Stack.PageName", CommandCtrl.PageName());
    WriteListInteger(List, "Stack.CommandIndex", CommandIndex);
    List.emplace_back(TNarvoProcessStack::Border);
    Stack.AddLinesTo(List);
}

} // namespace narvo
