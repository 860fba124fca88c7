// The file reader on Windows: unbuffered reads through the real system calls.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/NoBufFile.h"

namespace {

std::uint8_t Pattern(std::size_t i)
{
    return static_cast<std::uint8_t>((i * 2654435761u) >> 13);
}

}  // namespace

TEST(NoBufFileWin, LargeFileReadsBackExactly)
{
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    const std::string path = std::string(base) + "tarvel-nobuf-" + std::to_string(GetCurrentProcessId()) + ".bin";
    const std::size_t bytes = 200u * 1048576 + 12345;
    {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        std::vector<std::uint8_t> block(1048576);
        for (std::size_t at = 0; at < bytes; at += block.size()) {
            const std::size_t n = std::min(block.size(), bytes - at);
            for (std::size_t i = 0; i < n; ++i)
                block[i] = Pattern(at + i);
            DWORD written = 0;
            ASSERT_TRUE(WriteFile(file, block.data(), static_cast<DWORD>(n), &written, nullptr));
        }
        CloseHandle(file);
    }

    CNoBufFile::FillPauseMs = 0;
    CNoBufFile reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    reader.SetEnabled(true);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(reader.Cache) % 4096, 0u) << "page-aligned cache";
    std::vector<std::uint8_t> buffer(65536);
    std::size_t total = 0;
    bool same = true;
    for (;;) {
        const std::int32_t n = reader.Read(buffer.data(), 65536);
        if (n == 0)
            break;
        for (std::int32_t i = 0; i < n && same; ++i)
            same = buffer[static_cast<std::size_t>(i)] == Pattern(total + static_cast<std::size_t>(i));
        total += static_cast<std::size_t>(n);
    }
    reader.Close();
    CNoBufFile::FillPauseMs = 10;
    DeleteFileA(path.c_str());
    EXPECT_TRUE(same);
    EXPECT_EQ(total, bytes);
}
