// Conformance streams against the reference output.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "TestData.h"
#include "engine/MpegStreamFeed.h"
#include "decoder/CpuLevel.h"

namespace {

// Decodes a whole stream from its first frame; empty when it is refused.
std::vector<std::int16_t> Decode(const std::vector<std::uint8_t>& bytes)
{
    std::int32_t at = 0;
    if (!MpegFindSync(bytes.data(), static_cast<std::int32_t>(bytes.size()), &at))
        return {};
    std::vector<std::uint8_t> head(bytes.begin() + at, bytes.end());
    head.resize(std::max<std::size_t>(head.size(), 160));
    FrameHeader info{};
    if (!MpegReadStreamInfo(head.data(), static_cast<std::int32_t>(head.size()), &info))
        return {};
    MemoryFile reader;
    reader.Data.assign(bytes.begin() + at, bytes.end());
    MpegStreamFeed feed;
    feed.SetReader(MemoryFile::Read, &reader);
    if (!feed.OpenMpegStream(info, 0))
        return {};
    std::vector<std::int16_t> pcm;
    std::vector<std::uint8_t> chunk(65536);
    for (;;) {
        std::int32_t n = 0;
        if (!feed.DecodeMpegChunk(chunk.data(), &n) || n == 0)
            break;
        for (std::int32_t i = 0; i + 1 < n; i += 2)
            pcm.push_back(static_cast<std::int16_t>(chunk[static_cast<std::size_t>(i)] |
                                                    (chunk[static_cast<std::size_t>(i) + 1] << 8)));
    }
    return pcm;
}

struct Difference {
    std::size_t Compared = 0;
    int Max = 0;
    double Psnr = INFINITY;
};

Difference Compare(const std::vector<std::int16_t>& decoded, const std::vector<std::uint8_t>& reference)
{
    Difference d;
    d.Compared = std::min(decoded.size(), reference.size() / 2);
    double square = 0;
    for (std::size_t i = 0; i < d.Compared; ++i) {
        const int r = static_cast<std::int16_t>(reference[2 * i] | (reference[2 * i + 1] << 8));
        const int diff = std::abs(decoded[i] - r);
        d.Max = std::max(d.Max, diff);
        square += static_cast<double>(diff) * diff;
    }
    if (square > 0)
        d.Psnr = 20 * std::log10(32768 / std::sqrt(square / static_cast<double>(d.Compared)));
    return d;
}

class Conformance : public ::testing::TestWithParam<const char*> {};

}  // namespace

// Every Layer II stream, and every Layer I stream without content in the
// highest sub-band, is within one unit of the reference (the reference
// rounds where the decoder truncates).
TEST_P(Conformance, WithinOneUnitOfTheReference)
{
    const std::string name = GetParam();
    auto stream = ReadInput("conformance/" + name + ".bit");
    auto reference = ReadInput("conformance/" + name + ".pcm");
    ASSERT_FALSE(stream.empty() || reference.empty());
    MpegInit();
    auto decoded = Decode(stream);
    ASSERT_FALSE(decoded.empty());
    Difference d = Compare(decoded, reference);
    EXPECT_GT(d.Compared, decoded.size() / 2);
    EXPECT_LE(d.Max, 1) << name;
}

INSTANTIATE_TEST_SUITE_P(LayerI, Conformance,
                         ::testing::Values("l1-fl1", "l1-fl2", "l1-fl3", "l1-fl4", "l1-fl5", "l1-fl7", "l1-fl8"));
INSTANTIATE_TEST_SUITE_P(LayerII, Conformance,
                         ::testing::Values("l2-fl10", "l2-fl11", "l2-fl12", "l2-fl13", "l2-fl14", "l2-fl15",
                                           "l2-fl16", "l2-test32"));
INSTANTIATE_TEST_SUITE_P(LayerIII, Conformance,
                         ::testing::Values("l3-compl", "l3-he_32khz", "l3-he_44khz", "l3-he_48khz", "l3-hecommon",
                                           "l3-si", "l3-si_block", "l3-nonstandard-apetag", "M2L3_bitrate_24_all"));

