#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "TempFiles.h"
#include "TestData.h"
#include "engine/FileInfo.h"
#include "decoder/Mpeg.h"

namespace {

std::vector<std::uint8_t> FormatBody(std::uint16_t tag, int channels, int rate, int bits, int extra = -1)
{
    std::vector<std::uint8_t> fmt;
    Append16(fmt, tag);
    Append16(fmt, static_cast<std::uint32_t>(channels));
    Append32(fmt, static_cast<std::uint32_t>(rate));
    Append32(fmt, static_cast<std::uint32_t>(rate * channels * bits / 8));
    Append16(fmt, static_cast<std::uint32_t>(channels * bits / 8));
    Append16(fmt, static_cast<std::uint32_t>(bits));
    if (extra >= 0)
        Append16(fmt, static_cast<std::uint32_t>(extra));
    return fmt;
}

// A RIFF form with the given chunks (already framed).
std::vector<std::uint8_t> Riff(const std::string& form, const std::vector<std::uint8_t>& chunks)
{
    std::vector<std::uint8_t> file;
    Append(file, "RIFF");
    Append32(file, static_cast<std::uint32_t>(4 + chunks.size()));
    Append(file, form);
    file.insert(file.end(), chunks.begin(), chunks.end());
    return file;
}

std::vector<std::uint8_t> Samples(std::size_t bytes)
{
    std::vector<std::uint8_t> data(bytes);
    for (std::size_t i = 0; i < bytes; ++i)
        data[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return data;
}

// Layer II, 192 kbit/s, 44100 Hz, stereo: 49 frames.
std::vector<std::uint8_t> MpegStream()
{
    return ReadInput("conformance/l2-fl11.bit");
}

std::vector<std::uint8_t> Id3v1(const std::string& title, const std::string& artist)
{
    std::vector<std::uint8_t> tag(128, 0);
    std::memcpy(tag.data(), "TAG", 3);
    std::memcpy(tag.data() + 3, title.data(), std::min<std::size_t>(30, title.size()));
    std::memcpy(tag.data() + 33, artist.data(), std::min<std::size_t>(30, artist.size()));
    return tag;
}

class FileInfoTest : public ::testing::Test {
protected:
    void SetUp() override { MpegInit(); }
    int Read(const std::vector<std::uint8_t>& bytes, TrackEntry* entry, bool anyFormat = false)
    {
        const std::string path = WriteFile("info.bin", bytes);
        const int result = anyFormat ? info.Inspect(path.c_str(), entry) : info.ReadTrackInfo(path.c_str(), entry);
        std::remove(path.c_str());
        return result;
    }
    CFileInfo info;
};

}  // namespace

TEST_F(FileInfoTest, CanonicalWave)
{
    std::vector<std::uint8_t> chunks;
    AppendChunk(chunks, "fmt ", FormatBody(1, 2, 44100, 16));
    AppendChunk(chunks, "data", Samples(176400 * 3 + 1000));
    auto file = Riff("WAVE", chunks);
    TrackEntry e{};
    ASSERT_TRUE(Read(file, &e));
    EXPECT_EQ(e.FileType, FileTypeWave);
    EXPECT_EQ(e.DataOffset, 44);
    EXPECT_EQ(e.DataLength, static_cast<std::int32_t>(file.size()) - 44);
    EXPECT_EQ(e.BitRate, 1411u);
    EXPECT_EQ(e.Duration, 3);
    EXPECT_EQ(e.WaveFormat.nBlockAlign, 4);
    EXPECT_EQ(e.FrameHeader.Layer, 0);
}

TEST_F(FileInfoTest, WaveDataChunkIsFoundWhereverItIs)
{
    std::vector<std::uint8_t> list;
    Append(list, "INFO");
    AppendChunk(list, "INAM", std::vector<std::uint8_t>{'x', 0, 'y'});  // odd size: a pad byte follows
    std::vector<std::uint8_t> chunks;
    AppendChunk(chunks, "fmt ", FormatBody(1, 2, 48000, 16, 0));
    AppendChunk(chunks, "LIST", list);
    AppendChunk(chunks, "fact", std::vector<std::uint8_t>{1, 2, 3, 4});
    const std::size_t dataAt = 12 + chunks.size() + 8;
    AppendChunk(chunks, "data", Samples(19200));
    AppendChunk(chunks, "bext", Samples(602));  // after the data: not audio
    TrackEntry e{};
    ASSERT_TRUE(Read(Riff("WAVE", chunks), &e));
    EXPECT_EQ(e.DataOffset, static_cast<std::int32_t>(dataAt));
    EXPECT_EQ(e.DataLength, 19200);
    EXPECT_EQ(e.SampleRate, 48000u);

    // A data chunk that claims more than the file holds is cut to it.
    std::vector<std::uint8_t> cut;
    AppendChunk(cut, "fmt ", FormatBody(1, 2, 44100, 16));
    Append(cut, "data");
    Append32(cut, 1000000);
    auto body = Samples(5000);
    cut.insert(cut.end(), body.begin(), body.end());
    ASSERT_TRUE(Read(Riff("WAVE", cut), &e));
    EXPECT_EQ(e.DataLength, 5000);
}

TEST_F(FileInfoTest, WaveFormatsThatAreNotPlayedAsPcm)
{
    TrackEntry e{};
    auto wave = [](std::vector<std::uint8_t> fmt, std::size_t dataBytes = 4000) {
        std::vector<std::uint8_t> chunks;
        AppendChunk(chunks, "fmt ", fmt);
        AppendChunk(chunks, "data", Samples(dataBytes));
        return Riff("WAVE", chunks);
    };
    EXPECT_FALSE(Read(wave(FormatBody(3, 2, 44100, 32)), &e)) << "IEEE float";
    EXPECT_FALSE(Read(wave(FormatBody(2, 2, 44100, 4)), &e)) << "ADPCM";
    EXPECT_FALSE(Read(wave(FormatBody(1, 1, 44100, 16)), &e)) << "mono";
    EXPECT_FALSE(Read(wave(FormatBody(1, 2, 22050, 16)), &e)) << "22050 Hz";
    EXPECT_TRUE(Read(wave(FormatBody(1, 2, 22050, 16)), &e, true)) << "known, just not played";

    auto zeroRate = FormatBody(1, 2, 44100, 16);
    std::memset(zeroRate.data() + 8, 0, 4);
    EXPECT_FALSE(Read(wave(zeroRate), &e)) << "average byte rate 0";

    // Extensible: integer PCM plays, float does not.
    auto extensible = [](std::uint8_t subformat) {
        auto fmt = FormatBody(0xFFFE, 2, 44100, 16, 22);
        Append16(fmt, 16);
        Append32(fmt, 3);
        const std::uint8_t guid[16] = {subformat, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
        fmt.insert(fmt.end(), guid, guid + 16);
        return fmt;
    };
    ASSERT_TRUE(Read(wave(extensible(1)), &e));
    EXPECT_EQ(e.WaveFormat.wFormatTag, 1);
    EXPECT_EQ(e.DataOffset, 12 + 8 + 40 + 8);
    EXPECT_FALSE(Read(wave(extensible(3)), &e));
}

TEST_F(FileInfoTest, MpegInsideWaveGoesToTheMpegPath)
{
    auto stream = MpegStream();
    ASSERT_FALSE(stream.empty());
    std::vector<std::uint8_t> chunks;
    auto fmt = FormatBody(0x55, 2, 44100, 0, 12);
    fmt.resize(30, 0);
    AppendChunk(chunks, "fmt ", fmt);
    AppendChunk(chunks, "fact", std::vector<std::uint8_t>{0, 0, 0, 0});
    const std::size_t dataAt = 12 + chunks.size() + 8;
    AppendChunk(chunks, "data", stream);
    TrackEntry e{};
    ASSERT_TRUE(Read(Riff("WAVE", chunks), &e));
    EXPECT_EQ(e.FileType, FileTypeMpeg);
    EXPECT_EQ(e.DataOffset, static_cast<std::int32_t>(dataAt));
    EXPECT_EQ(e.DataLength, static_cast<std::int32_t>(stream.size()));
    EXPECT_EQ(e.BitRate, 192u);
}

TEST_F(FileInfoTest, MpegWithId3Tags)
{
    auto stream = MpegStream();
    ASSERT_FALSE(stream.empty());
    // An ID3v2 tag of synchsafe size 0x81 + 0x100 (bytes 0, 0, 2, 1).
    std::vector<std::uint8_t> file = {'I', 'D', '3', 3, 0, 0, 0, 0, 2, 1};
    const std::size_t tagSize = (2 << 7) | 1;
    file.resize(10 + tagSize, 0xFF);  // 0xFF padding is no frame: FF FF has bit-rate index 15
    file.insert(file.end(), 5, 0);    // junk before the first frame
    file.insert(file.end(), stream.begin(), stream.end());
    auto v1 = Id3v1("Song One                      ", " Artist                       ");
    file.insert(file.end(), v1.begin(), v1.end());
    TrackEntry e{};
    ASSERT_TRUE(Read(file, &e));
    EXPECT_EQ(e.DataOffset, static_cast<std::int32_t>(10 + tagSize + 5));
    EXPECT_EQ(e.DataLength, static_cast<std::int32_t>(file.size() - 128 - (10 + tagSize)));
    EXPECT_STREQ(e.Title, "Song One");
    EXPECT_STREQ(e.Artist, " Artist");
    EXPECT_EQ(e.Duration, e.DataLength / 24000);
    EXPECT_EQ(e.WaveFormat.nAvgBytesPerSec, 176400u);

    file = stream;
    auto spaces = Id3v1(std::string(30, ' '), std::string(30, 'A'));
    file.insert(file.end(), spaces.begin(), spaces.end());
    ASSERT_TRUE(Read(file, &e));
    EXPECT_STREQ(e.Title, " ");
    EXPECT_EQ(std::string(e.Artist), std::string(30, 'A'));
}

TEST_F(FileInfoTest, XingFrameCountGivesTheDuration)
{
    // MPEG-1 Layer III, 128 kbit/s, 44100 Hz, stereo, with a Xing header.
    std::vector<std::uint8_t> file(417 * 20, 0);
    for (std::size_t f = 0; f < 20; ++f) {
        file[417 * f] = 0xFF, file[417 * f + 1] = 0xFB, file[417 * f + 2] = 0x90;
    }
    std::memcpy(file.data() + 36, "Xing\0\0\0\x03\xFF\xFF\xFF\xF0\0\x01\0\0", 16);
    TrackEntry e{};
    ASSERT_TRUE(Read(file, &e));
    EXPECT_EQ(e.BitRate, 0u);
    EXPECT_EQ(e.Duration, static_cast<std::int32_t>(4294967280ull * 1152 / 44100));
    EXPECT_EQ(e.FrameHeader.XingBytes, 65536);
}

TEST_F(FileInfoTest, RiffWrappedMpegWithInfoTags)
{
    auto stream = MpegStream();
    ASSERT_FALSE(stream.empty());
    std::vector<std::uint8_t> chunks;
    AppendChunk(chunks, "fmt ", FormatBody(0x55, 2, 44100, 0, 0));
    const std::size_t dataAt = 12 + chunks.size() + 8;
    AppendChunk(chunks, "data", stream);
    std::vector<std::uint8_t> list;
    Append(list, "INFO");
    std::string longTitle(300, 't');
    AppendChunk(list, "INAM", std::vector<std::uint8_t>(longTitle.begin(), longTitle.end()));
    AppendChunk(list, "ICMT", std::vector<std::uint8_t>{'c', 0});
    AppendChunk(list, "IART", std::vector<std::uint8_t>{'B', 'a', 'n', 'd', 0});
    AppendChunk(chunks, "LIST", list);
    TrackEntry e{};
    ASSERT_TRUE(Read(Riff("RMP3", chunks), &e));
    EXPECT_EQ(e.DataOffset, static_cast<std::int32_t>(dataAt));
    EXPECT_EQ(e.DataLength, static_cast<std::int32_t>(stream.size()));
    EXPECT_EQ(std::string(e.Title), std::string(255, 't'));
    EXPECT_STREQ(e.Artist, "Band");
}

TEST_F(FileInfoTest, ShortAndUnreadableFiles)
{
    auto stream = MpegStream();
    ASSERT_FALSE(stream.empty());
    TrackEntry e{};
    // Three frames: shorter than the 8192 bytes searched, and still a clip.
    ASSERT_TRUE(Read(std::vector<std::uint8_t>(stream.begin(), stream.begin() + 3 * 627), &e));
    EXPECT_EQ(e.DataLength, 3 * 627);
    EXPECT_FALSE(Read({}, &e));
    EXPECT_FALSE(Read(std::vector<std::uint8_t>(3, 0xFF), &e));
    EXPECT_FALSE(Read(std::vector<std::uint8_t>(20000, 0), &e)) << "no frame";
    std::vector<std::uint8_t> hugeTag = {'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F};
    EXPECT_FALSE(Read(hugeTag, &e));
    EXPECT_FALSE(info.ReadTrackInfo("/nonexistent/file.mp3", &e));
    std::string longPath(300, 'a');
    EXPECT_FALSE(info.ReadTrackInfo(longPath.c_str(), &e)) << "a path that does not fit";
}
