#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "TestData.h"
#include "engine/MpegStreamFeed.h"

namespace {

struct Decoded {
    std::vector<std::uint8_t> Pcm;
    std::vector<std::int32_t> Chunks;
    bool Opened = false;
};

Decoded DecodeAll(MemoryFile& file, std::int32_t seek = 0)
{
    Decoded result;
    MpegInit();
    FrameHeader info{};
    std::vector<std::uint8_t> head(file.Data.begin(), file.Data.begin() + std::min<std::size_t>(4096, file.Data.size()));
    head.resize(4096);
    if (!MpegReadStreamInfo(head.data(), 4096, &info))
        return result;
    MpegStreamFeed feed;
    feed.SetReader(MemoryFile::Read, &file);
    result.Opened = feed.OpenMpegStream(info, seek);
    if (!result.Opened)
        return result;
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(feed.ChunkCapacity()));
    for (int guard = 0; guard < 100000; ++guard) {
        std::int32_t n = 0;
        if (!feed.DecodeMpegChunk(chunk.data(), &n) || n == 0)
            break;
        result.Chunks.push_back(n);
        result.Pcm.insert(result.Pcm.end(), chunk.begin(), chunk.begin() + n);
    }
    return result;
}

MemoryFile Conformance(const char* name)
{
    MemoryFile file;
    file.Data = ReadInput(std::string("conformance/") + name);
    return file;
}

}  // namespace

// l2-fl11: Layer II, 192 kbit/s, 44100 Hz, stereo: frames of 626 or 627 bytes.
TEST(StreamFeed, DeliversSixFrameChunksAndTheWholeTail)
{
    MemoryFile file = Conformance("l2-fl11.bit");
    ASSERT_FALSE(file.Data.empty());
    for (std::int32_t step : {1 << 30, 1000, 7}) {
        file.Pos = 0;
        file.Step = step;
        Decoded d = DecodeAll(file);
        ASSERT_TRUE(d.Opened);
        ASSERT_FALSE(d.Chunks.empty());
        for (std::size_t i = 0; i + 1 < d.Chunks.size(); ++i)
            EXPECT_EQ(d.Chunks[i], 6 * 4608) << i;
        // 49 frames: eight chunks of six and a last one of one frame.
        EXPECT_EQ(d.Pcm.size(), 49u * 4608) << "step " << step;
        EXPECT_EQ(d.Chunks.back(), 4608);
    }
}

TEST(StreamFeed, SeekResumesAtTheFrameHoldingTheTarget)
{
    MemoryFile file = Conformance("l2-fl11.bit");
    ASSERT_FALSE(file.Data.empty());
    Decoded whole = DecodeAll(file);

    // Frame sizes, to place the target in the middle of frame 10.
    std::vector<std::size_t> starts;
    for (std::size_t at = 0; at + 4 <= file.Data.size();) {
        starts.push_back(at);
        at += (file.Data[at + 2] & 2) ? 627 : 626;
    }
    ASSERT_EQ(starts.size(), 49u);
    file.Pos = 0;
    Decoded sought = DecodeAll(file, static_cast<std::int32_t>(starts[10] + 300));
    ASSERT_TRUE(sought.Opened);
    EXPECT_EQ(sought.Pcm.size(), (49u - 10) * 4608);
    // The filter bank starts empty: from the second frame on the output is
    // that of the whole decode.
    ASSERT_GE(sought.Pcm.size(), 2u * 4608);
    EXPECT_TRUE(std::equal(sought.Pcm.begin() + 4608, sought.Pcm.end(), whole.Pcm.begin() + 11 * 4608));

    for (std::int32_t target : {0, -5}) {
        file.Pos = 0;
        Decoded start = DecodeAll(file, target);
        EXPECT_EQ(start.Pcm, whole.Pcm) << target;
    }
    file.Pos = 0;
    EXPECT_FALSE(DecodeAll(file, static_cast<std::int32_t>(file.Data.size()) + 10).Opened) << "beyond the data";
}

