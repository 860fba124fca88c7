// The analyser: its transform against a plain DFT, the window, the levels of
// a sine, the bands, and the bars' and peaks' dynamics.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <random>
#include <vector>

#include "ui/Spectrum.h"

namespace {

constexpr double Pi = 3.14159265358979323846;

std::vector<std::complex<double>> NaiveDft(const std::vector<double>& re, const std::vector<double>& im)
{
    const std::size_t n = re.size();
    std::vector<std::complex<double>> out(n);
    for (std::size_t k = 0; k < n; ++k) {
        std::complex<double> sum = 0;
        for (std::size_t m = 0; m < n; ++m)
            sum += std::complex<double>(re[m], im[m]) * std::polar(1.0, -2 * Pi * static_cast<double>(m * k % n) / n);
        out[k] = sum;
    }
    return out;
}

// A stereo frame block with a sine of `amplitude` at bin 30 on the channels
// asked for.
std::vector<std::int16_t> SineAtBin30(double amplitude, bool left, bool right)
{
    std::vector<std::int16_t> frames(2 * SpectrumFrames);
    for (int i = 0; i < SpectrumFrames; ++i) {
        const auto v = static_cast<std::int16_t>(std::lround(amplitude * std::sin(2 * Pi * 30 * i / 512)));
        frames[2 * i] = left ? v : 0;
        frames[2 * i + 1] = right ? v : 0;
    }
    return frames;
}

}  // namespace

TEST(Spectrum, TransformEqualsAPlainDft)
{
    for (int log2 : {3, 6, 9}) {
        CFFT fft;
        ASSERT_TRUE(fft.Init(1, log2, 1));
        const int n = 1 << log2;
        std::mt19937 random(log2);
        std::uniform_real_distribution<double> value(-32768, 32767);
        std::vector<double> re(n), im(n);
        for (int i = 0; i < n; ++i) {
            re[i] = value(random);
            im[i] = value(random);
        }
        const auto expected = NaiveDft(re, im);
        ASSERT_TRUE(fft.Transform(re.data(), im.data()));
        double largest = 0;
        for (int k = 0; k < n; ++k)
            largest = std::max(largest, std::abs(std::complex<double>(re[k], im[k]) - expected[k]));
        std::printf("%d points: largest difference from the plain DFT %.3g\n", n, largest);
        EXPECT_LT(largest, 1e-6);
    }
    // An impulse has every bin 1; a constant only bin 0.
    CFFT fft;
    ASSERT_TRUE(fft.Init(1, 9, 1));
    std::vector<double> re(512, 0.0), im(512, 0.0);
    re[0] = 1;
    fft.Transform(re.data(), im.data());
    for (int k = 0; k < 512; ++k) {
        ASSERT_NEAR(re[k], 1.0, 1e-12) << k;
        ASSERT_NEAR(im[k], 0.0, 1e-12) << k;
    }
    std::fill(re.begin(), re.end(), 3.0);
    std::fill(im.begin(), im.end(), 0.0);
    fft.Transform(re.data(), im.data());
    EXPECT_NEAR(re[0], 1536.0, 1e-9);
    for (int k = 1; k < 512; ++k)
        ASSERT_NEAR(std::hypot(re[k], im[k]), 0.0, 1e-9) << k;
}

TEST(Spectrum, TheWindowIsThePeriodicHammingWindow)
{
    CFFT fft;
    ASSERT_TRUE(fft.Init(1, 9, 1));
    const double* w = fft.Window();
    EXPECT_NEAR(w[0], 0.08, 1e-15);
    EXPECT_NEAR(w[256], 1.0, 1e-15);
    EXPECT_NEAR(w[511], 0.54 - 0.46 * std::cos(2 * Pi * 511 / 512), 1e-15) << "divided by 512, not 511";
    for (int i = 1; i < 512; ++i)
        ASSERT_NEAR(w[i], w[512 - i], 1e-12) << i;
}

TEST(Spectrum, OnlyTheSizesTheTablesHoldAreSetUp)
{
    CFFT fft;
    EXPECT_FALSE(fft.Init(1, 12, 1)) << "4096 points would run past the tables";
    EXPECT_FALSE(fft.Init(1, 0, 1));
    EXPECT_FALSE(fft.Ready());
    double re[8] = {}, im[8] = {};
    EXPECT_FALSE(fft.Transform(re, im)) << "no transform without tables";
    SpectrumAnalyser analyser(fft);
    const auto frames = SineAtBin30(16384, true, true);
    EXPECT_FALSE(analyser.Update(frames.data()));
    EXPECT_EQ(analyser.Left.Shown[10], -1) << "the bars are left as they are";
    EXPECT_TRUE(fft.Init(1, 11, 1));
    EXPECT_FALSE(analyser.Update(frames.data())) << "the analyser reads 512 frames only";
}

