// Reads the real program's main window from outside: what its face shows on
// the screen, compared cell by cell with the skin's glyphs as the program's
// own bitmap resources hold them, and what its controls are.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "platform/Win32Handles.h"
#include "resources/resource.h"

// Glyph sets as the face addresses them: glyph g of the large digits is
// 10·g wide 10 up to the colon (10), then 6 wide at 6·g + 42.
struct GlyphSource {
    int X, W, H;
};
inline GlyphSource LargeGlyph(int g)
{
    return g <= 10 ? GlyphSource{10 * g, 10, 16} : GlyphSource{6 * g + 42, 6, 16};
}
inline GlyphSource SmallGlyph(int g)
{
    return {5 * g, 5, 7};
}
inline GlyphSource TinyGlyph(int g)
{
    return {3 * g, 3, 5};
}

class FaceReader {
public:
    explicit FaceReader(const std::string& exe)
    {
        Module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    ~FaceReader()
    {
        for (auto& [id, bitmap] : Bitmaps)
            DeleteObject(bitmap);
        if (Module != nullptr)
            FreeLibrary(Module);
    }
    FaceReader(const FaceReader&) = delete;
    FaceReader& operator=(const FaceReader&) = delete;

    // Takes the window's client area as the screen shows it now.
    void Capture(HWND window)
    {
        RECT client;
        GetClientRect(window, &client);
        POINT origin{0, 0};
        ClientToScreen(window, &origin);
        Screen = Grab(nullptr, origin.x, origin.y, client.right, client.bottom);
    }

    // Whether the face shows source (x, w, h) of bitmap `id` stretched over
    // the cell (x, y, w, h) in skin units at `scale`.
    bool Shows(int id, GlyphSource source, int x, int y, int w, int h, int scale, int visibleW = 0) const
    {
        const Pixels& expected = Rendered(id, source, w * scale, h * scale);
        const int columns = visibleW > 0 ? visibleW * scale : expected.W;
        for (int j = 0; j < expected.H; ++j)
            for (int i = 0; i < columns; ++i)
                if (expected.At(i, j) != Screen.At(x * scale + i, y * scale + j))
                    return false;
        return true;
    }
    // The glyph of a digit set that a cell shows, or -1.
    int Glyph(int id, int x, int y, int scale) const
    {
        for (int g = 0; g <= 12; ++g) {
            const GlyphSource s = id == IDB_LARGE_DIGITS ? LargeGlyph(g) : id == IDB_SMALL_DIGITS ? SmallGlyph(g) : TinyGlyph(g);
            const int w = id == IDB_LARGE_DIGITS ? 10 : s.W;
            if (Shows(id, s, x, y, w, s.H, scale))
                return g;
        }
        return -1;
    }
    // The time display of the full face in seconds, or -1 when a cell
    // shows no digit.
    int Time(int scale) const
    {
        const int m10 = Glyph(IDB_LARGE_DIGITS, 37, 33, scale), m1 = Glyph(IDB_LARGE_DIGITS, 47, 33, scale);
        const int s10 = Glyph(IDB_LARGE_DIGITS, 65, 33, scale), s1 = Glyph(IDB_LARGE_DIGITS, 75, 33, scale);
        if (m10 < 0 || m10 > 9 || m1 < 0 || m1 > 9 || s10 < 0 || s10 > 9 || s1 < 0 || s1 > 9)
            return -1;
        return (m10 * 10 + m1) * 60 + s10 * 10 + s1;
    }
    // The time's sign: minus (11) or blank (12). The first minutes digit
    // covers the right three units of its cell.
    int TimeSign(int scale) const
    {
        for (int g : {11, 12})
            if (Shows(IDB_LARGE_DIGITS, LargeGlyph(g), 30, 33, 10, 16, scale, 7))
                return g;
        return -1;
    }
    int TrackNumber(int scale) const
    {
        const int tens = Glyph(IDB_LARGE_DIGITS, 9, 33, scale), ones = Glyph(IDB_LARGE_DIGITS, 19, 33, scale);
        return tens < 0 || ones < 0 ? -1 : tens * 10 + ones;
    }
    // The number in tiny digits at (x, y), `count` cells 4 units apart.
    int Tiny(int x, int y, int count, int scale) const
    {
        int value = 0;
        for (int i = 0; i < count; ++i) {
            const int g = Glyph(IDB_TINY_DIGITS, x + 4 * i, y, scale);
            if (g < 0 || g > 9)
                return -1;
            value = value * 10 + g;
        }
        return value;
    }
    // The frame (0, 1, ...) of a strip of `w`-wide frames that the cell at
    // (x, y) shows, or -1.
    int Frame(int id, int frames, int w, int h, int x, int y, int scale) const
    {
        for (int f = 0; f < frames; ++f)
            if (Shows(id, {w * f, w, h}, x, y, w, h, scale))
                return f;
        return -1;
    }
    // A pixel of the last picture (0xRRGGBB), in device pixels.
    std::uint32_t Pixel(int x, int y) const { return Screen.At(x, y); }
    // The left edge of the seek knob (normal or held) in skin units, or -1.
    int KnobLeft(int scale) const
    {
        for (int x = 5; x <= 205; ++x)
            if (Shows(IDB_SEEK_KNOB, {0, 17, 7}, x, 67, 17, 7, scale) || Shows(IDB_SEEK_KNOB, {17, 17, 7}, x, 67, 17, 7, scale))
                return x;
        return -1;
    }

private:
    struct Pixels {
        int W = 0, H = 0;
        std::vector<std::uint32_t> P;
        std::uint32_t At(int x, int y) const
        {
            return x < 0 || y < 0 || x >= W || y >= H ? 0xFF000000u : P[static_cast<std::size_t>(y) * W + x] & 0xFFFFFFu;
        }
    };
    // Pixels of `source` (a device context; the screen when null).
    static Pixels Grab(HDC source, int x, int y, int w, int h)
    {
        Pixels out;
        if (w <= 0 || h <= 0)
            return out;
        out.W = w;
        out.H = h;
        out.P.resize(static_cast<std::size_t>(w) * h);
        void* bits = nullptr;
        const BitmapHandle section = CreatePixelBitmap(w, h, &bits);
        const WindowDc screen(nullptr);
        const MemoryDc memory(CreateCompatibleDC(screen.Get()));
        if (!section || !memory)
            return out;
        const Selection selected(memory.Get(), section.Get());
        BitBlt(memory.Get(), 0, 0, w, h, source != nullptr ? source : screen.Get(), x, y, SRCCOPY);
        GdiFlush();
        std::memcpy(out.P.data(), bits, out.P.size() * 4);
        return out;
    }
    // The skin's source stretched as the face stretches it.
    Pixels Render(int id, GlyphSource source, int w, int h) const
    {
        HBITMAP bitmap = Bitmap(id);
        HDC screen = GetDC(nullptr);
        HDC from = CreateCompatibleDC(screen);
        HGDIOBJ oldFrom = SelectObject(from, bitmap);
        HDC to = CreateCompatibleDC(screen);
        HBITMAP canvas = CreateCompatibleBitmap(screen, w, h);
        HGDIOBJ oldTo = SelectObject(to, canvas);
        SetStretchBltMode(to, COLORONCOLOR);
        StretchBlt(to, 0, 0, w, h, from, source.X, 0, source.W, source.H, SRCCOPY);
        Pixels out = Grab(to, 0, 0, w, h);
        SelectObject(to, oldTo);
        SelectObject(from, oldFrom);
        DeleteObject(canvas);
        DeleteDC(to);
        DeleteDC(from);
        ReleaseDC(nullptr, screen);
        return out;
    }
    const Pixels& Rendered(int id, GlyphSource source, int w, int h) const
    {
        const std::vector<int> key{id, source.X, source.W, source.H, w, h};
        for (auto& [known, pixels] : Renders)
            if (known == key)
                return pixels;
        Renders.emplace_back(key, Render(id, source, w, h));
        return Renders.back().second;
    }
    HBITMAP Bitmap(int id) const
    {
        for (auto& [known, bitmap] : Bitmaps)
            if (known == id)
                return bitmap;
        HBITMAP bitmap = LoadBitmapA(Module, MAKEINTRESOURCEA(id));
        Bitmaps.emplace_back(id, bitmap);
        return bitmap;
    }

    HMODULE Module = nullptr;
    mutable std::vector<std::pair<int, HBITMAP>> Bitmaps;
    mutable std::deque<std::pair<std::vector<int>, Pixels>> Renders;
    Pixels Screen;
};
