// Frame sync, headers, stream set-up and the per-frame entry point.
#include <cstring>

#include "decoder/DecoderInternal.h"
#include "decoder/Layer3.h"

float SubbandBuffer[SubbandValues + 128];
BitReader Bits;
DecoderOptions Options = {0, 0, 24000};
OutputRoutine Output = nullptr;
PairOutputRoutine OutputPair = nullptr;
std::int32_t CurrentFrameBytes = 0;

// kbit/s by [MPEG-1 = 0, MPEG-2 and 2.5 = 1][layer - 1][index].
const std::int32_t BitRates[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
};

// Hz by [version - 1][index].
const std::int32_t SampleRates[3][4] = {
    {44100, 48000, 32000, 0},
    {22050, 24000, 16000, 0},
    {11025, 12000, 8000, 0},
};

namespace {

// Held per thread: track information on the interface thread must not change
// what the play thread reads after a failed frame.
thread_local std::int32_t LastError = 0;
std::int32_t StreamSampleRate = 0;
std::int32_t StreamPcmBytesPerFrame = 0;
std::int32_t StreamLayer = 0;
std::int32_t StreamVersion = 0;

void DecodeNothing(const DecodeRequest*, const std::uint8_t*, std::uint8_t*) {}

FrameRoutine Installed = DecodeNothing;

void InstallDecoder(std::int32_t layer)
{
    Installed = layer == 1 ? DecodeLayer1Frame : layer == 2 ? DecodeLayer2Frame : L3DecodeFrame;
}

int Fail(std::int32_t code)
{
    LastError = code;
    return 0;
}

std::int32_t TableBitRate(std::int32_t version, std::int32_t layer, std::int32_t index)
{
    return BitRates[version == 1 ? 0 : 1][layer - 1][index];
}

// Version from the second header byte: 1, 2, 3, or 0 when it is no sync.
std::int32_t VersionOf(std::uint8_t b1)
{
    if ((b1 & 0xF0) == 0xF0)
        return (b1 & 0x08) ? 1 : 2;
    if ((b1 & 0xF0) == 0xE0)
        return 3;
    return 0;
}

std::uint32_t BigEndian32(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// Size of a frame of `layer` at `bitRate` bit/s and `rate` Hz.
std::int32_t FrameSize(std::int32_t version, std::int32_t layer, std::int64_t bitRate, std::int64_t rate,
                       std::int32_t padding)
{
    switch (layer) {
    case 1:
        return static_cast<std::int32_t>((bitRate * 12 / rate + padding) * 4);
    case 2:
        return static_cast<std::int32_t>(bitRate * 144 / rate + padding);
    default:
        return static_cast<std::int32_t>(bitRate * 144 / rate / (version == 1 ? 1 : 2) + padding);
    }
}

// The highest (or lowest) table bit rate of a version and layer, kbit/s.
std::int32_t BitRateBound(std::int32_t version, std::int32_t layer, bool highest)
{
    std::int32_t bound = TableBitRate(version, layer, 1);
    for (int i = 2; i <= 14; ++i) {
        const std::int32_t r = TableBitRate(version, layer, i);
        if (highest ? r > bound : r < bound)
            bound = r;
    }
    return bound;
}

std::int32_t SamplesPerFrame(std::int32_t version, std::int32_t layer)
{
    if (layer == 1)
        return 384;
    if (layer == 2 || version == 1)
        return 1152;
    return 576;
}

int ReadStreamInfo(const std::uint8_t* buffer, std::int32_t length, FrameHeader* header)
{
    if (buffer == nullptr || length < 156)
        return Fail(ErrNeedData);
    if (!MpegParseHeader(buffer, header))
        return 0;

    const std::int32_t version = header->Version;
    const std::int32_t layer = header->Layer;
    const bool single = header->Mode == 3;
    std::int32_t xingAt = 4 + (header->HasCrc ? 2 : 0);
    if (layer == 3)
        xingAt += version == 1 ? (single ? 17 : 32) : (single ? 9 : 17);

    const std::int64_t bitRate = std::int64_t{TableBitRate(version, layer, header->BitRateIndex)} * 1000;
    const std::int64_t rate = SampleRates[version - 1][header->SampleRateIndex];
    const std::int32_t g = (layer == 3 && version != 1) ? 2 : 1;
    const std::int32_t slot = layer == 1 ? 4 : 1;

    header->BitRate = static_cast<std::int32_t>(bitRate);
    header->XingFrames = 0;
    header->XingBytes = 0;
    header->FrameBytes = 0;
    const std::uint8_t* xing = buffer + xingAt;
    const bool hasXing = std::memcmp(xing, "Xing", 4) == 0;
    if (hasXing) {
        std::uint32_t flags = BigEndian32(xing + 4);
        if ((flags & 3) == 0)
            return Fail(ErrBadHeader);
        header->XingFrames = static_cast<std::int32_t>(BigEndian32(xing + 8));
        header->XingBytes = static_cast<std::int32_t>(BigEndian32(xing + 12));

        const std::int64_t lowest = BitRateBound(version, layer, false);
        const std::int64_t highest = BitRateBound(version, layer, true);
        header->MinFrameBytes = FrameSize(version, layer, lowest * 1000, rate, 0);
        header->MaxFrameBytes = FrameSize(version, layer, highest * 1000, rate, 0) + slot;
        header->FrameBytes = FrameSize(version, layer, bitRate, rate, header->PaddingBit);
    } else {
        header->MinFrameBytes = FrameSize(version, layer, bitRate, rate, 0);
        header->MaxFrameBytes = header->MinFrameBytes + slot;
    }

    const std::int32_t shift = Options.RateShift;
    header->OutChannels = (single || (Options.OutputFlags & 3) != 0) ? 1 : 2;
    header->OutBits = (Options.OutputFlags & 8) ? 8 : 16;
    std::int32_t samples = layer == 3 ? (1152 >> shift) / g : SamplesPerFrame(version, layer) >> shift;
    header->PcmBytesPerFrame = samples * header->OutChannels * (header->OutBits / 8);
    header->OutSampleRate = static_cast<std::int32_t>(rate) >> shift;
    if (hasXing)
        header->BitRate = 0;
    return 1;
}

}  // namespace

void MpegInit()
{
    Options = {0, 0, 24000};
    BuildLayer12Tables();
    BuildLayer3Tables();
    BuildSynthesisTables();
    Installed = DecodeNothing;
    LastError = 0;
}

int MpegGetOptions(DecoderOptions* options)
{
    *options = Options;
    return 1;
}

int MpegSetOptions(const DecoderOptions* options)
{
    Options = *options;
    // Only the rates and flags the output routines exist for.
    if (Options.RateShift < 0 || Options.RateShift > 2)
        Options.RateShift = 0;
    Options.OutputFlags &= 0xB;
    if (Options.FrequencyLimit < 0)
        Options.FrequencyLimit = 0;
    return 1;
}

std::int32_t MpegGetLastError()
{
    return LastError;
}

int MpegParseHeader(const std::uint8_t* b, FrameHeader* header)
{
    const std::int32_t id = (b[1] >> 3) & 1;
    const std::int32_t layerBits = (b[1] >> 1) & 3;
    const std::int32_t protection = b[1] & 1;
    const std::int32_t bitRateIndex = b[2] >> 4;
    const std::int32_t sampleRateIndex = (b[2] >> 2) & 3;
    (void)id;

    if (b[0] != 0xFF)
        return Fail(ErrNoSync);
    const std::int32_t version = VersionOf(b[1]);
    if (version == 0)
        return Fail(ErrNoSync);
    if (sampleRateIndex == 3 || bitRateIndex == 0 || bitRateIndex == 15 || layerBits == 0)
        return Fail(ErrBadHeader);

    header->Version = version;
    header->Layer = 4 - layerBits;
    header->HasCrc = 1 - protection;
    header->BitRateIndex = bitRateIndex;
    header->SampleRateIndex = sampleRateIndex;
    header->PaddingBit = (b[2] >> 1) & 1;
    header->Private = b[2] & 1;
    header->Mode = b[3] >> 6;
    header->ModeExtension = (b[3] >> 4) & 3;
    header->Copyright = (b[3] >> 3) & 1;
    header->Original = (b[3] >> 2) & 1;
    header->Emphasis = b[3] & 3;
    return 1;
}

int MpegFindSync(const std::uint8_t* buffer, std::int32_t length, std::int32_t* position)
{
    *position = 0;
    if (buffer == nullptr || length - 3 <= 0)
        return Fail(ErrNeedData);
    for (std::int32_t i = 0; i < length - 3; ++i) {
        if (buffer[i] != 0xFF)
            continue;
        const std::int32_t version = VersionOf(buffer[i + 1]);
        if (version == 0)
            continue;
        const std::int32_t layerBits = (buffer[i + 1] >> 1) & 3;
        if (layerBits == 0)
            continue;
        const std::int32_t bitRate = TableBitRate(version, 4 - layerBits, buffer[i + 2] >> 4);
        const std::int32_t rate = SampleRates[version - 1][(buffer[i + 2] >> 2) & 3];
        const bool rateAccepted = rate == 16000 || rate == 22050 || rate == 24000 || rate == 32000 ||
                                  rate == 44100 || rate == 48000;
        if (bitRate >= 8 && bitRate <= 448 && bitRate % 8 == 0 && rateAccepted) {
            *position = i;
            return 1;
        }
    }
    return Fail(ErrNeedData);
}

int MpegReadStreamInfo(const std::uint8_t* buffer, std::int32_t length, FrameHeader* header)
{
    return ReadStreamInfo(buffer, length, header);
}

int MpegOpenStream(const std::uint8_t* buffer, std::int32_t length)
{
    FrameHeader header{};
    if (!ReadStreamInfo(buffer, length, &header))
        return 0;
    StreamSampleRate = SampleRates[header.Version - 1][header.SampleRateIndex];
    StreamPcmBytesPerFrame = header.PcmBytesPerFrame;
    StreamLayer = header.Layer;
    StreamVersion = header.Version;
    ResetSynthesis();
    switch (header.Layer) {
    case 1:
        SetupLayer1(&header);
        Installed = DecodeLayer1Frame;
        return 1;
    case 2:
        // A bit-rate and mode combination without an allocation table still
        // decodes, with the nearest table.
        SetupLayer2(&header);
        Installed = DecodeLayer2Frame;
        return 1;
    default:
        L3SetupStream(&header);
        Installed = L3DecodeFrame;
        return 1;
    }
}

int MpegDecodeFrame(DecodeRequest* request)
{
    if (request->Length <= 4)
        return Fail(ErrNeedData);
    FrameHeader header{};
    if (!MpegParseHeader(request->Data, &header))
        return 0;
    std::memcpy(&request->Version, &header, 12 * sizeof(std::int32_t));
    const std::int64_t bitRate = std::int64_t{TableBitRate(header.Version, header.Layer, header.BitRateIndex)} * 1000;
    request->BitRate = static_cast<std::int32_t>(bitRate);
    // Frames stepped over while muted belong to a stream that is not open
    // yet: they are sized by their own sample rate, not by the rate of the
    // stream opened before.
    const std::int64_t rate =
        Installed == DecodeNothing || StreamSampleRate == 0 ? SampleRates[header.Version - 1][header.SampleRateIndex]
                                                            : StreamSampleRate;
    const std::int32_t size = FrameSize(header.Version, header.Layer, bitRate, rate, header.PaddingBit);
    CurrentFrameBytes = size;
    if (request->Length < size)
        return Fail(ErrNeedData);

    // A Layer III frame of the other granule count would not fit either.
    const bool foreign = header.Layer != StreamLayer ||
                         (header.Layer == 3 && (header.Version == 1) != (StreamVersion == 1));
    if (!foreign || Installed == DecodeNothing) {
        Installed(request, request->Data, request->Output);
    } else {
        // A frame of another layer inside the stream: its PCM would not fit
        // the stream's frame size. It is heard as silence.
        std::memset(request->Output, 0, static_cast<std::size_t>(StreamPcmBytesPerFrame));
    }
    request->Length = size;
    request->OutBytes = StreamPcmBytesPerFrame;
    return 1;
}

void MpegMute()
{
    Installed = DecodeNothing;
}

void MpegUnmute(const FrameHeader* header)
{
    if (header->Layer == 3)
        L3ResetReservoir();
    InstallDecoder(header->Layer);
}

std::int32_t MpegLargestFrameBytes(const FrameHeader* header)
{
    const std::int32_t rate = SampleRates[header->Version - 1][header->SampleRateIndex];
    return FrameSize(header->Version, header->Layer, std::int64_t{BitRateBound(header->Version, header->Layer, true)} * 1000,
                     rate, 1);
}

int SubbandLimit(int sampleRate)
{
    const int shift = Options.RateShift;
    std::int64_t limit = (std::int64_t{Options.FrequencyLimit} * 64 + sampleRate / 2) / sampleRate;
    int cap = (32 >> shift) - 1;
    if (cap < 8)
        cap = 8;
    if (limit > cap)
        limit = cap;
    return static_cast<int>(limit);
}
