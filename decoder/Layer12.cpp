// Layer I and Layer II: allocation, scale factors and samples of a frame into
// sub-band samples in units of the 16-bit output.
#include <algorithm>
#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "decoder/DecoderInternal.h"
#include "decoder/Layer12Tables.h"

float ScaleFactorTable[64];
float Layer2LevelFactor[18];
float Layer1LevelFactor[16];
std::int16_t GroupValues[32 + 128 + 1024][3];

namespace {

// Codes of the sample loops beyond the plain class or allocation.
constexpr int Layer2PairBase = 18, Layer2End = 36, Layer2Limit = 37;
constexpr int Layer1PairBase = 15, Layer1End = 30, Layer1Limit = 31;

constexpr int MaxSlots = 66;  // 64 slots, a pair's overshoot and a marker

// Stream state.
int GroupSlots[4];
const std::uint8_t* GroupClasses[4];
int SlotLimit = 0;
int DecodeLimit = 0;

// Per-frame state.
int SlotCode[MaxSlots];
int SlotAlloc[MaxSlots];
float SlotFactor[MaxSlots];
int SlotScfsi[MaxSlots];
float SlotMultiplier[3][MaxSlots];

// Joint-stereo bound in slots by mode and mode extension.
constexpr int BoundTable[4][4] = {{64, 64, 64, 64}, {8, 16, 24, 32}, {64, 64, 64, 64}, {32, 32, 32, 32}};

// Allocation table by [single channel][sample-rate index][bit-rate index]; -1: not allowed.
constexpr std::int8_t AllocChoice[2][3][16] = {
    {{1, -1, -1, -1, 2, -1, 2, 0, 0, 0, 1, 1, 1, 1, 1, -1},
     {0, -1, -1, -1, 2, -1, 2, 0, 0, 0, 0, 0, 0, 0, 0, -1},
     {1, -1, -1, -1, 3, -1, 3, 0, 0, 0, 1, 1, 1, 1, 1, -1}},
    {{1, 2, 2, 0, 0, 0, 1, 1, 1, 1, 1, -1, -1, -1, -1, -1},
     {0, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, -1, -1, -1, -1, -1},
     {1, 3, 3, 0, 0, 0, 1, 1, 1, 1, 1, -1, -1, -1, -1, -1}},
};

// Width in bits of one sample code of a non-grouped class.
constexpr int ClassBits(int c)
{
    return c == 3 ? 3 : c == 5 ? 4 : c - 1;
}

void Allocate2(int& n, int groupEnd, int width, const std::uint8_t* classes, int& bound, int& skip)
{
    while (n < groupEnd) {
        Bits.Ensure(4);
        const int c = classes[Bits.GetBitsNoRefill(width)];
        SlotCode[n] = SlotAlloc[n] = c;
        if (n >= DecodeLimit)
            skip += Layer2Class[c].GranuleBits;
        SlotFactor[n] = Layer2LevelFactor[c];
        if (--bound < 0) {
            SlotAlloc[n + 1] = c;
            SlotCode[n] = SlotCode[n + 1] = c + Layer2PairBase;
            SlotFactor[n + 1] = SlotFactor[n];
            n += 2;
        } else {
            n += 1;
        }
    }
}

// One slot's codes in a granule, as the frame's allocation sets them, Offset
// bits into the granule: a grouped code of Width bits that picks three values
// from Groups, or three codes of CodeBits bits each (Width in all) less
// Centre.
struct SampleRead {
    const std::int16_t (*Groups)[3];
    int Slot;
    int Offset;
    int Width;
    int CodeBits;
    int Centre;
};

bool IsGrouped(int c)
{
    return c == 1 || c == 2 || c == 4;
}

// Filled in place: a copy through a temporary makes the processor wait for
// its stores to land before it can load the whole.
void PlanRead(SampleRead& read, int slot, int c, int offset)
{
    read.Slot = slot;
    read.Offset = offset;
    if (IsGrouped(c)) {
        read.Groups = c == 1 ? GroupTable3 : c == 2 ? GroupTable5 : GroupTable9;
        read.Width = c == 1 ? 5 : c == 2 ? 7 : 10;
    } else {
        read.Groups = nullptr;
        read.CodeBits = ClassBits(c);
        read.Width = 3 * read.CodeBits;
        read.Centre = (1 << (read.CodeBits - 1)) - 1;
    }
}

// One row of a granule: the values of slots 0 .. count - 1 times their
// multipliers, four at a time.
void Dequantise(const std::int32_t* values, const float* m, float* S, int count)
{
    int k = 0;
#if defined(__SSE2__)
    for (; k + 4 <= count; k += 4) {
        const __m128 v = _mm_cvtepi32_ps(_mm_load_si128(reinterpret_cast<const __m128i*>(values + k)));
        _mm_storeu_ps(S + k, _mm_mul_ps(v, _mm_loadu_ps(m + k)));
    }
#endif
    for (; k < count; ++k)
        S[k] = static_cast<float>(values[k]) * m[k];
}

// A frame's sample data, copied with room for the widest load past its end.
// The walk reads at most 4 bits of allocation, 2 of selection and three
// 6-bit scale factors for each of its slots, then twelve granules of at most
// 48 bits each.
constexpr std::size_t MostSampleBytes = (MaxSlots - 2) * (4 + 2 + 3 * 6 + 12 * 48) / 8 + 8;
std::uint8_t SampleBytes[MostSampleBytes];

// One granule's codes, `position` bits into SampleBytes, into the rows of
// `values` by slot: the grouped reads reads[0 .. grouped - 1], then the plain
// ones reads[plainFrom .. MaxSlots - 1]; above the joint-stereo bound (from
// slot `pairs` up to `walked`) each pair's second slot copies its first.
[[gnu::always_inline]] inline void ReadGranuleWith(const SampleRead* reads, int grouped, int plainFrom, int pairs,
                                                   int walked, std::size_t position, std::int32_t (*values)[64])
{
    // The code of a read, at the top of 64 bits.
    const auto codeOf = [position](const SampleRead& read) {
        const std::size_t at = position + static_cast<std::size_t>(read.Offset);
        std::uint64_t window;
        std::memcpy(&window, SampleBytes + at / 8, 8);
        return (__builtin_bswap64(window) << (at % 8)) >> (64 - read.Width);
    };
    for (int r = 0; r < grouped; ++r) {
        const SampleRead& read = reads[r];
        const std::int16_t* g = read.Groups[codeOf(read)];
        for (int i = 0; i < 3; ++i)
            values[i][read.Slot] = g[i];
    }
    for (int r = plainFrom; r < MaxSlots; ++r) {
        const SampleRead& read = reads[r];
        const std::uint64_t code = codeOf(read);
        const int b = read.CodeBits;
        const std::uint64_t mask = (std::uint64_t{1} << b) - 1;
        for (int i = 0; i < 3; ++i)
            values[i][read.Slot] = static_cast<int>((code >> ((2 - i) * b)) & mask) - read.Centre;
    }
    for (int i = 0; i < 3; ++i)
        for (int slot = pairs; slot < walked; slot += 2)
            values[i][slot + 1] = values[i][slot];
}

using GranuleReader = void (*)(const SampleRead*, int, int, int, int, std::size_t, std::int32_t (*)[64]);

void ReadGranule(const SampleRead* reads, int grouped, int plainFrom, int pairs, int walked, std::size_t position,
                 std::int32_t (*values)[64])
{
    ReadGranuleWith(reads, grouped, plainFrom, pairs, walked, position, values);
}

#if defined(__x86_64__) || defined(__i386__)
// The same built with the shifts by a variable count that take one step
// (BMI2), for a processor that has them.
[[gnu::target("bmi2")]] void ReadGranuleBmi2(const SampleRead* reads, int grouped, int plainFrom, int pairs,
                                              int walked, std::size_t position, std::int32_t (*values)[64])
{
    ReadGranuleWith(reads, grouped, plainFrom, pairs, walked, position, values);
}
#endif

GranuleReader ReadGranuleCodes = ReadGranule;

int FrameDataOffset(const DecodeRequest* request)
{
    return 4 + (request->HasCrc ? 2 : 0);
}

}  // namespace