TEST(Spectrum, AFullScaleSineLightsItsBinAndBand)
{
    CFFT fft;
    ASSERT_TRUE(fft.Init(1, 9, 1));
    const auto frames = SineAtBin30(32767, true, true);
    std::vector<double> re(512), im(512, 0.0);
    for (int i = 0; i < 512; ++i)
        re[i] = frames[2 * i] * fft.Window()[i];
    const auto oracle = NaiveDft(re, im);
    fft.Transform(re.data(), im.data());
    double levels[SpectrumBins];
    BinLevels(re.data(), im.data(), levels);
    double elsewhere = SilentLevel;
    int where = -1;
    for (int k = 0; k < SpectrumBins; ++k) {
        if (k >= 29 && k <= 31)
            continue;
        if (levels[k] > elsewhere) {
            elsewhere = levels[k];
            where = k;
        }
    }
    std::printf("bin 30 %.2f dB; elsewhere at most %.2f dB (bin %d)\n", levels[30], elsewhere, where);
    EXPECT_NEAR(levels[30], 20 * std::log10(32767 * 0.54 * 256) - 94, 0.05) << "about 39 dB";
    EXPECT_NEAR(levels[30], 20 * std::log10(std::abs(oracle[30])) - 94, 1e-6);
    EXPECT_EQ(levels[29], SilentLevel) << "only the loudest bin of a band counts";
    EXPECT_LT(elsewhere, 0.0) << "no other bin above 0 dB";
    SpectrumChannel channel;
    channel.Refresh(levels);
    for (int b = 0; b < SpectrumBands; ++b)
        EXPECT_EQ(channel.Shown[b], b == 10 ? 22 : -1) << "band " << b;

    // Band 14 spans the raise of the upper bins (from bin 126): a quieter
    // bin above it decides the band, 20 dB against 12 dB.
    std::vector<double> two(512, 0.0), twoIm(512, 0.0);
    two[110] = 2e5;
    two[130] = 1e5;
    BinLevels(two.data(), twoIm.data(), levels);
    EXPECT_EQ(BandLevel(levels, 14), 20);

    // Silence has no logarithm: every bin is below every level, no bar.
    std::vector<double> zero(512, 0.0), zeroIm(512, 0.0);
    fft.Transform(zero.data(), zeroIm.data());
    BinLevels(zero.data(), zeroIm.data(), levels);
    EXPECT_EQ(levels[0], SilentLevel);
    for (int b = 0; b < SpectrumBands; ++b)
        EXPECT_EQ(BandLevel(levels, b), -1);

    // One channel only lights that channel's bars.
    SpectrumAnalyser analyser(fft);
    const auto leftOnly = SineAtBin30(16384, true, false);
    ASSERT_TRUE(analyser.Update(leftOnly.data()));
    EXPECT_EQ(analyser.Left.Shown[10], 22);
    EXPECT_EQ(analyser.Right.Shown[10], -1);
}

TEST(Spectrum, BandsWeightsBarsAndPeaks)
{
    double levels[SpectrumBins];
    auto only = [&](int bin, double level) {
        std::fill(std::begin(levels), std::end(levels), SilentLevel);
        levels[bin] = level;
    };
    // The edge bins of the bands.
    const int bins[] = {0, 1, 2, 4, 26, 27, 39, 40, 183};
    const int bands[] = {0, 1, 2, 3, 9, 10, 10, 11, 17};
    for (int i = 0; i < 9; ++i) {
        only(bins[i], 10.9);
        for (int b = 0; b < SpectrumBands; ++b)
            EXPECT_EQ(BandLevel(levels, b) > 0, b == bands[i]) << "bin " << bins[i] << ", band " << b;
    }
    only(184, 30);
    for (int b = 0; b < SpectrumBands; ++b)
        EXPECT_EQ(BandLevel(levels, b), -1) << "bin 184 is shown nowhere";
    only(0, 10);
    EXPECT_EQ(BandLevel(levels, 0), 6) << "10 weighted 0.6";
    only(0, 1);
    EXPECT_EQ(BandLevel(levels, 0), -1) << "1 weighted to 0: no bar";
    only(30, 100);
    EXPECT_EQ(BandLevel(levels, 10), 22);

    // A level of 22, then silence.
    SpectrumChannel channel;
    only(100, 30);  // band 14
    channel.Refresh(levels);
    std::fill(std::begin(levels), std::end(levels), SilentLevel);
    std::vector<int> bars{channel.Shown[14]}, peaks{channel.Peak[14]};
    for (int i = 0; i < 60; ++i) {
        channel.Refresh(levels);
        bars.push_back(channel.Shown[14]);
        peaks.push_back(channel.Peak[14]);
    }
    std::vector<int> wantBars;
    for (int v = 22; v >= -1; --v)
        wantBars.push_back(v);
    wantBars.resize(bars.size(), -1);
    EXPECT_EQ(bars, wantBars);
    std::vector<int> wantPeaks(23, 22);
    for (auto [row, count] : {std::pair{21, 4}, {20, 4}, {19, 3}, {18, 2}, {17, 2}})
        wantPeaks.insert(wantPeaks.end(), count, row);
    for (int row = 16; row >= -1; --row)
        wantPeaks.push_back(row);
    wantPeaks.resize(peaks.size(), -1);
    EXPECT_EQ(peaks, wantPeaks);
}
