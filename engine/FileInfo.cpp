#include "engine/FileInfo.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "decoder/Mpeg.h"
#include "platform/WinPath.h"

namespace {

constexpr std::int32_t SearchBytes = 8192;
constexpr int MaxChunks = 4096;  // a chunk walk gives up after this many
constexpr std::uint16_t FormatPcm = 1, FormatMpeg = 0x50, FormatMpegLayer3 = 0x55, FormatExtensible = 0xFFFE;

std::uint32_t Little32(const std::uint8_t* p)
{
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}
std::uint16_t Little16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::int32_t ClampLength(std::int64_t value)
{
    return value < 0 ? 0 : value > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<std::int32_t>(value);
}

// A 30-byte tag text with its trailing spaces removed (the first byte stays).
void CopyTagText(char* destination, const std::uint8_t* text)
{
    int last = 29;
    while (last > 0 && text[last] == ' ')
        --last;
    std::memcpy(destination, text, static_cast<std::size_t>(last) + 1);
    destination[last + 1] = '\0';
}

// Where the chunk after the one at `at` of `size` body bytes begins: chunks of
// odd size are followed by a pad byte.
std::int64_t NextChunk(std::int64_t at, std::uint32_t size)
{
    return at + 8 + std::int64_t{size} + (size & 1);
}

// The sub-format GUID of an extensible format block that holds integer PCM.
const std::uint8_t PcmSubformat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                       0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

}  // namespace

bool CFileInfo::ReadExactly(void* destination, std::int32_t size)
{
    std::int32_t got = 0;
    return File.Read(destination, size, &got) && got == size;
}

bool CFileInfo::ReadChunkHeader(std::int64_t at, std::uint8_t id[4], std::uint32_t* size)
{
    std::uint8_t header[8];
    if (File.Seek(at, SeekFrom::Start) != at || !ReadExactly(header, 8))
        return false;
    std::memcpy(id, header, 4);
    *size = Little32(header + 4);
    return true;
}

bool CFileInfo::IsSupportedFormat(const TrackEntry* entry)
{
    return (entry->SampleRate == 44100 || entry->SampleRate == 48000) && entry->Channels == 2;
}

int CFileInfo::ReadTrackInfo(const char* path, TrackEntry* entry)
{
    return Inspect(path, entry) && IsSupportedFormat(entry) ? 1 : 0;
}

int CFileInfo::Inspect(const char* path, TrackEntry* entry)
{
    std::memset(entry, 0, sizeof *entry);
    if (File.IsOpen())
        return 0;
    // A path that does not fit would name another file.
    if (!CopyString(entry->Path, sizeof entry->Path, path))
        return 0;

    switch (ReadWaveHeader(path, entry)) {
    case WaveKind::Pcm:
        return 1;
    case WaveKind::Refused:
        return 0;
    case WaveKind::Mpeg:
    case WaveKind::NotWave:
        break;
    }
    return ReadMpeg(path, entry);
}

