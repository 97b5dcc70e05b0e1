// Scenario loading: the block index, the book and page lists, every page read line by
// line through the command cache, the command records, settings and the layer list.
#include "data/cf2_ctrl.h"
#include "graphics/lay_ctrl.h"
#include "interp/cmdctrl3.h"
#include "fuzz_support.h"
#include "platform/platform.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    using namespace narvo;
    fuzz::TFirstButtonDialogs Dialogs;
    std::string_view Bytes(reinterpret_cast<const char*>(Data), Size);

    // The first byte of the input splits it into the work and a second store to import
    // a book from.
    size_t Split = Size > 0 ? (Data[0] * Size) / 256 : 0;
    TNarvoFile Work(Dialogs);
    Work.LoadFromStream(Bytes.substr(Split));
    TNarvoFile Library(Dialogs);
    Library.LoadFromStream(Bytes.substr(0, Split));

    TStringList LibraryBooks;
    Library.GetBookList(LibraryBooks);
    for (size_t I = 0; I < LibraryBooks.size() && I < 4; ++I) Work.ImportBook(LibraryBooks[I], Library);

    (void)Work.ReadString("Narvo", "FileType", "");
    (void)Work.ReadInteger("Narvo", "CommandVersion", 19);
    (void)Work.ReadBool("Narvo", "AutoExtract", false);
    TLayerCtrl Layers;
    Layers.SetScenario(&Work);

    TCommandCtrl Commands(Dialogs, &Work);
    TNarvoCommand Command;
    TStringList Books, Pages;
    Work.GetBookList(Books);
    int PagesRead = 0;
    for (const std::string& Book : Books) {
        (void)Work.BookExists(Book);
        Work.GetPageList(Book, Pages);
        for (const std::string& Page : Pages) {
            if (++PagesRead > 64) return 0;
            (void)Work.PageExists(Book, Page);
            Commands.SetBookName(Book);
            Commands.SetPageName(Page);
            const int Count = Commands.CommandCount();
            for (int I = -1; I <= Count; ++I) {
                (void)Commands.GetBlockLevel(I);
                if (Commands.GetCommand(I, Command)) {
                    (void)Command.ReadString("MessageDraw.Text", "");
                    (void)Command.ReadInteger("Wait.Time", 0);
                }
            }
            // Reads past the page's end stay inside the file.
            const int Lines = Work.GetPageLineCount(Book, Page);
            (void)Work.GetPageLine(Book, Page, Lines + 3);
            (void)Work.GetPageLine(Book, Page, -5);
        }
    }
    return 0;
}
