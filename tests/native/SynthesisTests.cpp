#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TestData.h"
#include "decoder/DecoderInternal.h"
#include "decoder/Synthesis.h"

namespace {

std::int16_t Sample(const std::vector<std::uint8_t>& pcm, std::size_t index)
{
    return static_cast<std::int16_t>(pcm[2 * index] | (pcm[2 * index + 1] << 8));
}

// Runs `slots` slots of a single-channel frame with `value` in sub-band 0.
std::vector<std::uint8_t> ConstantSubband0(float value, int slots, bool stereo = false)
{
    MpegInit();
    ResetSynthesis();
    FrameHeader header{};
    header.Mode = stereo ? 0 : 3;
    OutputRoutine out = SelectFrameOutput(&header);
    std::vector<float> samples(64 * static_cast<std::size_t>(slots), 0.0f);
    for (int s = 0; s < slots; ++s)
        samples[64 * static_cast<std::size_t>(s)] = value;
    std::vector<std::uint8_t> pcm(static_cast<std::size_t>(slots) * 32 * 2 * (stereo ? 2 : 1));
    out(samples.data(), pcm.data(), slots);
    return pcm;
}

}  // namespace

TEST(Synthesis, WindowMatchesTheStandardTable)
{
    auto rows = TableRecords("synth_window.txt");
    ASSERT_FALSE(rows.empty());
    std::vector<int> d(512);
    int count = 0;
    for (const auto& r : rows) {
        d[static_cast<std::size_t>(std::stoi(r[0]))] = std::stoi(r[2]);
        ++count;
    }
    ASSERT_EQ(count, 512);
    for (int j = 0; j < 16; ++j) {
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(SynthWindowUnits[16 * j + 2 * i], d[static_cast<std::size_t>(64 * i + j)]);
            EXPECT_EQ(SynthWindowUnits[16 * j + 2 * i + 1], d[static_cast<std::size_t>(64 * i + 32 + j)]);
        }
    }
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(SynthWindowUnits[256 + i], -d[static_cast<std::size_t>(64 * i + 48)]);
}

TEST(Synthesis, SilenceStaysSilent)
{
    auto pcm = ConstantSubband0(0.0f, 36);
    for (std::uint8_t byte : pcm)
        ASSERT_EQ(byte, 0);
}

TEST(Synthesis, ConstantInSubbandZeroSettlesWithTheInputsSign)
{
    auto pcm = ConstantSubband0(10000.0f, 36);
    for (int i = 0; i < 32; ++i) {
        EXPECT_GE(Sample(pcm, static_cast<std::size_t>(i)), 0) << i;
        EXPECT_LE(Sample(pcm, static_cast<std::size_t>(i)), 2) << i;
    }
    for (std::size_t i = 15 * 32; i < 36 * 32; ++i)
        ASSERT_EQ(Sample(pcm, i), 10000) << i;

    pcm = ConstantSubband0(-10000.0f, 36);
    EXPECT_EQ(Sample(pcm, 20 * 32), -10000);

    pcm = ConstantSubband0(40000.0f, 36);
    for (std::size_t i = 15 * 32; i < 36 * 32; ++i)
        ASSERT_EQ(Sample(pcm, i), 32767) << i;
    pcm = ConstantSubband0(-40000.0f, 36);
    EXPECT_EQ(Sample(pcm, 20 * 32), -32768);
}

TEST(Synthesis, StereoFramesInterleaveTheChannels)
{
    // Sub-band 0 of the left channel only (index 0 of each slot).
    auto pcm = ConstantSubband0(10000.0f, 36, true);
    ASSERT_EQ(pcm.size(), 4608u);
    for (std::size_t frame = 16 * 32; frame < 36 * 32; ++frame) {
        ASSERT_EQ(Sample(pcm, 2 * frame), 10000);
        ASSERT_EQ(Sample(pcm, 2 * frame + 1), 0);
    }
}

TEST(Synthesis, TruncatesTowardZeroThenClamps)
{
    EXPECT_EQ(PcmValue(-0.7f), 0);
    EXPECT_EQ(PcmValue(1.9f), 1);
    EXPECT_EQ(PcmValue(32767.9f), 32767);
    EXPECT_EQ(PcmValue(32768.0f), 32767);
    EXPECT_EQ(PcmValue(-32768.9f), -32768);
    EXPECT_EQ(PcmValue(-1e30f), -32768);
    EXPECT_EQ(PcmValue(1e30f), 32767);
    EXPECT_EQ(PcmValue(NAN), 32767);

    // The window's own conversion (four at a time) agrees: a slot of NaN
    // gives 32767 in every sample that reads it (all but the middle one, 16,
    // which reads only the earlier, silent slots), in either form of the
    // window.
    for (SynthesisPath path : {SynthesisPath::Baseline, SynthesisPath::Avx2, SynthesisPath::Avx512}) {
        MpegInit();
        if (!UseSynthesisPath(path))
            continue;
        ResetSynthesis();
        FrameHeader header{};
        header.Mode = 3;
        std::vector<float> samples(64, NAN);
        std::vector<std::uint8_t> pcm(64);
        SelectFrameOutput(&header)(samples.data(), pcm.data(), 1);
        for (std::size_t i = 0; i < 32; ++i)
            EXPECT_EQ(Sample(pcm, i), i == 16 ? 0 : 32767) << "sample " << i << ", form " << static_cast<int>(path);
    }
    UseSynthesisPath(WidestSynthesisPath());
}