CFileInfo::WaveKind CFileInfo::ReadWaveHeader(const char* path, TrackEntry* entry)
{
    if (!File.Open(path))
        return WaveKind::NotWave;
    const std::int64_t size = File.Size();
    std::uint8_t riff[12];
    if (!ReadExactly(riff, 12) || std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) {
        File.Close();
        return WaveKind::NotWave;
    }

    // Walk the chunks of the form for "fmt " and "data".
    std::uint8_t format[40] = {};
    std::uint32_t formatBytes = 0;
    bool haveFormat = false, haveData = false;
    std::int64_t dataOffset = 0, dataBytes = 0;
    std::int64_t at = 12;
    for (int chunks = 0; chunks < MaxChunks && !(haveFormat && haveData); ++chunks) {
        std::uint8_t header[4];
        std::uint32_t chunkBytes = 0;
        if (!ReadChunkHeader(at, header, &chunkBytes))
            break;
        if (std::memcmp(header, "fmt ", 4) == 0 && !haveFormat) {
            formatBytes = chunkBytes < sizeof format ? chunkBytes : static_cast<std::uint32_t>(sizeof format);
            std::int32_t got = 0;
            if (!File.Read(format, static_cast<std::int32_t>(formatBytes), &got) || got < 16)
                break;
            formatBytes = static_cast<std::uint32_t>(got);
            haveFormat = true;
        } else if (std::memcmp(header, "data", 4) == 0) {
            dataOffset = at + 8;
            dataBytes = chunkBytes;
            haveData = true;
        }
        at = NextChunk(at, chunkBytes);
    }
    File.Close();
    if (!haveFormat || !haveData)
        return WaveKind::NotWave;

    std::uint16_t tag = Little16(format);
    if (tag == FormatExtensible && formatBytes >= 40 && std::memcmp(format + 24, PcmSubformat, 16) == 0)
        tag = FormatPcm;
    if (tag == FormatMpeg || tag == FormatMpegLayer3)
        return WaveKind::Mpeg;  // MPEG audio in a WAVE file: the MPEG path finds its frames
    if (tag != FormatPcm)
        return WaveKind::Refused;

    WAVEFORMATEX& wf = entry->WaveFormat;
    wf.wFormatTag = FormatPcm;
    wf.nChannels = Little16(format + 2);
    wf.nSamplesPerSec = Little32(format + 4);
    wf.nAvgBytesPerSec = Little32(format + 8);
    wf.nBlockAlign = Little16(format + 12);
    wf.wBitsPerSample = Little16(format + 14);
    wf.cbSize = 0;
    if (wf.nAvgBytesPerSec == 0 || wf.nBlockAlign == 0 || wf.nChannels == 0)
        return WaveKind::Refused;

    entry->DataOffset = ClampLength(dataOffset);
    entry->DataLength = ClampLength(dataBytes < size - dataOffset ? dataBytes : size - dataOffset);
    entry->Duration = static_cast<std::int32_t>(static_cast<std::uint32_t>(entry->DataLength) / wf.nAvgBytesPerSec);
    entry->Channels = wf.nChannels;
    entry->SampleRate = wf.nSamplesPerSec;
    entry->BitRate = static_cast<std::uint32_t>(std::uint64_t{wf.nAvgBytesPerSec} * 8 / 1000);
    entry->FileType = FileTypeWave;
    return WaveKind::Pcm;
}

int CFileInfo::ReadId3v1Tag(TrackEntry* entry)
{
    std::uint8_t tag[128];
    if (File.Seek(-128, SeekFrom::End) < 0 || !ReadExactly(tag, 128) || std::memcmp(tag, "TAG", 3) != 0)
        return 0;
    entry->DataLength -= 128;
    CopyTagText(entry->Title, tag + 3);
    CopyTagText(entry->Artist, tag + 33);
    return 1;
}

int CFileInfo::SkipId3v2Tag(TrackEntry* entry)
{
    std::uint8_t header[10];
    if (File.Seek(0, SeekFrom::Start) != 0 || !ReadExactly(header, 10) || std::memcmp(header, "ID3", 3) != 0)
        return 0;
    const std::int32_t size = ((header[6] & 0x7F) << 21) | ((header[7] & 0x7F) << 14) | ((header[8] & 0x7F) << 7) |
                              header[9];
    entry->DataOffset = size + 10;
    entry->DataLength -= entry->DataOffset;
    return 1;
}

