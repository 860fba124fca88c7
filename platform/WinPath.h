// Windows path arithmetic that does not need the operating system: splitting
// a path into drive, folder, name and extension the way the runtime library's
// _splitpath does, making a path absolute against a current directory, and
// comparing extensions without regard to case. Paths are code page 932 text.
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

// Makes `path` absolute the way the system's full-path rules do, against
// `currentDirectory`, itself absolute (C:\Music or \\server\share\x):
// C:\a\b.mp3 stays; \a\b.mp3 takes the current drive (or share); a\b.mp3 and
// the empty path go below the current directory; C:a.mp3 goes below the
// current directory when that is on C: and below the root of C: otherwise.
// Slashes become backslashes, repeated separators one, "." and ".." are
// resolved (never above the root), trailing dots and spaces leave the last
// name, and a trailing separator stays. False when the current directory is
// not absolute or the result does not fit `size` bytes with its terminator:
// nothing is ever cut.
bool MakeFullPath(const char* path, const char* currentDirectory, char* destination, std::size_t size);
