// Files the tests make on disk.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

// A path of this test process's own: the tests run as processes side by side,
// and two of them may use the same name.
inline std::string TempPath(const std::string& name)
{
    const char* base = std::getenv("TMPDIR");
    return std::string(base ? base : "/tmp") + "/tarvel-test-" + std::to_string(getpid()) + "-" + name;
}

inline std::string WriteFile(const std::string& name, const std::vector<std::uint8_t>& bytes)
{
    const std::string path = TempPath(name);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f != nullptr) {
        if (!bytes.empty())
            std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

// Little-endian building blocks of RIFF files.
inline void Append(std::vector<std::uint8_t>& to, const std::string& text)
{
    to.insert(to.end(), text.begin(), text.end());
}
inline void Append32(std::vector<std::uint8_t>& to, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        to.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline void Append16(std::vector<std::uint8_t>& to, std::uint32_t v)
{
    to.push_back(static_cast<std::uint8_t>(v));
    to.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void AppendChunk(std::vector<std::uint8_t>& to, const std::string& id, const std::vector<std::uint8_t>& body)
{
    Append(to, id);
    Append32(to, static_cast<std::uint32_t>(body.size()));
    to.insert(to.end(), body.begin(), body.end());
    if (body.size() % 2)
        to.push_back(0);
}
