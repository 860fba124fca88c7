// The play thread: one loop for the whole run of the program. Whenever the
// device has a free buffer it produces the next chunk of PCM and queues it;
// it reads ahead while the device is busy, notices the end of a track and
// moves on, and keeps the caption up to date.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/Player.h"
#include "core/Win32Handles.h"

namespace {

// The end of a track must hold this long before the engine moves on: the
// device reports its last buffer done while the sound server still holds
// tens of milliseconds of it (60 ms cut 38 ms of a track here), and the
// move to the next track resets the device.
constexpr DWORD TrackEndHoldMs = 200;

// Rests of the loop when there is nothing to do: while the face is in view
// it follows the sound closely; hidden (in the tray, minimised) nothing is
// drawn and only the device needs feeding, whose buffers last 370 ms each.
constexpr DWORD RestShownMs = 10;
constexpr DWORD RestHiddenMs = 40;
constexpr DWORD RestStoppedMs = 30;

// A build for measuring the analyser's cost leaves its step out.
#ifdef TARVEL_NO_SPECTRUM
constexpr bool SpectrumStep = false;
#else
constexpr bool SpectrumStep = true;
#endif

// What the track has played at device position `position`: a stopped
// device has no position, and nothing plays beyond where a seek put it.
std::int64_t PlayedAt(std::int64_t position, std::int64_t seekBase)
{
    return (position > 0 ? position : 0) + seekBase;
}

}  // namespace

