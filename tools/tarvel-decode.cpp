// tarvel-decode [--raw] INPUT OUTPUT
// Decodes an MPEG audio file from its first frame into a RIFF WAVE file of
// 16-bit PCM, or raw signed 16-bit little-endian PCM with --raw. OUTPUT "-"
// is standard output.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/MpegStreamFeed.h"
#include "decoder/Mpeg.h"

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

// Finds the first frame whose stream information can be read. Returns its
// offset in the file, or -1 with `reason` set.
long FindFirstFrame(std::FILE* file, FrameHeader* info, std::string* reason)
{
    const std::int32_t block = 65536;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(block) + 256);
    long base = 0;
    bool sawFreeFormat = false;
    for (;;) {
        if (std::fseek(file, base, SEEK_SET) != 0) {
            *reason = "cannot read the file";
            return -1;
        }
        std::size_t n = std::fread(buffer.data(), 1, buffer.size(), file);
        if (std::ferror(file)) {
            *reason = "cannot read the file";
            return -1;
        }
        const auto length = static_cast<std::int32_t>(n);
        for (std::int32_t start = 0; start < length;) {
            // A header with bit-rate index 0 before any usable frame: a
            // free-format stream.
            std::int32_t position = 0;
            bool found = MpegFindSync(buffer.data() + start, length - start, &position) != 0;
            std::int32_t limit = found ? start + position : length - 3;
            for (std::int32_t i = start; i < limit && !sawFreeFormat; ++i) {
                const std::uint8_t* p = buffer.data() + i;
                if (p[0] == 0xFF && (p[1] & 0xE0) == 0xE0 && (p[1] & 0x06) != 0 && (p[2] >> 4) == 0 &&
                    ((p[2] >> 2) & 3) != 3)
                    sawFreeFormat = true;
            }
            if (!found)
                break;
            const std::int32_t at = start + position;
            // Stream information needs 156 bytes: a shorter tail is padded
            // with zeros, so that a file of one small frame still decodes.
            std::uint8_t window[160] = {};
            std::int32_t available = length - at;
            std::memcpy(window, buffer.data() + at, static_cast<std::size_t>(available < 160 ? available : 160));
            if (available >= 160 || std::feof(file)) {
                if (MpegReadStreamInfo(window, 160, info)) {
                    if (sawFreeFormat) {
                        *reason = "free-format stream (bit-rate index 0) is not supported";
                        return -1;
                    }
                    return base + at;
                }
            } else {
                break;  // read the next block from here
            }
            start = at + 1;
        }
        if (sawFreeFormat) {
            *reason = "free-format stream (bit-rate index 0) is not supported";
            return -1;
        }
        if (n < buffer.size())
            break;
        base += block;
    }
    *reason = "no MPEG audio frame found";
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    bool raw = false;
    int first = 1;
    if (argc > 1 && std::strcmp(argv[1], "--raw") == 0) {
        raw = true;
        first = 2;
    }
    if (argc - first != 2) {
        std::fprintf(stderr, "usage: tarvel-decode [--raw] INPUT OUTPUT\n");
        return 2;
    }
    InputName = argv[first];
    const char* outputName = argv[first + 1];

    std::FILE* input = std::fopen(InputName, "rb");
    if (input == nullptr)
        return Fail(std::strerror(errno));

    MpegInit();
    FrameHeader info{};
    std::string reason;
    long offset = FindFirstFrame(input, &info, &reason);
    if (offset < 0) {
        std::fclose(input);
        return Fail(reason);
    }
    if (std::fseek(input, offset, SEEK_SET) != 0) {
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
