#include "WinPath.h"

#include <cstring>

namespace {

// Copies the `length` bytes at `from` into `to` of `size` bytes, cutting
// what does not fit and always terminating.
void CopyPart(char* to, std::size_t size, const char* from, std::size_t length)
{
    if (length >= size)
        length = size - 1;
    std::memcpy(to, from, length);
    to[length] = '\0';
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Code page 932 lead bytes. The byte after a lead byte belongs to the same
// character even when its value is that of '\' (0x5C), as in "表".
bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace

void SplitPath(const char* path, PathParts* parts)
{
    const char* p = path;
    if (p[0] != '\0' && p[1] == ':') {
        CopyPart(parts->Drive, sizeof parts->Drive, p, 2);
        p += 2;
    } else {
        parts->Drive[0] = '\0';
    }

    // Find the last separator and the last dot after it, stepping over the
    // trail bytes of double-byte characters.
    const char* lastSeparator = nullptr;
    const char* lastDot = nullptr;
    for (const char* q = p; *q != '\0'; ++q) {
        if (IsLeadByte(static_cast<unsigned char>(*q)) && q[1] != '\0') {
            ++q;
            continue;
        }
        if (IsSeparator(*q)) {
            lastSeparator = q;
            lastDot = nullptr;
        } else if (*q == '.') {
            lastDot = q;
        }
    }

    const char* nameStart = lastSeparator ? lastSeparator + 1 : p;
    CopyPart(parts->Folder, sizeof parts->Folder, p, static_cast<std::size_t>(nameStart - p));
    const char* end = nameStart + std::strlen(nameStart);
    const char* nameEnd = lastDot ? lastDot : end;
    CopyPart(parts->Name, sizeof parts->Name, nameStart, static_cast<std::size_t>(nameEnd - nameStart));
    CopyPart(parts->Extension, sizeof parts->Extension, nameEnd, static_cast<std::size_t>(end - nameEnd));
}

bool EqualsNoCase(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        char x = *a, y = *b;
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y)
            return false;
        if (x == '\0')
            return true;
    }
}

bool CopyString(char* destination, std::size_t size, const char* source)
{
    std::size_t length = std::strlen(source);
    if (length >= size) {
        if (size > 0)
            destination[0] = '\0';
        return false;
    }
    std::memcpy(destination, source, length + 1);
    return true;
}
