// The MPEG audio decoder (Layers I, II and III; MPEG-1, MPEG-2 low sampling
// frequencies and MPEG-2.5): a single instance over process-wide state. One
// stream is decoded at a time; MpegFindSync and MpegReadStreamInfo read a
// buffer without touching the stream being decoded.
#pragma once

#include <cstdint>

#include "decoder/FrameHeader.h"

// Last-error codes.
enum : std::int32_t {
    ErrNoSync = 3,     // not a frame header
    ErrBadHeader = 4,  // reserved header values, or a broken Xing header
    ErrNeedData = 5,   // not enough bytes
};

struct DecoderOptions {
    std::int32_t RateShift;       // 0 full, 1 half, 2 quarter sample rate
    std::int32_t OutputFlags;     // bits 0-1 channel selection, bit 3 8-bit output
    std::int32_t FrequencyLimit;  // Hz; sub-bands above it are not decoded
};

struct DecodeRequest {
    // Filled from the frame's header.
    std::int32_t Version, Layer, HasCrc, BitRateIndex, SampleRateIndex, PaddingBit, Private, Mode,
        ModeExtension, Copyright, Original, Emphasis;
    std::int32_t BitRate;        // bit/s of this frame
    const std::uint8_t* Data;    // the frame's first byte
    std::int32_t Length;         // in: bytes available at Data; out: the frame's size
    std::uint8_t* Output;        // where the PCM goes
    std::int32_t OutBytes;       // out: PCM bytes written
};

void MpegInit();
int MpegGetOptions(DecoderOptions* options);
int MpegSetOptions(const DecoderOptions* options);
std::int32_t MpegGetLastError();

int MpegFindSync(const std::uint8_t* buffer, std::int32_t length, std::int32_t* position);
// Fills the first twelve members of `header` (the members up to Emphasis).
int MpegParseHeader(const std::uint8_t* bytes, FrameHeader* header);
int MpegReadStreamInfo(const std::uint8_t* buffer, std::int32_t length, FrameHeader* header);
int MpegOpenStream(const std::uint8_t* buffer, std::int32_t length);
int MpegDecodeFrame(DecodeRequest* request);
void MpegMute();
void MpegUnmute(const FrameHeader* header);

// The largest frame any stream of the header's version and layer can carry
// at the header's sample rate (highest bit rate, padding slot included).
std::int32_t MpegLargestFrameBytes(const FrameHeader* header);