TEST(Synthesis, EightBitOutputAndReducedRates)
{
    MpegInit();
    DecoderOptions options{0, 8, 24000};
    MpegSetOptions(&options);
    ResetSynthesis();
    FrameHeader header{};
    header.Mode = 3;
    std::vector<float> samples(64 * 36, 0.0f);
    for (int s = 0; s < 36; ++s)
        samples[64 * static_cast<std::size_t>(s)] = -40000.0f;
    std::vector<std::uint8_t> pcm(36 * 32);
    SelectFrameOutput(&header)(samples.data(), pcm.data(), 36);
    EXPECT_EQ(pcm[0], 0x80) << "silence is 128";
    EXPECT_EQ(pcm[30 * 32], 0x00) << "-32768";

    // Positions at half and quarter rate, and the bands that no longer count.
    for (int shift : {1, 2}) {
        options = {shift, 0, 24000};
        MpegSetOptions(&options);
        ResetSynthesis();
        const int n = 32 >> shift;
        std::vector<std::uint8_t> out(36 * 32 * 2);
        OutputRoutine routine = SelectFrameOutput(&header);
        std::vector<int> positions;
        std::vector<float> loud(64, 0.0f);
        loud[static_cast<std::size_t>(n == 16 ? 15 : 8)] = 30000.0f;  // above the rate's bands
        for (int s = 0; s < 3; ++s) {
            positions.push_back(SynthesisPosition(0));
            routine(loud.data(), out.data(), 1);
        }
        EXPECT_EQ(positions, (std::vector<int>{0, (512 >> shift) - n, (512 >> shift) - 2 * n}));
        for (int i = 0; i < n; ++i)
            EXPECT_EQ(Sample(out, static_cast<std::size_t>(i)), 0) << shift;
    }
    options = {0, 0, 24000};
    MpegSetOptions(&options);
}

// The window in two exact sums at a time, in four quick ones (the baseline),
// in four exact ones (AVX2 with FMA) and in eight (AVX-512), where the
// processor has them, gives the same bytes for every rate, width and channel
// count; also where sums leave the range of single precision (slots of huge
// values) or come near its bottom (tiny ones), and for loud slots, whose
// quick sums are near a boundary more often than not.
TEST(Synthesis, TheWideWindowsGiveTheSameBytes)
{
    MpegInit();
    std::vector<float> samples(64 * 360);
    std::uint32_t seed = 12345;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        seed = seed * 1103515245u + 12345u;
        const std::size_t slot = i / 64 % 120;
        const float scale = slot >= 40 && slot < 50 ? 1e34f : slot >= 80 && slot < 90 ? 1e-38f
                            : slot >= 100 && slot < 110                    ? 300.0f
                                                                           : 1.0f;
        samples[i] = static_cast<float>(static_cast<std::int32_t>(seed >> 8) % 40000) * 0.5f * scale;
    }
    auto run = [&](SynthesisPath path, int shift, int flags, int mode, bool exact = false) {
        UseSynthesisPath(path);
        if (exact)
            UseExactBaselineWindow();
        DecoderOptions options{shift, flags, 24000};
        MpegSetOptions(&options);
        ResetSynthesis();
        FrameHeader header{};
        header.Mode = mode;
        std::vector<std::uint8_t> pcm(360 * 32 * 2 * 2);
        SelectFrameOutput(&header)(samples.data(), pcm.data(), 360);
        // Layer III's routines too: a channel at a time, and both together.
        std::vector<std::uint8_t> granules(18 * 32 * 2 * 2 * 2);
        SelectGranuleOutput(false)(samples.data(), granules.data(), 0);
        SelectGranuleOutput(false)(samples.data() + 576, granules.data(), 1);
        SelectGranulePairOutput()(samples.data() + 1152, samples.data() + 1728, granules.data() + granules.size() / 2);
        pcm.insert(pcm.end(), granules.begin(), granules.end());
        return pcm;
    };
    for (int shift : {0, 1, 2})
        for (int flags : {0, 8})
            for (int mode : {0, 3})
                EXPECT_EQ(run(SynthesisPath::Baseline, shift, flags, mode, true),
                          run(SynthesisPath::Baseline, shift, flags, mode))
                    << "the quick window, shift " << shift << " flags " << flags << " mode " << mode;
    for (SynthesisPath path : {SynthesisPath::Avx2, SynthesisPath::Avx512}) {
        const bool available = UseSynthesisPath(path);
        std::printf("form %d of the window is %s on this processor\n", static_cast<int>(path),
                    available ? "in use" : "not available");
        if (!available)
            continue;
        for (int shift : {0, 1, 2})
            for (int flags : {0, 8})
                for (int mode : {0, 3})
                    EXPECT_EQ(run(SynthesisPath::Baseline, shift, flags, mode), run(path, shift, flags, mode))
                        << "form " << static_cast<int>(path) << " shift " << shift << " flags " << flags << " mode "
                        << mode;
    }
    UseSynthesisPath(WidestSynthesisPath());
    DecoderOptions defaults{0, 0, 24000};
    MpegSetOptions(&defaults);
}
