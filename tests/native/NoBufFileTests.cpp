#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "TempFiles.h"
#include "engine/NoBufFile.h"

// A cache too large to have must fail like on a machine without the memory,
// not stop the sanitizer.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1";
}

namespace {

std::uint8_t Pattern(std::size_t i)
{
    return static_cast<std::uint8_t>((i * 2654435761u) >> 13);
}

std::string MakeFile(const char* name, std::size_t bytes)
{
    std::vector<std::uint8_t> data(bytes);
    for (std::size_t i = 0; i < bytes; ++i)
        data[i] = Pattern(i);
    return WriteFile(name, data);
}

class NoBufFileTest : public ::testing::Test {
protected:
    void SetUp() override { CNoBufFile::FillPauseMs = 0; }
    void TearDown() override
    {
        CNoBufFile::FillPauseMs = 10;
        for (const auto& p : paths)
            std::remove(p.c_str());
    }
    CNoBufFile* Opened(const char* name, std::size_t bytes)
    {
        paths.push_back(MakeFile(name, bytes));
        EXPECT_TRUE(reader.Open(paths.back().c_str()));
        reader.SetEnabled(true);
        return &reader;
    }
    CNoBufFile reader;
    std::vector<std::string> paths;
};

}  // namespace

TEST_F(NoBufFileTest, ReadsWholeBlocksThenTheTail)
{
    CNoBufFile* r = Opened("100000", 100000);
    std::vector<std::uint8_t> buffer(65536);
    EXPECT_EQ(r->Read(buffer.data(), 65536), 65536);
    EXPECT_EQ(buffer[1000], Pattern(1000));
    EXPECT_EQ(r->Read(buffer.data(), 65536), 34464);
    EXPECT_EQ(buffer[34463], Pattern(65536 + 34463));
    EXPECT_EQ(r->Read(buffer.data(), 65536), 0);
    EXPECT_EQ(r->CacheBytes, 10 * 1048576);
}

TEST_F(NoBufFileTest, SeekLandsInsideTheBlock)
{
    CNoBufFile* r = Opened("200000", 200000);
    EXPECT_EQ(r->Seek(70000), 70000);
    EXPECT_EQ(r->ReadPos, 4464);
    EXPECT_EQ(r->Buffered, 61072);
    std::uint8_t b[4];
    ASSERT_EQ(r->Read(b, 4), 4);
    EXPECT_EQ(b[0], Pattern(70000));
    r->Close();

    struct Case {
        std::int64_t target, reached;
        std::int32_t readPos, buffered;
    };
    for (Case c : {Case{70000, 70000, 4464, 30000}, Case{120000, 100000, 34464, 0}, Case{150000, 131072, 0, 0}}) {
        CNoBufFile reader100;
        paths.push_back(MakeFile("100000s", 100000));
        ASSERT_TRUE(reader100.Open(paths.back().c_str()));
        reader100.SetEnabled(true);
        EXPECT_EQ(reader100.Seek(c.target), c.reached) << c.target;
        EXPECT_EQ(reader100.ReadPos, c.readPos) << c.target;
        EXPECT_EQ(reader100.Buffered, c.buffered) << c.target;
    }
}

TEST_F(NoBufFileTest, DisabledOrClosedReadsNothing)
{
    CNoBufFile* r = Opened("small", 5000);
    r->SetEnabled(false);
    std::uint8_t b[16];
    EXPECT_EQ(r->Read(b, 16), 0);
    EXPECT_EQ(r->Fill(), 0);
    EXPECT_EQ(r->Seek(10), 0);
    EXPECT_EQ(r->Buffered, 0);
    r->SetEnabled(true);
    EXPECT_FALSE(r->Open(paths.back().c_str())) << "already open";
    EXPECT_EQ(r->Read(b, 16), 16);
    r->Close();
    EXPECT_EQ(r->Read(b, 16), 0);
    EXPECT_FALSE(r->Open("/nonexistent/file"));
}

TEST_F(NoBufFileTest, SmallerCacheWhenTheLargeOneCannotBeHad)
{
    static const std::int32_t sizes[] = {1 << 30, 1};  // a petabyte, then 1 MiB
    const std::int32_t* saved = CNoBufFile::CacheSizes;
    const int savedCount = CNoBufFile::CacheSizeCount;
    CNoBufFile::CacheSizes = sizes;
    CNoBufFile::CacheSizeCount = 2;
    CNoBufFile* r = Opened("cache", 1000);
    CNoBufFile::CacheSizes = saved;
    CNoBufFile::CacheSizeCount = savedCount;
    EXPECT_EQ(r->CacheBytes, 1048576);
}

// The ring wraps many times over: every byte comes back in order.
TEST_F(NoBufFileTest, LargeFileReadsBackExactly)
{
    const std::size_t bytes = 200u * 1048576 + 12345;
    CNoBufFile* r = Opened("large", bytes);
    std::vector<std::uint8_t> buffer(65536);
    std::size_t total = 0;
    bool same = true;
    for (;;) {
        const std::int32_t n = r->Read(buffer.data(), 65536);
        if (n == 0)
            break;
        for (std::int32_t i = 0; i < n && same; ++i)
            same = buffer[static_cast<std::size_t>(i)] == Pattern(total + static_cast<std::size_t>(i));
        total += static_cast<std::size_t>(n);
    }
    EXPECT_TRUE(same);
    EXPECT_EQ(total, bytes);
}
