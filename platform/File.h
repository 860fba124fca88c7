// Files through the operating system: opening for reading, size, seeking,
// reading; and the unbuffered variant with its aligned, pinned memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

enum class SeekFrom { Start, Current, End };

class PlatformFile {
public:
    PlatformFile() = default;
    ~PlatformFile() { Close(); }
    PlatformFile(const PlatformFile&) = delete;
    PlatformFile& operator=(const PlatformFile&) = delete;

    // Opens an existing file for reading (others may read and write it).
    // `unbuffered` bypasses the system's file cache where the file system
    // allows it: reads must then be whole multiples of UnbufferedUnit at
    // offsets that are such multiples, into memory aligned to it.
    bool Open(const char* path, bool unbuffered = false);
    void Close();
    bool IsOpen() const;
    // -1 when unknown.
    std::int64_t Size() const;
    // The new position from the start, or -1.
    std::int64_t Seek(std::int64_t offset, SeekFrom from);
    // False on a read error; `got` 0 at the end of the file.
    bool Read(void* destination, std::int32_t size, std::int32_t* got);

private:
#ifdef _WIN32
    void* Handle = reinterpret_cast<void*>(static_cast<std::intptr_t>(-1));
#else
    int Descriptor = -1;
#endif
};

// Alignment and size unit of unbuffered reads.
inline constexpr std::size_t UnbufferedUnit = 4096;

// A zero-filled block of `bytes`, aligned for unbuffered reads, with its
// first `pinBytes` bytes pinned in memory. Null when the block cannot be
// committed or the pin fails (the block is then released).
void* AllocatePinned(std::size_t bytes, std::size_t pinBytes);
void FreePinned(void* block, std::size_t bytes, std::size_t pinBytes);

// Makes `file` (standard output) pass bytes through unchanged: on systems
// whose text streams rewrite line ends, it is switched to binary.
void PlatformBinaryOutput(std::FILE* file);
// Flushes what was written to `file` through to the disk.
bool PlatformCommitFile(std::FILE* file);
// Puts the file `from` in the place of `to`, replacing any file there, in
// one step: `to` is at every moment either the old file or the new one.
bool PlatformReplaceFile(const char* from, const char* to);
