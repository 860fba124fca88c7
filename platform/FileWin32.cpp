#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include "platform/File.h"

namespace {

HANDLE AsHandle(void* handle)
{
    return static_cast<HANDLE>(handle);
}

}  // namespace

bool PlatformFile::Open(const char* path, bool unbuffered)
{
    if (IsOpen())
        return false;
    const DWORD flags = unbuffered ? FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL
                                   : FILE_ATTRIBUTE_NORMAL;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    Handle = file;
    return true;
}

void PlatformFile::Close()
{
    if (IsOpen()) {
        CloseHandle(AsHandle(Handle));
        Handle = INVALID_HANDLE_VALUE;
    }
}

bool PlatformFile::IsOpen() const
{
    return AsHandle(Handle) != INVALID_HANDLE_VALUE;
}

std::int64_t PlatformFile::Size() const
{
    LARGE_INTEGER size;
    if (!IsOpen() || !GetFileSizeEx(AsHandle(Handle), &size))
        return -1;
    return size.QuadPart;
}

std::int64_t PlatformFile::Seek(std::int64_t offset, SeekFrom from)
{
    if (!IsOpen())
        return -1;
    LARGE_INTEGER distance, position;
    distance.QuadPart = offset;
    const DWORD method = from == SeekFrom::Start ? FILE_BEGIN : from == SeekFrom::Current ? FILE_CURRENT : FILE_END;
    if (!SetFilePointerEx(AsHandle(Handle), distance, &position, method))
        return -1;
    return position.QuadPart;
}

bool PlatformFile::Read(void* destination, std::int32_t size, std::int32_t* got)
{
    *got = 0;
    DWORD read = 0;
    if (!IsOpen() || size < 0 || !ReadFile(AsHandle(Handle), destination, static_cast<DWORD>(size), &read, nullptr))
        return false;
    *got = static_cast<std::int32_t>(read);
    return true;
}

void* AllocatePinned(std::size_t bytes, std::size_t pinBytes)
{
    void* block = VirtualAlloc(nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
    if (block == nullptr)
        return nullptr;
    if (pinBytes > 0 && !VirtualLock(block, pinBytes)) {
        VirtualFree(block, 0, MEM_RELEASE);
        return nullptr;
    }
    return block;
}

void FreePinned(void* block, std::size_t bytes, std::size_t pinBytes)
{
    if (block == nullptr)
        return;
    if (pinBytes > 0)
        VirtualUnlock(block, pinBytes);
    (void)bytes;
    VirtualFree(block, 0, MEM_RELEASE);
}

void PlatformBinaryOutput(std::FILE* file)
{
    _setmode(_fileno(file), _O_BINARY);
}

bool PlatformCommitFile(std::FILE* file)
{
    return std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
}

bool PlatformReplaceFile(const char* from, const char* to)
{
    // A file marked read-only keeps its content, as it would when written
    // over in place (not every file system refuses the replacement itself).
    const DWORD attributes = GetFileAttributesA(to);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return false;
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
