// Files the tests read: the standard's tables and conformance streams.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

inline std::string SharedPath(const std::string& relative)
{
    return std::string(TARVEL_SHARED_DIR) + "/" + relative;
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
