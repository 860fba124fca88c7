// The main window's face: the skin, its fonts and brushes, and the drawing
// of every element, by the UI thread (paint, buttons, mouse) and by the play
// thread (time, title and seek bar while a track plays).
#include <windows.h>

#include <cstring>

#include "resources/resource.h"
#include "ui/MainWindow.h"

namespace {

// The face's title text and its colour.
constexpr COLORREF TitleColour = RGB(232, 255, 255);
constexpr int TitleLineBytes = 600;  // "Title: " and " / Artist: " around two 256-byte fields, and the scroll's spaces

// Resource ids in the order of SkinBitmap.
constexpr int SkinResources[static_cast<int>(SkinBitmap::Count)] = {
    IDB_FACE,           IDB_COMPACT_FACE,    IDB_TITLE_BUTTONS_UP, IDB_TITLE_BUTTONS_DOWN,
    IDB_COMPACT_BUTTONS_UP, IDB_COMPACT_BUTTONS_DOWN, IDB_BUTTON_ROW_UP, IDB_BUTTON_ROW_DOWN,
    IDB_CHANNEL_MODE,   IDB_LARGE_DIGITS,    IDB_TINY_DIGITS,      IDB_SMALL_DIGITS,
    IDB_SEEK_BAR,       IDB_SEEK_KNOB,       IDB_REPEAT,           IDB_SHUFFLE,
};

constexpr COLORREF SpectrumColours[SpectrumBrushCount] = {
    RGB(0, 0, 0),       RGB(240, 240, 240), RGB(239, 36, 115),  RGB(239, 44, 132),  RGB(239, 48, 132),
    RGB(231, 56, 156),  RGB(231, 77, 181),  RGB(231, 81, 189),  RGB(231, 85, 189),  RGB(222, 85, 190),
    RGB(222, 89, 198),  RGB(222, 93, 206),  RGB(222, 97, 214),  RGB(222, 101, 214), RGB(222, 101, 222),
    RGB(222, 105, 222), RGB(222, 105, 231), RGB(222, 109, 231), RGB(222, 109, 231), RGB(222, 109, 239),
    RGB(214, 113, 239), RGB(214, 117, 245), RGB(214, 125, 255), RGB(214, 127, 255), RGB(214, 129, 255),
    RGB(214, 131, 255),
};

}  // namespace

CMainWindow::CMainWindow(WindowContext& context, FaceHost& host, CEngine& engine, CPlayList& list,
                         CPlaylistFiles& files, CVolumeDialog& volume, COptionsDialog& options, CTray& tray)
    : Context(context), Host(host), Engine(engine), PlayList(list), Files(files), Volume(volume), Options(options),
      Tray(tray)
{
}

HWND CMainWindow::Window() const
{
    return Context.MainWindow;
}

int CMainWindow::Scale() const
{
    const int s = MainSize;
    return s == 2 || s == 4 ? s : 1;
}

bool CMainWindow::LoadSkin(bool create)
{
    for (int i = 0; i < static_cast<int>(SkinBitmap::Count); ++i) {
        Skin[i].Reset();
        if (create)
            Skin[i].Reset(LoadBitmapA(Context.Instance, MAKEINTRESOURCEA(SkinResources[i])));
    }
    return true;
}

bool CMainWindow::CreateTitleFonts(bool create)
{
    for (FontHandle& font : TitleFonts)
        font.Reset();
    if (!create)
        return true;
    static constexpr int Heights[3] = {-16, -32, -64};
    for (int i = 0; i < 3; ++i) {
        LOGFONTA font{};
        font.lfHeight = Heights[i];
        font.lfCharSet = SHIFTJIS_CHARSET;
        std::strcpy(font.lfFaceName, "ＭＳ Ｐゴシック");
        TitleFonts[i].Reset(CreateFontIndirectA(&font));
        if (!TitleFonts[i])
            return false;
    }
    return true;
}

COLORREF CMainWindow::SpectrumColour(int index)
{
    return SpectrumColours[index];
}

bool CMainWindow::CreateSpectrumBrushes(bool create)
{
    for (BrushHandle& brush : Brushes)
        brush.Reset();
    Canvas.Release();
    if (!create)
        return true;
    for (int i = 0; i < SpectrumBrushCount; ++i) {
        Brushes[i].Reset(CreateSolidBrush(SpectrumColours[i]));
        if (!Brushes[i])
            return false;
    }
    return true;
}

CMainWindow::TrackView CMainWindow::CurrentTrack() const
{
    return Engine.Snapshot();
}

