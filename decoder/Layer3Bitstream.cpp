// Layer III bitstream: side information, the main-data reservoir, scale
// factors and the Huffman-coded spectrum of each granule and channel.
#include <algorithm>
#include <cstring>

#include "decoder/Layer3.h"

Layer3State L3;

namespace {

constexpr std::int32_t ReservoirSize = 8192;
constexpr std::int32_t CompactAbove = 6692;
constexpr std::uint32_t LinkFlag = 0x80000000u;

int Read(int bits)
{
    return static_cast<int>(Bits.GetBits(bits));
}

// One granule record of a channel. The low sampling frequencies have a wider
// scalefac_compress, other region counts for window switching, and no preflag.
void ReadGranuleInfo(GranuleInfo& gi, bool lsf)
{
    gi.part2_3_length = Read(12);
    gi.big_values = Read(9);
    gi.global_gain = Read(8) - (L3.MidSide ? 2 : 0);
    gi.scalefac_compress = Read(lsf ? 9 : 4);
    gi.window_switching_flag = Read(1);
    if (gi.window_switching_flag) {
        gi.block_type = Read(2);
        gi.mixed_block_flag = Read(1);
        gi.table_select[0] = Read(5);
        gi.table_select[1] = Read(5);
        for (int w = 0; w < 3; ++w)
            gi.subblock_gain[w] = Read(3);
        const bool shortRegions = lsf && gi.block_type == 2;
        gi.region0_count = shortRegions ? 5 : 7;
        gi.region1_count = shortRegions ? 15 : 13;
    } else {
        gi.block_type = 0;
        gi.mixed_block_flag = 0;
        for (int r = 0; r < 3; ++r)
            gi.table_select[r] = Read(5);
        gi.region0_count = Read(4);
        gi.region1_count = Read(3);
    }
    gi.preflag = lsf ? 0 : Read(1);  // the scale factors set it for the low frequencies
    gi.scalefac_scale = Read(1);
    gi.count1table_select = Read(1);
}

// Reads the side information of an MPEG-1 frame (two granules); returns
// main_data_begin.
int ReadSideInfo(int channels)
{
    const int mainDataBegin = Read(9);
    Read(channels == 1 ? 5 : 3);
    for (int c = 0; c < channels; ++c)
        L3.Scfsi[c] = Read(4);
    for (int g = 0; g < 2; ++g)
        for (int c = 0; c < channels; ++c)
            ReadGranuleInfo(L3.Granules[g][c], false);
    return mainDataBegin;
}

// The same for the low sampling frequencies: one granule, into slot g.
int ReadSideInfoLsf(int channels, int g)
{
    const int mainDataBegin = Read(8);
    Read(channels == 1 ? 1 : 2);
    L3.Scfsi[0] = L3.Scfsi[1] = 0;
    for (int c = 0; c < channels; ++c)
        ReadGranuleInfo(L3.Granules[g][c], true);
    return mainDataBegin;
}

inline int ReadScale(int bits)
{
    return bits == 0 ? 0 : static_cast<int>(Bits.GetBits(bits));
}

void ReadScaleFactors(int g, int c)
{
    const GranuleInfo& gi = L3.Granules[g][c];
    std::int32_t* sf = L3.ScaleFactors[g][c];
    const int slen1 = Slen[gi.scalefac_compress & 15][0];
    const int slen2 = Slen[gi.scalefac_compress & 15][1];
    if (gi.block_type == 2) {
        int band = 0;
        if (gi.mixed_block_flag) {
            for (int b = 0; b < 8; ++b)
                sf[b] = ReadScale(slen1);
            band = 3;
        }
        for (; band < 12; ++band) {
            const int bits = band < 6 ? slen1 : slen2;
            for (int w = 0; w < 3; ++w)
                sf[ShortScaleBase + 13 * w + band] = ReadScale(bits);
        }
        return;
    }
    static const int groupStart[5] = {0, 6, 11, 16, 21};
    for (int group = 0; group < 4; ++group) {
        const int bits = group < 2 ? slen1 : slen2;
        const bool copy = g == 1 && (L3.Scfsi[c] & (8 >> group));
        for (int b = groupStart[group]; b < groupStart[group + 1]; ++b)
            sf[b] = copy ? L3.ScaleFactors[0][c][b] : ReadScale(bits);
    }
}

void ReadScaleFactorsLsf(int g, int c)
{
    GranuleInfo& gi = L3.Granules[g][c];
    std::int32_t* sf = L3.ScaleFactors[g][c];
    int slen[4] = {0, 0, 0, 0};
    int row = 0;
    int intensityScale = 0;
    int preflag = 0;
    const int compress = gi.scalefac_compress;
    const bool mixed = gi.block_type == 2 && gi.mixed_block_flag;
    if (c == 1 && L3.Intensity) {
        const int x = compress / 2;
        intensityScale = compress % 2;
        if (x < 180) {
            slen[0] = x / 36, slen[1] = (x % 36) / 6, slen[2] = x % 6;
            row = 3;
        } else if (x < 244) {
            const int y = x - 180;
            slen[0] = y / 16, slen[1] = (y / 4) % 4, slen[2] = y % 4;
            row = 4;
        } else {
            const int y = x - 244;
            slen[0] = y / 3, slen[1] = y % 3;
            row = 5;
        }
    } else if (compress < 400) {
        slen[0] = (compress / 16) / 5, slen[1] = (compress / 16) % 5, slen[2] = (compress / 4) % 4,
        slen[3] = compress % 4;
        row = 0;
    } else if (compress < 500) {
        const int y = compress - 400;
        slen[0] = (y / 4) / 5, slen[1] = (y / 4) % 5, slen[2] = y % 4;
        row = 1;
    } else {
        const int y = compress - 500;
        slen[0] = y / 3, slen[1] = y % 3;
        if (mixed)
            slen[0] = y / 3, slen[1] = y / 3, slen[2] = y % 3;
        row = 2;
        preflag = 1;
    }
    const int kind = gi.block_type != 2 ? 0 : mixed ? 2 : 1;
    const std::int32_t* counts = LsfBandCounts[row][kind];
    if (c == 1 && L3.Intensity) {
        for (int i = 0; i < 3; ++i) {
            L3.IntensityCounts[i] = counts[i];
            L3.IntensityLengths[i] = slen[i];
        }
        L3.IntensityScale = intensityScale;
    }
    gi.preflag = preflag;

    if (kind == 0) {
        int band = 0;
        for (int group = 0; group < 4; ++group)
            for (int i = 0; i < counts[group] && band < 22; ++i)
                sf[band++] = ReadScale(slen[group]);
        return;
    }
    int band = 0;
    int group = 0;
    if (kind == 2) {
        for (int b = 0; b < 6; ++b)
            sf[b] = ReadScale(slen[0]);
        band = 3;
        group = 1;
    }
    for (; group < 4; ++group) {
        for (int i = 0; i < counts[group] && band < 13; ++i, ++band)
            for (int w = 0; w < 3; ++w)
                sf[ShortScaleBase + 13 * w + band] = ReadScale(slen[group]);
    }
}

}  // namespace

