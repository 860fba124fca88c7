// Plays a known signal through the wave output, and checks a recording of
// what the sound server played against it.
//
//   tarvel_wave_probe play EXPECTED.raw [RELEASE]   writes the signal, then
//       plays it; with RELEASE, the device stays open after the end until
//       that file exists (at most 20 s), so that a late sound server still
//       gets the last milliseconds
//   tarvel_wave_probe compare EXPECTED.raw RECORDED.raw [alone]
//       (alone: nothing but silence may come before or after the signal)
//   tarvel_wave_probe signal-wav FILE.wav SECONDS   the signal as a WAV file
//   tarvel_wave_probe close-player   closes a running Tarvel (WM_CLOSE)
//   tarvel_wave_probe press-key VK   presses a key (virtual-key code) on a
//       running Tarvel's main window
//   tarvel_wave_probe tone-wav FILE.wav RATE SECONDS HZ   a stereo sine tone
//   tarvel_wave_probe stream FILE.raw SECONDS [draw]   streams the file
//       through the wave output and nothing else (the floor of what playing
//       costs); with draw, a second thread also shows a window and redraws
//       an area of the analyser's size at the analyser's pace (the floor of
//       what drawing it costs)
//   tarvel_wave_probe double-click-row ROW   double-clicks a row (from 0) of
//       a running Tarvel's playlist window with the mouse
//   tarvel_wave_probe measure FILE.raw RATE CHANNELS   how long the sound in a
//       recording lasts and the pitch of its first channel
//
// Both files are raw 16-bit little-endian stereo at 44100 Hz. The recording
// may hold silence before and after the signal, and short bursts of silence
// inside it where the server ran dry; every sample of the signal must be
// there, unchanged and in order.
#include <windows.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "RemoteList.h"
#include "platform/WaveOut.h"
#include "platform/Win32Handles.h"
#include "playlist/PlaylistWindow.h"
#include "resources/resource.h"

namespace {

constexpr int Rate = 44100;

std::vector<std::int16_t> Signal(int frames)
{
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(frames) * 2);
    std::uint32_t noise = 12345;
    for (int i = 0; i < frames; ++i) {
        noise = noise * 1103515245u + 12345u;
        const double t = static_cast<double>(i) / Rate;
        // Never silent: an offset keeps every frame apart from inserted silence.
        pcm[2 * static_cast<std::size_t>(i)] =
            static_cast<std::int16_t>(9000 * std::sin(2 * 3.141592653589793 * 440 * t) + ((noise >> 16) & 255) + 300);
        pcm[2 * static_cast<std::size_t>(i) + 1] =
            static_cast<std::int16_t>(-7000 * std::sin(2 * 3.141592653589793 * 660 * t) - 300);
    }
    return pcm;
}

bool WriteRaw(const char* path, const std::vector<std::int16_t>& pcm)
{
    std::FILE* f = std::fopen(path, "wb");
    if (f == nullptr)
        return false;
    std::fwrite(pcm.data(), 2, pcm.size(), f);
    std::fclose(f);
    return true;
}

std::vector<std::int16_t> ReadRaw(const char* path)
{
    std::vector<std::int16_t> pcm;
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr)
        return pcm;
    std::int16_t block[4096];
    std::size_t n;
    while ((n = std::fread(block, 2, 4096, f)) > 0)
        pcm.insert(pcm.end(), block, block + n);
    std::fclose(f);
    return pcm;
}

// Opens the device for 16-bit stereo at Rate with the player's 65536-byte
// buffers, and starts it.
bool StartStereo(CWaveOut& out)
{
    WAVEFORMATEX format{};
    format.nChannels = 2;
    format.nSamplesPerSec = Rate;
    format.wBitsPerSample = 16;
    return out.Open(&format, 65536) && out.Start();
}

