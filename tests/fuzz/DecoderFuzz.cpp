// Fuzz target: arbitrary bytes as an audio file. Track information reads
// it from disk as the player does; an MPEG file (or, failing that, the first
// frame anywhere in the bytes) is decoded through the stream feed from a start
// offset, with decoder options taken from the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "engine/FileInfo.h"
#include "engine/MpegStreamFeed.h"
#include "decoder/CpuLevel.h"
#include "decoder/Mpeg.h"

namespace {

struct Input {
    const std::uint8_t* Data;
    std::size_t Size;
    std::size_t Pos;
    std::size_t Step;
};

bool Read(void* context, std::uint8_t* destination, std::int32_t size, std::int32_t* got)
{
    auto* in = static_cast<Input*>(context);
    std::size_t n = static_cast<std::size_t>(size);
    if (n > in->Size - in->Pos)
        n = in->Size - in->Pos;
    if (n > in->Step)
        n = in->Step;
    if (n > 0)
        std::memcpy(destination, in->Data + in->Pos, n);
    in->Pos += n;
    *got = static_cast<std::int32_t>(n);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static bool initialised = false;
    if (!initialised) {
        MpegInit();
        // TARVEL_CPU=baseline|avx2|avx512 holds the decoder to that level.
        CpuLevel level;
        const char* name = std::getenv("TARVEL_CPU");
        if (name != nullptr && (!ParseCpuLevel(name, &level) || !UseCpuLevel(level)))
            std::abort();
        initialised = true;
    }
    if (size < 3)
        return 0;
    // Byte 0: options and read step; byte 1: start offset in frames' worth.
    const std::uint8_t control = data[0];
    const std::int32_t seek = (data[1] & 0x80) ? (data[1] & 0x7F) * 97 : 0;
    DecoderOptions options{(control & 3) == 3 ? 0 : control & 3, (control >> 2) & 0xB, 24000};
    MpegSetOptions(&options);
    data += 2;
    size -= 2;

    // The file as the player sees it.
    static const std::string path = "/tmp/tarvel-fuzz-" + std::to_string(getpid()) + ".bin";
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    CFileInfo fileInfo;
    TrackEntry entry{};
    const bool known = fileInfo.Inspect(path.c_str(), &entry) != 0;
    CFileInfo::IsSupportedFormat(&entry);

    FrameHeader info{};
    std::int32_t at = 0;
    bool found = false;
    if (known && entry.FileType == FileTypeMpeg && static_cast<std::size_t>(entry.DataOffset) < size) {
        info = entry.FrameHeader;
        info.BitRate *= 1000;
        at = entry.DataOffset;
        found = true;
    } else if (MpegFindSync(data, static_cast<std::int32_t>(size), &at)) {
        std::vector<std::uint8_t> head(data + at, data + size);
        head.resize(head.size() < 160 ? 160 : head.size());
        found = MpegReadStreamInfo(head.data(), static_cast<std::int32_t>(head.size()), &info) != 0;
    }
    {
        if (found) {
            Input in{data + at, size - static_cast<std::size_t>(at), 0, (control & 0x40) ? 61u : ~std::size_t{0}};
            MpegStreamFeed feed;
            feed.SetReader(Read, &in);
            if (feed.OpenMpegStream(info, seek)) {
                std::vector<std::uint8_t> chunk(static_cast<std::size_t>(feed.ChunkCapacity()));
                for (int i = 0; i < 10000; ++i) {
                    std::int32_t n = 0;
                    if (!feed.DecodeMpegChunk(chunk.data(), &n) || n == 0)
                        break;
                    if (chunk.size() < static_cast<std::size_t>(feed.ChunkCapacity()))
                        chunk.resize(static_cast<std::size_t>(feed.ChunkCapacity()));
                }
            }
        }
    }
    // The two buffer readers on their own, at every alignment of a short head.
    for (std::size_t offset = 0; offset < 8 && offset < size; ++offset)
        MpegReadStreamInfo(data + offset, static_cast<std::int32_t>(size - offset), &info);
    return 0;
}
