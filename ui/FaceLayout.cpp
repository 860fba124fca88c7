#include "ui/FaceLayout.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "resources/resource.h"

namespace {

// Large digits: ten 10-wide glyphs, then narrower minus and blank at 6·g + 42.
SkinCopy Large(int glyph, int x, int y)
{
    glyph = std::clamp(glyph, 0, static_cast<int>(GlyphBlank));
    if (glyph <= GlyphColon)
        return {SkinBitmap::LargeDigits, 10 * glyph, 10, 16, {x, y, 10, 16}};
    return {SkinBitmap::LargeDigits, 6 * glyph + 42, 6, 16, {x, y, 10, 16}};
}

SkinCopy Small(int glyph, int x, int y)
{
    glyph = std::clamp(glyph, 0, static_cast<int>(GlyphBlank));
    return {SkinBitmap::SmallDigits, 5 * glyph, 5, 7, {x, y, 5, 7}};
}

SkinCopy Tiny(int glyph, int x, int y)
{
    glyph = std::clamp(glyph, 0, 12);
    return {SkinBitmap::TinyDigits, 3 * glyph, 3, 5, {x, y, 3, 5}};
}

// The last `count` decimal digits of `value`, the most significant first.
void SplitDigits(int value, int count, int* digits)
{
    for (int i = count - 1; i >= 0; --i) {
        digits[i] = value % 10;
        value /= 10;
    }
}

bool IsLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// The length of a field of at most `size` bytes that may lack its terminator.
int FieldLength(const char* field, int size)
{
    const void* end = std::memchr(field, '\0', static_cast<std::size_t>(size));
    return end == nullptr ? size : static_cast<int>(static_cast<const char*>(end) - field);
}

}  // namespace

int TimeCells(std::int32_t seconds, std::int32_t duration, std::int32_t timeMode, bool compact, SkinCopy cells[5])
{
    constexpr std::int32_t Largest = 99 * 60 + 59;
    seconds = std::max<std::int32_t>(seconds, 0);
    std::int32_t value = 0;
    int sign = GlyphBlank;
    if (timeMode == 0) {
        value = seconds;
    } else if (timeMode == 1) {
        // Past the end (or with no known length) nothing remains.
        value = duration > seconds ? duration - seconds : 0;
        sign = GlyphMinus;
    } else {
        return 0;
    }
    value = std::min(value, Largest);
    const int digits[4] = {value / 600, (value / 60) % 10, (value % 60) / 10, value % 10};
    if (compact) {
        static constexpr int X[5] = {62, 67, 73, 85, 91};
        cells[0] = Small(sign, X[0], 4);
        for (int i = 0; i < 4; ++i)
            cells[i + 1] = Small(digits[i], X[i + 1], 4);
    } else {
        static constexpr int X[5] = {30, 37, 47, 65, 75};
        cells[0] = Large(sign, X[0], 33);
        for (int i = 0; i < 4; ++i)
            cells[i + 1] = Large(digits[i], X[i + 1], 33);
    }
    return 5;
}

int TrackNumberCells(std::int32_t currentIndex, std::int32_t trackCount, SkinCopy cells[4])
{
    const int n = std::clamp<int>(trackCount > 0 ? currentIndex + 1 : 0, 0, 9999);
    int digits[4];
    if (trackCount < 100) {
        SplitDigits(std::min(n, 99), 2, digits);
        for (int i = 0; i < 2; ++i)
            cells[i] = Large(digits[i], 9 + 10 * i, 33);
        return 2;
    }
    SplitDigits(n, 4, digits);
    for (int i = 0; i < 4; ++i)
        cells[i] = Small(digits[i], 7 + 6 * i, 33);
    return 4;
}

int BitRateCells(std::uint32_t kbps, SkinCopy cells[4])
{
    const int b = static_cast<int>(std::min<std::uint32_t>(kbps, 9999));
    const int count = b < 1000 ? 3 : 4;
    int digits[4];
    SplitDigits(b, count, digits);
    for (int i = 0; i < count; ++i)
        cells[i] = Tiny(digits[i], (count == 3 ? 9 : 7) + 4 * i, 51);
    return count;
}

