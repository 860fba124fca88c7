// The analyser's bars and peak markers, painted straight onto the main
// window by the play thread.
#include <windows.h>

#include "core/Player.h"
#include "ui/MainWindow.h"

void CMainWindow::DrawSpectrumBars(HDC dc, SpectrumChannel& left, SpectrumChannel& right)
{
    if (dc == nullptr || Player.IsMinimize)
        return;
    // A repaint of the face wiped the bars: they are drawn whole again.
    if (SpectrumWiped.exchange(false)) {
        for (int b = 0; b < SpectrumBands; ++b)
            left.LastShown[b] = right.LastShown[b] = -1;
    }
    const int s = Scale();
    auto fill = [&](int x, int top, int bottom, int brush) {
        RECT cell;
        SetRect(&cell, x * s, top * s, (x + 3) * s, bottom * s);
        FillRect(dc, &cell, Brushes[brush].Get());
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
}
