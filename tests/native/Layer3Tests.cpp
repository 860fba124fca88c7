#include <gtest/gtest.h>

#include <algorithm>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "TestData.h"
#include "decoder/Layer3.h"

namespace {

// Bits written most significant first.
struct BitWriter {
    std::vector<std::uint8_t> Bytes;
    int Used = 0;
    void Put(std::uint32_t value, int count)
    {
        for (int i = count - 1; i >= 0; --i) {
            if (Used % 8 == 0)
                Bytes.push_back(0);
            if ((value >> i) & 1)
                Bytes.back() |= static_cast<std::uint8_t>(0x80 >> (Used % 8));
            ++Used;
        }
    }
    void Put(const std::string& bits)
    {
        for (char b : bits)
            Put(b == '1' ? 1 : 0, 1);
    }
};

}  // namespace

TEST(Layer3Tables, EveryHuffmanCodeDecodesToItsValues)
{
    MpegInit();
    auto rows = TableRecords("huffman.txt");
    ASSERT_FALSE(rows.empty());
    int checked = 0;
    for (const auto& r : rows) {
        if (r[0] != "pair")
            continue;
        const int table = std::stoi(r[1]), x = std::stoi(r[2]), y = std::stoi(r[3]);
        // Tables 16 and 24 are read through table_select 16 and 24 (linbits 1
        // and 4); escape values 15 take linbits of 0 here.
        BitWriter w;
        w.Put(r[5]);
        if (table >= 16 && x == 15)
            w.Put(0, table == 16 ? 1 : 4);
        if (x != 0)
            w.Put(0, 1);  // positive
        if (table >= 16 && y == 15)
            w.Put(0, table == 16 ? 1 : 4);
        if (y != 0)
            w.Put(1, 1);  // negative
        const int used = w.Used;
        w.Put(0, 32);
        Bits.Start(w.Bytes.data(), w.Bytes.size());
        std::int32_t lines[2] = {99, 99};
        L3HuffmanPairs(lines, 2, table);
        ASSERT_EQ(lines[0], x) << "table " << table << " code " << r[5];
        ASSERT_EQ(lines[1], -y) << "table " << table << " code " << r[5];
        ASSERT_EQ(Bits.Consumed(), static_cast<std::size_t>(used)) << "table " << table << " code " << r[5];
        ++checked;
    }
    EXPECT_EQ(checked, 1378);

    for (const auto& r : rows) {
        if (r[0] != "quad" || r[1] != "A")
            continue;
        const int value = 8 * std::stoi(r[2]) + 4 * std::stoi(r[3]) + 2 * std::stoi(r[4]) + std::stoi(r[5]);
        const int length = std::stoi(r[6]);
        const int index = std::stoi(r[7], nullptr, 2) << (6 - length);
        EXPECT_EQ(Count1TableA[index], (length << 4) | value) << r[7];
    }
}

TEST(Layer3Tables, EscapesAndUnassignedTables)
{
    MpegInit();
    // Table 24 (linbits 4 at select 24, 13 at select 31): x = 15 + linbits.
    auto rows = TableRecords("huffman.txt");
    ASSERT_FALSE(rows.empty());
    std::string escape;
    for (const auto& r : rows)
        if (r[0] == "pair" && r[1] == "24" && r[2] == "15" && r[3] == "0")
            escape = r[5];
    BitWriter w;
    w.Put(escape);
    w.Put(8191, 13);
    w.Put(1, 1);
    w.Put(0, 32);
    Bits.Start(w.Bytes.data(), w.Bytes.size());
    std::int32_t lines[2] = {};
    L3HuffmanPairs(lines, 2, 31);
    EXPECT_EQ(lines[0], -(15 + 8191));
    EXPECT_EQ(lines[1], 0);

    for (int select : {0, 4, 14}) {
        std::vector<std::uint8_t> ones(16, 0xFF);
        Bits.Start(ones.data(), ones.size());
        std::int32_t pair[4] = {7, 7, 7, 7};
        L3HuffmanPairs(pair, 4, select);
        EXPECT_EQ(pair[0] | pair[1] | pair[2] | pair[3], 0) << select;
        EXPECT_EQ(Bits.Consumed(), 0u) << select;
    }
}

TEST(Layer3Tables, CountOneTableBAndItsOvershoot)
{
    MpegInit();
    // Table B: four bits, inverted, then a sign bit per nonzero value.
    BitWriter w;
    w.Put(0b0000, 4);  // 1 1 1 1
    w.Put(0b1010, 4);  // signs - + - +
    w.Put(0, 32);
    std::int32_t lines[8] = {};
    Bits.Start(w.Bytes.data(), w.Bytes.size());
    EXPECT_EQ(L3HuffmanQuads(lines, 8, 8, 1), 4);
    EXPECT_EQ(lines[0], -1);
    EXPECT_EQ(lines[1], 1);
    EXPECT_EQ(lines[3], 1);

    // With 7 bits left the four sign bits overshoot: the quadruple is dropped,
    // though the count still reflects it.
    Bits.Start(w.Bytes.data(), w.Bytes.size());
    std::fill(lines, lines + 8, 5);
    L3HuffmanQuads(lines, 8, 7, 1);
    EXPECT_EQ(lines[0] | lines[1] | lines[2] | lines[3], 0);

    // With 3 bits left nothing is read.
    Bits.Start(w.Bytes.data(), w.Bytes.size());
    EXPECT_EQ(L3HuffmanQuads(lines, 8, 3, 1), 0);
    EXPECT_EQ(Bits.Consumed(), 0u);

    // A nonzero value only in v or w counts two lines of the quadruple.
    BitWriter v;
    v.Put(0b0111, 4);  // v = 1 only
    v.Put(0, 1);
    v.Put(0, 32);
    Bits.Start(v.Bytes.data(), v.Bytes.size());
    EXPECT_EQ(L3HuffmanQuads(lines, 4, 5, 1), 2);
}

