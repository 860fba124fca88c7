#include "WinPath.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

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

// The index of the first separator at or after `from`, or the length.
std::size_t FindSeparator(std::string_view text, std::size_t from)
{
    for (std::size_t i = from; i < text.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size())
            ++i;
        else if (IsSeparator(text[i]))
            return i;
    }
    return text.size();
}

// Walks the names of `text` onto `names`: empty names and "." vanish, ".."
// takes the last name off (none beyond the root).
void WalkNames(std::string_view text, std::vector<std::string_view>& names)
{
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = FindSeparator(text, start);
        const std::string_view name = text.substr(start, end - start);
        if (name == "..") {
            if (!names.empty())
                names.pop_back();
        } else if (!name.empty() && name != ".") {
            names.push_back(name);
        }
        start = end + 1;
    }
}

bool HasDrive(std::string_view path) { return path.size() >= 2 && path[1] == ':' && !IsSeparator(path[0]); }
bool StartsWithSeparator(std::string_view path) { return !path.empty() && IsSeparator(path[0]); }
bool IsUncPath(std::string_view path) { return path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]); }

// The root of an absolute path ("C:" or "\\server\share", separators
// made backslashes) and what follows it. False when `path` is not absolute.
bool SplitRoot(std::string_view path, std::string& root, std::string_view& rest)
{
    if (HasDrive(path) && path.size() >= 3 && IsSeparator(path[2])) {
        root.assign(path.substr(0, 2));
        rest = path.substr(3);
        return true;
    }
    if (!IsUncPath(path))
        return false;
    const std::size_t serverEnd = FindSeparator(path, 2);
    if (serverEnd == 2)
        return false;
    const std::size_t shareEnd = serverEnd < path.size() ? FindSeparator(path, serverEnd + 1) : serverEnd;
    root = "\\\\";
    root.append(path.substr(2, serverEnd - 2));
    if (serverEnd < path.size()) {
        root += '\\';
        root.append(path.substr(serverEnd + 1, shareEnd - serverEnd - 1));
    }
    rest = shareEnd < path.size() ? path.substr(shareEnd + 1) : std::string_view();
    return true;
}

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

bool MakeFullPath(const char* path, const char* currentDirectory, char* destination, std::size_t size)
{
    std::string currentRoot;
    std::string_view currentRest;
    if (!SplitRoot(currentDirectory, currentRoot, currentRest))
        return false;

    const std::string_view text(path);
    std::string root;
    std::string_view rest;
    std::vector<std::string_view> names;
    if (SplitRoot(text, root, rest)) {
        // Absolute already.
    } else if (HasDrive(text)) {
        // Relative to the named drive: the current directory when it lies on
        // that drive, its root otherwise.
        root.assign(text.substr(0, 2));
        rest = text.substr(2);
        if (HasDrive(currentRoot) && EqualsNoCase(root.c_str(), currentRoot.c_str())) {
            root = currentRoot;
            WalkNames(currentRest, names);
        }
    } else if (StartsWithSeparator(text)) {
        root = currentRoot;  // the current drive's (or share's) root
        rest = text.substr(1);
    } else {
        root = currentRoot;
        rest = text;
        WalkNames(currentRest, names);
    }
    WalkNames(rest, names);

    // The last name loses its trailing dots and spaces, and a trailing
    // separator stays.
    const bool trailingSeparator = !rest.empty() && IsSeparator(rest.back());
    if (!trailingSeparator && !names.empty()) {
        std::string_view& last = names.back();
        while (!last.empty() && (last.back() == '.' || last.back() == ' '))
            last.remove_suffix(1);
        if (last.empty())
            names.pop_back();
    }

    std::string full = root;
    for (std::string_view name : names) {
        full += '\\';
        full.append(name);
    }
    if ((names.empty() && HasDrive(root)) || (trailingSeparator && !names.empty()))
        full += '\\';
    return CopyString(destination, size, full.c_str());
}
