// The analyser of the real program, read from the screen: a tone at bin 30
// (2583.984375 Hz at 44100 Hz) lights band 10 and nothing else, on the
// channels that carry it, and silence leaves no bars once the peaks fell.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "FaceReader.h"
#include "TarvelProcess.h"
#include "WinTestSupport.h"

namespace {

// A 44100 Hz stereo WAV of `bits` (16 or 24): `toneSeconds` of the bin-30
// tone at -6 dBFS on the channels asked for, then `silentSeconds` of silence.
void WriteBin30Wave(const std::string& path, bool left, bool right, double toneSeconds, double silentSeconds,
                    int bits = 16)
{
    const int tone = static_cast<int>(toneSeconds * 44100), frames = tone + static_cast<int>(silentSeconds * 44100);
    std::vector<std::int16_t> pcm(2 * static_cast<std::size_t>(frames), 0);
    for (int i = 0; i < tone; ++i) {
        const auto v = static_cast<std::int16_t>(std::lround(16384 * std::sin(2 * 3.141592653589793 * 2583.984375 * i / 44100)));
        pcm[2 * static_cast<std::size_t>(i)] = left ? v : 0;
        pcm[2 * static_cast<std::size_t>(i) + 1] = right ? v : 0;
    }
    const std::uint32_t sampleBytes = static_cast<std::uint32_t>(bits / 8);
    std::vector<std::uint8_t> data;
    for (std::int16_t v : pcm) {
        if (sampleBytes == 3)
            data.push_back(0);  // 24 bits: the 16 of the tone, low byte first
        data.push_back(static_cast<std::uint8_t>(v & 0xFF));
        data.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    }
    const std::uint32_t bytes = static_cast<std::uint32_t>(data.size());
    const std::uint32_t header[] = {0x46464952, 36 + bytes, 0x45564157, 0x20746D66, 16, 0x00020001, 44100,
                                    44100 * 2 * sampleBytes, (static_cast<std::uint32_t>(bits) << 16) | (2 * sampleBytes),
                                    0x61746164, bytes};
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, header, sizeof header, &written, nullptr);
    WriteFile(file, data.data(), bytes, &written, nullptr);
    CloseHandle(file);
}

// The rows (skin units, y 34 to 58) where anything is painted in the band's
// three columns: "" when none, else "top-bottom".
std::string LitRows(const FaceReader& face, int x, int scale)
{
    int top = -1, bottom = -1;
    for (int y = 34; y <= 58; ++y)
        for (int dx = 0; dx < 3; ++dx)
            for (int sy = 0; sy < scale; ++sy)
                for (int sx = 0; sx < scale; ++sx)
                    if (face.Pixel((x + dx) * scale + sx, y * scale + sy) != 0) {
                        if (top < 0)
                            top = y;
                        bottom = y;
                    }
    return top < 0 ? "" : std::to_string(top) + "-" + std::to_string(bottom);
}

// Every band of both channels with what it shows: "L10:36-58 R10:36-58".
std::string LitBands(const FaceReader& face, int scale)
{
    std::string lit;
    for (int c = 0; c < 2; ++c)
        for (int b = 0; b < 18; ++b) {
            const std::string rows = LitRows(face, (c == 0 ? 93 : 169) + 4 * b, scale);
            if (!rows.empty())
                lit += (lit.empty() ? "" : " ") + std::string(c == 0 ? "L" : "R") + std::to_string(b) + ":" + rows;
        }
    return lit;
}

}  // namespace

TEST(Analyser, ABin30ToneLightsBand10OfItsChannelsAndSilenceNone)
{
    const std::string folder = MakeTestFolder("analyser");
    struct Case {
        const char* name;
        bool left, right;
        int scale;
        const char* lit;
        int bits;
    };
    for (const Case& c : {Case{"both", true, true, 1, "L10:36-58 R10:36-58", 16},
                          Case{"left", true, false, 1, "L10:36-58", 16},
                          Case{"both2", true, true, 2, "L10:36-58 R10:36-58", 16},
                          Case{"24-bit", true, true, 1, "", 24}}) {
        SCOPED_TRACE(c.name);
        const std::string path = folder + "\\" + c.name + ".wav";
        WriteBin30Wave(path, c.left, c.right, 3.0, 4.0, c.bits);
        TarvelProcess player;
        ASSERT_TRUE(player.Start("\"" + path + "\"", folder));
        HWND main = player.WaitForWindow("Tarvel", 20000);
        ASSERT_NE(main, nullptr) << "gave up after 20000 ms waiting for the main window";
        SetWindowPos(main, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        SetCursorPos(1270, 1010);
        if (c.scale == 2) {
            PostMessageA(main, WM_KEYDOWN, VK_F2, 1);
            PostMessageA(main, WM_KEYUP, VK_F2, 1 | (3u << 30));
            Sleep(300);
            SetCursorPos(1270, 1010);
        }
        FaceReader face(TarvelExe);
        std::string lit;
        const DWORD start = GetTickCount();
        if (c.bits != 16) {
            // A format the analyser cannot read as 16-bit stereo shows no
            // bars, not noise, while the tone plays.
            Sleep(1500);
            face.Capture(main);
            EXPECT_EQ(LitBands(face, c.scale), "");
            std::printf("%s, 1500 ms in: nothing lit\n", c.name);
            PostMessageA(main, WM_CLOSE, 0, 0);
            DWORD exitCode = 0;
            ASSERT_TRUE(player.WaitForExit(10000, &exitCode)) << "gave up after 10000 ms waiting for the program to end";
            continue;
        }
        EXPECT_TRUE(WaitFor("the tone's bars", 3000, [&] {
            face.Capture(main);
            lit = LitBands(face, c.scale);
            return lit == c.lit;
        })) << "lit: " << lit;
        std::printf("%s at scale %d, %lu ms in: %s\n", c.name, c.scale, static_cast<unsigned long>(GetTickCount() - start),
                    lit.c_str());
        // The bar's cells have the colours of their rows: row 0 at the bottom
        // (y 58) is brush 25, the top row 22 (y 36) the peak's light grey.
        const int x = 133 * c.scale;
        EXPECT_EQ(face.Pixel(x, 58 * c.scale), 0xD683FFu) << "row 0";
        EXPECT_EQ(face.Pixel(x, 36 * c.scale), 0xF0F0F0u) << "the peak on row 22";
        if (c.scale == 1) {
            // After the tone (3 s): silence, and once the peaks have fallen
            // (some 55 refreshes), nothing.
            EXPECT_TRUE(WaitFor("the bars and peaks to fall", 6000, [&] {
                face.Capture(main);
                lit = LitBands(face, c.scale);
                return lit.empty();
            })) << "lit: " << lit;
            std::printf("%s: nothing lit %lu ms in\n", c.name, static_cast<unsigned long>(GetTickCount() - start));
        }
        PostMessageA(main, WM_CLOSE, 0, 0);
        DWORD exitCode = 0;
        ASSERT_TRUE(player.WaitForExit(10000, &exitCode)) << "gave up after 10000 ms waiting for the program to end";
    }
    RemoveTree(folder);
}
