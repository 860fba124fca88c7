// What one command-line argument names, judged from its file attributes and
// its extension.
#pragma once

#include <cstdint>

enum class ArgumentKind {
    Folder,    // scanned recursively
    Playlist,  // an .M3U file
    Audio,     // a file with one of the audio extensions
    Ignored,
};

inline constexpr std::uint32_t AttributeDirectory = 0x10;   // FILE_ATTRIBUTE_DIRECTORY
inline constexpr std::uint32_t InvalidAttributes = 0xFFFFFFFF;

// True for the extensions the player takes as audio files (".MP1", ".MP2",
// ".MP3", ".RMP", ".WAV", ".MPG"), in any case.
bool IsAudioExtension(const char* extension);

// `attributes` as GetFileAttributesA reports them. Only a plain directory
// (no attribute but the directory bit) counts as a folder.
ArgumentKind ClassifyArgument(const char* path, std::uint32_t attributes);
