#include "app/player_main.h"

#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/sdl/sdl_platform.h"

#include <cstdio>
#include <string>

namespace narvo {

namespace {

// The title of the task-bar button and the caption of plain message boxes.
constexpr const char* ApplicationTitle = "Narvo Studio 5 Runtime";

} // namespace

int PlayerMain(int argc, char** argv) {
    if (argc > 2) {
        std::fprintf(stderr, "usage: narvo [WORK]\n");
        return 2;
    }
    std::string WorkPath = argc == 2 ? argv[1] : std::string();
    if (!WorkPath.empty() && !FileExists(WorkPath)) {
        std::fprintf(stderr, "narvo: cannot open %s\n", WorkPath.c_str());
        return 1;
    }

    TResult Error;
    std::unique_ptr<TPlatform> Platform = CreateSdlPlatform(&Error);
    if (!Platform) {
        std::fprintf(stderr, "narvo: cannot open a window: %s\n", Error.Message.c_str());
        return 1;
    }
    IApplication& App = Platform->App();
    IWindow& Window = Platform->Window();
    App.SetTitle(ApplicationTitle);
    Window.SetCaption(ApplicationTitle);
    Window.SetClientSize(640, 480);

    // FIXME: the interpreter is not built yet: the window shows an empty white client
    // area until the main window and its work take over.
    TWindowEvents Events;
    Events.OnPaint = [&Window] {
        TPicture& Back = Window.BackBuffer();
        std::fill(Back.Pixels.begin(), Back.Pixels.end(), 0x00FFFFFFu);
        Window.Present();
    };
    Window.SetEvents(std::move(Events));
    Window.Show();
    App.Run();
    return 0;
}

} // namespace narvo