TEST(Layer3Tables, BandsScaleFactorLengthsAndPretab)
{
    auto bands = TableRecords("sfb_bands.txt");
    ASSERT_FALSE(bands.empty());
    const std::map<std::string, std::pair<int, int>> where = {
        {"44100", {0, 0}}, {"48000", {0, 1}}, {"32000", {0, 2}}, {"22050", {1, 0}}, {"24000", {1, 1}},
        {"16000", {1, 2}}, {"11025", {2, 0}}, {"12000", {2, 1}}, {"8000", {2, 2}}};
    for (const auto& r : bands) {
        auto [v, s] = where.at(r[0]);
        for (std::size_t i = 3; i < r.size(); ++i) {
            const int expected = std::stoi(r[i]);
            if (r[2] == "long")
                EXPECT_EQ(LongBoundaries[v][s][i - 3], expected) << r[0] << " long " << i - 3;
            else
                EXPECT_EQ(ShortBoundaries[v][s][i - 3], expected) << r[0] << " short " << i - 3;
        }
    }
    for (const auto& r : TableRecords("layer3_misc.txt")) {
        if (r[0] == "pretab") {
            EXPECT_EQ(Pretab[1][std::stoi(r[1])], std::stoi(r[2]));
        } else if (r[0] == "slen") {
            EXPECT_EQ(Slen[std::stoi(r[1])][0], std::stoi(r[2]));
            EXPECT_EQ(Slen[std::stoi(r[1])][1], std::stoi(r[3]));
        } else if (r[0] == "nsfb") {
            const int row = std::stoi(r[1]), block = std::stoi(r[2]);
            // Stored by kind (long, short, mixed) with short counts in bands;
            // the standard's mixed kind counts its six long bands first.
            const std::int32_t* ours = LsfBandCounts[row][block];
            int standard[4];
            for (int i = 0; i < 4; ++i)
                standard[i] = std::stoi(r[3 + static_cast<std::size_t>(i)]);
            if (block == 2 && row == 2) {
                // The standard's first group holds six long bands and three
                // short ones with one length; here they are two groups.
                EXPECT_EQ(ours[0] + 3 * ours[1], standard[0]);
                EXPECT_EQ(3 * ours[2], standard[1]);
                EXPECT_EQ(ours[3] + standard[2] + standard[3], 0);
                continue;
            }
            for (int i = 0; i < 4; ++i) {
                const int scaled = (block == 1 || (block == 2 && i > 0)) ? 3 * ours[i] : ours[i];
                EXPECT_EQ(scaled, standard[i]) << "row " << row << " block " << block << " group " << i;
            }
        }
    }
}

TEST(Layer3Setup, LineLimitsAndCaps)
{
    MpegInit();
    struct Case {
        int version, rateIndex, limit, longCap, shortCap;
    };
    for (Case c : {Case{1, 0, 558, 558, 558}, Case{2, 0, 530, 522, 522}, Case{2, 1, 548, 540, 540}}) {
        FrameHeader h{};
        h.Version = c.version;
        h.Layer = 3;
        h.SampleRateIndex = c.rateIndex;
        h.Mode = 0;
        h.PcmBytesPerFrame = 4608;
        L3SetupStream(&h);
        EXPECT_EQ(L3.LineLimit, c.limit);
        EXPECT_EQ(L3.LongCap, c.longCap);
        EXPECT_EQ(L3.ShortCap, c.shortCap);
        EXPECT_EQ(L3.MixedLongBands, c.version == 1 ? 8 : 6);
    }
}

// A long stream never lets the main-data reservoir outgrow its buffer.
TEST(Layer3Setup, ReservoirStaysWithinItsBuffer)
{
    auto stream = ReadInput("conformance/l3-he_44khz.bit");
    ASSERT_FALSE(stream.empty());
    MpegInit();
    ASSERT_TRUE(MpegOpenStream(stream.data(), static_cast<std::int32_t>(stream.size())));
    std::vector<std::uint8_t> pcm(4608);
    std::int32_t largest = 0;
    int frames = 0;
    for (std::size_t at = 0; at < stream.size(); ++frames) {
        DecodeRequest request{};
        request.Data = stream.data() + at;
        request.Length = static_cast<std::int32_t>(stream.size() - at);
        request.Output = pcm.data();
        if (!MpegDecodeFrame(&request)) {
            // Past a damaged stretch to the next frame, as the stream feed does.
            std::int32_t next = 0;
            if (!MpegFindSync(stream.data() + at + 1, static_cast<std::int32_t>(stream.size() - at - 1), &next))
                break;
            at += 1 + static_cast<std::size_t>(next);
            continue;
        }
        largest = std::max(largest, L3.Fill);
        at += static_cast<std::size_t>(request.Length);
    }
    EXPECT_GT(frames, 400);
    EXPECT_LE(largest, 8192);
    EXPECT_GT(largest, 6692) << "the reservoir was compacted on the way";
}
