// Layer III state shared by the bitstream reader and the reconstruction.
#pragma once

#include <cstdint>

#include "decoder/DecoderInternal.h"

struct GranuleInfo {
    std::int32_t part2_3_length;
    std::int32_t big_values;
    std::int32_t global_gain;
    std::int32_t scalefac_compress;
    std::int32_t window_switching_flag;
    std::int32_t block_type;
    std::int32_t mixed_block_flag;
    std::int32_t table_select[3];
    std::int32_t subblock_gain[3];
    std::int32_t region0_count;
    std::int32_t region1_count;
    std::int32_t preflag;
    std::int32_t scalefac_scale;
    std::int32_t count1table_select;
};

// What the requantiser learned of a channel's granule.
struct BandRecord {
    std::int32_t HasShortPart;
    std::int32_t HighestBand;       // -1 when no band carries a value
    std::int32_t BlockType;
    std::int32_t FirstShortBand;    // 12: none, 0: pure short, 3: mixed
    std::int32_t LongBands;         // 22, 0 or the mixed count
    std::int32_t HighestShort[3];   // per window, -1 when none
};

// Long scale factors at 0..21, short ones at ShortScaleBase + 13 window + band.
inline constexpr int ShortScaleBase = 23;

struct Layer3State {
    // Stream.
    std::int32_t Channels;
    std::int32_t Lsf;             // MPEG-2 or 2.5: one granule a frame
    std::int32_t LongEnds[23];    // boundary[1..22], then 576
    std::int32_t LongWidths[22];
    std::int32_t ShortEnds[14];   // 3 x boundary[1..13], then 576
    std::int32_t ShortBoundary[14];
    std::int32_t ShortWidths[13];
    std::int32_t LineLimit;
    std::int32_t LongCap;
    std::int32_t ShortCap;
    std::int32_t MixedLongBands;
    std::int32_t GranuleSlot;     // the low sampling frequencies' current slot
    std::int32_t PcmBytesPerFrame;
    int ChannelHandler;           // 0 single, 1 both, 2 mix, 3 right only

    // Frame.
    std::int32_t FrameChannels;   // the frame's own channels (a stream may switch modes)
    std::int32_t MidSide;
    std::int32_t Intensity;
    std::int32_t Scfsi[2];
    GranuleInfo Granules[2][2];           // [slot][channel]
    std::int32_t ScaleFactors[2][2][62];  // [slot][channel]
    // Intensity stereo of the low sampling frequencies (right channel).
    std::int32_t IntensityCounts[3];
    std::int32_t IntensityLengths[3];
    std::int32_t IntensityScale;

    // Main-data reservoir.
    std::uint8_t Reservoir[8192 + 8];
    std::int32_t Fill;

    // Spectra: quantised values of the granule being read, then per channel
    // and slot the requantised lines (afterwards the overlap of the filter
    // bank for the next granule).
    std::int32_t Quantised[2][576];
    float Spectrum[2][2][576];            // [channel][slot]
    std::int32_t NonzeroCount[2][2];      // [slot][channel]
    BandRecord Bands[2][2];               // [slot][channel]
    float HybridOutput[18 * 32];
    float MixOutput[18 * 32];
};

extern Layer3State L3;

// Tables.
void BuildLayer3Tables();
extern const std::int16_t LongBoundaries[3][3][23];
extern const std::int16_t ShortBoundaries[3][3][14];
extern const std::int32_t Pretab[2][22];
extern const std::int32_t Slen[16][2];
extern const std::int32_t LsfBandCounts[6][3][4];

// Tables without linbits also resolve a pair whose code and signs together
// take at most DirectPairBits bits in one look: by the next DirectPairBits
// bits, (x + 15) << 10 | (y + 15) << 5 | bits taken, or 0 for a longer one.
inline constexpr int DirectPairBits = 10;
struct HuffmanDescriptor {
    const std::uint32_t* Table;  // null: every pair is (0, 0)
    std::int32_t Linbits;
    const std::uint16_t* Direct;  // null for tables with linbits
};
extern HuffmanDescriptor HuffmanTables[32];
// Count1 table A: by the next 6 bits, (code length << 4) | vwxy.
extern std::uint8_t Count1TableA[64];
// Both count1 tables with their sign bits, by the next 10 bits (table A) or
// 8 bits (table B): bits taken | (v + 1) << 4 | (w + 1) << 6 | (x + 1) << 8
// | (y + 1) << 10 | the nonzero values' flags (vwxy) << 12.
extern std::uint16_t Count1Direct[2][1024];

// Reconstruction of one granule into PCM.
void L3ReconstructGranule(std::uint8_t* pcm, int slot);
void BuildLayer3ReconstructionTables();

// The long transform's 18 distinct outputs h of 18 lines (Layer3Reconstruct):
// every output sums its products line after line in single precision, a
// product and then a sum per step, so every form gives the same bits. Each
// form writes h[0..19] (the last two spare) in whole runs of four, as the
// windowing loads them.
inline constexpr int LongTransformColumns = 24;
using LongTransformRoutine = void (*)(const float* lines, const float (*table)[LongTransformColumns], float* h);
// The eight-wide form built for AVX; null when the processor lacks it.
LongTransformRoutine WideLongTransform();
// Whether the long transform runs eight outputs at a time where the
// processor can (the default), or four; both give the same bytes. True when
// the wide form is in use.
bool UseWideLayer3Transform(bool wide);

// Huffman-coded spectrum through the decoder's bit reader: `count` lines of
// pairs with a big-value table, and count1 quadruples, which return the lines
// up to and including the last nonzero one.
void L3HuffmanPairs(std::int32_t* lines, int count, int tableSelect);
int L3HuffmanQuads(std::int32_t* lines, int maxLines, int bitsLeft, int tableSelect);

int L3SetupStream(const FrameHeader* header);
void L3DecodeFrame(const DecodeRequest* request, const std::uint8_t* frame, std::uint8_t* pcm);
void L3ResetReservoir();
