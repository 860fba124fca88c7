// The analyser's bars and peak markers, painted onto the main window by the
// play thread. The cells are written into a picture of the analyser's area
// kept here, and what changed goes to the window in one copy: a refresh is
// up to 900 cells a hundred times a second, and under Wine each GDI call
// costs about a microsecond of its own.
#include <windows.h>

#include <algorithm>

#include "ui/MainWindow.h"

namespace {

// The analyser's area in skin units: both channels' columns, from one unit
// above the top row to one unit below the bottom one (a hidden bar's erase
// reaches it).
constexpr int AreaX = 93, AreaY = 34, AreaRight = 240, AreaBottom = 60;

constexpr std::uint32_t PixelOf(COLORREF colour)
{
    return (static_cast<std::uint32_t>(GetRValue(colour)) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

}  // namespace

bool CMainWindow::PrepareSpectrumCanvas(int scale)
{
    if (Canvas.Scale != scale || !Canvas.Dc) {
        Canvas.Release();
        void* bits = nullptr;
        Canvas.Bitmap = CreatePixelBitmap((AreaRight - AreaX) * scale, (AreaBottom - AreaY) * scale, &bits);
        Canvas.Dc.Reset(CreateCompatibleDC(nullptr));
        if (!Canvas.Bitmap || !Canvas.Dc || bits == nullptr ||
            SelectObject(Canvas.Dc.Get(), Canvas.Bitmap.Get()) == nullptr) {
            Canvas.Release();
            return false;
        }
        Canvas.Pixels = static_cast<std::uint32_t*>(bits);
        Canvas.Scale = scale;
    }
    // The face as the repaint left it, under the bars to come.
    Copy(Canvas.Dc.Get(), {SkinBitmap::Face, 0, FaceWidth, FaceHeight, {-AreaX, -AreaY, FaceWidth, FaceHeight}});
    GdiFlush();
    return true;
}

void CMainWindow::DrawSpectrumBars(HDC dc, SpectrumChannel& left, SpectrumChannel& right)
{
    if (dc == nullptr || IsMinimize)
        return;
    const int s = Scale();
    // A repaint of the face wiped the bars: they are drawn whole again, over
    // the face as it now is.
    if (SpectrumWiped.exchange(false) || Canvas.Scale != s) {
        for (int b = 0; b < SpectrumBands; ++b)
            left.LastShown[b] = right.LastShown[b] = -1;
        if (!PrepareSpectrumCanvas(s))
            return;
    }
    const int stride = (AreaRight - AreaX) * s;
    int dirtyLeft = AreaRight, dirtyTop = AreaBottom, dirtyRight = AreaX, dirtyBottom = AreaY;
    // The cell from (x, top) to (x + 3, bottom) in skin units, right and
    // bottom exclusive, in the brush's colour.
    auto fill = [&](int x, int top, int bottom, int brush) {
        const std::uint32_t colour = PixelOf(SpectrumColour(brush));
        bool changed = false;
        for (int y = (top - AreaY) * s; y < (bottom - AreaY) * s; ++y) {
            std::uint32_t* row = Canvas.Pixels + static_cast<std::ptrdiff_t>(y) * stride + (x - AreaX) * s;
            for (int i = 0; i < 3 * s; ++i) {
                changed = changed || row[i] != colour;
                row[i] = colour;
            }
        }
        if (changed) {
            dirtyLeft = std::min(dirtyLeft, x);
            dirtyRight = std::max(dirtyRight, x + 3);
            dirtyTop = std::min(dirtyTop, top);
            dirtyBottom = std::max(dirtyBottom, bottom);
        }
    };
    for (int b = 0; b < SpectrumBands; ++b) {
        const int xs[2] = {93 + 4 * b, 169 + 4 * b};
        SpectrumChannel* channels[2] = {&left, &right};
        // Everything from a unit above the top row down to the bar.
        for (int c = 0; c < 2; ++c)
            fill(xs[c], 34, 59 - channels[c]->Shown[b], 0);
        for (int p = 0; p < SpectrumRows; ++p) {
            for (int c = 0; c < 2; ++c) {
                const SpectrumChannel& ch = *channels[c];
                if (ch.Peak[b] == p)
                    fill(xs[c], 58 - p, 59 - p, 1);
                else if (p <= ch.Shown[b] && ch.Shown[b] > ch.LastShown[b])
                    fill(xs[c], 58 - p, 59 - p, 25 - p);
            }
        }
        left.LastShown[b] = left.Shown[b];
        right.LastShown[b] = right.Shown[b];
    }
    if (dirtyLeft < dirtyRight)
        BitBlt(dc, dirtyLeft * s, dirtyTop * s, (dirtyRight - dirtyLeft) * s, (dirtyBottom - dirtyTop) * s,
               Canvas.Dc.Get(), (dirtyLeft - AreaX) * s, (dirtyTop - AreaY) * s, SRCCOPY);
}