int SampleRateCells(std::uint32_t hz, SkinCopy cells[5])
{
    int digits[5];
    SplitDigits(static_cast<int>(std::min<std::uint32_t>(hz, 99999)), 5, digits);
    for (int i = 0; i < 5; ++i)
        cells[i] = Tiny(digits[i], 9 + 4 * i, 57);
    return 5;
}

SkinCopy ChannelModeCell(std::uint32_t channels)
{
    return {SkinBitmap::ChannelMode, channels == 1 ? 23 : 0, 23, 5, {42, 51, 23, 5}};
}

SkinCopy RepeatCell(std::int32_t repeatState)
{
    const int frame = repeatState >= 0 && repeatState <= 2 ? repeatState : 0;
    return {SkinBitmap::Repeat, 15 * frame, 15, 7, {72, 54, 15, 7}};
}

SkinCopy ShuffleCell(std::int32_t shuffleState)
{
    return {SkinBitmap::Shuffle, shuffleState != 0 ? 27 : 0, 27, 5, {42, 57, 27, 5}};
}

SkinCopy SeekGrooveCell()
{
    return {SkinBitmap::SeekBar, 0, 217, 7, {5, 67, 217, 7}};
}

SkinCopy SeekKnobCell(std::int32_t knob, bool held)
{
    knob = std::clamp<std::int32_t>(knob, 0, 200);
    return {SkinBitmap::SeekKnob, held ? 17 : 0, 17, 7, {knob + 5, 67, 17, 7}};
}

std::int32_t KnobPosition(std::int64_t playedBytes, std::uint32_t bytesPerSecond, std::int32_t duration)
{
    if (playedBytes <= 0 || bytesPerSecond == 0 || duration <= 0)
        return 0;
    const std::int64_t seconds = playedBytes / bytesPerSecond;
    return static_cast<std::int32_t>(std::min<std::int64_t>(seconds * 200 / duration, 200));
}

std::int32_t KnobFromPointer(int x, int scale)
{
    if (x <= 13 * scale)
        return 0;
    if (x < 213 * scale)
        return (x - 13 * scale) / scale;
    return 200;
}

std::int64_t SeekMilliseconds(std::int32_t duration, std::int32_t knob)
{
    return static_cast<std::int64_t>(duration * 1000.0 * knob / 200.0);
}

const ButtonPlace Buttons[ButtonCount] = {
    {IDC_SCALE, IDS_TIP_SCALE, {211, 4, 7, 7}, {211, 4, 7, 7}, true},
    {IDC_COMPACT, IDS_TIP_COMPACT, {232, 4, 7, 7}, {232, 4, 7, 7}, true},
    {IDC_EXIT_BOX, IDS_TIP_EXIT, {4, 4, 7, 7}, {4, 4, 7, 7}, true},
    {IDC_EXIT_CROSS, IDS_TIP_EXIT, {239, 4, 7, 7}, {239, 4, 7, 7}, true},
    {IDC_ALWAYS_ON_TOP, IDS_TIP_ALWAYS_ON_TOP, {204, 4, 7, 7}, {204, 4, 7, 7}, true},
    {IDC_ICONIFY, IDS_TIP_ICONIFY, {225, 4, 7, 7}, {225, 4, 7, 7}, true},
    {IDC_TO_TRAY, IDS_TIP_TO_TRAY, {218, 4, 7, 7}, {218, 4, 7, 7}, true},
    {IDC_VOLUME, IDS_TIP_VOLUME, {226, 67, 19, 7}, {174, 3, 17, 8}, true},
    {IDC_OPEN_FILES, IDS_TIP_OPEN_FILES, {63, 78, 19, 10}, {126, 3, 18, 8}, true},
    {IDC_OPTIONS, IDS_TIP_OPTIONS, {203, 78, 13, 10}, {203, 78, 13, 10}, false},
    {IDC_PLAYLIST, IDS_TIP_PLAYLIST, {220, 78, 25, 10}, {162, 3, 12, 8}, true},
    {IDC_PLAY_PAUSE, IDS_TIP_PLAY, {31, 78, 29, 10}, {108, 3, 18, 8}, true},
    {IDC_STOP, IDS_TIP_STOP, {5, 78, 23, 10}, {100, 3, 8, 8}, true},
    {IDC_NEXT, IDS_TIP_NEXT, {111, 78, 20, 10}, {153, 3, 9, 8}, true},
    {IDC_PREVIOUS, IDS_TIP_PREVIOUS, {88, 78, 20, 10}, {144, 3, 9, 8}, true},
};