namespace {

// The longest code of the pair tables.
constexpr int MaxPairCodeBits = 19;

// v with the sign bit that follows a nonzero value (held already), without
// a branch on the value.
inline int TakeSign(BitReader& bits, int v)
{
    const int present = v != 0 ? 1 : 0;
    bits.Bits -= present;
    const int negative = static_cast<int>((std::uint64_t{bits.Accumulator} >> bits.Bits) & static_cast<std::uint64_t>(present));
    return (v ^ -negative) + negative;
}

// Walks the pair table from its root to the entry of the next code and
// takes the code's bits; with RefillEachLevel the reader is refilled for
// each level (otherwise the caller holds enough bits for any code).
template <bool RefillEachLevel>
inline std::uint32_t PairEntry(BitReader& bits, const std::uint32_t* table)
{
    const std::uint32_t* level = table + 1;
    int width = static_cast<int>(table[0]);
    for (;;) {
        if constexpr (RefillEachLevel)
            bits.Ensure(width);
        const std::uint32_t entry = level[bits.PeekBits(width)];
        if (!(entry & LinkFlag)) {
            bits.DropBits(static_cast<int>((entry >> 16) & 0xFF));
            return entry;
        }
        bits.DropBits(width);
        width = static_cast<int>((entry >> 24) & 0x7F);
        level = table + (entry & 0xFFFFFF);
    }
}

// The Huffman readers work on a copy of the bit reader, which they return:
// held in registers, while the global one might be what their stores into
// the lines change for all the compiler knows, and would be reloaded after
// each store.
BitReader HuffmanPairs(BitReader bits, std::int32_t* lines, int count, int tableSelect)
{
    if (count <= 0)
        return bits;
    const HuffmanDescriptor& d = HuffmanTables[tableSelect & 31];
    if (d.Table == nullptr) {
        std::memset(lines, 0, static_cast<std::size_t>(count) * sizeof(std::int32_t));
        return bits;
    }
    if (d.Linbits == 0 && d.Direct != nullptr) {
        // Every code, with its two signs, fits in what one refill holds.
        for (int i = 0; i < count; i += 2) {
            bits.Ensure(MaxPairCodeBits + 2);
            int x = 0, y = 0;
            // Most pairs in one look, signs and all.
            if (const std::uint32_t direct = d.Direct[bits.PeekBits(DirectPairBits)]; direct != 0) {
                bits.DropBits(static_cast<int>(direct & 31));
                x = static_cast<int>((direct >> 10) & 31) - 15;
                y = static_cast<int>((direct >> 5) & 31) - 15;
            } else {
                const std::uint32_t entry = PairEntry<false>(bits, d.Table);
                x = TakeSign(bits, static_cast<int>((entry >> 8) & 0xFF));
                y = TakeSign(bits, static_cast<int>(entry & 0xFF));
            }
            lines[i] = x;
            if (i + 1 < count)
                lines[i + 1] = y;
            if (bits.Overrun())
                return bits;
        }
        return bits;
    }
    // Tables with linbits (and any without a direct look).
    for (int i = 0; i < count; i += 2) {
        const std::uint32_t entry = PairEntry<true>(bits, d.Table);
        int x = static_cast<int>((entry >> 8) & 0xFF);
        int y = static_cast<int>(entry & 0xFF);
        if (x == 15)
            x += static_cast<int>(bits.GetBits(d.Linbits));
        if (x != 0 && bits.GetBits(1))
            x = -x;
        if (y == 15)
            y += static_cast<int>(bits.GetBits(d.Linbits));
        if (y != 0 && bits.GetBits(1))
            y = -y;
        lines[i] = x;
        if (i + 1 < count)
            lines[i + 1] = y;
        if (bits.Overrun())
            return bits;
    }
    return bits;
}

// Returns the lines up to and including the last nonzero one.
BitReader HuffmanQuads(BitReader bits, std::int32_t* lines, int maxLines, int bitsLeft, int tableSelect, int& found)
{
    const int quads = maxLines / 4;
    int done = 0;
    int last = -1;
    bool lastXY = false;
    while (done < quads && (tableSelect == 0 ? bitsLeft > 0 : bitsLeft >= 4)) {
        // The code and its signs in one look.
        std::uint32_t e;
        if (tableSelect == 0) {
            bits.Ensure(10);
            e = Count1Direct[0][bits.PeekBits(10)];
        } else {
            bits.Ensure(8);
            e = Count1Direct[1][bits.PeekBits(8)];
        }
        const int taken = static_cast<int>(e & 15);
        bits.DropBits(taken);
        bitsLeft -= taken;
        const int value = static_cast<int>(e >> 12);
        std::int32_t* q = lines + 4 * done;
        for (int i = 0; i < 4; ++i)
            q[i] = static_cast<std::int32_t>((e >> (4 + 2 * i)) & 3) - 1;
        if (value != 0) {
            last = done;
            lastXY = (value & 3) != 0;
        }
        ++done;
        if (bits.Overrun())
            break;
    }
    if (bitsLeft < 0 && done > 0) {
        std::int32_t* q = lines + 4 * (done - 1);
        q[0] = q[1] = q[2] = q[3] = 0;
    }
    found = last < 0 ? 0 : 4 * last + (lastXY ? 4 : 2);
    return bits;
}

}  // namespace

