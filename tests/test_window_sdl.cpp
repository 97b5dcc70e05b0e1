// The real window: opens it on an X display, presents a frame and reads back what the
// window shows.
#include "platform/sdl/sdl_platform.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdio>

using namespace narvo;

TEST(SdlWindow, PresentsAFrameAndReadsItBack) {
    TResult Error;
    std::unique_ptr<TPlatform> Platform = CreateSdlPlatform(&Error);
    ASSERT_TRUE(Platform) << Error.Message;
    IWindow& Window = Platform->Window();
    IApplication& App = Platform->App();
    App.SetTitle("Narvo Studio 5 Runtime");
    Window.SetCaption("window test");
    Window.SetClientSize(64, 48);
    EXPECT_EQ(Window.ClientWidth(), 64);
    EXPECT_EQ(Window.ClientHeight(), 48);

    int Paints = 0;
    TWindowEvents Events;
    Events.OnPaint = [&] {
        ++Paints;
        TPicture& Back = Window.BackBuffer();
        for (int Y = 0; Y < Back.Height; ++Y)
            for (int X = 0; X < Back.Width; ++X)
                Back.Row(Y)[X] = (uint32_t(X * 4) << 16) | (uint32_t(Y * 5) << 8) | 0x80;
        Window.Present();
    };
    Window.SetEvents(Events);
    Window.Show();

    // Run the loop for a while with a timer, as the player does.
    int Ticks = 0;
    TTimerId Timer = App.CreateTimer(20, [&] {
        if (++Ticks == 5) App.Terminate();
    });
    App.SetTimerEnabled(Timer, true);
    App.Run();
    EXPECT_EQ(Ticks, 5);
    ASSERT_GE(Paints, 1);

    TPicture Frame = Window.ReadFrame();
    ASSERT_EQ(Frame.Width, 64);
    ASSERT_EQ(Frame.Height, 48);
    for (int Y = 0; Y < 48; Y += 7)
        for (int X = 0; X < 64; X += 9)
            EXPECT_EQ(Frame.At(X, Y), (uint32_t(X * 4) << 16) | (uint32_t(Y * 5) << 8) | 0x80)
                << X << "," << Y;

    // The input box takes typed text and Enter; afterwards the frame is as it was.
    auto Push = [](SDL_Event Event) { ASSERT_EQ(SDL_PushEvent(&Event), 1); };
    SDL_Event Typed{};
    Typed.type = SDL_TEXTINPUT;
    std::snprintf(Typed.text.text, sizeof Typed.text.text, "%s", "\xE5\x90\x8D\xE5\x89\x8Dx"); // "名前x"
    SDL_Event Back{};
    Back.type = SDL_KEYDOWN;
    Back.key.keysym.sym = SDLK_BACKSPACE;
    SDL_Event Enter{};
    Enter.type = SDL_KEYDOWN;
    Enter.key.keysym.sym = SDLK_RETURN;
    Push(Typed);
    Push(Back);
    Push(Enter);
    std::optional<std::string> Entered = Platform->Dialogs().InputBox("caption", "prompt", "A");
    ASSERT_TRUE(Entered);
    EXPECT_EQ(*Entered, "A\x96\xBC\x91\x4F"); // "A名前" in Shift-JIS
    SDL_Event Escape{};
    Escape.type = SDL_KEYDOWN;
    Escape.key.keysym.sym = SDLK_ESCAPE;
    Push(Escape);
    EXPECT_FALSE(Platform->Dialogs().InputBox("caption", "prompt", "A"));
    EXPECT_EQ(Window.ReadFrame().Pixels, Frame.Pixels);

    Window.SetCursor(TCursorKind::Hand);
    EXPECT_EQ(Window.Cursor(), TCursorKind::Hand);
    uint32_t Before = Platform->Clock().TickCount();
    Platform->Clock().Sleep(30);
    EXPECT_GE(Platform->Clock().TickCount() - Before, 30u);
}
