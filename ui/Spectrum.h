// The spectrum analyser's arithmetic: its radix-2 transform, the levels of
// the bins in decibels, and the bars and falling peaks of the 18 bands of
// each channel. Portable: the main window paints what it computes.
#pragma once

#include <cstdint>
#include <memory>

// A radix-2 FFT over precomputed twiddles, with the analysis window.
class CFFT {
public:
    static constexpr int WindowLength = 512;
    static constexpr int LargestSize = 2048;  // what the table block holds

    CFFT() = default;
    ~CFFT() { FreeTables(); }
    CFFT(const CFFT&) = delete;
    CFFT& operator=(const CFFT&) = delete;

    // Sets up a transform of 2^log2Size points (direction 1 forward, -1
    // inverse); the window is the periodic Hamming window whatever `kind`.
    // False, with no tables, for a size the tables cannot hold.
    bool Init(int kind, int log2Size, int direction);
    void FreeTables();
    // In place on `re` and `im` (n values each); false without tables.
    bool Transform(double* re, double* im) const;

    const double* Window() const { return AnalysisWindow; }
    int Size() const { return N; }
    bool Ready() const { return Tables != nullptr && N > 0; }

private:
    void BuildTwiddles();
    void BuildWindow();
    void BitReverse(double* values) const;

    double AnalysisWindow[WindowLength] = {};
    int N = 0;
    int Log2Size = 0;
    int Direction = 0;
    std::unique_ptr<double[]> Tables;  // sine, cosine and scratch, n each
    double* Sine = nullptr;
    double* Cosine = nullptr;
    double* Scratch = nullptr;
    // The same twiddles in the order each stage reads them (n - 1 of each:
    // n / 2 for the first stage, then n / 4, ...), and the bit reversal of
    // every index: derived at set-up so that the transform reads straight runs.
    std::unique_ptr<double[]> StageTwiddles;  // cosines, then sines
    std::unique_ptr<std::uint16_t[]> Reversed;
};

inline constexpr int SpectrumBands = 18;
inline constexpr int SpectrumBins = 256;
inline constexpr int SpectrumRows = 24;  // rows 0 .. 23; a bar reaches 22
inline constexpr int SpectrumFrames = 512;

// The bins of band b are BandEdges[b] <= k < BandEdges[b + 1].
extern const int BandEdges[SpectrumBands + 1];
extern const double BandWeights[SpectrumBands];
extern const int PeakHoldTable[7];

// A level below every level the bars show: what a bin without any signal
// has (the logarithm of 0 has no number).
inline constexpr double SilentLevel = -1000.0;

// The levels in dB of the first 256 bins of a transform's result that decide
// the bands: in each band, and on each side of the raise of the upper bins
// within it, the level of the loudest bin; every other bin SilentLevel.
// BandLevel gives from these what it would from every bin's level, at a
// tenth of the logarithms.
void BinLevels(const double* re, const double* im, double levels[SpectrumBins]);
// The band's level: its loudest bin in whole dB, weighted, as rows: -1 (no
// bar) to 22.
int BandLevel(const double levels[SpectrumBins], int band);

// The bars and peaks of one channel.
struct SpectrumChannel {
    int Bar[SpectrumBands];
    int Peak[SpectrumBands];
    int Stage[SpectrumBands];
    int Hold[SpectrumBands];
    int Shown[SpectrumBands];
    int LastShown[SpectrumBands];
    SpectrumChannel();
    // One refresh with this channel's bin levels: bars rise at once and
    // fall a row a refresh, peaks hold and then fall.
    void Refresh(const double levels[SpectrumBins]);
};

// Both channels and the transform: one refresh from 512 frames of 16-bit
// stereo PCM (left first). False without the transform's tables.
class SpectrumAnalyser {
public:
    explicit SpectrumAnalyser(const CFFT& fft) : Fft(fft) {}
    bool Update(const std::int16_t* frames);

    SpectrumChannel Left;
    SpectrumChannel Right;

private:
    void Levels(const std::int16_t* frames, int channel, double levels[SpectrumBins]) const;
    const CFFT& Fft;
};