void L3HuffmanPairs(std::int32_t* lines, int count, int tableSelect)
{
    Bits = HuffmanPairs(Bits, lines, count, tableSelect);
}

int L3HuffmanQuads(std::int32_t* lines, int maxLines, int bitsLeft, int tableSelect)
{
    int found = 0;
    Bits = HuffmanQuads(Bits, lines, maxLines, bitsLeft, tableSelect, found);
    return found;
}

namespace {

// Reads one channel's granule from the reservoir at `bitPosition`.
void ReadGranuleChannel(int g, int c, std::int64_t& bitPosition)
{
    const GranuleInfo& gi = L3.Granules[g][c];
    const std::int64_t byteStart = bitPosition / 8;
    const std::int32_t available = static_cast<std::int32_t>(std::max<std::int64_t>(0, L3.Fill - byteStart));
    Bits.Start(L3.Reservoir + std::min<std::int64_t>(byteStart, ReservoirSize), static_cast<std::size_t>(available));
    const int skip = static_cast<int>(bitPosition % 8);
    Bits.SkipBits(static_cast<std::size_t>(skip));
    bitPosition += gi.part2_3_length;
    Bits.SetLimit(static_cast<std::size_t>((bitPosition + 39) / 8 - byteStart));

    if (L3.Lsf)
        ReadScaleFactorsLsf(g, c);
    else
        ReadScaleFactors(g, c);

    std::int32_t* lines = L3.Quantised[c];
    std::memset(lines, 0, sizeof L3.Quantised[c]);
    const int region1Index = std::min(gi.region0_count, 22);
    const int region2Index = std::min(gi.region0_count + gi.region1_count + 1, 22);
    int b = std::min(2 * gi.big_values, L3.LineLimit);
    const int region1 = std::min(L3.LongEnds[region1Index], b);
    const int region2 = std::min(L3.LongEnds[region2Index], b);
    L3HuffmanPairs(lines, region1, gi.table_select[0]);
    if (!Bits.Overrun())
        L3HuffmanPairs(lines + region1, region2 - region1, gi.table_select[1]);
    if (!Bits.Overrun())
        L3HuffmanPairs(lines + region2, b - region2, gi.table_select[2]);

    int count = b;
    if (!Bits.Overrun()) {
        const int bitsLeft = gi.part2_3_length - static_cast<int>(Bits.Consumed() - static_cast<std::size_t>(skip));
        count = b + L3HuffmanQuads(lines + b, L3.LineLimit - b, bitsLeft, gi.count1table_select);
    }
    const int cap = gi.block_type == 2 ? L3.ShortCap : L3.LongCap;
    if (count > cap)
        count = cap;
    for (int i = count; i < 576; ++i)
        lines[i] = 0;
    if (Bits.Overrun()) {
        std::memset(lines, 0, sizeof L3.Quantised[c]);
        count = 0;
    }
    L3.NonzeroCount[g][c] = count;
}

}  // namespace

