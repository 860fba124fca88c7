#include "engine/MpegStreamFeed.h"

#include <cstring>
#include <new>

void MpegStreamFeed::Release()
{
    delete[] MpegIn;
    delete[] MpegOut;
    MpegIn = MpegInPos = nullptr;
    MpegOut = MpegOutPos = nullptr;
    MpegInAvail = MpegOutBytes = 0;
}

bool MpegStreamFeed::Refill(std::int32_t* got)
{
    if (MpegInAvail > 0 && MpegInPos != MpegIn)
        std::memmove(MpegIn, MpegInPos, static_cast<std::size_t>(MpegInAvail));
    MpegInPos = MpegIn;
    *got = 0;
    if (!Read(ReadContext, MpegIn + MpegInAvail, MpegInCapacity - MpegInAvail, got))
        return false;
    if (*got < 0 || *got > MpegInCapacity - MpegInAvail)
        return false;
    MpegInAvail += *got;
    return true;
}

bool MpegStreamFeed::OpenMpegStream(const FrameHeader& header, std::int32_t seekOffset)
{
    Release();
    InputEnded = false;
    // The input holds eight of the largest frames the stream may carry, so
    // that a variable bit rate stream without a Xing header, whose first
    // frame is a small one, still finds its larger frames whole.
    std::int32_t frameBytes = header.MaxFrameBytes;
    const std::int32_t largest = MpegLargestFrameBytes(&header);
    if (largest > frameBytes)
        frameBytes = largest;
    if (frameBytes <= 0 || header.PcmBytesPerFrame <= 0 || Read == nullptr)
        return false;
    MpegInCapacity = 8 * frameBytes;
    MpegInLowWater = MpegInCapacity - 2 * frameBytes;
    PcmBytesPerFrame = header.PcmBytesPerFrame;
    MpegOutCapacity = 8 * PcmBytesPerFrame;
    MpegOutHighWater = MpegOutCapacity - 2 * PcmBytesPerFrame;
    // Four bytes of slack after the input for the decoder's bit reader.
    MpegIn = new (std::nothrow) std::uint8_t[static_cast<std::size_t>(MpegInCapacity) + 4]();
    MpegOut = new (std::nothrow) std::uint8_t[static_cast<std::size_t>(MpegOutCapacity)]();
    if (MpegIn == nullptr || MpegOut == nullptr) {
        Release();
        return false;
    }
    MpegInPos = MpegIn;
    MpegOutPos = MpegOut;

    std::int64_t skipped = 0;
    DecodeRequest request{};
    request.Output = MpegOut;
    MpegMute();
    bool refill = true;
    for (;;) {
        if (refill) {
            std::int32_t got = 0;
            if (!Refill(&got) || got == 0)
                return false;
            refill = false;
        }
        request.Data = MpegInPos;
        request.Length = MpegInAvail;
        if (!MpegDecodeFrame(&request)) {
            if (MpegGetLastError() == ErrNeedData && MpegInAvail < MpegInCapacity) {
                refill = true;
                continue;
            }
            if (!ResyncMpeg())
                break;
            continue;
        }
        skipped += request.Length;
        if (skipped >= seekOffset)
            break;
        MpegInPos += request.Length;
        MpegInAvail -= request.Length;
    }

    FrameHeader current{};
    std::memcpy(&current, &request.Version, 12 * sizeof(std::int32_t));
    if (current.Layer == 0)
        current.Layer = header.Layer;
    MpegUnmute(&current);
    if (!MpegOpenStream(MpegInPos, MpegInAvail))
        return false;

    // The frame decoding resumes at sets the PCM size of the stream; it may
    // differ from the first frame's in a stream that changes format.
    FrameHeader opened{};
    if (MpegReadStreamInfo(MpegInPos, MpegInAvail, &opened) && opened.PcmBytesPerFrame != PcmBytesPerFrame) {
        delete[] MpegOut;
        PcmBytesPerFrame = opened.PcmBytesPerFrame;
        MpegOutCapacity = 8 * PcmBytesPerFrame;
        MpegOutHighWater = MpegOutCapacity - 2 * PcmBytesPerFrame;
        MpegOut = new (std::nothrow) std::uint8_t[static_cast<std::size_t>(MpegOutCapacity)]();
        if (MpegOut == nullptr) {
            Release();
            return false;
        }
        MpegOutPos = MpegOut;
    }
    return true;
}

void MpegStreamFeed::Deliver(std::uint8_t* buffer, std::int32_t* bytes)
{
    std::memcpy(buffer, MpegOut, static_cast<std::size_t>(MpegOutBytes));
    *bytes = MpegOutBytes;
    MpegOutPos = MpegOut;
    MpegOutBytes = 0;
}

bool MpegStreamFeed::DecodeMpegChunk(std::uint8_t* buffer, std::int32_t* bytes)
{
    *bytes = 0;
    if (MpegIn == nullptr)
        return false;
    for (;;) {
        if (!InputEnded && MpegInAvail >= 0 && MpegInAvail <= MpegInLowWater) {
            std::int32_t got = 0;
            if (!Refill(&got))
                return false;
            if (got == 0)
                InputEnded = true;
        }

        DecodeRequest request{};
        request.Data = MpegInPos;
        request.Length = MpegInAvail;
        request.Output = MpegOutPos;
        if (!MpegDecodeFrame(&request)) {
            const std::int32_t error = MpegGetLastError();
            if (error != ErrNeedData || MpegInAvail > MpegInLowWater) {
                // A damaged stretch, or a header that claims more than the
                // largest frame: go on at the next frame rather than ending
                // the track there.
                if (ResyncMpeg())
                    continue;
            } else if (!InputEnded) {
                continue;  // refilled at the top
            }
            // The data is exhausted and what is left is no whole frame:
            // deliver the PCM held, then nothing more.
            MpegInAvail = 0;
            if (MpegOutBytes > 0)
                Deliver(buffer, bytes);
            return true;
        }
        MpegInPos += request.Length;
        MpegInAvail -= request.Length;
        MpegOutPos += request.OutBytes;
        MpegOutBytes += request.OutBytes;
        if (MpegOutBytes >= MpegOutHighWater) {
            Deliver(buffer, bytes);
            return true;
        }
    }
}

bool MpegStreamFeed::ResyncMpeg()
{
    if (MpegInAvail <= 0)
        return false;
    MpegInPos += 1;
    MpegInAvail -= 1;
    for (;;) {
        std::int32_t position = 0;
        if (MpegFindSync(MpegInPos, MpegInAvail, &position)) {
            MpegInPos += position;
            MpegInAvail -= position;
            return true;
        }
        if (InputEnded)
            return false;
        // Keep the last three bytes: a header may start among them.
        if (MpegInAvail > 3) {
            MpegInPos += MpegInAvail - 3;
            MpegInAvail = 3;
        }
        std::int32_t got = 0;
        if (!Refill(&got))
            return false;
        if (got == 0) {
            InputEnded = true;
            return false;
        }
    }
}