unsigned __stdcall PlayThreadProc(void* argument)
{
    CPlayer* player = static_cast<CPlayer*>(argument);
    std::vector<std::uint8_t> decoded(static_cast<std::size_t>(PcmRingBytes));
    std::int32_t ringWritePos = 0;
    std::int64_t decodedTotal = 0;
    std::int64_t threshold = 22050;
    bool trackEndPending = false;
    DWORD trackEndSince = 0;
    // The analyser's last refresh, and its window: 512 frames of the PCM
    // being heard.
    std::int64_t lastSpectrumPos = -176400;
    std::int16_t spectrumWindow[2 * SpectrumFrames] = {};
    // The thread's context of the main window for the analyser and the
    // playing time, title and seek bar: kept while the thread runs (which
    // ends before the window goes) rather than taken for every drawing.
    HeldWindowDc faceDc;

    // The thread's message queue exists from here on, so the stop message
    // can always be posted.
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    for (;;) {
        if (player->PlayThreadStopping) {
            bool stop = false;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
                stop = stop || message.message == WM_APP_STOP_THREAD;
            if (stop)
                break;
        }
        CWaveOut* out = player->WaveOut;
        if (out == nullptr || player->FileReader == nullptr) {
            Sleep(10);
            continue;
        }

        DWORD restMs = 0;
        // Nothing is drawn for a face no one can see.
        const bool shown = player->IsFaceShown();
        std::int64_t position = 0;
        bool spectrumReadable = false;
        std::int64_t written = 0;
        {
            ScopedLock lock(player->EngineLock);
            if (player->ReadAheadDefer) {
                threshold = player->PlayedBytes + 220500;
                player->ReadAheadDefer = 0;
            }
            if (player->PlayedBytes <= 22049)
                threshold = 22050;
            // One position query a pass: under Wine each is a round trip to the
            // sound server.
            position = out->GetPosition();
            player->PlayedBytes = PlayedAt(position, player->SeekBaseBytes);

            // A stream that has delivered everything claims no more buffers.
            const DWORD r = player->StreamEnded ? static_cast<DWORD>(WAIT_TIMEOUT) : out->WaitBuffer();
            if (r == 0) {
                std::int32_t n = 0;
                if (player->DecodeChunk(decoded.data(), PcmRingBytes, &n) && n > 0) {
                    if (player->StreamRestarted) {
                        player->StreamRestarted = 0;
                        decodedTotal = 0;
                        std::memset(player->PcmRing, 0, PcmRingBytes);
                        ringWritePos = 0;
                        trackEndPending = false;
                        lastSpectrumPos = -176400;
                    }
                    if (out->Write(decoded.data(), n)) {
                        // The ring follows what the device was given, so
                        // that its offsets stay those of the device position.
                        const std::int32_t first = std::min(n, PcmRingBytes - ringWritePos);
                        std::memcpy(player->PcmRing + ringWritePos, decoded.data(), static_cast<std::size_t>(first));
                        std::memcpy(player->PcmRing, decoded.data() + first, static_cast<std::size_t>(n - first));
                        ringWritePos = (ringWritePos + n) % PcmRingBytes;
                        decodedTotal += n;
                        player->WrittenBytes += n;
                    } else {
                        // A chunk the device refused is not played: its
                        // buffer goes back and the track goes on without it.
                        out->GiveBack(1);
                        restMs = RestStoppedMs;
                    }
                } else {
                    // The claimed buffer goes back: nothing was queued in it.
                    out->GiveBack(1);
                }
            } else if (r == WAIT_TIMEOUT) {
                if (player->PlayedBytes >= threshold) {
                    threshold = player->PlayedBytes + 22050;
                    player->FileReader->Fill();
                } else {
                    // Nothing to do for a while (longer when stopped); the rest
                    // comes after the lock is released.
                    restMs = out->State == StateStopped ? RestStoppedMs : shown ? RestShownMs : RestHiddenMs;
                }
            } else {
                // No device behind the stream (it could not be opened): there
                // is nothing to feed until a start opens one again.
                restMs = RestStoppedMs;
            }

            // End of track: the stream has delivered everything and the device
            // has played all that was queued, however short the track.
            const bool ended = out->State == StatePlaying && player->StreamEnded && position == player->WrittenBytes;
            if (ended) {
                if (!trackEndPending) {
                    trackEndPending = true;
                    trackEndSince = GetTickCount();
                } else if (GetTickCount() - trackEndSince >= TrackEndHoldMs) {
                    trackEndPending = false;
                    const std::int32_t next = player->NextIndex();
                    if (!player->GoToTrack(next)) {
                        out->Reset();
                        player->SeekFileOffset = 0;
                        player->SeekBaseBytes = 0;
                        player->CurrentIndex = 0;
                        player->PlayList.ShowPlayingRow();
                        player->RefreshMain();
                    }
                }
            }
            // The analyser reads 16-bit stereo only: other formats show no bars.
            spectrumReadable = player->DeviceFormat.wBitsPerSample == 16 && player->DeviceFormat.nChannels == 2;
            written = player->WrittenBytes;
        }

        player->PlayedBytes = PlayedAt(position, player->SeekBaseBytes);
        // The analyser, at most once per 1764 bytes played, while what is
        // heard next has been written to the ring.
        if (SpectrumStep && shown && spectrumReadable && lastSpectrumPos + 1764 < player->PlayedBytes &&
            !trackEndPending && written >= position + 4000) {
            if (decodedTotal < 2048) {
                std::memset(spectrumWindow, 0, sizeof spectrumWindow);
            } else {
                const auto at = static_cast<std::int32_t>((position > 0 ? position / 4 * 4 : 0) % PcmRingBytes);
                const std::int32_t first = std::min<std::int32_t>(2048, PcmRingBytes - at);
                auto* window = reinterpret_cast<std::uint8_t*>(spectrumWindow);
                std::memcpy(window, player->PcmRing + at, static_cast<std::size_t>(first));
                std::memcpy(window + first, player->PcmRing, static_cast<std::size_t>(2048 - first));
            }
            player->UpdateSpectrum(faceDc.Of(player->MainWindow), spectrumWindow);
            lastSpectrumPos = player->PlayedBytes;
        }
        if (out->State == StatePlaying && shown)
            player->Face.DrawPlaying(faceDc.Of(player->MainWindow));
        player->UpdateCaption();
        // Never rest holding the engine lock: the interface thread waits
        // for it to draw and to carry out commands.
        if (restMs != 0)
            Sleep(restMs);
    }

    if (player->WaveOut != nullptr)
        player->WaveOut->Close();
    if (player->FileReader != nullptr)
        player->FileReader->Close();
    return 1;
}