int Play(const char* expectedPath, const char* releasePath)
{
    const auto pcm = Signal(2 * Rate);
    if (!WriteRaw(expectedPath, pcm))
        return 2;
    CWaveOut out;
    if (!StartStereo(out)) {
        std::printf("cannot open the wave device\n");
        return 1;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(pcm.data());
    const std::int32_t total = static_cast<std::int32_t>(pcm.size() * 2);
    std::int32_t queued = 0;
    const DWORD start = GetTickCount();
    while (queued < total && GetTickCount() - start < 20000) {
        if (out.WaitBuffer() != WaveWait::Claimed) {
            Sleep(5);
            continue;
        }
        const std::int32_t n = total - queued < 65536 ? total - queued : 65536;
        out.Write(bytes + queued, n);
        queued += n;
    }
    while (out.GetPosition() < total && GetTickCount() - start < 20000)
        Sleep(10);
    std::printf("played %d bytes, device position %lld\n", total, static_cast<long long>(out.GetPosition()));
    std::fflush(stdout);
    // The server still holds the last milliseconds when the device reports
    // the end, and a reset drops them: a stalled server can be seconds late.
    if (releasePath == nullptr) {
        Sleep(300);
    } else {
        const DWORD end = GetTickCount();
        while (GetFileAttributesA(releasePath) == INVALID_FILE_ATTRIBUTES && GetTickCount() - end < 20000)
            Sleep(20);
    }
    out.Reset();
    out.Close();
    return 0;
}

int Compare(const char* expectedPath, const char* recordedPath, bool alone)
{
    const auto expected = ReadRaw(expectedPath);
    const auto recorded = ReadRaw(recordedPath);
    const std::size_t frames = expected.size() / 2, got = recorded.size() / 2;
    auto frameAt = [](const std::vector<std::int16_t>& v, std::size_t i) {
        return std::make_pair(v[2 * i], v[2 * i + 1]);
    };
    // The signal starts where the recording first matches its first frames.
    std::size_t r = 0;
    for (; r + 8 <= got; ++r) {
        bool match = true;
        for (std::size_t k = 0; k < 8 && match; ++k)
            match = frameAt(recorded, r + k) == frameAt(expected, k);
        if (match)
            break;
    }
    if (r + 8 > got) {
        std::printf("the signal's first frames are not in the recording (%zu frames recorded)\n", got);
        return 1;
    }
    const std::size_t first = r;
    std::size_t e = 0, inserted = 0;
    while (e < frames && r < got) {
        if (frameAt(recorded, r) == frameAt(expected, e)) {
            ++e, ++r;
        } else if (recorded[2 * r] == 0 && recorded[2 * r + 1] == 0) {
            ++inserted, ++r;  // the server ran dry for a moment
        } else {
            std::printf("frame %zu of the signal differs at recording frame %zu: %d %d instead of %d %d\n", e, r,
                        recorded[2 * r], recorded[2 * r + 1], expected[2 * e], expected[2 * e + 1]);
            return 1;
        }
    }
    std::printf("matched %zu of %zu frames from recording frame %zu, %zu frames of inserted silence\n", e, frames,
                first, inserted);
    if (alone) {
        // Nothing else sounded: silence before the signal and after it.
        for (std::size_t i = 0; i < got; ++i) {
            if ((i < first || i >= r) && (recorded[2 * i] != 0 || recorded[2 * i + 1] != 0)) {
                std::printf("sound outside the signal at recording frame %zu\n", i);
                return 1;
            }
        }
    }
    return e == frames ? 0 : 1;
}

}  // namespace

// A canonical 16-bit stereo WAV file of `pcm` at `rate`.
int WriteWave(const char* path, std::uint32_t rate, const std::vector<std::int16_t>& pcm)
{
    const std::uint32_t bytes = static_cast<std::uint32_t>(pcm.size() * 2);
    std::FILE* f = std::fopen(path, "wb");
    if (f == nullptr)
        return 2;
    auto put32 = [&](std::uint32_t v) { std::fwrite(&v, 4, 1, f); };
    auto put16 = [&](std::uint16_t v) { std::fwrite(&v, 2, 1, f); };
    std::fwrite("RIFF", 1, 4, f);
    put32(36 + bytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    put32(16);
    put16(1);
    put16(2);
    put32(rate);
    put32(rate * 4);
    put16(4);
    put16(16);
    std::fwrite("data", 1, 4, f);
    put32(bytes);
    std::fwrite(pcm.data(), 2, pcm.size(), f);
    std::fclose(f);
    return 0;
}

int SignalWave(const char* path, double seconds)
{
    return WriteWave(path, Rate, Signal(static_cast<int>(seconds * Rate)));
}

int ToneWave(const char* path, int rate, double seconds, double hz)
{
    const int frames = static_cast<int>(seconds * rate);
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(frames) * 2);
    for (int i = 0; i < frames; ++i)
        pcm[2 * static_cast<std::size_t>(i)] = pcm[2 * static_cast<std::size_t>(i) + 1] =
            static_cast<std::int16_t>(12000 * std::sin(2 * 3.141592653589793 * hz * i / rate));
    return WriteWave(path, static_cast<std::uint32_t>(rate), pcm);
}

