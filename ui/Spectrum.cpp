#include "ui/Spectrum.h"

#include <cmath>
#include <new>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr double TwoPi = 6.283185307179586;

}  // namespace

const int BandEdges[SpectrumBands + 1] = {0, 1, 2, 3, 5, 7, 8, 11, 15, 20, 27, 40, 50, 60, 100, 140, 170, 180, 184};
const double BandWeights[SpectrumBands] = {0.6, 0.6, 0.6, 0.7, 0.8, 1, 1, 1, 1, 1, 1.6, 1.6, 1.6, 1.6, 1, 1, 1, 1};
const int PeakHoldTable[7] = {0, 1, 1, 2, 3, 3, 22};

bool CFFT::Init(int, int log2Size, int direction)
{
    // The block holds three arrays of at most 2048 values: a larger
    // transform would run past it.
    if (log2Size < 1 || (1 << log2Size) > LargestSize) {
        FreeTables();
        return false;
    }
    N = 1 << log2Size;
    Log2Size = log2Size;
    Direction = direction;
    if (!Tables) {
        Tables.reset(new (std::nothrow) double[3 * LargestSize]());
        StageTwiddles.reset(new (std::nothrow) double[2 * LargestSize]());
        Reversed.reset(new (std::nothrow) std::uint16_t[LargestSize]());
        if (!Tables || !StageTwiddles || !Reversed) {
            FreeTables();
            return false;
        }
    }
    Sine = Tables.get();
    Cosine = Sine + N;
    Scratch = Cosine + N;
    BuildTwiddles();
    BuildWindow();
    return true;
}

void CFFT::FreeTables()
{
    Tables.reset();
    StageTwiddles.reset();
    Reversed.reset();
    Sine = Cosine = Scratch = nullptr;
}

void CFFT::BuildTwiddles()
{
    for (int i = 0; i < N; ++i) {
        const double angle = Direction == 1 ? i * -TwoPi / N : i * TwoPi / N;
        Sine[i] = std::sin(angle);
        Cosine[i] = std::cos(angle);
    }
    double* cosines = StageTwiddles.get();
    double* sines = cosines + (N - 1);
    for (int half = N / 2, step = 1, at = 0; half >= 1; half /= 2, step *= 2) {
        for (int k = 0; k < half; ++k, ++at) {
            cosines[at] = Cosine[k * step];
            sines[at] = Sine[k * step];
        }
    }
    for (int i = 0; i < N; ++i) {
        int r = 0;
        for (int b = 0; b < Log2Size; ++b)
            r |= ((i >> b) & 1) << (Log2Size - 1 - b);
        Reversed[i] = static_cast<std::uint16_t>(r);
    }
}

void CFFT::BuildWindow()
{
    // The periodic Hamming window: divided by its length, not length - 1.
    for (int i = 0; i < WindowLength; ++i)
        AnalysisWindow[i] = 0.54 - 0.46 * std::cos(i * TwoPi / WindowLength);
}

void CFFT::BitReverse(double* values) const
{
    for (int i = 0; i < N; ++i)
        Scratch[i] = values[Reversed[i]];
    for (int i = 0; i < N; ++i)
        values[i] = Scratch[i];
}

bool CFFT::Transform(double* re, double* im) const
{
    if (!Tables || N == 0)
        return false;
    const double* cosines = StageTwiddles.get();
    const double* sines = cosines + (N - 1);
    for (int half = N / 2; half >= 1; half /= 2) {
        for (int base = 0; base < N; base += 2 * half) {
            double* ri = re + base;
            double* ii = im + base;
            double* rj = ri + half;
            double* ij = ii + half;
            int k = 0;
#if defined(__SSE2__)
            // Two butterflies at a time, each with the same operations.
            for (; k + 2 <= half; k += 2) {
                const __m128d a = _mm_loadu_pd(ri + k), b = _mm_loadu_pd(ii + k);
                const __m128d c = _mm_loadu_pd(rj + k), d = _mm_loadu_pd(ij + k);
                const __m128d dr = _mm_sub_pd(a, c), di = _mm_sub_pd(b, d);
                const __m128d cosine = _mm_loadu_pd(cosines + k), sine = _mm_loadu_pd(sines + k);
                _mm_storeu_pd(ri + k, _mm_add_pd(a, c));
                _mm_storeu_pd(ii + k, _mm_add_pd(b, d));
                _mm_storeu_pd(rj + k, _mm_sub_pd(_mm_mul_pd(dr, cosine), _mm_mul_pd(di, sine)));
                _mm_storeu_pd(ij + k, _mm_add_pd(_mm_mul_pd(dr, sine), _mm_mul_pd(di, cosine)));
            }
#endif
            for (; k < half; ++k) {
                // Both inputs are read before either output is written.
                const double a = ri[k], b = ii[k], c = rj[k], d = ij[k];
                const double dr = a - c, di = b - d;
                ri[k] = a + c;
                ii[k] = b + d;
                rj[k] = dr * cosines[k] - di * sines[k];
                ij[k] = dr * sines[k] + di * cosines[k];
            }
        }
        cosines += half;
        sines += half;
    }
    BitReverse(re);
    BitReverse(im);
    if (Direction == -1) {
        for (int i = 0; i < N; ++i) {
            re[i] /= N;
            im[i] /= N;
        }
    }
    return true;
}

