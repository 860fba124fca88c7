// Layer III reconstruction: requantisation, stereo processing, antialiasing
// and the hybrid filter bank, one granule at a time, into the synthesis.
#include <algorithm>
#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "decoder/Layer3.h"

namespace {

float GlobalGain[262];
float ScaleTable[2][4][32];
float SmallPowers[64];
// |v|^(1/3) for every magnitude a Huffman value with linbits can carry
// (15 + 2^13 - 1), from the same pow the formula uses.
constexpr int CubeRootCount = 8207;
double CubeRoots[CubeRootCount];
float SubblockGain[8];
float AntialiasCs[8], AntialiasCa[8];
float IntensityMpeg1[2][8][2];
float IntensityLsf[2][2][64][2];
// The long windows by block type, with the signs of x[17 - n] = -x[n] folded
// in (9 .. 17 negated), padded to whole runs of four.
float SignedLongWindows[4][40];
float ShortWindow[12];
// Transform matrices by input line, the output index running fastest so that
// one input line updates a whole row of outputs. The long transform is
// x[n] = sum X[k] cos(pi / 72 (2n + 19)(2k + 1)); its outputs repeat,
// x[17 - n] = -x[n] and x[53 - n] = x[n] (n < 9 and 18 <= n < 27), so only
// x[0..8] and x[18..26] are summed: HalfCos36[k] holds their 18 columns
// (and zeros up to 24, for the eight-wide form).
// Cos12[k][i] = cos(pi / 24 (2i + 7)(2k + 1)).
float HalfCos36[18][LongTransformColumns];
float Cos12[6][12];

inline float Requantise(float factor, std::int32_t v)
{
    if (v >= -32 && v < 32)
        return factor * SmallPowers[v + 32];
    const double magnitude = std::fabs(static_cast<double>(v));
    const double root = magnitude < CubeRootCount ? CubeRoots[static_cast<int>(magnitude)] : std::pow(magnitude, 1.0 / 3.0);
    return static_cast<float>(static_cast<double>(factor) * static_cast<double>(v) * root);
}

void RequantiseChannel(int c, int g)
{
    const GranuleInfo& gi = L3.Granules[g][c];
    const std::int32_t* sf = L3.ScaleFactors[g][c];
    const std::int32_t* q = L3.Quantised[c];
    float* out = L3.Spectrum[c][g];
    BandRecord& rec = L3.Bands[g][c];
    const int nonzero = L3.NonzeroCount[g][c];
    const float G = GlobalGain[std::clamp(gi.global_gain + 6, 0, 261)];
    const int sfs = gi.scalefac_scale & 1;

    int longBands = 22, firstShort = 12;
    if (gi.block_type == 2) {
        longBands = gi.mixed_block_flag ? L3.MixedLongBands : 0;
        firstShort = gi.mixed_block_flag ? 3 : 0;
    }
    rec.BlockType = gi.block_type;
    rec.FirstShortBand = firstShort;
    rec.LongBands = longBands;
    rec.HasShortPart = 0;
    rec.HighestShort[0] = rec.HighestShort[1] = rec.HighestShort[2] = -1;

    int line = 0;
    int highest = -1;
    for (int band = 0; band < longBands; ++band) {
        const float factor = G * ScaleTable[sfs][Pretab[gi.preflag & 1][band]][sf[band] & 31];
        // Zero lines come out as factor x 0 = +0 through the table, like any
        // other small value.
        std::int32_t any = 0;
        for (int j = 0; j < L3.LongWidths[band]; ++j, ++line) {
            const std::int32_t v = q[line];
            out[line] = Requantise(factor, v);
            any |= v;
        }
        if (any != 0)
            highest = band;
        if (line >= nonzero)
            break;
    }
    rec.HighestBand = highest;
    if (firstShort == 12) {
        std::fill(out + line, out + 576, 0.0f);
        return;
    }

    const int shortStart = 3 * L3.ShortBoundary[firstShort];
    if (line < shortStart)
        std::fill(out + line, out + shortStart, 0.0f);
    line = shortStart;
    float windowGain[3];
    for (int w = 0; w < 3; ++w)
        windowGain[w] = G * SubblockGain[gi.subblock_gain[w] & 7];
    float reorder[576];
    for (int band = firstShort; band < 13; ++band) {
        const int width = L3.ShortWidths[band];
        for (int w = 0; w < 3; ++w) {
            const float factor = windowGain[w] * ScaleTable[sfs][0][sf[ShortScaleBase + 13 * w + band] & 31];
            const std::int32_t* in = q + line + w * width;
            for (int j = 0; j < width; ++j) {
                const std::int32_t v = in[j];
                reorder[3 * j + w] = v == 0 ? 0.0f : Requantise(factor, v);
                if (v != 0)
                    rec.HighestShort[w] = band;
            }
        }
        std::memcpy(out + line, reorder, static_cast<std::size_t>(3 * width) * sizeof(float));
        line += 3 * width;
        if (line >= nonzero)
            break;
    }
    std::fill(out + line, out + 576, 0.0f);
    L3.NonzeroCount[g][c] = line;
    const int highestShort = std::max({rec.HighestShort[0], rec.HighestShort[1], rec.HighestShort[2]});
    if (highestShort >= 0)
        rec.HighestBand = highestShort;
    rec.HasShortPart = 1;
}

// The end of the highest band of the right channel that carries a value.
int EndOfHighestBand(const BandRecord& rec)
{
    if (rec.HasShortPart) {
        const int highest = std::max({rec.HighestShort[0], rec.HighestShort[1], rec.HighestShort[2]});
        if (highest >= 0)
            return L3.ShortEnds[highest];
        if (rec.LongBands == 0)
            return 0;
    }
    return rec.HighestBand >= 0 ? L3.LongEnds[rec.HighestBand] : 0;
}

void ApplyIntensityPair(float* left, float* right, int line, float kl, float kr)
{
    const float l = left[line];
    right[line] = kr * l;
    left[line] = kl * l;
}

void IntensityStereoMpeg1(int g)
{
    float* left = L3.Spectrum[0][g];
    float* right = L3.Spectrum[1][g];
    const BandRecord& rec = L3.Bands[g][1];
    const std::int32_t* sf = L3.ScaleFactors[g][1];
    const int m = L3.MidSide ? 1 : 0;
    const int leftCount = L3.NonzeroCount[g][0];
    if (!rec.HasShortPart) {
        const int first = rec.HighestBand + 1;
        int line = first == 0 ? 0 : L3.LongEnds[first - 1];
        for (int band = first; band <= 20 && line < leftCount; ++band) {
            const int k = std::min(sf[band], 7);
            for (int j = 0; j < L3.LongWidths[band] && line < leftCount; ++j, ++line)
                ApplyIntensityPair(left, right, line, IntensityMpeg1[m][k][0], IntensityMpeg1[m][k][1]);
        }
        return;
    }
    const int first = std::max({rec.HighestShort[0], rec.HighestShort[1], rec.HighestShort[2], rec.FirstShortBand - 1}) + 1;
    for (int band = first; band <= 11; ++band) {
        const int start = 3 * L3.ShortBoundary[band];
        if (start >= leftCount)
            break;
        for (int w = 0; w < 3; ++w) {
            const int k = std::min(sf[ShortScaleBase + 13 * w + band], 7);
            for (int j = 0; j < L3.ShortWidths[band]; ++j) {
                const int line = start + 3 * j + w;
                if (line < leftCount)
                    ApplyIntensityPair(left, right, line, IntensityMpeg1[m][k][0], IntensityMpeg1[m][k][1]);
            }
        }
    }
}

// The intensity factors of a band of the low sampling frequencies: the band's
// group gives the length of its positions.
const float* LsfFactors(int band, int firstGroupBand, int position)
{
    int group = 0, end = firstGroupBand;
    while (group < 3 && band >= end + L3.IntensityCounts[group])
        end += L3.IntensityCounts[group++];
    const int length = group < 3 ? L3.IntensityLengths[group] : 0;
    const int illegal = (1 << length) - 1;
    const int p = std::clamp(position, 0, illegal);
    return IntensityLsf[L3.IntensityScale & 1][L3.MidSide ? 1 : 0][illegal + p];
}

void IntensityLsfStereo(int g)
{
    float* left = L3.Spectrum[0][g];
    float* right = L3.Spectrum[1][g];
    const BandRecord& rec = L3.Bands[g][1];
    const BandRecord& leftRec = L3.Bands[g][0];
    const std::int32_t* sf = L3.ScaleFactors[g][1];
    const int leftCount = L3.NonzeroCount[g][0];
    if (!rec.HasShortPart) {
        const int first = rec.HighestBand + 1;
        int line = first == 0 ? 0 : L3.LongEnds[first - 1];
        for (int band = first; band <= 20 && line < leftCount; ++band) {
            const float* k = LsfFactors(band, 0, sf[band]);
            for (int j = 0; j < L3.LongWidths[band] && line < leftCount; ++j, ++line)
                ApplyIntensityPair(left, right, line, k[0], k[1]);
        }
        return;
    }
    // In a mixed block the first group covers the long bands; the short
    // bands' groups start at band 3.
    const int firstGroupBand = rec.FirstShortBand == 3 ? 3 - L3.IntensityCounts[0] : 0;
    for (int w = 0; w < 3; ++w) {
        const int first = std::max(rec.HighestShort[w] + 1, rec.FirstShortBand);
        const int last = std::min(leftRec.HighestShort[w], 12);
        for (int band = first; band <= last; ++band) {
            const float* k = LsfFactors(band, firstGroupBand, sf[ShortScaleBase + 13 * w + band]);
            const int start = 3 * L3.ShortBoundary[band];
            for (int j = 0; j < L3.ShortWidths[band]; ++j)
                ApplyIntensityPair(left, right, start + 3 * j + w, k[0], k[1]);
        }
    }
}

void Antialias(int c, int g)
{
    const BandRecord& rec = L3.Bands[g][c];
    if (rec.LongBands == 0)
        return;
    float* x = L3.Spectrum[c][g];
    int& nonzero = L3.NonzeroCount[g][c];
    const int boundaries = rec.FirstShortBand == 3 ? 1 : std::min((nonzero + 7) / 18, 31);
    for (int i = 0; i < boundaries; ++i) {
        for (int j = 0; j < 8; ++j) {
            float& a = x[18 * i + 17 - j];
            float& b = x[18 * (i + 1) + j];
            const float oldA = a;
            a = oldA * AntialiasCs[j] - b * AntialiasCa[j];
            b = b * AntialiasCs[j] + oldA * AntialiasCa[j];
        }
    }
    nonzero = std::max(nonzero, 18 * boundaries + 8);
}

// The 18 distinct outputs of the long transform of `lines`: each output
// sums its products line after line in single precision (a zero line adds
// only zeros, and a sum of zeros is silence whatever their signs). The SSE2
// form keeps four outputs a register, the same sums.
void LongTransformBaseline(const float* lines, const float (*table)[LongTransformColumns], float* h)
{
#if defined(__SSE2__)
    // The table's rows are padded to LongTransformColumns: the fifth
    // register's last two lanes are spare.
    __m128 a = _mm_setzero_ps(), b = a, c = a, d = a, e = a;
    for (int k = 0; k < 18; ++k) {
        const __m128 v = _mm_set1_ps(lines[k]);
        const float* row = table[k];
        a = _mm_add_ps(a, _mm_mul_ps(v, _mm_loadu_ps(row)));
        b = _mm_add_ps(b, _mm_mul_ps(v, _mm_loadu_ps(row + 4)));
        c = _mm_add_ps(c, _mm_mul_ps(v, _mm_loadu_ps(row + 8)));
        d = _mm_add_ps(d, _mm_mul_ps(v, _mm_loadu_ps(row + 12)));
        e = _mm_add_ps(e, _mm_mul_ps(v, _mm_loadu_ps(row + 16)));
    }
    _mm_storeu_ps(h, a);
    _mm_storeu_ps(h + 4, b);
    _mm_storeu_ps(h + 8, c);
    _mm_storeu_ps(h + 12, d);
    _mm_storeu_ps(h + 16, e);
#else
    for (int i = 0; i < 18; ++i)
        h[i] = 0;
    for (int k = 0; k < 18; ++k)
        for (int i = 0; i < 18; ++i)
            h[i] += lines[k] * table[k][i];
#endif
}

// The form in use: this build's, or the eight-wide one where the processor
// runs it.
LongTransformRoutine LongTransform = LongTransformBaseline;

// One long block of a sub-band: its transform h (LongTransform's 20
// values) windowed by w (SignedLongWindows), the first half added to the
// overlap o into the sub-band's 18 outputs (out, out + 32, ...), the second
// half the next overlap (written to `next`). Each value a product and a sum
// as in the plain form below: x[n] = h[n] w[n] and x[17 - n] = -h[n] w[17 - n]
// (= h[n] (-w[17 - n])) for n < 9, x[18 + n] = h[9 + n] w[18 + n] and
// x[35 - n] = h[9 + n] w[35 - n].
void WindowLongBlock(const float* h, const float* w, const float* o, float* out, float* next)
{
#if defined(__SSE2__)
    const __m128 a = _mm_loadu_ps(h), b = _mm_loadu_ps(h + 4), c = _mm_loadu_ps(h + 8);
    const __m128 d = _mm_loadu_ps(h + 12), e = _mm_loadu_ps(h + 16);
    // h[0..8] and then backwards, in runs of four.
    const __m128 first[5] = {a, b, _mm_shuffle_ps(c, b, _MM_SHUFFLE(2, 3, 0, 0)),
                             _mm_shuffle_ps(b, a, _MM_SHUFFLE(2, 3, 0, 1)), _mm_shuffle_ps(a, a, _MM_SHUFFLE(0, 0, 0, 1))};
    // h[9..17] and then backwards.
    const __m128 c3d0 = _mm_shuffle_ps(c, d, _MM_SHUFFLE(0, 0, 3, 3));  // h11 h11 h12 h12
    const __m128 d3e0 = _mm_shuffle_ps(d, e, _MM_SHUFFLE(0, 0, 3, 3));  // h15 h15 h16 h16
    const __m128 d0c3 = _mm_shuffle_ps(d, c, _MM_SHUFFLE(3, 3, 0, 0));  // h12 h12 h11 h11
    const __m128 second[5] = {_mm_shuffle_ps(c, c3d0, _MM_SHUFFLE(2, 0, 2, 1)), _mm_shuffle_ps(d, d3e0, _MM_SHUFFLE(2, 0, 2, 1)),
                              _mm_shuffle_ps(e, d3e0, _MM_SHUFFLE(0, 2, 1, 1)), _mm_shuffle_ps(d, d0c3, _MM_SHUFFLE(2, 0, 1, 2)),
                              _mm_shuffle_ps(c, c, _MM_SHUFFLE(0, 0, 1, 2))};
    for (int r = 0; r < 5; ++r) {
        // Runs 0 .. 3 whole, run 4 two values.
        const __m128 x = _mm_add_ps(_mm_mul_ps(first[r], _mm_loadu_ps(w + 4 * r)),
                                    r < 4 ? _mm_loadu_ps(o + 4 * r) : _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(o + 16))));
        const __m128 y = _mm_mul_ps(second[r], _mm_loadu_ps(w + 18 + 4 * r));
        float* column = out + 32 * 4 * r;
        _mm_store_ss(column, x);
        _mm_store_ss(column + 32, _mm_shuffle_ps(x, x, _MM_SHUFFLE(1, 1, 1, 1)));
        if (r < 4) {
            _mm_store_ss(column + 64, _mm_movehl_ps(x, x));
            _mm_store_ss(column + 96, _mm_shuffle_ps(x, x, _MM_SHUFFLE(3, 3, 3, 3)));
            _mm_storeu_ps(next + 4 * r, y);
        } else {
            _mm_storel_pi(reinterpret_cast<__m64*>(next + 16), y);
        }
    }