bool UseWideLayer2Reads(bool wide)
{
    ReadGranuleCodes = ReadGranule;
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (wide && __builtin_cpu_supports("bmi2")) {
        ReadGranuleCodes = ReadGranuleBmi2;
        return true;
    }
#endif
    return false;
}

void BuildLayer12Tables()
{
    UseWideLayer2Reads(true);
    for (int i = 0; i < 64; ++i)
        ScaleFactorTable[i] = static_cast<float>(65536.0 * std::pow(2.0, -i / 3.0));
    Layer2LevelFactor[0] = 0;
    for (int c = 1; c <= 17; ++c)
        Layer2LevelFactor[c] = static_cast<float>(2.0 / Layer2Class[c].Levels);
    Layer1LevelFactor[0] = 0;
    for (int a = 1; a <= 15; ++a)
        Layer1LevelFactor[a] = static_cast<float>(2.0 / ((1 << (a + 1)) - 1));
    // Value i of a code of n levels is its digit i in base n, less the
    // middle level.
    const auto group = [](std::int16_t (*table)[3], int levels, int codes) {
        for (int v = 0; v < codes; ++v)
            for (int i = 0, place = 1; i < 3; ++i, place *= levels)
                table[v][i] = static_cast<std::int16_t>(v / place % levels - (levels - 1) / 2);
    };
    group(GroupTable3, 3, 32);
    group(GroupTable5, 5, 128);
    group(GroupTable9, 9, 1024);
}