TEST(StreamFeed, PassesOverDamagedStretches)
{
    MemoryFile clean = Conformance("l2-fl11.bit");
    ASSERT_FALSE(clean.Data.empty());
    Decoded whole = DecodeAll(clean);

    // 300 bytes of garbage between frames 20 and 21, and garbage at the end.
    MemoryFile damaged = clean;
    damaged.Pos = 0;
    std::size_t at = 0;
    for (int frame = 0; frame < 21; ++frame)
        at += (damaged.Data[at + 2] & 2) ? 627 : 626;
    std::vector<std::uint8_t> garbage(300);
    for (std::size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<std::uint8_t>(i * 37 + 11);
    damaged.Data.insert(damaged.Data.begin() + static_cast<std::ptrdiff_t>(at), garbage.begin(), garbage.end());
    damaged.Data.insert(damaged.Data.end(), garbage.begin(), garbage.end());
    Decoded d = DecodeAll(damaged);
    EXPECT_EQ(d.Pcm.size(), whole.Pcm.size()) << "no frame is lost";
    EXPECT_TRUE(std::equal(d.Pcm.begin(), d.Pcm.begin() + 21 * 4608, whole.Pcm.begin()));
}

TEST(StreamFeed, ReadErrorsAndEmptyInput)
{
    MemoryFile file = Conformance("l2-fl11.bit");
    ASSERT_FALSE(file.Data.empty());
    MpegInit();
    FrameHeader info{};
    ASSERT_TRUE(MpegReadStreamInfo(file.Data.data(), 4096, &info));
    MpegStreamFeed feed;
    std::int32_t n = 0;
    std::vector<std::uint8_t> chunk(65536);
    EXPECT_FALSE(feed.DecodeMpegChunk(chunk.data(), &n)) << "no stream is open";

    feed.SetReader(MemoryFile::Read, &file);
    file.FailReads = true;
    EXPECT_FALSE(feed.OpenMpegStream(info, 0));
    file.FailReads = false;
    ASSERT_TRUE(feed.OpenMpegStream(info, 0));
    file.FailReads = true;
    bool failed = false;
    for (int i = 0; i < 20 && !failed; ++i)
        failed = !feed.DecodeMpegChunk(chunk.data(), &n);
    EXPECT_TRUE(failed);

    MemoryFile empty;
    feed.SetReader(MemoryFile::Read, &empty);
    EXPECT_FALSE(feed.OpenMpegStream(info, 0));
}

// l3-hecommon: Layer III, 128 kbit/s, 44100 Hz, stereo, whose frames draw on
// the bit reservoir.
TEST(StreamFeed, LayerIIISeekWaitsForTheReservoirThenDecodesAsBefore)
{
    MemoryFile file = Conformance("l3-hecommon.bit");
    ASSERT_FALSE(file.Data.empty());
    Decoded whole = DecodeAll(file);
    ASSERT_TRUE(whole.Opened);

    // Frame starts, to seek into the middle of frame 12.
    std::vector<std::size_t> starts;
    for (std::size_t at = 0; at + 4 <= file.Data.size();) {
        FrameHeader h{};
        ASSERT_TRUE(MpegParseHeader(file.Data.data() + at, &h));
        starts.push_back(at);
        at += static_cast<std::size_t>(144 * 128000 / 44100 + h.PaddingBit);
    }
    ASSERT_GT(starts.size(), 20u);
    file.Pos = 0;
    Decoded sought = DecodeAll(file, static_cast<std::int32_t>(starts[12] + 100));
    ASSERT_TRUE(sought.Opened);
    EXPECT_EQ(sought.Pcm.size(), whole.Pcm.size() - 12 * 4608);

    // The first frames after the seek refer to main data from before it and
    // are silent; once the reservoir holds what they need, and the filter
    // banks have refilled, the output is that of the whole decode.
    std::size_t silent = 0;
    while (silent < sought.Pcm.size() / 4608 &&
           std::all_of(sought.Pcm.begin() + static_cast<std::ptrdiff_t>(silent * 4608),
                       sought.Pcm.begin() + static_cast<std::ptrdiff_t>((silent + 1) * 4608),
                       [](std::uint8_t b) { return b == 0; }))
        ++silent;
    EXPECT_GE(silent, 1u);
    EXPECT_LE(silent, 3u);
    const std::size_t from = (silent + 2) * 4608;
    EXPECT_TRUE(std::equal(sought.Pcm.begin() + static_cast<std::ptrdiff_t>(from), sought.Pcm.end(),
                           whole.Pcm.begin() + static_cast<std::ptrdiff_t>(12 * 4608 + from)));
}