void BinLevels(const double* re, const double* im, double levels[SpectrumBins])
{
    // The upper bins, from this one, are raised by 14 dB.
    constexpr int Raised = 126;
    for (int k = 0; k < SpectrumBins; ++k)
        levels[k] = SilentLevel;
    // A bin's level grows with its magnitude, and so with the square of it:
    // the loudest bin of a run has the highest level.
    const auto loudest = [&](int from, int to) {
        int at = from;
        double most = -1;
        for (int k = from; k < to; ++k) {
            const double power = re[k] * re[k] + im[k] * im[k];
            if (power > most) {
                most = power;
                at = k;
            }
        }
        const double magnitude = std::sqrt(most);
        if (magnitude > 0)
            levels[at] = 20 * std::log10(magnitude) - (at < Raised ? 94 : 80);
    };
    for (int b = 0; b < SpectrumBands; ++b) {
        const int from = BandEdges[b], to = BandEdges[b + 1];
        if (from < Raised && to > Raised) {
            loudest(from, Raised);
            loudest(Raised, to);
        } else {
            loudest(from, to);
        }
    }
}

int BandLevel(const double levels[SpectrumBins], int band)
{
    int level = 0;
    for (int k = BandEdges[band]; k < BandEdges[band + 1]; ++k) {
        // Only levels above 0 dB count, so the conversion always has a number
        // of rows to convert.
        const int v = levels[k] > 0 ? static_cast<int>(levels[k] < 1000 ? levels[k] : 1000) : 0;
        if (v > level)
            level = v;
    }
    if (level != 0)
        level = static_cast<int>(level * BandWeights[band]);
    if (level < 1)
        level = -1;
    if (level > 22)
        level = 22;
    return level;
}

SpectrumChannel::SpectrumChannel()
{
    for (int b = 0; b < SpectrumBands; ++b) {
        Bar[b] = 0;
        Peak[b] = 0;
        Stage[b] = 6;
        Hold[b] = 0;
        Shown[b] = -1;
        LastShown[b] = -1;
    }
}

void SpectrumChannel::Refresh(const double levels[SpectrumBins])
{
    for (int b = 0; b < SpectrumBands; ++b) {
        int level = BandLevel(levels, b);
        if (level >= Bar[b]) {
            Bar[b] = level;
        } else {
            Bar[b] -= 1;
            level = Bar[b];
        }
        if (level >= Peak[b]) {
            Peak[b] = level;
            Stage[b] = 6;
            Hold[b] = PeakHoldTable[6];
        } else if (Hold[b] != 0) {
            Hold[b] -= 1;
        } else {
            if (Peak[b] > -1)
                Peak[b] -= 1;
            if (Stage[b] == 0) {
                Hold[b] = 0;
            } else {
                Stage[b] -= 1;
                Hold[b] = PeakHoldTable[Stage[b]];
            }
        }
        Shown[b] = level;
    }
}

void SpectrumAnalyser::Levels(const std::int16_t* frames, int channel, double levels[SpectrumBins]) const
{
    double re[SpectrumFrames];
    double im[SpectrumFrames] = {};
    const double* window = Fft.Window();
    for (int i = 0; i < SpectrumFrames; ++i)
        re[i] = frames[2 * i + channel] * window[i];
    Fft.Transform(re, im);
    BinLevels(re, im, levels);
}

bool SpectrumAnalyser::Update(const std::int16_t* frames)
{
    // No transform without its tables, and only the size the window has.
    if (!Fft.Ready() || Fft.Size() != SpectrumFrames)
        return false;
    double right[SpectrumBins];
    double left[SpectrumBins];
    Levels(frames, 1, right);
    Levels(frames, 0, left);
    Left.Refresh(left);
    Right.Refresh(right);
    return true;
}