int CFileInfo::ReadRiffInfo(TrackEntry* entry)
{
    std::uint8_t header[12];
    if (File.Seek(0, SeekFrom::Start) != 0 || !ReadExactly(header, 12) || std::memcmp(header, "RIFF", 4) != 0)
        return 0;
    std::int64_t at = 12;
    std::uint32_t dataBytes = 0;
    bool found = false;
    for (int chunks = 0; chunks < MaxChunks; ++chunks) {
        std::uint8_t chunk[4];
        std::uint32_t size = 0;
        if (!ReadChunkHeader(at, chunk, &size))
            return 0;
        if (std::memcmp(chunk, "data", 4) == 0) {
            dataBytes = size;
            found = true;
            break;
        }
        at = NextChunk(at, size);
    }
    if (!found)
        return 0;
    entry->DataOffset = ClampLength(at + 8);
    entry->DataLength = ClampLength(std::min<std::int64_t>(dataBytes, FileSize - (at + 8)));

    // Title and artist from a LIST/INFO chunk after the data.
    at = NextChunk(at, dataBytes);
    std::uint32_t listBytes = 0;
    for (int chunks = 0;; ++chunks) {
        std::uint8_t chunk[4];
        if (chunks >= MaxChunks || !ReadChunkHeader(at, chunk, &listBytes))
            return 1;
        if (std::memcmp(chunk, "LIST", 4) == 0)
            break;
        at = NextChunk(at, listBytes);
    }
    std::uint8_t kind[4];
    if (!ReadExactly(kind, 4) || std::memcmp(kind, "INFO", 4) != 0)
        return 1;
    at += 12;
    std::int64_t remaining = std::int64_t{listBytes} - 4;
    for (int chunks = 0; remaining >= 9 && chunks < MaxChunks; ++chunks) {
        std::uint8_t sub[4];
        std::uint32_t size = 0;
        if (!ReadChunkHeader(at, sub, &size))
            break;
        char* target = std::memcmp(sub, "INAM", 4) == 0 ? entry->Title
                       : std::memcmp(sub, "IART", 4) == 0 ? entry->Artist : nullptr;
        if (target != nullptr) {
            // The text as it stands, cut to 255 bytes, with a NUL after it.
            const std::int32_t keep = size < 255 ? static_cast<std::int32_t>(size) : 255;
            std::int32_t got = 0;
            if (!File.Read(target, keep, &got) || got != keep)
                break;
            target[keep] = '\0';
        }
        at = NextChunk(at, size);
        remaining -= 8 + std::int64_t{size};
    }
    return 1;
}

int CFileInfo::ReadMpeg(const char* path, TrackEntry* entry)
{
    if (!File.Open(path))
        return 0;
    FileSize = File.Size();
    entry->DataOffset = 0;
    entry->DataLength = ClampLength(FileSize);
    ReadId3v1Tag(entry);
    if (!SkipId3v2Tag(entry))
        ReadRiffInfo(entry);

    // The first frame within the first 8192 bytes of the data. A shorter file
    // is searched as far as it goes, so that a short clip plays too.
    std::vector<std::uint8_t> buffer(SearchBytes, 0);
    std::int32_t got = 0;
    if (File.Seek(entry->DataOffset, SeekFrom::Start) != entry->DataOffset ||
        !File.Read(buffer.data(), SearchBytes, &got) || got < 4) {
        File.Close();
        return 0;
    }
    File.Close();
    std::int32_t pos = 0;
    if (!MpegFindSync(buffer.data(), got, &pos))
        return 0;
    FrameHeader header{};
    if (!MpegReadStreamInfo(buffer.data() + pos, SearchBytes - pos, &header))
        return 0;

    if (entry->DataLength < 0)
        entry->DataLength = 0;  // tags that claim more than the file holds
    header.BitRate /= 1000;
    entry->FrameHeader = header;
    entry->DataOffset += pos;
    entry->Channels = static_cast<std::uint32_t>(header.OutChannels);
    entry->BitRate = static_cast<std::uint32_t>(header.BitRate);
    entry->SampleRate = static_cast<std::uint32_t>(header.OutSampleRate);
    if (entry->BitRate != 0) {
        entry->Duration = entry->DataLength / static_cast<std::int32_t>(entry->BitRate * 1000 / 8);
    } else {
        // Xing header: frames x PCM per frame, in a width no 32-bit count overflows.
        const std::uint64_t frames = static_cast<std::uint32_t>(header.XingFrames);
        std::uint64_t seconds = frames * static_cast<std::uint64_t>(header.PcmBytesPerFrame) * 8;
        seconds = seconds / static_cast<std::uint64_t>(header.OutBits) / static_cast<std::uint64_t>(header.OutChannels) /
                  static_cast<std::uint64_t>(header.OutSampleRate);
        entry->Duration = ClampLength(static_cast<std::int64_t>(seconds));
    }
    entry->FileType = FileTypeMpeg;
    WAVEFORMATEX& wf = entry->WaveFormat;
    wf.wFormatTag = FormatPcm;
    wf.nChannels = static_cast<std::uint16_t>(header.OutChannels);
    wf.nSamplesPerSec = static_cast<std::uint32_t>(header.OutSampleRate);
    wf.wBitsPerSample = static_cast<std::uint16_t>(header.OutBits);
    wf.nBlockAlign = static_cast<std::uint16_t>(wf.nChannels * wf.wBitsPerSample / 8);
    wf.nAvgBytesPerSec = wf.nBlockAlign * wf.nSamplesPerSec;
    wf.cbSize = 0;
    return 1;
}
