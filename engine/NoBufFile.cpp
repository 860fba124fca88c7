#include "engine/NoBufFile.h"

#include <cstring>

namespace {

const std::int32_t DefaultCacheSizes[] = {10, 8, 5, 2, 1};
constexpr std::int32_t MiB = 1048576;

}  // namespace

const std::int32_t* CNoBufFile::CacheSizes = DefaultCacheSizes;
int CNoBufFile::CacheSizeCount = 5;
unsigned CNoBufFile::FillPauseMs = 10;

CNoBufFile::~CNoBufFile()
{
    Close();
    if (Cache != nullptr)
        FreePinned(Cache, static_cast<std::size_t>(CacheBytes), UnbufferedUnit);
}

bool CNoBufFile::Open(const char* path)
{
    NoCache = false;
    if (File.IsOpen())
        return false;
    if (!File.Open(path, true))
        return false;
    AtEof = 0;
    Lock.Enter();
    Lock.Leave();
    Buffered = WritePos = ReadPos = 0;
    if (CacheBytes != 0)
        return true;

    // The largest block that can be committed, with its first page pinned.
    for (int i = 0; i < CacheSizeCount; ++i) {
        const std::size_t bytes = static_cast<std::size_t>(CacheSizes[i]) * MiB;
        void* block = AllocatePinned(bytes, UnbufferedUnit);
        if (block != nullptr) {
            Cache = static_cast<std::uint8_t*>(block);
            CacheBytes = CacheSizes[i] * MiB;
            return true;
        }
    }
    NoCache = true;
    Close();
    return false;
}

void CNoBufFile::Close()
{
    if (File.IsOpen()) {
        File.Close();
        Lock.Enter();
        Lock.Leave();
    }
}

void CNoBufFile::SetEnabled(bool enabled)
{
    Lock.Enter();
    Enabled = enabled ? 1 : 0;
    Lock.Leave();
}

bool CNoBufFile::IsEnabled()
{
    Lock.Enter();
    const bool enabled = Enabled != 0;
    Lock.Leave();
    return enabled;
}

std::int32_t CNoBufFile::Fill()
{
    if (!IsEnabled())
        return 0;
    if (!File.IsOpen() || AtEof || CacheBytes - Buffered < BlockBytes)
        return 0;
    std::int32_t got = 0;
    const bool ok = File.Read(Cache + WritePos, BlockBytes, &got);
    SleepMilliseconds(FillPauseMs);
    if (!ok)
        return -1;
    // A short block is the end of the file: the next read would start at an
    // unaligned place, which unbuffered reading refuses, and the bytes held
    // would be lost with it.
    if (got < BlockBytes)
        AtEof = 1;
    if (got == 0)
        return 0;
    Buffered += got;
    WritePos += got;
    if (WritePos >= CacheBytes)
        WritePos -= CacheBytes;
    return got;
}

void CNoBufFile::CopyOut(std::uint8_t* destination, std::int32_t length)
{
    if (ReadPos + length > CacheBytes) {
        const std::int32_t first = CacheBytes - ReadPos;
        std::memcpy(destination, Cache + ReadPos, static_cast<std::size_t>(first));
        std::memcpy(destination + first, Cache, static_cast<std::size_t>(length - first));
    } else {
        std::memcpy(destination, Cache + ReadPos, static_cast<std::size_t>(length));
    }
    Buffered -= length;
    ReadPos += length;
    if (ReadPos > CacheBytes)
        ReadPos -= CacheBytes;
}

std::int32_t CNoBufFile::Read(std::uint8_t* destination, std::int32_t length)
{
    if (!IsEnabled() || !File.IsOpen() || length <= 0)
        return 0;
    while (Buffered < length) {
        const std::int32_t r = Fill();
        if (r == -1)
            return 0;
        if (r == 0) {
            if (Buffered == 0)
                return 0;
            const std::int32_t held = Buffered;
            CopyOut(destination, held);
            return held;
        }
    }
    CopyOut(destination, length);
    return length;
}

std::int64_t CNoBufFile::Seek(std::int64_t offset)
{
    if (!IsEnabled() || !File.IsOpen() || offset < 0)
        return 0;
    const std::int64_t blocks = offset / BlockBytes;
    const std::int32_t rem = static_cast<std::int32_t>(offset % BlockBytes);
    if (blocks > 0 && File.Seek(blocks * BlockBytes, SeekFrom::Start) < 0)
        return 0;
    const std::int32_t r = Fill();
    if (r == -1)
        return 0;
    if (r == BlockBytes || r > rem) {
        ReadPos = rem;
        Buffered = r - rem;
        return offset;
    }
    ReadPos = r;
    Buffered = 0;
    return blocks * BlockBytes + r;
}
