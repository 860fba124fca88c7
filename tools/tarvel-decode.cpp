// tarvel-decode [--raw] [--cpu=baseline|avx2|avx512] INPUT OUTPUT
// Decodes an MPEG audio file from its first frame into a RIFF WAVE file of
// 16-bit PCM, or raw signed 16-bit little-endian PCM with --raw. OUTPUT "-"
// is standard output. --cpu holds the decoder to the forms of that processor
// level (otherwise the widest this processor runs); a level the processor
// does not run is refused with exit status 2.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "decoder/CpuLevel.h"
#include "decoder/Mpeg.h"
#include "engine/FileInfo.h"
#include "engine/MpegStreamFeed.h"
#include "platform/File.h"

namespace {

const char* InputName = "";

int Fail(const std::string& reason)
{
    std::fprintf(stderr, "tarvel-decode: %s: %s\n", InputName, reason.c_str());
    return 1;
}

bool ReadFile(void* context, std::uint8_t* destination, std::int32_t size, std::int32_t* got)
{
    auto* file = static_cast<std::FILE*>(context);
    std::size_t n = std::fread(destination, 1, static_cast<std::size_t>(size), file);
    *got = static_cast<std::int32_t>(n);
    return !std::ferror(file);
}

void Put16(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v)
{
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

void WaveHeader(std::uint8_t header[44], const FrameHeader& info, std::uint64_t dataBytes)
{
    const std::uint32_t data = dataBytes > 0xFFFFFFFFu - 36 ? 0xFFFFFFFFu - 36 : static_cast<std::uint32_t>(dataBytes);
    const std::uint32_t channels = static_cast<std::uint32_t>(info.OutChannels);
    const std::uint32_t rate = static_cast<std::uint32_t>(info.OutSampleRate);
    std::memcpy(header, "RIFF", 4);
    Put32(header + 4, 36 + data);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    Put32(header + 16, 16);
    Put16(header + 20, 1);
    Put16(header + 22, channels);
    Put32(header + 24, rate);
    Put32(header + 28, rate * channels * 2);
    Put16(header + 32, channels * 2);
    Put16(header + 34, 16);
    std::memcpy(header + 36, "data", 4);
    Put32(header + 40, data);
}

// Why a file holds no frame the decoder takes: a free-format header (bit-rate
// index 0) among its first bytes, or nothing at all.
std::string NoFrameReason(std::FILE* file)
{
    std::vector<std::uint8_t> head(65536);
    std::rewind(file);
    const std::size_t n = std::fread(head.data(), 1, head.size(), file);
    for (std::size_t i = 0; i + 3 < n; ++i) {
        const std::uint8_t* p = head.data() + i;
        if (p[0] == 0xFF && (p[1] & 0xE0) == 0xE0 && (p[1] & 0x06) != 0 && (p[2] >> 4) == 0 && ((p[2] >> 2) & 3) != 3)
            return "free-format stream (bit-rate index 0) is not supported";
    }
    return "no MPEG audio frame found";
}

}  // namespace

int main(int argc, char** argv)
{
    bool raw = false;
    bool forced = false;
    CpuLevel level = CpuLevel::Baseline;
    int first = 1;
    for (; first < argc && std::strncmp(argv[first], "--", 2) == 0; ++first) {
        if (std::strcmp(argv[first], "--raw") == 0)
            raw = true;
        else if (std::strncmp(argv[first], "--cpu=", 6) == 0 && ParseCpuLevel(argv[first] + 6, &level))
            forced = true;
        else
            break;
    }
    if (argc - first != 2) {
        std::fprintf(stderr, "usage: tarvel-decode [--raw] [--cpu=baseline|avx2|avx512] INPUT OUTPUT\n");
        return 2;
    }
    InputName = argv[first];
    const char* outputName = argv[first + 1];

    MpegInit();
    if (forced && !UseCpuLevel(level)) {
        std::fprintf(stderr, "tarvel-decode: this processor does not run the %s forms\n", CpuLevelName(level));
        return 2;
    }
    std::FILE* input = std::fopen(InputName, "rb");
    if (input == nullptr)
        return Fail(std::strerror(errno));

    // The first frame, found the way the player finds it (past an ID3v2 tag,
    // through a RIFF wrapper), whatever the rate and channels.
    TrackEntry entry{};
    CFileInfo fileInfo;
    if (!fileInfo.Inspect(InputName, &entry)) {
        const std::string reason = NoFrameReason(input);
        std::fclose(input);
        return Fail(reason);
    }
    if (entry.FileType != FileTypeMpeg) {
        std::fclose(input);
        return Fail("not MPEG audio (a PCM WAVE file)");
    }
    FrameHeader info = entry.FrameHeader;
    info.BitRate *= 1000;
    if (std::fseek(input, entry.DataOffset, SEEK_SET) != 0) {
        std::fclose(input);
        return Fail("cannot read the file");
    }

    MpegStreamFeed feed;
    feed.SetReader(ReadFile, input);
    if (!feed.OpenMpegStream(info, 0)) {
        std::fclose(input);
        return Fail("the stream cannot be decoded");
    }

    const bool toStdout = std::strcmp(outputName, "-") == 0;
    if (toStdout)
        PlatformBinaryOutput(stdout);  // PCM bytes, not lines of text
    std::FILE* output = toStdout ? stdout : std::fopen(outputName, "wb");
    if (output == nullptr) {
        std::fclose(input);
        std::fprintf(stderr, "tarvel-decode: %s: %s\n", outputName, std::strerror(errno));
        return 1;
    }
    std::uint8_t header[44];
    if (!raw) {
        WaveHeader(header, info, 0xFFFFFFFFu);
        std::fwrite(header, 1, sizeof header, output);
    }

    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(feed.ChunkCapacity()));
    std::uint64_t written = 0;
    bool ok = true;
    std::string reason;
    for (;;) {
        std::int32_t bytes = 0;
        if (!feed.DecodeMpegChunk(chunk.data(), &bytes)) {
            ok = false;
            reason = "read error";
            break;
        }
        if (bytes == 0)
            break;
        if (std::fwrite(chunk.data(), 1, static_cast<std::size_t>(bytes), output) != static_cast<std::size_t>(bytes)) {
            ok = false;
            reason = "cannot write the output";
            break;
        }
        written += static_cast<std::uint64_t>(bytes);
        if (chunk.size() < static_cast<std::size_t>(feed.ChunkCapacity()))
            chunk.resize(static_cast<std::size_t>(feed.ChunkCapacity()));
    }
    std::fclose(input);
    if (!raw && !toStdout && std::fseek(output, 0, SEEK_SET) == 0) {
        WaveHeader(header, info, written);
        std::fwrite(header, 1, sizeof header, output);
    }
    if (output != stdout)
        std::fclose(output);
    else
        std::fflush(stdout);
    if (!ok)
        return Fail(reason);
    return 0;
}
