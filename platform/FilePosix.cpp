#include "platform/File.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

bool PlatformFile::Open(const char* path, bool unbuffered)
{
    if (Descriptor >= 0)
        return false;
#ifdef O_DIRECT
    if (unbuffered) {
        Descriptor = ::open(path, O_RDONLY | O_DIRECT);
        if (Descriptor >= 0)
            return true;
        if (errno != EINVAL)
            return false;
        // The file system has no direct access: read through the cache.
    }
#else
    (void)unbuffered;
#endif
    Descriptor = ::open(path, O_RDONLY);
    if (Descriptor < 0)
        return false;
    struct stat info;
    if (::fstat(Descriptor, &info) != 0 || S_ISDIR(info.st_mode)) {
        Close();
        return false;
    }
    return true;
}

void PlatformFile::Close()
{
    if (Descriptor >= 0) {
        ::close(Descriptor);
        Descriptor = -1;
    }
}

bool PlatformFile::IsOpen() const
{
    return Descriptor >= 0;
}

std::int64_t PlatformFile::Size() const
{
    struct stat info;
    if (Descriptor < 0 || ::fstat(Descriptor, &info) != 0)
        return -1;
    return static_cast<std::int64_t>(info.st_size);
}

std::int64_t PlatformFile::Seek(std::int64_t offset, SeekFrom from)
{
    if (Descriptor < 0)
        return -1;
    const int whence = from == SeekFrom::Start ? SEEK_SET : from == SeekFrom::Current ? SEEK_CUR : SEEK_END;
    const off_t at = ::lseek(Descriptor, static_cast<off_t>(offset), whence);
    return at < 0 ? -1 : static_cast<std::int64_t>(at);
}

bool PlatformFile::Read(void* destination, std::int32_t size, std::int32_t* got)
{
    *got = 0;
    if (Descriptor < 0 || size < 0)
        return false;
    auto* to = static_cast<char*>(destination);
    std::int32_t total = 0;
    while (total < size) {
        const ssize_t n = ::read(Descriptor, to + total, static_cast<std::size_t>(size - total));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            break;
        total += static_cast<std::int32_t>(n);
    }
    *got = total;
    return true;
}

void* AllocatePinned(std::size_t bytes, std::size_t pinBytes)
{
    void* block = nullptr;
    if (::posix_memalign(&block, UnbufferedUnit, bytes) != 0)
        return nullptr;
    std::memset(block, 0, bytes);
    if (pinBytes > 0 && ::mlock(block, pinBytes) != 0) {
        std::free(block);
        return nullptr;
    }
    return block;
}

void FreePinned(void* block, std::size_t, std::size_t pinBytes)
{
    if (block == nullptr)
        return;
    if (pinBytes > 0)
        ::munlock(block, pinBytes);
    std::free(block);
}

void PlatformBinaryOutput(std::FILE*) {}

bool PlatformCommitFile(std::FILE* file)
{
    return std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
}

bool PlatformReplaceFile(const char* from, const char* to)
{
    return std::rename(from, to) == 0;
}