int Layer2TableFor(const FrameHeader* header)
{
    if (header->Version != 1)
        return 4;
    return AllocChoice[header->Mode == 3 ? 1 : 0][header->SampleRateIndex][header->BitRateIndex];
}

int SetupLayer2(const FrameHeader* header)
{
    int t = Layer2TableFor(header);
    const int result = t < 0 ? 0 : 1;
    if (t < 0) {
        // A bit rate the standard does not allow with this mode: the stream
        // is refused, but should its frames be decoded anyway they use the
        // table of the other mode class at this rate, never the state of the
        // stream before (whose output may not fit this stream's frames).
        FrameHeader other = *header;
        other.Mode = header->Mode == 3 ? 0 : 3;
        t = Layer2TableFor(&other);
        if (t < 0)
            t = 0;
    }
    const Layer2AllocTable& table = Layer2AllocTables[t];
    int sblimit = 0;
    for (int g = 0; g < 4; ++g) {
        GroupSlots[g] = table.Groups[g].Subbands;
        GroupClasses[g] = table.Groups[g].Classes;
        sblimit += GroupSlots[g];
    }
    const int rate = SampleRates[header->Version - 1][header->SampleRateIndex];
    int limit = SubbandLimit(rate);
    if (limit > sblimit)
        limit = sblimit;
    if (header->Mode != 3) {
        for (int& slots : GroupSlots)
            slots *= 2;
        sblimit *= 2;
        limit *= 2;
    }
    SlotLimit = sblimit;
    DecodeLimit = limit;
    Output = SelectFrameOutput(header);
    std::memset(SubbandBuffer, 0, sizeof SubbandBuffer);
    return result;
}

int SetupLayer1(const FrameHeader* header)
{
    const int rate = SampleRates[header->Version - 1][header->SampleRateIndex];
    int limit = SubbandLimit(rate);
    if (limit > 32)
        limit = 32;
    int slots = 32;
    if (header->Mode != 3) {
        slots *= 2;
        limit *= 2;
    }
    SlotLimit = slots;
    DecodeLimit = limit;
    Output = SelectFrameOutput(header);
    std::memset(SubbandBuffer, 0, sizeof SubbandBuffer);
    return 1;
}

