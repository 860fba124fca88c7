#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

#include "decoder/Mpeg.h"

namespace {

class FrontEnd : public ::testing::Test {
protected:
    void SetUp() override { MpegInit(); }
};

std::vector<std::uint8_t> Frame(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::size_t size = 2048)
{
    std::vector<std::uint8_t> data(size, 0);
    data[0] = 0xFF;
    data[1] = b1;
    data[2] = b2;
    data[3] = b3;
    return data;
}

void PutBig32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

}  // namespace

TEST_F(FrontEnd, FrameSizesAndPcmSizes)
{
    FrameHeader h{};
    auto mp3 = Frame(0xFB, 0x90, 0x00);  // MPEG-1 Layer III, 128 kbit/s, 44100 Hz, stereo
    ASSERT_TRUE(MpegReadStreamInfo(mp3.data(), 2048, &h));
    EXPECT_EQ(h.Version, 1);
    EXPECT_EQ(h.Layer, 3);
    EXPECT_EQ(h.BitRate, 128000);
    EXPECT_EQ(h.PcmBytesPerFrame, 4608);
    EXPECT_EQ(h.MinFrameBytes, 417);
    EXPECT_EQ(h.MaxFrameBytes, 418);
    EXPECT_EQ(h.OutChannels, 2);
    EXPECT_EQ(h.OutSampleRate, 44100);

    auto layer1 = Frame(0xFF, 0x18, 0xC0);  // Layer I, 32 kbit/s, 32000 Hz, mono
    ASSERT_TRUE(MpegReadStreamInfo(layer1.data(), 2048, &h));
    EXPECT_EQ(h.Layer, 1);
    EXPECT_EQ(h.MinFrameBytes, 48);
    EXPECT_EQ(h.MaxFrameBytes, 52);
    EXPECT_EQ(h.PcmBytesPerFrame, 384 * 2);

    auto lsf = Frame(0xF3, 0x80, 0xC0);  // MPEG-2 Layer III, 64 kbit/s, 22050 Hz, mono
    ASSERT_TRUE(MpegReadStreamInfo(lsf.data(), 2048, &h));
    EXPECT_EQ(h.Version, 2);
    EXPECT_EQ(h.MinFrameBytes, 208);
    EXPECT_EQ(h.PcmBytesPerFrame, 576 * 2);
}

TEST_F(FrontEnd, DecodeFrameSizesEachFrameAndNeedsTheWholeFrame)
{
    auto data = Frame(0xFD, 0x80, 0x00, 4096);  // Layer II, 128 kbit/s, 44100 Hz
    std::vector<std::uint8_t> pcm(8192);
    ASSERT_TRUE(MpegOpenStream(data.data(), 4096));

    DecodeRequest request{};
    request.Data = data.data();
    request.Output = pcm.data();
    request.Length = 417;  // the padded frame is 418 bytes
    data[2] = 0x82;
    EXPECT_FALSE(MpegDecodeFrame(&request));
    EXPECT_EQ(MpegGetLastError(), ErrNeedData);
    EXPECT_EQ(request.Length, 417) << "nothing is consumed on failure";

    request.Length = 418;
    ASSERT_TRUE(MpegDecodeFrame(&request));
    EXPECT_EQ(request.Length, 418);
    EXPECT_EQ(request.OutBytes, 4608);
    EXPECT_EQ(request.BitRate, 128000);

    MpegMute();
    request.Length = 4;
    EXPECT_FALSE(MpegDecodeFrame(&request));
    request.Length = 4096;
    data[2] = 0x80;
    std::fill(pcm.begin(), pcm.end(), 0xAA);
    ASSERT_TRUE(MpegDecodeFrame(&request));
    EXPECT_EQ(request.Length, 417);
    EXPECT_EQ(request.OutBytes, 4608);
    EXPECT_EQ(pcm[0], 0xAA) << "a muted frame writes nothing";
}

TEST_F(FrontEnd, HeaderValidation)
{
    FrameHeader h{};
    const std::uint8_t noSync[] = {0xFE, 0xFB, 0x90, 0x00};
    EXPECT_FALSE(MpegParseHeader(noSync, &h));
    EXPECT_EQ(MpegGetLastError(), ErrNoSync);
    const std::uint8_t badVersion[] = {0xFF, 0xD3, 0x90, 0x00};
    EXPECT_FALSE(MpegParseHeader(badVersion, &h));
    EXPECT_EQ(MpegGetLastError(), ErrNoSync);
    for (auto bytes : {std::vector<std::uint8_t>{0xFF, 0xFB, 0x0C, 0}, {0xFF, 0xFB, 0x00, 0}, {0xFF, 0xFB, 0xF0, 0},
                       {0xFF, 0xF9, 0x90, 0}}) {
        EXPECT_FALSE(MpegParseHeader(bytes.data(), &h));
        EXPECT_EQ(MpegGetLastError(), ErrBadHeader);
    }
    const std::uint8_t mpeg25[] = {0xFF, 0xE3, 0x80, 0xC4};
    ASSERT_TRUE(MpegParseHeader(mpeg25, &h));
    EXPECT_EQ(h.Version, 3);
    EXPECT_EQ(h.Layer, 3);
    EXPECT_EQ(h.HasCrc, 0);
    EXPECT_EQ(h.Mode, 3);
    EXPECT_EQ(h.Original, 1);
}

