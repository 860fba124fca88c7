// Fuzz target: playlist text and the path rules its lines go through.
// Byte 0 sets the size of the pieces the text arrives in; each line is made
// a full path against fixed folders and against the line before it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/WinPath.h"
#include "playlist/M3u.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t piece = 1 + data[0] % 64;
    std::string previous = "C:\\lists";
    auto take = [&](const char* line) {
        char full[260];
        for (const char* current : {"C:\\lists\\x", "\\\\server\\share\\lists", "D:\\", previous.c_str()})
            MakeFullPath(line, current, full, sizeof full);
        std::string written;
        PlaylistLine(line, "C:\\lists", true, written);
        PlaylistLine(line, "C:\\lists", false, written);
        PlaylistFileName(line, "C:\\lists", full, sizeof full);
        PathParts parts;
        SplitPath(line, &parts);
        if (std::strlen(line) < 200)
            previous = line;
    };
    PlaylistLineReader reader(take);
    const char* text = reinterpret_cast<const char*>(data + 1);
    std::size_t left = size - 1;
    bool more = true;
    while (more && left > 0) {
        const std::size_t now = left < piece ? left : piece;
        more = reader.Feed(text, now);
        text += now;
        left -= now;
    }
    if (more)
        reader.Finish();
    return 0;
}