void L3ResetReservoir()
{
    L3.Fill = 0;
}

int L3SetupStream(const FrameHeader* header)
{
    const int v = header->Version - 1;
    const int s = header->SampleRateIndex;
    L3.Fill = 0;
    L3.GranuleSlot = 0;
    L3.Lsf = header->Version != 1;
    L3.MixedLongBands = L3.Lsf ? 6 : 8;
    const int rate = SampleRates[v][s];
    const int lineLimit = SubbandLimit(rate) * 18;
    const int longEnd = L3.Lsf ? LongBoundaries[v][s][21] : LongBoundaries[v][s][22];
    const int shortEnd = 3 * (L3.Lsf ? ShortBoundaries[v][s][12] : ShortBoundaries[v][s][13]);
    L3.LineLimit = std::min(longEnd + 8, lineLimit);
    L3.LongCap = std::min(longEnd, L3.LineLimit);
    L3.ShortCap = std::min(shortEnd, L3.LineLimit);
    for (int b = 0; b < 22; ++b) {
        L3.LongEnds[b] = LongBoundaries[v][s][b + 1];
        L3.LongWidths[b] = LongBoundaries[v][s][b + 1] - LongBoundaries[v][s][b];
    }
    L3.LongEnds[22] = 576;
    for (int b = 0; b < 13; ++b) {
        L3.ShortEnds[b] = 3 * ShortBoundaries[v][s][b + 1];
        L3.ShortWidths[b] = ShortBoundaries[v][s][b + 1] - ShortBoundaries[v][s][b];
    }
    L3.ShortEnds[13] = 576;
    for (int b = 0; b < 14; ++b)
        L3.ShortBoundary[b] = ShortBoundaries[v][s][b];
    L3.Channels = header->Mode == 3 ? 1 : 2;
    L3.PcmBytesPerFrame = header->PcmBytesPerFrame;
    const int selection = Options.OutputFlags & 3;
    const bool mono = header->Mode == 3 || selection != 0;
    Output = SelectGranuleOutput(mono);
    OutputPair = SelectGranulePairOutput();
    L3.ChannelHandler = header->Mode == 3 ? 0 : selection == 0 ? 1 : selection == 1 ? 2 : selection == 2 ? 0 : 3;
    std::memset(L3.Spectrum, 0, sizeof L3.Spectrum);
    std::memset(L3.Quantised, 0, sizeof L3.Quantised);
    std::memset(L3.NonzeroCount, 0, sizeof L3.NonzeroCount);
    std::memset(L3.ScaleFactors, 0, sizeof L3.ScaleFactors);
    std::memset(L3.HybridOutput, 0, sizeof L3.HybridOutput);
    std::memset(L3.MixOutput, 0, sizeof L3.MixOutput);
    std::memset(L3.Bands, 0, sizeof L3.Bands);
    return 1;
}