// The baseline forms of the synthesis, the Layer II code reads and the
// Layer III transform and the wide ones the processor may run give the same
// bytes on every stream of each layer, at full rate, at half rate and at a
// quarter rate in 8-bit samples (each rate has forms of its own).
TEST(Conformance, EveryFormOfTheArithmeticGivesTheSameBytes)
{
    for (const DecoderOptions options : {DecoderOptions{0, 0, 24000}, DecoderOptions{1, 0, 24000},
                                         DecoderOptions{2, 8, 24000}}) {
        for (const char* name : {"l1-fl8", "l2-fl10", "l2-test32", "l3-compl", "l3-he_44khz", "l3-he_mode",
                                 "l3-si_block", "M2L3_bitrate_24_all", "M2L3_compl24"}) {
            auto stream = ReadInput(std::string("conformance/") + name + ".bit");
            ASSERT_FALSE(stream.empty()) << name;
            std::vector<std::int16_t> baseline;
            for (CpuLevel level : {CpuLevel::Baseline, CpuLevel::Avx2, CpuLevel::Avx512}) {
                MpegInit();
                MpegSetOptions(&options);
                if (!UseCpuLevel(level))
                    continue;  // not on this processor
                const std::vector<std::int16_t> decoded = Decode(stream);
                if (level == CpuLevel::Baseline)
                    baseline = decoded;
                EXPECT_FALSE(decoded.empty()) << name;
                EXPECT_TRUE(decoded == baseline)
                    << name << ", " << CpuLevelName(level) << ", rate shift " << options.RateShift;
            }
        }
    }
    MpegInit();
}

// Streams with content above the decoded lines: the highest sub-band and the
// top scale-factor band of the low sampling frequencies are left out, which
// costs what these floors allow.
TEST(ConformanceLimits, LayerIIIContentAboveTheLineLimits)
{
    struct Case {
        const char* name;
        double psnr;
    };
    for (Case c : {Case{"l3-si_huff", 90}, Case{"M2L3_bitrate_16_all", 90}, Case{"M2L3_bitrate_22_all", 90},
                   Case{"M2L3_compl24", 85},
                   Case{"M2L3_noise", 27}}) {
        auto stream = ReadInput(std::string("conformance/") + c.name + ".bit");
        auto reference = ReadInput(std::string("conformance/") + c.name + ".pcm");
        ASSERT_FALSE(stream.empty() || reference.empty());
        MpegInit();
        Difference d = Compare(Decode(stream), reference);
        EXPECT_GT(d.Psnr, c.psnr) << c.name;
    }
}

// The first two frames of l3-sin1k0db refer to main data before the stream:
// the decoder gives silence for them, the reference nothing.
TEST(ConformanceLimits, FrameWithoutItsMainDataIsSilence)
{
    auto stream = ReadInput("conformance/l3-sin1k0db.bit");
    auto reference = ReadInput("conformance/l3-sin1k0db.pcm");
    ASSERT_FALSE(stream.empty() || reference.empty());
    MpegInit();
    auto decoded = Decode(stream);
    const std::size_t twoFrames = 2 * 1152 * 2;
    ASSERT_GT(decoded.size(), twoFrames);
    for (std::size_t i = 0; i < twoFrames; ++i)
        ASSERT_EQ(decoded[i], 0) << i;
    Difference d = Compare(std::vector<std::int16_t>(decoded.begin() + twoFrames, decoded.end()), reference);
    EXPECT_LE(d.Max, 1);
}

