// Files the tests read: the standard's tables, the conformance streams and
// the fuzzer's findings, all under tests/data/ of the project.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <iterator>
#include <string>
#include <vector>

inline std::string DataPath(const std::string& relative)
{
    return std::string(TARVEL_DATA_DIR) + "/" + relative;
}

inline std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool Exists(const std::string& path)
{
    return std::ifstream(path).good();
}

// A file of the test data; a missing one fails the test and names its path.
inline std::vector<std::uint8_t> ReadInput(const std::string& relative)
{
    const std::string path = DataPath(relative);
    if (!Exists(path))
        ADD_FAILURE() << "missing test input: " << path;
    return ReadBytes(path);
}

// The records of one of the standard's table files: the fields of each line
// that is not a comment.
inline std::vector<std::vector<std::string>> TableRecords(const std::string& file)
{
    std::vector<std::vector<std::string>> rows;
    const std::string path = DataPath("mpeg-tables/" + file);
    std::ifstream in(path);
    if (!in)
        ADD_FAILURE() << "missing test input: " << path;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::vector<std::string> row;
        std::string field;
        while (fields >> field)
            row.push_back(field);
        rows.push_back(row);
    }
    return rows;
}

// A file in memory for the stream feed's read function, read in pieces of
// at most `Step` bytes; `FailReads` makes every read an error.
struct MemoryFile {
    std::vector<std::uint8_t> Data;
    std::size_t Pos = 0;
    std::int32_t Step = 1 << 30;
    bool FailReads = false;

    static bool Read(void* context, std::uint8_t* destination, std::int32_t size, std::int32_t* got)
    {
        auto* file = static_cast<MemoryFile*>(context);
        if (file->FailReads)
            return false;
        const std::size_t n = std::min<std::size_t>({static_cast<std::size_t>(size), file->Data.size() - file->Pos,
                                                      static_cast<std::size_t>(file->Step)});
        if (n > 0)
            std::memcpy(destination, file->Data.data() + file->Pos, n);
        file->Pos += n;
        *got = static_cast<std::int32_t>(n);
        return true;
    }
};
