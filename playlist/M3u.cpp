#include "M3u.h"

#include <cstdio>
#include <cstring>

#include "platform/File.h"
#include "platform/WinPath.h"

bool PlaylistLineReader::Feed(const char* bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (bytes[i] != '\n') {
            if (Length < Capacity)
                Line[Length] = bytes[i];
            ++Length;
        } else if (!EndLine()) {
            return false;
        }
    }
    return true;
}

void PlaylistLineReader::Finish()
{
    if (Length > 0)
        EndLine();
}

bool PlaylistLineReader::EndLine()
{
    std::size_t length = Length;
    Length = 0;
    if (length <= Capacity && length > 0 && Line[length - 1] == '\r')
        --length;  // the CR of CR LF
    if (length == 0)
        return true;  // a blank line names nothing
    if (Line[0] == '\0')
        return false;  // nothing readable follows
    if (length > PlaylistLineLimit || Line[0] == '#')
        return true;
    Line[length] = '\0';  // a NUL inside the line ends it earlier
    Take(Line);
    return true;
}

bool ReadPlaylistLines(const char* path, const std::function<void(const char* line)>& take)
{
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return false;
    PlaylistLineReader splitter(take);
    char block[16384];
    bool more = true;
    while (more) {
        const std::size_t got = std::fread(block, 1, sizeof block, file);
        if (got == 0) {
            splitter.Finish();
            break;
        }
        more = splitter.Feed(block, got);
    }
    std::fclose(file);
    return true;
}

bool PlaylistLine(const char* entryPath, const char* currentDirectory, bool withDrive, std::string& line)
{
    char full[260];
    if (!MakeFullPath(entryPath, currentDirectory, full, sizeof full))
        return false;
    PathParts parts;
    SplitPath(full, &parts);
    line = full + (withDrive ? 0 : std::strlen(parts.Drive));
    return true;
}

bool PlaylistFileName(const char* path, const char* currentDirectory, char* destination, std::size_t size)
{
    char full[260];
    if (!MakeFullPath(path, currentDirectory, full, sizeof full))
        return false;
    PathParts parts;
    SplitPath(full, &parts);
    std::string name = full;
    if (parts.Extension[0] == '\0')
        name += ".M3U";
    return CopyString(destination, size, name.c_str());
}

std::string PendingPlaylistName(const char* path)
{
    return std::string(path) + ".tmp";
}

bool WritePlaylistLines(const char* path, const std::vector<std::string>& lines)
{
    const std::string pending = PendingPlaylistName(path);
    std::FILE* file = std::fopen(pending.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool written = true;
    for (const std::string& line : lines) {
        if (std::fwrite(line.data(), 1, line.size(), file) != line.size() || std::fwrite("\r\n", 1, 2, file) != 2) {
            written = false;
            break;
        }
    }
    written = written && PlatformCommitFile(file);
    written = std::fclose(file) == 0 && written;
    if (!written || !PlatformReplaceFile(pending.c_str(), path)) {
        std::remove(pending.c_str());
        return false;
    }
    return true;
}