bool ButtonFace(int id, bool compact, bool pressed, SkinCopy* copy)
{
    struct Face {
        int Id;
        int TitleX;          // title-strip faces: the same in both modes
        int RowX, RowW, RowH;
        int CompactX, CompactW;  // -1: the button row's face in both modes
    };
    static constexpr Face Faces[] = {
        {IDC_EXIT_BOX, 0, 0, 0, 0, 0, 0},        {IDC_ALWAYS_ON_TOP, 7, 0, 0, 0, 0, 0},
        {IDC_SCALE, 14, 0, 0, 0, 0, 0},          {IDC_TO_TRAY, 21, 0, 0, 0, 0, 0},
        {IDC_ICONIFY, 28, 0, 0, 0, 0, 0},        {IDC_COMPACT, 35, 0, 0, 0, 0, 0},
        {IDC_EXIT_CROSS, 42, 0, 0, 0, 0, 0},     {IDC_STOP, -1, 0, 23, 10, 0, 8},
        {IDC_PLAY_PAUSE, -1, 23, 29, 10, 8, 18}, {IDC_OPEN_FILES, -1, 52, 19, 10, 26, 18},
        {IDC_PREVIOUS, -1, 71, 20, 10, 44, 9},   {IDC_NEXT, -1, 91, 20, 10, 53, 9},
        {IDC_OPTIONS, -1, 151, 13, 10, -1, 0},   {IDC_PLAYLIST, -1, 177, 25, 10, 62, 12},
        {IDC_VOLUME, -1, 202, 19, 7, 74, 17},
    };
    for (const Face& f : Faces) {
        if (f.Id != id)
            continue;
        if (f.TitleX >= 0) {
            *copy = {pressed ? SkinBitmap::TitleButtonsDown : SkinBitmap::TitleButtonsUp, f.TitleX, 7, 7, {0, 0, 7, 7}};
        } else if (compact && f.CompactX >= 0) {
            *copy = {pressed ? SkinBitmap::CompactButtonsDown : SkinBitmap::CompactButtonsUp, f.CompactX, f.CompactW, 8,
                     {0, 0, f.CompactW, 8}};
        } else {
            *copy = {pressed ? SkinBitmap::ButtonRowDown : SkinBitmap::ButtonRowUp, f.RowX, f.RowW, f.RowH,
                     {0, 0, f.RowW, f.RowH}};
        }
        return true;
    }
    return false;
}

void SnapToWorkArea(const WorkArea& work, int width, int height, int* left, int* top)
{
    constexpr int Reach = 10;
    if (work.Left - Reach < *left && *left < work.Left + Reach)
        *left = work.Left;
    if (work.Top - Reach < *top && *top < work.Top + Reach)
        *top = work.Top;
    if (work.Right - Reach < *left + width && *left + width < work.Right + Reach)
        *left = work.Right - width;
    if (work.Bottom - Reach < *top + height && *top + height < work.Bottom + Reach)
        *top = work.Bottom - height;
}

int Cp932Fit(const char* text, int length, int maximum)
{
    int fit = 0;
    for (int i = 0; i < length;) {
        const int width = IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < length ? 2 : 1;
        if (i + width > maximum)
            break;
        i += width;
        fit = i;
    }
    return fit;
}

int TitleLine(const char* title, const char* artist, char* line, int size)
{
    if (size <= 0)
        return 0;
    const int titleLength = FieldLength(title, 256);
    const int artistLength = FieldLength(artist, 256);
    int used = 0;
    auto append = [&](const char* text, int length) {
        const int n = Cp932Fit(text, length, size - 1 - used);
        std::memcpy(line + used, text, static_cast<std::size_t>(n));
        used += n;
    };
    append("Title: ", 7);
    append(title, titleLength);
    if (artistLength > 0) {
        append(" / Artist: ", 11);
        append(artist, artistLength);
    }
    line[used] = '\0';
    return used;
}
