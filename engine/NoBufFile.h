// The buffered file reader of the track being played: the file is read
// around the system's cache, in whole 65536-byte blocks at aligned offsets,
// into a private ring of up to 10 MiB.
#pragma once

#include <cstdint>

#include "platform/File.h"
#include "platform/System.h"

class CNoBufFile {
public:
    CNoBufFile() = default;
    virtual ~CNoBufFile();
    CNoBufFile(const CNoBufFile&) = delete;
    CNoBufFile& operator=(const CNoBufFile&) = delete;

    // False when the file cannot be opened, or no cache of any size can be
    // had (NoCache, which the caller tells the user of).
    bool Open(const char* path);
    void Close();
    void SetEnabled(bool enabled);
    // Reads one block ahead: bytes read, 0 when nothing was read (end of the
    // file, no room, disabled), -1 on a read error.
    std::int32_t Fill();
    // Bytes copied, 0 to length.
    std::int32_t Read(std::uint8_t* destination, std::int32_t length);
    // Right after Open: positions at `offset` from the start of the file and
    // returns the position reached.
    std::int64_t Seek(std::int64_t offset);

    // Cache sizes tried in turn, in MiB, and the pause after each block read
    // that spaces out disk reads (tests change them).
    static const std::int32_t* CacheSizes;
    static int CacheSizeCount;
    static unsigned FillPauseMs;

    PlatformFile File;
    std::uint8_t* Cache = nullptr;
    std::int32_t BlockBytes = 65536;
    std::int32_t CacheBytes = 0;
    std::int32_t Buffered = 0;
    std::int32_t ReadPos = 0;
    std::int32_t WritePos = 0;
    std::int32_t Enabled = 0;
    std::int32_t AtEof = 0;
    bool NoCache = false;
    PlatformLock Lock;

private:
    bool IsEnabled();
    void CopyOut(std::uint8_t* destination, std::int32_t length);
};
