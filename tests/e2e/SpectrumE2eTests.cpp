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
#include "TestWave.h"
#include "WinTestSupport.h"

namespace {

// A 44100 Hz stereo WAV of `bits` (16 or 24): `toneSeconds` of the bin-30
// tone at -6 dBFS on the channels asked for, then `silentSeconds` of silence.
void WriteBin30Wave(const std::string& path, bool left, bool right, double toneSeconds, double silentSeconds,
                    int bits = 16)
{
    const auto tone = static_cast<std::uint32_t>(toneSeconds * 44100);
    const auto frames = tone + static_cast<std::uint32_t>(silentSeconds * 44100);
    WriteWave(path, 2, 44100, static_cast<std::uint16_t>(bits), frames, [&](std::uint32_t i, int channel) {
        if (i >= tone || !(channel == 0 ? left : right))
            return std::int16_t{0};
        const double phase = 2 * 3.141592653589793 * 2583.984375 * i / 44100;
        return static_cast<std::int16_t>(std::lround(16384 * std::sin(phase)));
    });
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
        HWND main = player.Open("\"" + path + "\"", folder);
        ASSERT_NE(main, nullptr) << "gave up after 20000 ms waiting for the main window";
        SetWindowPos(main, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        SetCursorPos(1270, 1010);
        if (c.scale == 2) {
            TypeKey(main, VK_F2);
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
        } else {
            EXPECT_TRUE(WaitFor("the tone's bars", 3000, [&] {
                face.Capture(main);
                lit = LitBands(face, c.scale);
                return lit == c.lit;
            })) << "lit: " << lit;
            std::printf("%s at scale %d, %lu ms in: %s\n", c.name, c.scale,
                        static_cast<unsigned long>(GetTickCount() - start), lit.c_str());
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
        }
        DWORD exitCode = 0;
        ASSERT_TRUE(player.Close(main, 10000, &exitCode)) << "gave up after 10000 ms waiting for the program to end";
    }
    RemoveTree(folder);
}
