// The main window's input inside the test process: the always-on-top
// toggle, the window drag's edge cases, and the seek bar and drawing with
// entries that would divide by zero or that are gone.
#include <windows.h>
#include <windowsx.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "PlayerTest.h"
#include "TestWave.h"
#include "core/Player.h"
#include "resources/resource.h"

namespace {

class MainWindowInput : public PlayerTest {
protected:
    MainWindowInput() : PlayerTest("main-window") {}
    void Send(UINT message, WPARAM wParam, int x, int y)
    {
        SendMessageA(player->MainWindow, message, wParam, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
    }
    bool Topmost() const { return (GetWindowLongA(player->MainWindow, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }
    POINT Place() const
    {
        RECT r;
        GetWindowRect(player->MainWindow, &r);
        return {r.left, r.top};
    }
};

}  // namespace

// Only a completed click switches the mode: a press held over a repaint, or
// released away from the button, does not.
TEST_F(MainWindowInput, AlwaysOnTopSwitchesOncePerCompletedClick)
{
    HWND button = GetDlgItem(player->MainWindow, IDC_ALWAYS_ON_TOP);
    ASSERT_NE(button, nullptr);
    ASSERT_FALSE(Topmost());
    SendMessageA(button, BM_SETSTATE, TRUE, 0);  // held down
    for (int i = 0; i < 3; ++i) {
        RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        Pump(20);
    }
    SendMessageA(button, BM_SETSTATE, FALSE, 0);  // let go elsewhere: no click
    Pump(50);
    EXPECT_FALSE(Topmost()) << "a held or cancelled press changes nothing";
    EXPECT_FALSE(player->Face.IsAlwaysOnTop());

    SendMessageA(button, BM_CLICK, 0, 0);
    Pump(50);
    EXPECT_TRUE(Topmost());
    RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_TRUE(Topmost()) << "a repaint only shows the state";
    SendMessageA(button, BM_CLICK, 0, 0);
    Pump(50);
    EXPECT_FALSE(Topmost());
}

// The drag follows signed coordinates, ends when the capture goes, and a
// move without the left button held never drags.
TEST_F(MainWindowInput, WindowDragIsSignedAndEndsWithItsCapture)
{
    SetWindowPos(player->MainWindow, nullptr, 400, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 150, 10);
    ASSERT_TRUE(player->Face.IsWindowDragging());
    Send(WM_MOUSEMOVE, MK_LBUTTON, 150 - 120, 10 - 20);  // left of and above the window
    EXPECT_EQ(Place().x, 280);
    EXPECT_EQ(Place().y, 280);
    Send(WM_MOUSEMOVE, 0, 150 + 50, 10);
    EXPECT_EQ(Place().x, 280) << "no left button, no drag";

    SendMessageA(player->MainWindow, WM_CAPTURECHANGED, 0, 0);
    EXPECT_FALSE(player->Face.IsWindowDragging());
    Send(WM_MOUSEMOVE, MK_LBUTTON, 150 + 50, 10);
    EXPECT_EQ(Place().x, 280) << "a drag that lost the capture moves nothing";
    Send(WM_LBUTTONUP, 0, 150, 10);
}

// A track under a second has no length to seek in; an index that names no
// entry draws nothing of it; Next past the end keeps the place in the track.
TEST_F(MainWindowInput, ZeroLengthsAndStaleIndexesAreSafe)
{
    const std::string tiny = folder + "\\tiny.wav";
    WriteToneWave(tiny, 2, 0.5, 1000);
    player->Engine.AddFile(tiny.c_str());
    ASSERT_EQ(player->Engine.TrackCount, 1);
    ASSERT_EQ(player->Engine.Tracks[0]->Duration, 0);
    player->PlayPause();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 150, 70);  // the seek bar
    EXPECT_TRUE(player->Face.IsSeekDragging());
    Send(WM_LBUTTONUP, 0, 150, 70);
    EXPECT_EQ(player->Engine.SeekFileOffset, 0) << "no seek in a track without a length";
    EXPECT_EQ(player->Engine.SeekBaseBytes, 0);
    player->Engine.Tracks[0]->WaveFormat.nAvgBytesPerSec = 0;
    RedrawWindow(player->MainWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    player->Engine.Tracks[0]->WaveFormat.nAvgBytesPerSec = 176400;
    player->Engine.StopPlayback();

    // An index past the table, as a removal or a stored setting may leave it.
    player->Engine.CurrentIndex = 7;
    RedrawWindow(player->MainWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 150, 70);
    Send(WM_LBUTTONUP, 0, 150, 70);
    EXPECT_EQ(player->Engine.SeekFileOffset, 0);
    char caption[32] = {};
    GetWindowTextA(player->MainWindow, caption, sizeof caption);
    EXPECT_STREQ(caption, "Tarvel") << "no entry: the caption goes back to the name";
    player->Engine.CurrentIndex = 0;

    player->Engine.SeekFileOffset = 4096;
    player->Engine.SeekBaseBytes = 4096;
    EXPECT_FALSE(player->Engine.GoToTrack(-1));
    EXPECT_EQ(player->Engine.SeekFileOffset, 4096) << "a refused move leaves the place alone";
    EXPECT_EQ(player->Engine.SeekBaseBytes, 4096);
}

namespace {

// A 32-bit top-down picture with a context of its own.
struct Picture {
    BitmapHandle Bitmap;
    MemoryDc Dc;
    const std::uint32_t* Pixels = nullptr;
    Picture(int width, int height)
    {
        void* bits = nullptr;
        Bitmap = CreatePixelBitmap(width, height, &bits);
        Dc.Reset(CreateCompatibleDC(nullptr));
        SelectObject(Dc.Get(), Bitmap.Get());
        Pixels = static_cast<const std::uint32_t*>(bits);
    }
    // Copies what `from` shows, from its top left corner.
    void Take(HDC from, int width, int height)
    {
        BitBlt(Dc.Get(), 0, 0, width, height, from, 0, 0, SRCCOPY);
        GdiFlush();
    }
};

}  // namespace

// The analyser's picture is the one its cells give when each is filled with
// its brush straight onto the face: random bars, peaks and rises over many
// refreshes, a repaint in between, at every scale.
TEST_F(MainWindowInput, AnalyserPaintsWhatItsCellsFilledOneByOneWould)
{
    HWND main = player->MainWindow;
    std::uint32_t seed = 12345;
    auto random = [&](int n) { return static_cast<int>((seed = seed * 1103515245u + 12345u) >> 16) % n; };
    for (int scale : {1, 2, 4}) {
        SCOPED_TRACE(scale);
        while (player->Face.MainSize != scale)
            SendMessageA(main, WM_COMMAND, IDC_SCALE, 0);
        const int width = 250 * scale, height = 93 * scale;
        RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        Picture face(width, height), reference(width, height), shown(width, height);
        face.Take(WindowDc(main).Get(), width, height);
        // The reference: a copy of the face with every cell filled in turn.
        reference.Take(face.Dc.Get(), width, height);
        SpectrumChannel drawn[2], expected[2];
        for (int refresh = 0; refresh < 60; ++refresh) {
            if (refresh == 30) {  // a repaint wipes the bars
                RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
                reference.Take(face.Dc.Get(), width, height);
                for (SpectrumChannel& c : expected)
                    std::fill(std::begin(c.LastShown), std::end(c.LastShown), -1);
            }
            for (int c = 0; c < 2; ++c)
                for (int b = 0; b < 18; ++b) {
                    drawn[c].Shown[b] = expected[c].Shown[b] = random(24) - 1;
                    drawn[c].Peak[b] = expected[c].Peak[b] = random(25) - 1;
                }
            player->Face.DrawSpectrumBars(WindowDc(main).Get(), drawn[0], drawn[1]);
            const auto fill = [&](int x, int top, int bottom, int brush) {
                const RECT r{x * scale, top * scale, (x + 3) * scale, bottom * scale};
                FillRect(reference.Dc.Get(), &r, player->Face.SpectrumBrush(brush));
            };
            for (int b = 0; b < 18; ++b) {
                const int xs[2] = {93 + 4 * b, 169 + 4 * b};
                for (int c = 0; c < 2; ++c)
                    fill(xs[c], 34, 59 - expected[c].Shown[b], 0);
                for (int p = 0; p < 24; ++p)
                    for (int c = 0; c < 2; ++c) {
                        const SpectrumChannel& ch = expected[c];
                        if (ch.Peak[b] == p)
                            fill(xs[c], 58 - p, 59 - p, 1);
                        else if (p <= ch.Shown[b] && ch.Shown[b] > ch.LastShown[b])
                            fill(xs[c], 58 - p, 59 - p, 25 - p);
                    }
                for (SpectrumChannel& c : expected)
                    c.LastShown[b] = c.Shown[b];
            }
            GdiFlush();
            shown.Take(WindowDc(main).Get(), width, height);
            int differences = 0, first = -1;
            for (int i = 0; i < width * height; ++i)
                if ((reference.Pixels[i] & 0xFFFFFF) != (shown.Pixels[i] & 0xFFFFFF) && differences++ == 0)
                    first = i;
            ASSERT_EQ(differences, 0) << "refresh " << refresh << ", first at x " << first % width << " y "
                                      << first / width;
        }
    }
}