// How long the sound lasts, counting only frames that carry sound (a burst of
// silence the server inserts when it runs dry does not count), and the pitch
// of the first channel over those frames.
int Measure(const char* path, int rate, int channels)
{
    const auto pcm = ReadRaw(path);
    const std::size_t step = static_cast<std::size_t>(channels);
    const std::size_t frames = pcm.size() / step;
    std::size_t loud = 0, crossings = 0;
    int previous = 0;
    for (std::size_t i = 0; i < frames; ++i) {
        const int v = pcm[i * step];
        if (std::abs(v) > 64 || (v != 0 && loud > 0))
            ++loud;
        if (v != 0 && previous != 0 && (previous < 0) != (v < 0))
            ++crossings;
        if (v != 0)
            previous = v;
    }
    if (loud == 0) {
        std::printf("no sound\n");
        return 1;
    }
    const double seconds = static_cast<double>(loud) / rate;
    std::printf("sound=%.3f pitch=%.1f\n", seconds, crossings / 2.0 / seconds);
    return 0;
}

int PressKey(int key)
{
    HWND window = FindWindowA("Tarvel", nullptr);
    if (window == nullptr) {
        std::printf("no Tarvel window\n");
        return 1;
    }
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(static_cast<UINT>(key), MAPVK_VK_TO_VSC)) << 16;
    PostMessageA(window, WM_KEYDOWN, static_cast<WPARAM>(key), scan | 1);
    PostMessageA(window, WM_KEYUP, static_cast<WPARAM>(key), scan | 1 | (3u << 30));
    return 0;
}

// The floor of drawing a shown analyser: a window of the face's size whose
// analyser-sized area (148 x 27) gets new bars every 10 ms, each time drawn
// into a memory bitmap and copied to the window through one context from
// GetDC held throughout: the least any program pays for that pace.
std::atomic<bool> DrawingStops{false};

DWORD WINAPI DrawAnalyserArea(void*)
{
    constexpr int Width = 148, Height = 27;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = "TarvelDrawFloor";
    RegisterClassA(&windowClass);
    WindowHandle window(CreateWindowExA(0, windowClass.lpszClassName, "", WS_POPUP | WS_VISIBLE, 100, 100, 250, 120,
                                        nullptr, nullptr, windowClass.hInstance, nullptr));
    MemoryDc canvas(CreateCompatibleDC(nullptr));
    void* pixels = nullptr;
    BitmapHandle bitmap = CreatePixelBitmap(Width, Height, &pixels);
    if (!window || !canvas || !bitmap)
        return 1;
    Selection selected(canvas.Get(), bitmap.Get());
    WindowDc dc(window.Get());
    for (unsigned pass = 0; !DrawingStops; ++pass) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        Sleep(10);
        auto* row = static_cast<std::uint32_t*>(pixels);
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x)
                row[y * Width + x] = (Height - y) * 7 < static_cast<int>((x * 37 + pass * 11) % 200) ? 0x00FF40 : 0;
        BitBlt(dc.Get(), 93, 34, Width, Height, canvas.Get(), 0, 0, SRCCOPY);
    }
    return 0;
}