bool CMainWindow::CurrentTitleLine(char* line, int size) const
{
    std::string title;
    std::string artist;
    if (!Engine.CurrentTexts(&title, &artist))
        return false;
    TitleLine(title.c_str(), artist.c_str(), line, size);
    return true;
}

void CMainWindow::Copy(HDC dc, const SkinCopy& copy) const
{
    HBITMAP bitmap = Skin[static_cast<int>(copy.Bitmap)].Get();
    if (dc == nullptr || bitmap == nullptr)
        return;
    const int s = Scale();
    HeldLock lock(DrawLock);
    MemoryDc memory(CreateCompatibleDC(dc));
    if (!memory)
        return;
    Selection selected(memory.Get(), bitmap);
    if (!selected.Held())
        return;  // drawing nothing beats drawing a block
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, copy.To.X * s, copy.To.Y * s, copy.To.W * s, copy.To.H * s, memory.Get(), copy.SourceX, 0,
               copy.SourceW, copy.SourceH, SRCCOPY);
}

void CMainWindow::PaintMain(HWND window)
{
    if (window == nullptr) {
        MessageBoxA(nullptr, "hwnd is null", "Tarvel", MB_OK);
        return;
    }
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (IsMinimize) {
        Copy(dc, {SkinBitmap::CompactFace, 0, FaceWidth, CompactFaceHeight, {0, 0, FaceWidth, CompactFaceHeight}});
    } else {
        Copy(dc, {SkinBitmap::Face, 0, FaceWidth, FaceHeight, {0, 0, FaceWidth, FaceHeight}});
        DrawTitle(dc, true, false);
        DrawTrackInfo(dc);
        DrawSeekBar(dc, SeekKnob, SeekDragging, true);
        DrawRepeat(dc);
        DrawShuffle(dc);
    }
    DrawTime(dc, -1, true);
    EndPaint(window, &paint);
    SpectrumWiped = true;
}

void CMainWindow::RestartTitle()
{
    if (Window() == nullptr)
        return;
    WindowDc dc(Window());
    DrawTitle(dc.Get(), true, true);
}

void CMainWindow::DrawTitle(HDC dc, bool force, bool reset)
{
    if (IsMinimize || dc == nullptr)
        return;
    const int s = Scale();
    char line[TitleLineBytes];
    const bool present = CurrentTitleLine(line, TitleLineBytes - 2);
    const std::int64_t played = Engine.PlayedBytes;

    HeldLock lock(DrawLock);
    if (reset) {
        TitleStepBytes = 88200;
        TitleScrollX = 9 * s + 1;
    } else if (TitleStepDue(played) || force) {
        TitleStepBytes = played;
    } else {
        return;
    }
    if (!present)
        return;

    const int fontIndex = s == 1 ? 0 : s == 2 ? 1 : 2;
    Selection font(dc, TitleFonts[fontIndex].Get());
    SetBkColor(dc, RGB(0, 0, 0));
    SetTextColor(dc, TitleColour);
    int length = static_cast<int>(std::strlen(line));
    SIZE extent{};
    GetTextExtentPoint32A(dc, line, length, &extent);
    const RECT clip{9 * s, 15 * s, 240 * s, 32 * s};
    TitleScrolls = extent.cx > 231 * s;  // a line that fits waits for the next forced draw
    if (TitleScrolls) {
        std::strcat(line, "  ");
        length += 2;
        GetTextExtentPoint32A(dc, line, length, &extent);
        const int w = extent.cx;
        --TitleScrollX;
        if (9 * s - TitleScrollX >= w)
            TitleScrollX = 9 * s;
        if (!TitleFirstDraw)
            ExtTextOutA(dc, TitleScrollX, 15 * s, ETO_CLIPPED, &clip, line, static_cast<UINT>(length), nullptr);
        if (TitleScrollX + w < 240 * s) {
            const RECT rest{TitleScrollX + w, 15 * s, 240 * s, 32 * s};
            ExtTextOutA(dc, TitleScrollX + w, 15 * s, ETO_CLIPPED, &rest, line, static_cast<UINT>(length), nullptr);
        }
    } else if (!TitleFirstDraw && force) {
        ExtTextOutA(dc, 9 * s, 15 * s, ETO_CLIPPED, &clip, line, static_cast<UINT>(length), nullptr);
    }
    if (TitleFirstDraw) {
        // The first paint draws no title and asks for a second, whole one.
        TitleFirstDraw = false;
        TitleScrollX = 9 * s + 1;
        InvalidateRect(Window(), nullptr, FALSE);
    }
}

