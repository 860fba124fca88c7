// One playlist entry: what the track information reader learned of a file.
#pragma once

#include <cstdint>

#include "decoder/FrameHeader.h"
#include "platform/WinTypes.h"

enum : std::uint32_t {
    FileTypeWave = 1,  // PCM played without decoding
    FileTypeMpeg = 2,  // MPEG audio, decoded
};

struct TrackEntry {
    char Path[256];
    char Title[256];
    char Artist[256];
    std::uint32_t BitRate;     // kbit/s
    std::uint32_t SampleRate;
    std::uint32_t Channels;
    std::int32_t Duration;     // whole seconds
    std::int32_t DataOffset;   // first byte of the audio data in the file
    std::uint32_t FileType;
    std::int32_t DataLength;   // bytes of audio data
    WAVEFORMATEX WaveFormat;
    struct FrameHeader FrameHeader;  // the first frame (MPEG only)
};

// Whole seconds that `playedBytes` of PCM at `bytesPerSecond` last: 0
// before the start or for a format without a byte rate.
inline std::int32_t TrackSecondsAt(std::int64_t playedBytes, std::uint32_t bytesPerSecond)
{
    if (playedBytes <= 0 || bytesPerSecond == 0)
        return 0;
    const std::int64_t seconds = playedBytes / bytesPerSecond;
    return seconds > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<std::int32_t>(seconds);
}

inline std::int32_t TrackSecondsAt(const TrackEntry& entry, std::int64_t playedBytes)
{
    return TrackSecondsAt(playedBytes, entry.WaveFormat.nAvgBytesPerSec);
}