void DecodeLayer2Frame(const DecodeRequest* request, const std::uint8_t* frame, std::uint8_t* pcm)
{
    const int start = FrameDataOffset(request);
    Bits.Start(frame + start, static_cast<std::size_t>(CurrentFrameBytes - start));
    int bound = BoundTable[request->Mode][request->ModeExtension];

    int skip = 0, n = 0, groupEnd = 0;
    for (int g = 0; g < 4; ++g) {
        groupEnd += GroupSlots[g];
        Allocate2(n, groupEnd, Layer2AllocWidths[g], GroupClasses[g], bound, skip);
    }
    SlotCode[DecodeLimit] = Layer2Limit;
    SlotCode[n] = Layer2End;

    for (int s = 0; s < SlotLimit; ++s) {
        Bits.Ensure(2);
        SlotScfsi[s] = SlotAlloc[s] != 0 ? static_cast<int>(Bits.GetBitsNoRefill(2)) : 4;
    }
    SlotScfsi[SlotLimit] = 5;

    // Each slot's scale factors by its selection: how many 6-bit factors it
    // carries, and which of them each third of the frame uses. A silent
    // slot carries none; its multipliers become 0, which its zero values
    // turn into +0 as any would.
    static constexpr int FactorCount[5] = {3, 2, 1, 2, 0};
    static constexpr int FactorPick[5][3] = {{0, 1, 2}, {0, 0, 1}, {0, 0, 0}, {0, 1, 1}, {0, 0, 0}};
    for (int s = 0; SlotScfsi[s] != 5; ++s) {
        const int scfsi = SlotScfsi[s];
        Bits.Ensure(18);
        const std::uint32_t fields = Bits.PeekBits(18);
        Bits.DropBits(6 * FactorCount[scfsi]);
        const std::uint32_t factors[3] = {fields >> 12, (fields >> 6) & 63, fields & 63};
        for (int part = 0; part < 3; ++part)
            SlotMultiplier[part][s] = SlotFactor[s] * ScaleFactorTable[factors[FactorPick[scfsi][part]]];
    }

    // The frame's reads, the same in each of its twelve granules: the slots
    // that carry codes, up to where the walk ends; the grouped ones from the
    // front of the list, the others from its back.
    SampleRead reads[MaxSlots];
    int grouped = 0, plainFrom = MaxSlots, granuleBits = 0, firstPair = -1;
    bool limited = false;
    int k = 0;
    for (; k < MaxSlots - 2; ++k) {
        const int code = SlotCode[k];
        if (code == Layer2End)
            break;
        if (code == Layer2Limit) {
            limited = true;
            break;
        }
        const bool pair = code >= Layer2PairBase;
        const int c = pair ? code - Layer2PairBase : code;
        if (pair && firstPair < 0)
            firstPair = k;
        if (c != 0) {
            SampleRead& read = reads[IsGrouped(c) ? grouped++ : --plainFrom];
            PlanRead(read, k, c, granuleBits);
            granuleBits += read.Width;
        }
        if (pair)
            ++k;
    }
    // Pairs start at even slots (the joint-stereo bound is even), so the
    // walk ends within the 64 slots of a row.
    const int walked = std::min(k, 64);
    // Above the joint-stereo bound every slot is a pair: the other channel's
    // values, copied after the reads.
    const int pairs = firstPair < 0 ? walked : firstPair;
    if (limited)
        granuleBits += skip;

    // The rest of the frame, with zeros past its end (as the bit reader
    // loads them), so that a code of up to 48 bits is one load.
    const std::size_t consumed = Bits.Consumed();
    const std::size_t available = static_cast<std::size_t>(CurrentFrameBytes - start);
    const std::size_t needed = (consumed + 12 * static_cast<std::size_t>(granuleBits)) / 8 + 8;
    const std::size_t copied = std::min(available, needed);
    std::memcpy(SampleBytes, frame + start, copied);
    std::memset(SampleBytes + copied, 0, needed - copied);
    std::size_t position = consumed;

    // Each granule's three rows of values around zero, by slot; silent
    // slots keep 0, which their multipliers (never negative) turn into +0.
    // Two granules' rows in turn: a granule is read while the one before is
    // dequantised, by which time the reads' single stores have reached the
    // cache and its whole-vector loads need not wait for them.
    alignas(16) std::int32_t values[2][3][64] = {};
    ReadGranuleCodes(reads, grouped, plainFrom, pairs, walked, position, values[0]);
    float* S = SubbandBuffer;
    for (int granule = 0; granule < 12; ++granule, S += 192) {
        if (granule < 11) {
            position += static_cast<std::size_t>(granuleBits);
            ReadGranuleCodes(reads, grouped, plainFrom, pairs, walked, position, values[(granule + 1) % 2]);
        }
        for (int i = 0; i < 3; ++i)
            Dequantise(values[granule % 2][i], SlotMultiplier[granule / 4], S + 64 * i, walked);
    }
    Output(SubbandBuffer, pcm, 36);
}