// l3-he_mode switches between single channel, dual channel, stereo and joint
// stereo (middle/side and intensity). A stream keeps the channels of its first
// frame: this single-channel stream plays the left channel of its two-channel
// frames.
TEST(ConformanceLimits, ModeSwitchingStreamKeepsItsChannels)
{
    auto stream = ReadInput("conformance/l3-he_mode.bit");
    auto reference = ReadInput("conformance/l3-he_mode.pcm");
    ASSERT_FALSE(stream.empty() || reference.empty());
    MpegInit();
    auto decoded = Decode(stream);
    std::vector<std::uint8_t> expected;
    std::size_t ref = 0;
    for (std::size_t at = 0; at + 4 <= stream.size();) {
        FrameHeader h{};
        ASSERT_TRUE(MpegParseHeader(stream.data() + at, &h)) << at;
        static const int rates[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
        at += static_cast<std::size_t>(144000 * rates[h.BitRateIndex] / 44100 + h.PaddingBit);
        for (int i = 0; i < 1152; ++i) {
            expected.push_back(reference[ref]);
            expected.push_back(reference[ref + 1]);
            ref += h.Mode == 3 ? 2 : 4;
        }
    }
    EXPECT_EQ(decoded.size(), expected.size() / 2);
    Difference d = Compare(decoded, expected);
    EXPECT_LE(d.Max, 1);
}

TEST(ConformanceLimits, LayerIHighestSubbandIsNotDecoded)
{
    // l1-fl6 carries content in sub-band 31, which the decoder leaves out.
    auto stream = ReadInput("conformance/l1-fl6.bit");
    auto reference = ReadInput("conformance/l1-fl6.pcm");
    ASSERT_FALSE(stream.empty() || reference.empty());
    MpegInit();
    Difference d = Compare(Decode(stream), reference);
    EXPECT_GT(d.Max, 1);
    EXPECT_GT(d.Psnr, 30.0);
}

// Illegal, unusual and truncated streams: decoded or refused, never a crash
// (the sanitizers watch this test).
TEST(ConformanceLimits, SurvivesEveryIllegalAndNonstandardStream)
{
    const char* names[] = {
        "ILL2_center2", "ILL2_dual", "ILL2_dynx22", "ILL2_dynx31", "ILL2_dynx32", "ILL2_ext_switching",
        "ILL2_layer1", "ILL2_layer3", "ILL2_mono", "ILL2_multilingual", "ILL2_overalloc1", "ILL2_overalloc2",
        "ILL2_prediction", "ILL2_samples", "ILL2_scf63", "ILL2_tca21", "ILL2_tca30", "ILL2_tca30_PC",
        "ILL2_tca31_PC", "ILL2_tca31_mtx0", "ILL2_tca31_mtx2", "ILL2_tca32_PC", "ILL2_wrongcrc", "ILL4_ext_id1",
        "ILL4_sync", "ILL4_wrong_length1", "ILL4_wrong_length2", "ILL4_wrongcrc",
        "l2-nonstandard-fl1_fl2_ff", "l2-nonstandard-free_format", "l2-nonstandard-test32-size",
        "l3-compl-cut", "l3-nonstandard-apetag", "l3-nonstandard-big-iscf", "l3-he_free", "ILL2_layer3",
        "l3-nonstandard-compl-sideinfo-bigvalues", "l3-nonstandard-compl-sideinfo-blocktype",
        "l3-nonstandard-compl-sideinfo-size", "l3-nonstandard-sideinfo-size", "l3-nonstandard-small",
        "l3-nonstandard-vbrtag-corrupted", "l3-nonstandard-vbrtag-empty", "l3-nonstandard-vbrtag-noframes",
        "l3-nonstandard-vbrtag-only", "l3-nonstandard-vbrtag-oob-read", "l3-nonstandard-id3v2-only",
    };
    int decoded = 0;
    MpegInit();
    for (const char* name : names) {
        auto stream = ReadInput(std::string("conformance/") + name + ".bit");
        if (!Decode(stream).empty())
            ++decoded;
        // Every prefix of a stream's first kilobytes is a truncated file.
        for (std::size_t cut = 1; cut < std::min<std::size_t>(stream.size(), 1500); cut += 97)
            Decode(std::vector<std::uint8_t>(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut)));
    }
    EXPECT_GT(decoded, 0);
}

// Inputs the fuzzer once found faults with: the first byte holds decoder
// options (bits 0-1 rate shift, bits 2-5 output flags), the second a start
// offset; the stream follows.
TEST(FuzzFindings, DecodeSafely)
{
    const char* names[] = {"layer1-forbidden-allocation.bin", "layer2-disallowed-bit-rate.bin"};
    for (const char* name : names) {
        auto input = ReadInput(std::string("fuzz/") + name);
        ASSERT_GT(input.size(), 2u) << name;
        MpegInit();
        DecoderOptions options{(input[0] & 3) == 3 ? 0 : input[0] & 3, (input[0] >> 2) & 0xB, 24000};
        MpegSetOptions(&options);
        Decode(std::vector<std::uint8_t>(input.begin() + 2, input.end()));
    }
    MpegInit();
}