#else
    for (int i = 0; i < 9; ++i) {
        out[32 * i] = h[i] * w[i] + o[i];
        out[32 * (17 - i)] = h[i] * w[17 - i] + o[17 - i];
        next[i] = h[9 + i] * w[18 + i];
        next[17 - i] = h[9 + i] * w[35 - i];
    }
#endif
}

// The hybrid filter bank of one channel into `out` (18 slots x 32 sub-bands).
// Returns the lines written, in whole sub-bands.
int Hybrid(int c, int g, float* out)
{
    const GranuleInfo& gi = L3.Granules[g][c];
    float* X = L3.Spectrum[c][g];
    float* overlap = L3.Spectrum[c][g ^ 1];
    int longLines;
    if (gi.block_type != 2)
        longLines = L3.NonzeroCount[g][c];
    else
        longLines = gi.mixed_block_flag ? L3.LongEnds[L3.MixedLongBands - 1] : 0;
    longLines = std::min(longLines, L3.LineLimit);
    const int lineCount = std::min(L3.NonzeroCount[g][c], L3.LineLimit);
    const int previous = L3.NonzeroCount[g ^ 1][c];

    const int longBands = (longLines + 17) / 18;
    const int allBands = std::max(longBands, (lineCount + 17) / 18);
    const int previousBands = std::min((previous + 17) / 18, 32);
    const float* window = SignedLongWindows[gi.block_type == 2 ? 0 : gi.block_type & 3];

    int sb = 0;
    for (; sb < longBands; ++sb) {
        // With the mixed flag the two lowest sub-bands take the normal window
        // whatever the block type (start and stop blocks included).
        const float* w = gi.mixed_block_flag && sb < 2 ? SignedLongWindows[0] : window;
        float* lines = X + 18 * sb;
        alignas(16) float h[20];
        LongTransform(lines, HalfCos36, h);
        WindowLongBlock(h, w, overlap + 18 * sb, out + sb, lines);
    }
    for (; sb < allBands; ++sb) {
        float* lines = X + 18 * sb;
        float* o = overlap + 18 * sb;
        float block[36] = {};
        for (int w = 0; w < 3; ++w) {
            float y[12] = {};
            for (int k = 0; k < 6; ++k) {
                const float v = lines[w + 3 * k];
                for (int i = 0; i < 12; ++i)
                    y[i] += v * Cos12[k][i];
            }
            for (int i = 0; i < 12; ++i)
                block[6 + 6 * w + i] += y[i] * ShortWindow[i];
        }
        for (int i = 0; i < 18; ++i) {
            out[32 * i + sb] = block[i] + o[i];
            lines[i] = block[18 + i];
        }
    }
    for (; sb < previousBands; ++sb) {
        float* lines = X + 18 * sb;
        const float* o = overlap + 18 * sb;
        for (int i = 0; i < 18; ++i) {
            out[32 * i + sb] = o[i];
            lines[i] = 0;
        }
    }
    const int written = sb;
    for (; sb < 32; ++sb)
        for (int i = 0; i < 18; ++i)
            out[32 * i + sb] = 0;
    return written * 18;
}

}  // namespace