void DecodeLayer1Frame(const DecodeRequest* request, const std::uint8_t* frame, std::uint8_t* pcm)
{
    const int start = FrameDataOffset(request);
    Bits.Start(frame + start, static_cast<std::size_t>(CurrentFrameBytes - start));
    int bound = BoundTable[request->Mode][request->ModeExtension];

    int skip = 0, n = 0;
    while (n < SlotLimit) {
        Bits.Ensure(4);
        int a = static_cast<int>(Bits.GetBitsNoRefill(4));
        // Allocation 15 is forbidden: such a sub-band carries nothing (as a
        // sample code it would read as the zero pair or the end marker and
        // throw the slot walk out of step).
        if (a == 15)
            a = 0;
        SlotCode[n] = SlotAlloc[n] = a;
        if (n >= DecodeLimit)
            skip += a == 0 ? 0 : a + 1;
        SlotFactor[n] = Layer1LevelFactor[a];
        if (--bound < 0) {
            SlotAlloc[n + 1] = a;
            SlotCode[n] = SlotCode[n + 1] = a + Layer1PairBase;
            SlotFactor[n + 1] = SlotFactor[n];
            n += 2;
        } else {
            n += 1;
        }
    }
    SlotCode[DecodeLimit] = Layer1Limit;
    SlotCode[n] = Layer1End;

    for (int s = 0; s < SlotLimit; ++s) {
        if (SlotAlloc[s] != 0) {
            Bits.Ensure(6);
            SlotMultiplier[0][s] = SlotFactor[s] * ScaleFactorTable[Bits.GetBitsNoRefill(6)];
        }
    }

    const float* m = SlotMultiplier[0];
    float* S = SubbandBuffer;
    for (int row = 0; row < 12; ++row, S += 64) {
        // The markers end each walk; the bound only guards a damaged frame.
        for (int k = 0; k < MaxSlots - 2; ++k) {
            const int code = SlotCode[k];
            if (code == Layer1End)
                break;
            if (code == Layer1Limit) {
                Bits.SkipBits(static_cast<std::size_t>(skip));
                break;
            }
            if (code == 0) {
                S[k] = 0;
            } else if (code < Layer1PairBase) {
                S[k] = static_cast<float>(static_cast<int>(Bits.GetBits(code + 1)) - ((1 << code) - 1)) * m[k];
            } else if (code == Layer1PairBase) {
                S[k] = S[k + 1] = 0;
                ++k;
            } else {
                const int a = code - Layer1PairBase;
                const float v = static_cast<float>(static_cast<int>(Bits.GetBits(a + 1)) - ((1 << a) - 1));
                S[k] = v * m[k];
                S[k + 1] = v * m[k + 1];
                ++k;
            }
        }
    }
    Output(SubbandBuffer, pcm, 12);
}