std::int32_t CMainWindow::PlayedSeconds(const TrackView& track)
{
    return track.Present ? TrackSecondsAt(track.PlayedBytes, track.BytesPerSecond) : 0;
}

std::int32_t CMainWindow::PlayedKnob(const TrackView& track)
{
    return KnobPosition(track.PlayedBytes, track.BytesPerSecond, track.Duration);
}

bool CMainWindow::TitleStepDue(std::int64_t played) const
{
    // One device pixel for every 176400 / (40 * scale) bytes played: the
    // same speed in skin units at every scale.
    return played > TitleStepBytes + 176400 / (40 * Scale());
}

void CMainWindow::DrawTime(HDC dc, std::int32_t seconds, bool force)
{
    if (dc == nullptr)
        return;
    const TrackView track = CurrentTrack();
    HeldLock lock(DrawLock);
    if (seconds == -1) {
        if (SeekDragging)
            return;  // the drag shows its own time
        seconds = PlayedSeconds(track);
        if (!force && seconds == LastSeconds)
            return;
        LastSeconds = seconds;
    }
    SkinCopy cells[5];
    const int n = TimeCells(seconds, track.Present ? track.Duration : 0, TimeDisplayState,
                            IsMinimize != 0, cells);
    for (int i = 0; i < n; ++i)
        Copy(dc, cells[i]);
}

void CMainWindow::DrawTrackInfo(HDC dc)
{
    if (dc == nullptr)
        return;
    const TrackView track = CurrentTrack();
    {
        HeldLock lock(DrawLock);
        SkinCopy cells[5];
        int n = TrackNumberCells(track.Index, track.Count, cells);
        for (int i = 0; i < n; ++i)
            Copy(dc, cells[i]);
        Copy(dc, ChannelModeCell(track.Channels));
        n = BitRateCells(track.BitRate, cells);
        for (int i = 0; i < n; ++i)
            Copy(dc, cells[i]);
        n = SampleRateCells(track.SampleRate, cells);
        for (int i = 0; i < n; ++i)
            Copy(dc, cells[i]);
    }
    if (!track.Present && Window() != nullptr)
        SetWindowTextA(Window(), Context.ClassName);
}

void CMainWindow::DrawSeekBar(HDC dc, std::int32_t position, bool held, bool force)
{
    if (dc == nullptr || IsMinimize)
        return;
    const TrackView track = CurrentTrack();
    HeldLock lock(DrawLock);
    if (position == -1) {
        if (SeekDragging || !track.Present)
            return;
        position = PlayedKnob(track);
    }
    if (!force && position == LastKnob)
        return;
    LastKnob = position;
    Copy(dc, SeekGrooveCell());
    Copy(dc, SeekKnobCell(position, held));
}

void CMainWindow::DrawRepeat(HDC dc)
{
    if (dc != nullptr && !IsMinimize)
        Copy(dc, RepeatCell(Engine.Snapshot().Repeat));
}

void CMainWindow::DrawShuffle(HDC dc)
{
    if (dc != nullptr && !IsMinimize)
        Copy(dc, ShuffleCell(Engine.Snapshot().Shuffle));
}

void CMainWindow::DrawShuffle()
{
    if (Window() == nullptr)
        return;
    WindowDc dc(Window());
    DrawShuffle(dc.Get());
}

void CMainWindow::DrawButton(HDC dc, int id, bool pressed)
{
    // The always-on-top button stays down while the mode is on; its drawing
    // only shows the state, the click and F1 change it.
    if (id == IDC_ALWAYS_ON_TOP)
        pressed = pressed || AlwaysOnTop;
    SkinCopy copy;
    if (ButtonFace(id, IsMinimize != 0, pressed, &copy))
        Copy(dc, copy);
}

void CMainWindow::DrawPlaying(HDC dc)
{
    if (dc == nullptr)
        return;
    // Most passes change nothing visible.
    const TrackView track = CurrentTrack();
    const bool compact = IsMinimize != 0;
    bool time = false, title = false, knob = false;
    {
        HeldLock lock(DrawLock);
        time = !SeekDragging && PlayedSeconds(track) != LastSeconds;
        title = !compact && TitleScrolls && TitleStepDue(track.PlayedBytes);
        knob = !compact && !SeekDragging && track.Present && PlayedKnob(track) != LastKnob;
    }
    if (!time && !title && !knob)
        return;
    if (time)
        DrawTime(dc, -1, false);
    if (title)
        DrawTitle(dc, false, false);
    if (knob)
        DrawSeekBar(dc, -1, false, false);
}
