// The wave output on the real device: under Wine, PulseAudio's null sink.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "platform/Faults.h"
#include "platform/WaveOut.h"

namespace {

WAVEFORMATEX Format(DWORD rate)
{
    WAVEFORMATEX format{};
    format.nChannels = 2;
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 1;        // wrong on purpose: Open puts it right
    format.nAvgBytesPerSec = 12;
    format.cbSize = 99;
    return format;
}

// Waits until the device has played `bytes`, for at most `limitMs`.
bool WaitForPosition(CWaveOut& out, std::int32_t bytes, DWORD limitMs)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < limitMs; Sleep(5)) {
        if (out.GetPosition() >= bytes)
            return true;
    }
    return false;
}

}  // namespace

TEST(WaveOut, StoppedDeviceClaimsNothing)
{
    CWaveOut out;
    EXPECT_EQ(out.WaitBuffer(), WaveWait::NoneFree);
    EXPECT_EQ(out.GetPosition(), -1);
    EXPECT_TRUE(out.Write("x", 1)) << "queues nothing while stopped";
    WAVEFORMATEX format = Format(44100);
    SetFaults("buffer:1");  // the last buffer cannot be had: the nine before it go too
    EXPECT_FALSE(out.Open(&format, 65536));
    EXPECT_TRUE(out.Device == nullptr && out.Headers[0].lpData == nullptr && out.Headers[8].lpData == nullptr);
    ASSERT_TRUE(out.Open(&format, 65536));
    EXPECT_EQ(format.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(format.nBlockAlign, 4);
    EXPECT_EQ(format.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(format.cbSize, 0);
    EXPECT_EQ(out.WaitBuffer(), WaveWait::NoneFree) << "opened, not started";
    EXPECT_EQ(out.GetPosition(), -1);
    EXPECT_FALSE(out.Open(&format, 65536)) << "already open";
    EXPECT_TRUE(out.Close());
    EXPECT_EQ(out.Device, nullptr);
    EXPECT_EQ(out.FreeBuffers, nullptr);
}

TEST(WaveOut, TenBuffersRotateThroughTheDevice)
{
    CWaveOut out;
    WAVEFORMATEX format = Format(44100);
    ASSERT_TRUE(out.Open(&format, 65536));
    ASSERT_TRUE(out.Start());
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(out.WaitBuffer(), WaveWait::Claimed) << i;
    EXPECT_EQ(out.WaitBuffer(), WaveWait::NoneFree) << "the eleventh waits for the device";

    // Ten buffers of 10 ms each: the device plays them all and returns them.
    std::vector<std::uint8_t> chunk(1764, 0);
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(out.Write(chunk.data(), static_cast<std::int32_t>(chunk.size())));
    EXPECT_EQ(out.NextBuffer, 0);
    ASSERT_TRUE(WaitForPosition(out, 17640, 5000)) << "position " << out.GetPosition();
    int returned = 0;
    for (DWORD start = GetTickCount(); returned < 10 && GetTickCount() - start < 5000; Sleep(5)) {
        if (out.WaitBuffer() == WaveWait::Claimed)
            ++returned;
    }
    EXPECT_EQ(returned, 10) << "buffers the device returned within 5000 ms";

    std::vector<std::uint8_t> tooLong(65537, 0);
    EXPECT_FALSE(out.Write(tooLong.data(), static_cast<std::int32_t>(tooLong.size())));

    EXPECT_TRUE(out.Pause());
    EXPECT_EQ(out.State, 2);
    EXPECT_TRUE(out.Restart());
    EXPECT_EQ(out.State, 1);
    EXPECT_TRUE(out.Reset());
    EXPECT_EQ(out.State, 0);
    EXPECT_EQ(out.GetPosition(), -1);
    EXPECT_TRUE(out.Close());

    // Every stream starts again with ten free buffers.
    format = Format(48000);
    ASSERT_TRUE(out.Open(&format, 65536));
    out.Start();
    int free = 0;
    while (free <= 10 && out.WaitBuffer() == WaveWait::Claimed)
        ++free;
    EXPECT_EQ(free, 10);
}

TEST(WaveOut, MasterVolumeThroughTheMixer)
{
    CWaveOut out;
    ASSERT_TRUE(out.OpenMixer());
    DWORD before = 0;
    ASSERT_TRUE(out.GetMasterVolume(&before));
    ASSERT_TRUE(out.SetMasterVolume(0x4000));
    DWORD now = 0;
    ASSERT_TRUE(out.GetMasterVolume(&now));
    EXPECT_NEAR(static_cast<double>(now), 0x4000, 0x200) << "the device may round the step";
    ASSERT_TRUE(out.SetMasterVolume(before));
    EXPECT_TRUE(out.CloseMixer());
    EXPECT_EQ(out.Mixer, nullptr);
    EXPECT_FALSE(out.GetMasterVolume(&now)) << "closed";
}