bool UseWideLayer3Transform(bool wide)
{
    const LongTransformRoutine routine = wide ? WideLongTransform() : nullptr;
    LongTransform = routine != nullptr ? routine : LongTransformBaseline;
    return routine != nullptr;
}

namespace {

void InvertFrequencies(float* out, int lines)
{
    const int bands = std::min((lines + 17) / 18, 32);
    for (int s = 1; s < 18; s += 2)
        for (int sb = 1; sb < bands; sb += 2)
            out[32 * s + sb] = -out[32 * s + sb];
}

// One channel's filter bank into `out`, ready for the synthesis.
void FilterBank(int c, int g, float* out)
{
    const int lines = Hybrid(c, g, out);
    L3.NonzeroCount[g][c] = lines;
    InvertFrequencies(out, lines);
}

void SynthesizeChannel(int c, int g, std::uint8_t* pcm, int outputChannel)
{
    FilterBank(c, g, L3.HybridOutput);
    Output(L3.HybridOutput, pcm, outputChannel);
}

}  // namespace

void BuildLayer3ReconstructionTables()
{
    UseWideLayer3Transform(true);
    const double pi = 4.0 * std::atan(1.0);
    for (int i = 0; i < 262; ++i)
        GlobalGain[i] = static_cast<float>(std::pow(2.0, (i - 156) / 4.0));
    for (int s = 0; s < 2; ++s)
        for (int p = 0; p < 4; ++p)
            for (int k = 0; k < 32; ++k)
                ScaleTable[s][p][k] = static_cast<float>(std::pow(2.0, -0.5 * (s + 1) * (k + p)));
    for (int i = 0; i < 64; ++i) {
        const int v = i - 32;
        SmallPowers[i] = static_cast<float>(v * std::pow(std::fabs(static_cast<double>(v)), 1.0 / 3.0));
    }
    for (int i = 0; i < CubeRootCount; ++i)
        CubeRoots[i] = std::pow(static_cast<double>(i), 1.0 / 3.0);
    for (int i = 0; i < 8; ++i)
        SubblockGain[i] = static_cast<float>(std::pow(2.0, -2.0 * i));
    static const double c[8] = {-0.6, -0.535, -0.33, -0.185, -0.095, -0.041, -0.0142, -0.0037};
    for (int i = 0; i < 8; ++i) {
        const double d = std::sqrt(1.0 + c[i] * c[i]);
        AntialiasCs[i] = static_cast<float>(1.0 / d);
        AntialiasCa[i] = static_cast<float>(c[i] / d);
    }
    for (int m = 0; m < 2; ++m) {
        const double gain = m ? std::sqrt(2.0) : 1.0;
        for (int k = 0; k < 7; ++k) {
            const double s = std::sin(k * pi / 12), co = std::cos(k * pi / 12);
            IntensityMpeg1[m][k][0] = static_cast<float>(s / (s + co) * gain);
            IntensityMpeg1[m][k][1] = static_cast<float>(co / (s + co) * gain);
        }
        IntensityMpeg1[m][7][0] = 1;
        IntensityMpeg1[m][7][1] = m ? 1.0f : 0.0f;
    }
    for (int scale = 0; scale < 2; ++scale) {
        const double io = std::pow(2.0, -(scale + 1) / 4.0);
        for (int m = 0; m < 2; ++m) {
            const double g = m ? std::sqrt(2.0) : 1.0;
            for (int length = 0; length <= 5; ++length) {
                const int base = (1 << length) - 1;
                for (int k = 0; k < base; ++k) {
                    float* e = IntensityLsf[scale][m][base + k];
                    if (k == 0) {
                        e[0] = e[1] = static_cast<float>(g);
                    } else if (k % 2) {
                        e[0] = static_cast<float>(std::pow(io, (k + 1) / 2) * g);
                        e[1] = static_cast<float>(g);
                    } else {
                        e[0] = static_cast<float>(g);
                        e[1] = static_cast<float>(std::pow(io, k / 2) * g);
                    }
                }
                float* illegal = IntensityLsf[scale][m][base + base];
                illegal[0] = 1;
                illegal[1] = m ? 1.0f : 0.0f;
            }
        }
    }
    for (int i = 0; i < 36; ++i) {
        const double normal = std::sin(pi / 36 * (i + 0.5));
        const double sign = i >= 9 && i < 18 ? -1.0 : 1.0;
        SignedLongWindows[0][i] = SignedLongWindows[2][i] = static_cast<float>(sign * normal);
        SignedLongWindows[1][i] = static_cast<float>(
            sign * (i < 18 ? normal : i < 24 ? 1.0 : i < 30 ? std::sin(pi / 12 * (i - 18 + 0.5)) : 0.0));
        SignedLongWindows[3][i] = static_cast<float>(
            sign * (i < 6 ? 0.0 : i < 12 ? std::sin(pi / 12 * (i - 6 + 0.5)) : i < 18 ? 1.0 : normal));
    }
    for (int k = 0; k < 18; ++k) {
        for (int i = 0; i < 18; ++i) {
            const int n = i < 9 ? i : 9 + i;
            HalfCos36[k][i] = static_cast<float>(std::cos(pi / 72 * (2 * n + 19) * (2 * k + 1)));
        }
    }
    for (int i = 0; i < 12; ++i) {
        ShortWindow[i] = static_cast<float>(std::sin(pi / 12 * (i + 0.5)));
        for (int k = 0; k < 6; ++k)
            Cos12[k][i] = static_cast<float>(std::cos(pi / 24 * (2 * i + 7) * (2 * k + 1)));
    }
}

