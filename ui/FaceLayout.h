// The main window's face as numbers: where every element sits in skin units,
// which glyph cells show a value, the button places, and the arithmetic of
// the seek bar and the window snap. Portable: the drawing and the mouse
// handling of the main window use it, and the native tests check it.
#pragma once

#include <cstdint>

// The unscaled face: every coordinate below is in these units, and the
// window shows them multiplied by its scale (1, 2 or 4).
inline constexpr int FaceWidth = 250;
inline constexpr int FaceHeight = 93;
inline constexpr int CompactFaceHeight = 15;

// The skin's bitmaps, in the order the resource ids list them.
enum class SkinBitmap {
    Face,
    CompactFace,
    TitleButtonsUp,
    TitleButtonsDown,
    CompactButtonsUp,
    CompactButtonsDown,
    ButtonRowUp,
    ButtonRowDown,
    ChannelMode,
    LargeDigits,
    TinyDigits,
    SmallDigits,
    SeekBar,
    SeekKnob,
    Repeat,
    Shuffle,
    Count
};

// A place on the face: left, top, width, height.
struct SkinRect {
    int X, Y, W, H;
};

// An inclusive region of the face that a press is tested against.
struct SkinRegion {
    int Left, Top, Right, Bottom;
    // Whether device point (x, y) of a window at `scale` lies inside.
    bool Contains(int x, int y, int scale) const
    {
        return Left * scale <= x && x <= Right * scale && Top * scale <= y && y <= Bottom * scale;
    }
};

inline constexpr SkinRegion SeekBarRegion{5, 67, 221, 73};
inline constexpr SkinRegion RepeatRegion{72, 54, 86, 60};
inline constexpr SkinRegion ShuffleRegion{42, 57, 68, 61};
inline constexpr SkinRegion TimeRegion{9, 33, 84, 48};
inline constexpr SkinRegion CompactTimeRegion{62, 3, 97, 11};
inline constexpr SkinRegion LogoRegion{14, 3, 58, 11};

// One copy from a skin bitmap to the face: the source rectangle (y 0) and
// the place it is stretched to.
struct SkinCopy {
    SkinBitmap Bitmap;
    int SourceX, SourceW, SourceH;
    SkinRect To;
};

// Glyphs of the digit sets beyond the digits.
enum DigitGlyph { GlyphColon = 10, GlyphMinus = 11, GlyphBlank = 12 };

// The cells of the time display: the sign and four digits of `seconds`
// played (time mode 0) or of what remains of `duration` (mode 1), in the
// full or compact face. Returns the number of cells (5), or 0 for a time
// mode that shows nothing. Values are clamped to 0 .. 99:59.
int TimeCells(std::int32_t seconds, std::int32_t duration, std::int32_t timeMode, bool compact, SkinCopy cells[5]);
// The track number: two large digits below 100 entries, four small ones
// from 100 (clamped to 9999). Returns the number of cells.
int TrackNumberCells(std::int32_t currentIndex, std::int32_t trackCount, SkinCopy cells[4]);
// Bit rate (kbit/s, clamped to 9999) and sample rate (Hz, clamped to
// 99999) in tiny digits, and the STEREO or MONO word.
int BitRateCells(std::uint32_t kbps, SkinCopy cells[4]);
int SampleRateCells(std::uint32_t hz, SkinCopy cells[5]);
SkinCopy ChannelModeCell(std::uint32_t channels);
// The repeat indicator's frame (states outside 0 .. 2 show as 0) and the
// shuffle indicator's.
SkinCopy RepeatCell(std::int32_t repeatState);
SkinCopy ShuffleCell(std::int32_t shuffleState);
// The seek bar's groove and its knob at `knob` (clamped to 0 .. 200).
SkinCopy SeekGrooveCell();
SkinCopy SeekKnobCell(std::int32_t knob, bool held);

// Where the knob stands for `playedBytes` of a track of `duration` seconds
// at `bytesPerSecond`: 0 at the start, 200 at the end, 0 when either is 0.
std::int32_t KnobPosition(std::int64_t playedBytes, std::uint32_t bytesPerSecond, std::int32_t duration);
// The knob under the pointer at device x of a window at `scale`.
std::int32_t KnobFromPointer(int x, int scale);
// The time, in milliseconds, that a knob released at `knob` asks for.
std::int64_t SeekMilliseconds(std::int32_t duration, std::int32_t knob);

// A button of the main window: its id, the string of its tooltip, and its
// places in the full and compact faces (the option button keeps its full
// place, out of sight, in the compact face).
struct ButtonPlace {
    int Id;
    int TipString;
    SkinRect Full;
    SkinRect Compact;
    bool MovesInCompact;
};
inline constexpr int ButtonCount = 15;
// In the order they are created.
extern const ButtonPlace Buttons[ButtonCount];
// What button `id` shows: its source in the released and pressed bitmaps.
// False for an id that is no button.
bool ButtonFace(int id, bool compact, bool pressed, SkinCopy* copy);

// The window's new left and top after a drag to (left, top): each edge
// closer than 10 pixels to the work area's edge snaps to it.
struct WorkArea {
    int Left, Top, Right, Bottom;
};
void SnapToWorkArea(const WorkArea& work, int width, int height, int* left, int* top);

// The title line, "Title: %s / Artist: %s" or "Title: %s" without an artist,
// in `size` bytes at most (terminator included), cut at a character
// boundary of code page 932. Fields are read up to their 256 bytes even
// without a terminator. Returns its length.
int TitleLine(const char* title, const char* artist, char* line, int size);
// The length of the longest start of `text` (`length` bytes) within
// `maximum` bytes that ends at a character boundary of code page 932.
int Cp932Fit(const char* text, int length, int maximum);