// The floor of playing: 44100 Hz stereo PCM from a raw file streamed for
// `seconds` through the same wave output as the player, ten buffers of
// 65536 bytes, and nothing else. It waits for a free buffer in the device's
// semaphore and does no other work. `draw` adds the floor of drawing.
int Stream(const char* path, double seconds, bool draw)
{
    const auto pcm = ReadRaw(path);
    CWaveOut out;
    if (pcm.empty() || !StartStereo(out)) {
        std::printf("cannot stream %s\n", path);
        return 1;
    }
    UniqueHandle<HANDLE, CloseHandle> drawing(draw ? CreateThread(nullptr, 0, DrawAnalyserArea, nullptr, 0, nullptr)
                                                   : nullptr);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(pcm.data());
    const std::int32_t total = static_cast<std::int32_t>(pcm.size() * 2);
    std::int32_t queued = 0;
    const DWORD start = GetTickCount();
    const DWORD limit = static_cast<DWORD>(seconds * 1000);
    while (queued < total && GetTickCount() - start < limit) {
        if (WaitForSingleObject(out.FreeBuffers, 100) != WAIT_OBJECT_0)
            continue;
        const std::int32_t n = total - queued < 65536 ? total - queued : 65536;
        out.Write(bytes + queued, n);
        queued += n;
    }
    while (GetTickCount() - start < limit)
        Sleep(100);
    out.Reset();
    out.Close();
    if (drawing) {
        DrawingStops = true;
        if (WaitForSingleObject(drawing.Get(), 5000) != WAIT_OBJECT_0)
            std::printf("the drawing thread did not end within 5 s\n");
    }
    return 0;
}

// A double click, with the mouse, on row `row` of the playlist window.
int DoubleClickRow(int row)
{
    HWND frame = FindWindowA(PlaylistClassName, nullptr);
    if (frame == nullptr || !IsWindowVisible(frame)) {
        std::printf("no playlist window shown\n");
        return 1;
    }
    RemoteList list(GetDlgItem(frame, IDC_LIST_VIEW), nullptr);
    if (!list.Ready() || row >= list.Rows()) {
        std::printf("no row %d\n", row);
        return 1;
    }
    const RECT rect = list.RowRect(row, LVIR_LABEL);
    SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    Sleep(50);
    INPUT clicks[4] = {};
    for (int i = 0; i < 4; ++i) {
        clicks[i].type = INPUT_MOUSE;
        clicks[i].mi.dwFlags = i % 2 == 0 ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    }
    SendInput(4, clicks, sizeof clicks[0]);
    return 0;
}

int ClosePlayer()
{
    HWND window = FindWindowA("Tarvel", nullptr);
    if (window == nullptr) {
        std::printf("no Tarvel window\n");
        return 1;
    }
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId);
    PostMessageA(window, WM_CLOSE, 0, 0);
    DWORD exitCode = 99;
    if (process != nullptr) {
        WaitForSingleObject(process, 5000);
        GetExitCodeProcess(process, &exitCode);
        CloseHandle(process);
    }
    std::printf("Tarvel closed, exit code %lu\n", static_cast<unsigned long>(exitCode));
    return exitCode == 0 ? 0 : 1;
}

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "signal-wav") == 0)
        return SignalWave(argv[2], std::atof(argv[3]));
    if ((argc == 4 || (argc == 5 && std::strcmp(argv[4], "draw") == 0)) && std::strcmp(argv[1], "stream") == 0)
        return Stream(argv[2], std::atof(argv[3]), argc == 5);
    if (argc == 3 && std::strcmp(argv[1], "double-click-row") == 0)
        return DoubleClickRow(std::atoi(argv[2]));
    if (argc == 2 && std::strcmp(argv[1], "close-player") == 0)
        return ClosePlayer();
    if (argc == 3 && std::strcmp(argv[1], "press-key") == 0)
        return PressKey(std::atoi(argv[2]));
    if (argc == 6 && std::strcmp(argv[1], "tone-wav") == 0)
        return ToneWave(argv[2], std::atoi(argv[3]), std::atof(argv[4]), std::atof(argv[5]));
    if (argc == 5 && std::strcmp(argv[1], "measure") == 0)
        return Measure(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "play") == 0)
        return Play(argv[2], argc == 4 ? argv[3] : nullptr);
    if (argc == 4 && std::strcmp(argv[1], "compare") == 0)
        return Compare(argv[2], argv[3], false);
    if (argc == 5 && std::strcmp(argv[1], "compare") == 0 && std::strcmp(argv[4], "alone") == 0)
        return Compare(argv[2], argv[3], true);
    std::printf("usage: tarvel_wave_probe play EXPECTED | compare EXPECTED RECORDED\n");
    return 2;
}