TEST_F(FrontEnd, SyncSearchSkipsImplausibleHeaders)
{
    std::vector<std::uint8_t> data = {0xFF, 0xFF, 0xFF, 0xFF, 0xFB, 0x0C, 0x00, 0xFF, 0xFB, 0x90, 0x00, 0, 0, 0};
    std::int32_t at = -1;
    ASSERT_TRUE(MpegFindSync(data.data(), static_cast<std::int32_t>(data.size()), &at));
    EXPECT_EQ(at, 7);

    const std::uint8_t freeFormat[] = {0xFF, 0xFB, 0x00, 0x00, 0, 0, 0, 0};
    EXPECT_FALSE(MpegFindSync(freeFormat, 8, &at));
    EXPECT_EQ(MpegGetLastError(), ErrNeedData);
    const std::uint8_t mpeg25[] = {0xFF, 0xE3, 0x80, 0xC4, 0, 0, 0, 0};
    EXPECT_FALSE(MpegFindSync(mpeg25, 8, &at)) << "8000-12000 Hz streams are never found";
    EXPECT_FALSE(MpegFindSync(data.data(), 3, &at));
    EXPECT_FALSE(MpegFindSync(nullptr, 0, &at));
}

TEST_F(FrontEnd, XingHeaderMakesTheStreamVariable)
{
    for (bool crc : {false, true}) {
        auto data = Frame(crc ? 0xFA : 0xFB, 0x90, 0x00);
        const int at = crc ? 38 : 36;
        std::memcpy(data.data() + at, "Xing", 4);
        PutBig32(data.data() + at + 4, 15);
        PutBig32(data.data() + at + 8, 0xFFFFFFF0u);
        PutBig32(data.data() + at + 12, 123456);
        FrameHeader h{};
        ASSERT_TRUE(MpegReadStreamInfo(data.data(), 2048, &h));
        EXPECT_EQ(h.BitRate, 0);
        EXPECT_EQ(static_cast<std::uint32_t>(h.XingFrames), 0xFFFFFFF0u);
        EXPECT_EQ(h.XingBytes, 123456);
        EXPECT_EQ(h.FrameBytes, 417);
        EXPECT_EQ(h.MinFrameBytes, 104);   // 32 kbit/s
        EXPECT_EQ(h.MaxFrameBytes, 1045);  // 320 kbit/s plus the padding slot

        PutBig32(data.data() + at + 4, 12);
        EXPECT_FALSE(MpegReadStreamInfo(data.data(), 2048, &h));
        EXPECT_EQ(MpegGetLastError(), ErrBadHeader);
    }
    auto shortData = Frame(0xFB, 0x90, 0x00);
    FrameHeader h{};
    EXPECT_FALSE(MpegReadStreamInfo(shortData.data(), 155, &h));
    EXPECT_EQ(MpegGetLastError(), ErrNeedData);
}

TEST_F(FrontEnd, LargestFrameCoversEveryBitRate)
{
    FrameHeader h{};
    auto layer2 = Frame(0xFD, 0x18, 0x00);  // Layer II, 32 kbit/s, 32000 Hz
    ASSERT_TRUE(MpegReadStreamInfo(layer2.data(), 2048, &h));
    EXPECT_EQ(MpegLargestFrameBytes(&h), 384000 * 144 / 32000 + 1);
}

TEST_F(FrontEnd, LastErrorBelongsToTheThreadThatFailed)
{
    FrameHeader h{};
    const std::uint8_t badRate[] = {0xFF, 0xFB, 0x0C, 0x00};
    ASSERT_FALSE(MpegParseHeader(badRate, &h));
    ASSERT_EQ(MpegGetLastError(), ErrBadHeader);
    std::int32_t other = 0;
    std::thread reader([&] {
        std::int32_t at = 0;
        MpegFindSync(badRate, 4, &at);  // too short: no sync on this thread
        other = MpegGetLastError();
    });
    reader.join();
    EXPECT_EQ(other, ErrNeedData);
    EXPECT_EQ(MpegGetLastError(), ErrBadHeader);
}

TEST_F(FrontEnd, ALayerTwoFrameClaimingMoreBitsThanItHoldsReadsZerosPastItsEnd)
{
    // Layer II, 384 kbit/s, 48000 Hz, stereo: 1152 bytes. Its 27 sub-bands
    // of both channels take 176 bits of allocation and 108 of selection, all
    // 1s: every allocation at its widest (the samples claim about three times
    // the frame), two scale factors each; 648 bits of scale factors, all 0
    // (the loudest); then samples, all 1s. What follows the frame must not
    // be read.
    std::vector<std::uint8_t> pcm[2];
    for (int i = 0; i < 2; ++i) {
        auto data = Frame(0xFD, 0xE4, 0x00, 4096);
        std::fill(data.begin() + 4, data.begin() + 1152, 0xFF);
        std::fill(data.begin() + 39, data.begin() + 121, 0x00);  // bits 316 to 963
        data[39] = 0xF0;
        data[120] = 0x0F;
        std::fill(data.begin() + 1152, data.end(), i == 0 ? 0x00 : 0x5A);
        ASSERT_TRUE(MpegOpenStream(data.data(), 4096));
        pcm[i].assign(8192, 0);
        DecodeRequest request{};
        request.Data = data.data();
        request.Output = pcm[i].data();
        request.Length = 4096;
        ASSERT_TRUE(MpegDecodeFrame(&request));
        EXPECT_EQ(request.Length, 1152);
        EXPECT_EQ(request.OutBytes, 4608);
    }
    EXPECT_NE(std::count(pcm[0].begin(), pcm[0].begin() + 4608, 0), 4608);
    EXPECT_EQ(pcm[0], pcm[1]) << "bytes after the frame were read as samples";
}
