// One pass of the play loop. Whenever the device has a free buffer it
// produces the next chunk of PCM and queues it; it reads ahead while the
// device is busy, notices the end of a track and moves on, and keeps the
// analyser's window of what is being heard.
#include <algorithm>
#include <cstring>

#include "engine/Engine.h"

namespace {

// The end of a track must hold this long before the engine moves on: the
// device reports its last buffer done while the sound server still holds
// tens of milliseconds of it (60 ms cut 38 ms of a track here), and the
// move to the next track resets the device.
constexpr std::uint32_t TrackEndHoldMs = 200;

// Rests of the loop when there is nothing to do: while the face is in view
// it follows the sound closely; hidden (in the tray, minimised) nothing is
// drawn and only the device needs feeding, whose buffers last 370 ms each.
constexpr std::uint32_t RestShownMs = 10;
constexpr std::uint32_t RestHiddenMs = 40;
constexpr std::uint32_t RestStoppedMs = 30;
constexpr std::uint32_t RestNoDeviceMs = 10;

constexpr std::int32_t PcmWindowBytes = PcmWindowFrames * 4;

// What the track has played at device position `position`: a stopped
// device has no position, and nothing plays beyond where a seek put it.
std::int64_t PlayedAt(std::int64_t position, std::int64_t seekBase)
{
    return (position > 0 ? position : 0) + seekBase;
}

}  // namespace

PassResult CEngine::RunPass(bool shown, std::int16_t* window)
{
    PassResult result;
    WaveDevice* out = Device;
    if (out == nullptr || FileReader == nullptr) {
        result.RestMs = RestNoDeviceMs;
        return result;
    }
    HeldLock lock(EngineLock);
    if (ReadAheadDefer) {
        Threshold = PlayedBytes + 220500;
        ReadAheadDefer = false;
    }
    if (PlayedBytes <= 22049)
        Threshold = 22050;
    // One position query a pass: under Wine each is a round trip to the
    // sound server.
    const std::int64_t position = out->GetPosition();
    const std::int64_t played = PlayedAt(position, SeekBaseBytes);
    PlayedBytes = played;

    // A stream that has delivered everything claims no more buffers.
    const WaveWait wait = StreamEnded ? WaveWait::NoneFree : out->WaitBuffer();
    if (wait == WaveWait::Claimed) {
        std::int32_t n = 0;
        if (DecodeChunk(Chunk.get(), PcmRingBytes, &n) && n > 0) {
            if (StreamRestarted) {
                StreamRestarted = false;
                DecodedTotal = 0;
                std::memset(PcmRing.get(), 0, PcmRingBytes);
                RingWritePos = 0;
                TrackEndPending = false;
                LastSpectrumPos = -176400;
            }
            if (out->Write(Chunk.get(), n)) {
                // The ring follows what the device was given, so that its
                // offsets stay those of the device position.
                const std::int32_t first = std::min(n, PcmRingBytes - RingWritePos);
                std::memcpy(PcmRing.get() + RingWritePos, Chunk.get(), static_cast<std::size_t>(first));
                std::memcpy(PcmRing.get(), Chunk.get() + first, static_cast<std::size_t>(n - first));
                RingWritePos = (RingWritePos + n) % PcmRingBytes;
                DecodedTotal += n;
                WrittenBytes += n;
            } else {
                // A chunk the device refused is not played: its buffer goes
                // back and the track goes on without it.
                out->GiveBack(1);
                result.RestMs = RestStoppedMs;
            }
        } else {
            // The claimed buffer goes back: nothing was queued in it.
            out->GiveBack(1);
        }
    } else if (wait == WaveWait::NoneFree) {
        if (played >= Threshold) {
            Threshold = played + 22050;
            FileReader->Fill();
        } else {
            // Nothing to do for a while (longer when stopped); the thread
            // rests after the lock is released.
            result.RestMs = out->State == StateStopped ? RestStoppedMs : shown ? RestShownMs : RestHiddenMs;
        }
    } else {
        // No device behind the stream (it could not be opened): there is
        // nothing to feed until a start opens one again.
        result.RestMs = RestStoppedMs;
    }

    // End of track: the stream has delivered everything and the device has
    // played all that was queued, however short the track.
    const bool ended = out->State == StatePlaying && StreamEnded && position == WrittenBytes;
    if (ended) {
        if (!TrackEndPending) {
            TrackEndPending = true;
            TrackEndSince = Clock();
        } else if (Clock() - TrackEndSince >= TrackEndHoldMs) {
            TrackEndPending = false;
            if (!GoToTrack(NextIndex())) {
                out->Reset();
                SeekFileOffset = 0;
                SeekBaseBytes = 0;
                CurrentIndex = 0;
                Listener.PlayingRowChanged();
                RefreshMain();
            }
        }
    }

    // The analyser, at most once per 1764 bytes played, while what is heard
    // next has been written to the ring; it reads 16-bit stereo only.
    const bool readable = DeviceFormat.wBitsPerSample == 16 && DeviceFormat.nChannels == 2;
    const std::int64_t now = PlayedBytes;
    if (shown && window != nullptr && readable && LastSpectrumPos + 1764 < now && !TrackEndPending &&
        WrittenBytes >= position + 4000) {
        auto* bytes = reinterpret_cast<std::uint8_t*>(window);
        if (DecodedTotal < PcmWindowBytes) {
            std::memset(bytes, 0, PcmWindowBytes);
        } else {
            const auto at = static_cast<std::int32_t>((position > 0 ? position / 4 * 4 : 0) % PcmRingBytes);
            const std::int32_t first = std::min<std::int32_t>(PcmWindowBytes, PcmRingBytes - at);
            std::memcpy(bytes, PcmRing.get() + at, static_cast<std::size_t>(first));
            std::memcpy(bytes + first, PcmRing.get(), static_cast<std::size_t>(PcmWindowBytes - first));
        }
        result.SpectrumDue = true;
        LastSpectrumPos = now;
    }
    result.Playing = out->State == StatePlaying;
    return result;
}

void CEngine::CloseStream()
{
    HeldLock lock(EngineLock);
    if (Device != nullptr)
        Device->Close();
    if (FileReader != nullptr)
        FileReader->Close();
}
