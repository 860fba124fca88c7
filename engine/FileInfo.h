// Track information: what a file is (recognised by its content), where its
// audio lies, its PCM format, length, bit rate, title and artist.
#pragma once

#include <cstdint>

#include "engine/TrackEntry.h"
#include "platform/File.h"

class CFileInfo {
public:
    CFileInfo() = default;
    virtual ~CFileInfo() = default;
    CFileInfo(const CFileInfo&) = delete;
    CFileInfo& operator=(const CFileInfo&) = delete;

    // Nonzero when the file is PCM or MPEG audio the player plays: 44100 or
    // 48000 Hz in two channels.
    int ReadTrackInfo(const char* path, TrackEntry* entry);
    // The same for any rate and channel count that the file may hold.
    int Inspect(const char* path, TrackEntry* entry);
    static bool IsSupportedFormat(const TrackEntry* entry);

private:
    enum class WaveKind { NotWave, Pcm, Mpeg, Refused };
    WaveKind ReadWaveHeader(const char* path, TrackEntry* entry);
    int ReadId3v1Tag(TrackEntry* entry);
    int SkipId3v2Tag(TrackEntry* entry);
    int ReadRiffInfo(TrackEntry* entry);
    int ReadMpeg(const char* path, TrackEntry* entry);
    bool ReadExactly(void* destination, std::int32_t size);
    // The identifier and body size of the RIFF chunk at `at`.
    bool ReadChunkHeader(std::int64_t at, std::uint8_t id[4], std::uint32_t* size);

    PlatformFile File;
    std::int64_t FileSize = 0;
};
