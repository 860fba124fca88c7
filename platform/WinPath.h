// Windows path arithmetic that does not need the operating system: splitting
// a path into drive, folder, name and extension the way the runtime library's
// _splitpath does, and comparing extensions without regard to case.
#pragma once

#include <cstddef>

struct PathParts {
    char Drive[3];      // "C:" or empty
    char Folder[260];   // "\Music\" (with the trailing separator) or empty
    char Name[260];     // file name without extension
    char Extension[260];// ".mp3" (with the dot) or empty
};

// Splits `path` (backslash or slash separated). Parts that do not fit their
// buffers are cut; every part is NUL-terminated.
void SplitPath(const char* path, PathParts* parts);

// True when `a` and `b` are equal, ignoring the case of ASCII letters.
bool EqualsNoCase(const char* a, const char* b);

// Copies `source` into `destination` of `size` bytes. Returns false (and
// leaves an empty string) when it does not fit.
bool CopyString(char* destination, std::size_t size, const char* source);
