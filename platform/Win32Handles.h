// Owners of the window system's handles: each releases what it holds when it
// goes out of scope. Locks are PlatformLock, held through HeldLock
// (platform/System.h).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <utility>

// Holds one handle of a kind whose release function is `Release`; a null
// handle is held by nobody.
template <typename Handle, auto Release>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : Held(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : Held(std::exchange(other.Held, Handle{})) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            Reset(std::exchange(other.Held, Handle{}));
        return *this;
    }

    Handle Get() const { return Held; }
    explicit operator bool() const { return Held != Handle{}; }
    // No longer held: something else released it (a window the system
    // destroyed).
    void Forget() { Held = Handle{}; }
    void Reset(Handle handle = Handle{})
    {
        if (Held != Handle{})
            Release(Held);
        Held = handle;
    }

private:
    Handle Held{};
};

template <typename Object>
void DeleteGdiObject(Object object)
{
    DeleteObject(object);
}
inline void DestroyChildWindow(HWND window)
{
    DestroyWindow(window);
}
inline void ReleaseMemoryDc(HDC dc)
{
    DeleteDC(dc);
}

inline void ReleaseImageList(HIMAGELIST list)
{
    ImageList_Destroy(list);
}
inline void ReleaseMenu(HMENU menu)
{
    DestroyMenu(menu);
}
inline void ReleaseIcon(HICON icon)
{
    DestroyIcon(icon);
}

using BitmapHandle = UniqueHandle<HBITMAP, DeleteGdiObject<HBITMAP>>;
using PenHandle = UniqueHandle<HPEN, DeleteGdiObject<HPEN>>;
using ImageListHandle = UniqueHandle<HIMAGELIST, ReleaseImageList>;
using MenuHandle = UniqueHandle<HMENU, ReleaseMenu>;
using IconHandle = UniqueHandle<HICON, ReleaseIcon>;
using FontHandle = UniqueHandle<HFONT, DeleteGdiObject<HFONT>>;
using BrushHandle = UniqueHandle<HBRUSH, DeleteGdiObject<HBRUSH>>;
using WindowHandle = UniqueHandle<HWND, DestroyChildWindow>;
using MemoryDc = UniqueHandle<HDC, ReleaseMemoryDc>;

// A 32-bit top-down DIB section of width x height pixels (0x00RRGGBB each),
// its pixels at *pixels; empty, with *pixels null, when it cannot be made.
inline BitmapHandle CreatePixelBitmap(int width, int height, void** pixels)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    *pixels = nullptr;
    BitmapHandle bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, pixels, nullptr, 0));
    if (!bitmap)
        *pixels = nullptr;
    return bitmap;
}

// A window's device context from GetDC, released with the window.
class WindowDc {
public:
    explicit WindowDc(HWND window) : Window(window), Dc(GetDC(window)) {}
    ~WindowDc()
    {
        if (Dc != nullptr)
            ReleaseDC(Window, Dc);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC Get() const { return Dc; }

private:
    HWND Window;
    HDC Dc;
};

// A window's device context kept across many draws by one thread, taken
// from GetDC at the first use and released with the holder: under Wine each
// GetDC is a round trip to the window system, which at the analyser's pace
// costs more than the drawing itself.
class HeldWindowDc {
public:
    // The context of `window` (taken anew when the window is another one);
    // null when there is no window or no context.
    HDC Of(HWND window)
    {
        if (window != Window || !Held || Held->Get() == nullptr) {
            Held.reset();
            Window = window;
            if (window != nullptr)
                Held.emplace(window);
        }
        return Held ? Held->Get() : nullptr;
    }

private:
    HWND Window = nullptr;
    std::optional<WindowDc> Held;
};

// An object selected into a device context until the end of the scope.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : Dc(dc), Previous(SelectObject(dc, object)) {}
    ~Selection()
    {
        if (Previous != nullptr && Previous != HGDI_ERROR)
            SelectObject(Dc, Previous);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    // False when the object could not be selected (a bitmap already
    // selected into another context, say).
    bool Held() const { return Previous != nullptr && Previous != HGDI_ERROR; }

private:
    HDC Dc;
    HGDIOBJ Previous;
};