void L3DecodeFrame(const DecodeRequest* request, const std::uint8_t* frame, std::uint8_t* pcm)
{
    L3.MidSide = request->Mode == 1 && (request->ModeExtension & 2);
    L3.Intensity = request->Mode == 1 && (request->ModeExtension & 1);
    // The frame is read with its own channel count: a stream that switches
    // between single channel and stereo stays in step.
    const int channels = request->Mode == 3 ? 1 : 2;
    L3.FrameChannels = channels;
    const int headerBytes = 4 + (request->HasCrc ? 2 : 0);
    if (CurrentFrameBytes <= headerBytes) {
        std::memset(pcm, 0, static_cast<std::size_t>(L3.PcmBytesPerFrame));
        return;
    }
    Bits.Start(frame + headerBytes, static_cast<std::size_t>(CurrentFrameBytes - headerBytes));
    int sideInfoBytes;
    int mainDataBegin;
    if (!L3.Lsf) {
        mainDataBegin = ReadSideInfo(channels);
        sideInfoBytes = channels == 1 ? 17 : 32;
    } else {
        mainDataBegin = ReadSideInfoLsf(channels, L3.GranuleSlot);
        sideInfoBytes = channels == 1 ? 9 : 17;
    }

    std::int32_t start = L3.Fill - mainDataBegin;
    if (L3.Fill > CompactAbove && start >= 0) {
        std::memmove(L3.Reservoir, L3.Reservoir + start, static_cast<std::size_t>(mainDataBegin));
        start = 0;
        L3.Fill = mainDataBegin;
    }
    const int dataAt = headerBytes + sideInfoBytes;
    std::int32_t mainBytes = CurrentFrameBytes - dataAt;
    if (mainBytes < 0)
        mainBytes = 0;
    if (mainBytes > ReservoirSize - L3.Fill)
        mainBytes = ReservoirSize - L3.Fill;
    if (mainBytes > 0)
        std::memcpy(L3.Reservoir + L3.Fill, frame + dataAt, static_cast<std::size_t>(mainBytes));
    L3.Fill += mainBytes;

    if (start < 0) {
        // The main data this frame refers to came before the reservoir was
        // started: the frame is heard as silence.
        std::memset(pcm, 0, static_cast<std::size_t>(L3.PcmBytesPerFrame));
        if (L3.Lsf)
            L3.GranuleSlot ^= 1;
        return;
    }
    std::int64_t bitPosition = std::int64_t{start} * 8;
    const int granules = L3.Lsf ? 1 : 2;
    for (int i = 0; i < granules; ++i) {
        const int g = L3.Lsf ? L3.GranuleSlot : i;
        for (int c = 0; c < channels; ++c)
            ReadGranuleChannel(g, c, bitPosition);
        L3ReconstructGranule(pcm + i * (L3.PcmBytesPerFrame / 2), g);
    }
    if (L3.Lsf)
        L3.GranuleSlot ^= 1;
}
