// The real window: opens it on an X display, presents a frame and reads back what the
// window shows.
#include "platform/sdl/sdl_platform.h"

#include <gtest/gtest.h>

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

    Window.SetCursor(TCursorKind::Hand);
    EXPECT_EQ(Window.Cursor(), TCursorKind::Hand);
    uint32_t Before = Platform->Clock().TickCount();
    Platform->Clock().Sleep(30);
    EXPECT_GE(Platform->Clock().TickCount() - Before, 30u);
}
