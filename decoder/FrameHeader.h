// The decoder's record of one MPEG audio frame header and of the stream
// information derived from the first frame.
#pragma once

#include <cstdint>

struct FrameHeader {
    std::int32_t Version;          // 1 = MPEG-1, 2 = MPEG-2, 3 = MPEG-2.5
    std::int32_t Layer;            // 1, 2 or 3
    std::int32_t HasCrc;           // a 16-bit CRC follows the header
    std::int32_t BitRateIndex;
    std::int32_t SampleRateIndex;
    std::int32_t PaddingBit;
    std::int32_t Private;
    std::int32_t Mode;             // 0 stereo, 1 joint, 2 dual, 3 single channel
    std::int32_t ModeExtension;
    std::int32_t Copyright;
    std::int32_t Original;
    std::int32_t Emphasis;
    std::int32_t OutChannels;      // channels of the PCM produced
    std::int32_t OutBits;          // bits per PCM sample
    std::int32_t OutSampleRate;    // PCM samples per second
    std::int32_t BitRate;          // bit/s (kbit/s in a playlist entry); 0 with a Xing header
    std::int32_t XingFrames;
    std::int32_t FrameBytes;
    std::int32_t XingBytes;
    std::int32_t MinFrameBytes;
    std::int32_t MaxFrameBytes;
    std::int32_t PcmBytesPerFrame;
};

static_assert(sizeof(FrameHeader) == 22 * 4, "FrameHeader is 22 32-bit members");
