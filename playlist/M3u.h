// M3U playlist files as the player reads and writes them: one path per line,
// comments after "#", CR LF or LF line ends.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// The longest line the reader takes; a longer one could only be cut into
// other paths.
inline constexpr std::size_t PlaylistLineLimit = 255;

// Cuts the text of a playlist file, given in pieces of any size, into lines
// and hands on those that name a path (the rules of ReadPlaylistLines).
class PlaylistLineReader {
public:
    explicit PlaylistLineReader(std::function<void(const char* line)> take) : Take(std::move(take)) {}
    // False once reading must end.
    bool Feed(const char* bytes, std::size_t count);
    // The end of the text: a last line without a line end counts.
    void Finish();

private:
    bool EndLine();

    // The limit and the CR of a line end.
    static constexpr std::size_t Capacity = PlaylistLineLimit + 1;

    std::function<void(const char*)> Take;
    char Line[Capacity + 1];
    std::size_t Length = 0;  // bytes of the line so far, also beyond Capacity
};

// Calls `take` with each line of the playlist file at `path` that names a
// path, in order, without its line end. Lines end with CR LF or LF, the last
// one possibly with neither; a line starting with "#" is a comment; a line
// longer than PlaylistLineLimit characters is left out whole. Reading ends at
// the end of the file, at a read error, or at a line whose first character is
// NUL; a NUL inside a line ends that line. False when the file cannot be
// opened.
bool ReadPlaylistLines(const char* path, const std::function<void(const char* line)>& take);

// The line naming `entryPath` in a written playlist: its full path (made
// absolute against `currentDirectory`), with its drive when `withDrive`,
// without it otherwise (\Music\a.mp3). False when it cannot be made absolute.
bool PlaylistLine(const char* entryPath, const char* currentDirectory, bool withDrive, std::string& line);

// The file that a playlist saved under `path` goes to: the full path, with
// ".M3U" added when the name has no extension. False when it cannot be made
// absolute or does not fit `size` bytes.
bool PlaylistFileName(const char* path, const char* currentDirectory, char* destination, std::size_t size);

// Writes `lines`, each followed by CR LF, to `path`. The text goes to a file
// beside it first, which takes the place of `path` only once it is complete
// and on disk: a failure at any point leaves the previous file as it was.
// False on failure.
bool WritePlaylistLines(const char* path, const std::vector<std::string>& lines);

// The name of the file that WritePlaylistLines writes before it replaces `path`.
std::string PendingPlaylistName(const char* path);
