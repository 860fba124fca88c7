// The MPEG stream feed: compressed frames in, six-frame chunks of PCM out.
// It holds an input buffer refilled through a read function and a buffer in
// which the PCM of successive frames accumulates, and positions the decoder
// at the frame that holds a requested byte offset.
#pragma once

#include <cstdint>

#include "decoder/FrameHeader.h"
#include "decoder/Mpeg.h"

// Reads up to `size` bytes; false on a read error. `got` 0 is the end.
using FeedReadFunction = bool (*)(void* context, std::uint8_t* destination, std::int32_t size, std::int32_t* got);

class MpegStreamFeed {
public:
    MpegStreamFeed() = default;
    ~MpegStreamFeed() { Release(); }
    MpegStreamFeed(const MpegStreamFeed&) = delete;
    MpegStreamFeed& operator=(const MpegStreamFeed&) = delete;

    void SetReader(FeedReadFunction read, void* context)
    {
        Read = read;
        ReadContext = context;
    }

    // Sets up the buffers for a stream whose first frame is described by
    // `header` and positions the decoder at the first frame whose end lies
    // at or beyond `seekOffset` (bytes counted from the reader's current
    // position). False when that cannot be done.
    bool OpenMpegStream(const FrameHeader& header, std::int32_t seekOffset);
    // The next chunk of PCM into `buffer` (at least 8 frames of PCM long).
    // `bytes` 0 with true: nothing more to deliver. False on a read error.
    bool DecodeMpegChunk(std::uint8_t* buffer, std::int32_t* bytes);
    bool ResyncMpeg();
    // Bytes the buffer given to DecodeMpegChunk must hold.
    std::int32_t ChunkCapacity() const { return MpegOutCapacity; }

    std::uint8_t* MpegIn = nullptr;
    std::int32_t MpegInCapacity = 0;
    std::uint8_t* MpegInPos = nullptr;
    std::int32_t MpegInAvail = 0;
    std::int32_t MpegInLowWater = 0;
    std::uint8_t* MpegOut = nullptr;
    std::int32_t MpegOutCapacity = 0;
    std::uint8_t* MpegOutPos = nullptr;
    std::int32_t MpegOutBytes = 0;
    std::int32_t MpegOutHighWater = 0;

private:
    void Release();
    // Moves the unread bytes to the start and reads into the rest. False on
    // a read error; `got` 0 at the end of the data.
    bool Refill(std::int32_t* got);
    // Delivers the PCM held so far.
    void Deliver(std::uint8_t* buffer, std::int32_t* bytes);

    FeedReadFunction Read = nullptr;
    void* ReadContext = nullptr;
    std::int32_t PcmBytesPerFrame = 0;
    bool InputEnded = false;
};
