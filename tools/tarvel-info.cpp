// tarvel-info FILE...
// Prints what the player learns of each file: "path=FILE", then "refused" or
// one key=value line per field of its playlist entry. Exit status 0 when every
// file was accepted, 1 otherwise.
#include <cstdio>
#include <string>

#include "engine/FileInfo.h"
#include "decoder/Mpeg.h"

namespace {

void Print(const char* key, long long value)
{
    std::printf("%s=%lld\n", key, value);
}

void PrintText(const char* key, const char* text)
{
    std::printf("%s=", key);
    std::fwrite(text, 1, std::char_traits<char>::length(text), stdout);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: tarvel-info FILE...\n");
        return 2;
    }
    MpegInit();
    CFileInfo info;
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        std::printf("path=%s\n", argv[i]);
        TrackEntry entry{};
        if (!info.ReadTrackInfo(argv[i], &entry)) {
            std::printf("refused\n");
            status = 1;
            continue;
        }
        PrintText("Title", entry.Title);
        PrintText("Artist", entry.Artist);
        Print("BitRate", entry.BitRate);
        Print("SampleRate", entry.SampleRate);
        Print("Channels", entry.Channels);
        Print("Duration", entry.Duration);
        Print("DataOffset", entry.DataOffset);
        Print("FileType", entry.FileType);
        Print("DataLength", entry.DataLength);
        const WAVEFORMATEX& wf = entry.WaveFormat;
        Print("FormatTag", wf.wFormatTag);
        Print("FormatChannels", wf.nChannels);
        Print("SamplesPerSec", wf.nSamplesPerSec);
        Print("AvgBytesPerSec", wf.nAvgBytesPerSec);
        Print("BlockAlign", wf.nBlockAlign);
        Print("BitsPerSample", wf.wBitsPerSample);
        Print("ExtraSize", wf.cbSize);
        const FrameHeader& h = entry.FrameHeader;
        Print("Version", h.Version);
        Print("Layer", h.Layer);
        Print("HasCrc", h.HasCrc);
        Print("BitRateIndex", h.BitRateIndex);
        Print("SampleRateIndex", h.SampleRateIndex);
        Print("PaddingBit", h.PaddingBit);
        Print("Private", h.Private);
        Print("Mode", h.Mode);
        Print("ModeExtension", h.ModeExtension);
        Print("Copyright", h.Copyright);
        Print("Original", h.Original);
        Print("Emphasis", h.Emphasis);
        Print("OutChannels", h.OutChannels);
        Print("OutBits", h.OutBits);
        Print("OutSampleRate", h.OutSampleRate);
        Print("FrameBitRate", h.BitRate);
        Print("XingFrames", h.XingFrames);
        Print("FrameBytes", h.FrameBytes);
        Print("XingBytes", h.XingBytes);
        Print("MinFrameBytes", h.MinFrameBytes);
        Print("MaxFrameBytes", h.MaxFrameBytes);
        Print("PcmBytesPerFrame", h.PcmBytesPerFrame);
    }
    return status;
}
