#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "TestData.h"
#include "decoder/DecoderInternal.h"
#include "decoder/Layer12Tables.h"

TEST(Layer12Tables, GroupTablesCoverEveryCode)
{
    MpegInit();
    EXPECT_EQ(GroupTable3[0][0], -1);
    EXPECT_EQ(GroupTable3[26][0], 1);
    EXPECT_EQ(GroupTable3[26][2], 1);
    EXPECT_EQ(GroupTable5[124][0], 2);
    EXPECT_EQ(GroupTable5[7][0], 0);   // 7 = 2 + 1 * 5
    EXPECT_EQ(GroupTable5[7][1], -1);
    EXPECT_EQ(GroupTable9[728][2], 4);
    EXPECT_EQ(GroupTable9[100][0], -3);  // 100 = 1 + 2 * 9 + 1 * 81
    EXPECT_EQ(GroupTable9[100][1], -2);
    EXPECT_EQ(GroupTable9[100][2], -3);
    // Codes beyond the valid ones (a damaged frame) stay in range.
    for (int v = 27; v < 32; ++v)
        for (int i = 0; i < 3; ++i)
            EXPECT_LE(std::abs(GroupTable3[v][i]), 1);
    for (int v = 729; v < 1024; ++v)
        for (int i = 0; i < 3; ++i)
            EXPECT_LE(std::abs(GroupTable9[v][i]), 4);
}

TEST(Layer12Tables, ScaleFactorsMatchTheStandardTable)
{
    MpegInit();
    auto rows = TableRecords("scalefactors.txt");
    ASSERT_FALSE(rows.empty());
    int count = 0;
    for (const auto& r : rows) {
        const int index = std::stoi(r[0]);
        const double value = std::stod(r[1]);
        EXPECT_NEAR(ScaleFactorTable[index] / 32768.0, value, 1e-7 * value + 1e-13) << index;
        ++count;
    }
    EXPECT_EQ(count, 63);
    EXPECT_FLOAT_EQ(ScaleFactorTable[63], static_cast<float>(65536.0 * std::pow(2.0, -21)));
}

TEST(Layer12Tables, AllocationTablesMatchTheStandardTables)
{
    auto rows = TableRecords("layer2_alloc.txt");
    ASSERT_FALSE(rows.empty());
    const std::map<std::string, int> names = {{"B.2a", 0}, {"B.2b", 1}, {"B.2c", 2}, {"B.2d", 3}, {"LSF-B.1", 4}};
    std::map<int, int> sblimits, counted;
    for (const auto& r : rows) {
        const int t = names.at(r[1]);
        if (r[0] == "sblimit") {
            sblimits[t] = std::stoi(r[2]);
            continue;
        }
        const int sb = std::stoi(r[2]), nbal = std::stoi(r[3]);
        // The group that holds this sub-band.
        int g = 0, first = 0;
        while (sb >= first + Layer2AllocTables[t].Groups[g].Subbands)
            first += Layer2AllocTables[t].Groups[g++].Subbands;
        ASSERT_LT(g, 4) << r[1] << " " << sb;
        EXPECT_EQ(Layer2AllocWidths[g], nbal) << r[1] << " " << sb;
        for (int code = 0; code < (1 << nbal); ++code)
            EXPECT_EQ(Layer2Class[Layer2AllocTables[t].Groups[g].Classes[code]].Levels,
                      std::stoi(r[4 + static_cast<std::size_t>(code)]))
                << r[1] << " sb " << sb << " code " << code;
        ++counted[t];
    }
    for (int t = 0; t < 5; ++t) {
        int total = 0;
        for (const auto& group : Layer2AllocTables[t].Groups)
            total += group.Subbands;
        EXPECT_EQ(total, sblimits[t]) << t;
        EXPECT_EQ(counted[t], sblimits[t]) << t;
    }
}

TEST(Layer12Tables, TableChoiceBySampleRateBitRateAndMode)
{
    FrameHeader h{};
    h.Version = 1;
    h.SampleRateIndex = 0;  // 44100 Hz
    h.Mode = 0;
    h.BitRateIndex = 8;     // 128 kbit/s
    EXPECT_EQ(Layer2TableFor(&h), 0);
    h.BitRateIndex = 10;    // 192 kbit/s
    EXPECT_EQ(Layer2TableFor(&h), 1);
    h.Mode = 3;
    h.BitRateIndex = 2;     // 48 kbit/s, single channel
    EXPECT_EQ(Layer2TableFor(&h), 2);
    h.SampleRateIndex = 2;  // 32000 Hz
    EXPECT_EQ(Layer2TableFor(&h), 3);
    h.BitRateIndex = 11;    // 224 kbit/s, single channel: not allowed
    EXPECT_EQ(Layer2TableFor(&h), -1);
    h.Mode = 1;
    for (int index : {1, 2, 3, 5})  // 32, 48, 56, 80 kbit/s on two channels
    {
        h.BitRateIndex = index;
        EXPECT_EQ(Layer2TableFor(&h), -1) << index;
    }
    h.Version = 2;
    EXPECT_EQ(Layer2TableFor(&h), 4);
    MpegInit();
    h.Version = 1;
    h.BitRateIndex = 1;
    h.Layer = 2;
    EXPECT_EQ(SetupLayer2(&h), 0);
}