void L3ReconstructGranule(std::uint8_t* pcm, int g)
{
    const int channels = L3.FrameChannels;
    for (int c = 0; c < channels; ++c)
        RequantiseChannel(c, g);

    if (channels == 2) {
        if (L3.MidSide) {
            const int h = L3.Intensity ? EndOfHighestBand(L3.Bands[g][1])
                                       : std::max(L3.NonzeroCount[g][0], L3.NonzeroCount[g][1]);
            float* l = L3.Spectrum[0][g];
            float* r = L3.Spectrum[1][g];
            for (int i = 0; i < std::min(h, 576); ++i) {
                const float a = l[i], b = r[i];
                l[i] = a + b;
                r[i] = a - b;
            }
        }
        if (L3.Intensity) {
            if (L3.Lsf)
                IntensityLsfStereo(g);
            else
                IntensityStereoMpeg1(g);
        }
        if (L3.MidSide || L3.Intensity) {
            const int larger = std::max(L3.NonzeroCount[g][0], L3.NonzeroCount[g][1]);
            L3.NonzeroCount[g][0] = L3.NonzeroCount[g][1] = larger;
        }
    }
    for (int c = 0; c < channels; ++c)
        Antialias(c, g);

    switch (L3.Channels == 1 ? 0 : L3.ChannelHandler) {
    case 0:
        SynthesizeChannel(0, g, pcm, 0);
        break;
    case 1:
        if (channels == 2) {
            // Both filter banks first, then both channels through the
            // synthesis together.
            FilterBank(0, g, L3.HybridOutput);
            FilterBank(1, g, L3.MixOutput);
            OutputPair(L3.HybridOutput, L3.MixOutput, pcm);
        } else {
            // A single-channel frame in a stereo stream: on both sides.
            SynthesizeChannel(0, g, pcm, 0);
            Output(L3.HybridOutput, pcm, 1);
        }
        break;
    case 3:
        SynthesizeChannel(channels > 1 ? 1 : 0, g, pcm, 0);
        break;
    default: {
        // Both channels through their own filter banks, summed.
        const int left = Hybrid(0, g, L3.HybridOutput);
        L3.NonzeroCount[g][0] = left;
        int lines = left;
        if (channels > 1) {
            const int right = Hybrid(1, g, L3.MixOutput);
            L3.NonzeroCount[g][1] = right;
            for (int i = 0; i < 18 * 32; ++i)
                L3.HybridOutput[i] += L3.MixOutput[i];
            lines = std::max(left, right);
        }
        InvertFrequencies(L3.HybridOutput, lines);
        Output(L3.HybridOutput, pcm, 0);
        break;
    }
    }
}
