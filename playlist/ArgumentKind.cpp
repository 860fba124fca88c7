#include "playlist/ArgumentKind.h"

#include "platform/WinPath.h"

bool IsAudioExtension(const char* extension)
{
    static const char* const audioExtensions[] = {".MP1", ".MP2", ".MP3", ".RMP", ".WAV", ".MPG"};
    for (const char* accepted : audioExtensions) {
        if (EqualsNoCase(extension, accepted))
            return true;
    }
    return false;
}

ArgumentKind ClassifyArgument(const char* path, std::uint32_t attributes)
{
    if (attributes == AttributeDirectory)
        return ArgumentKind::Folder;
    PathParts parts;
    SplitPath(path, &parts);
    if (EqualsNoCase(parts.Extension, ".M3U"))
        return ArgumentKind::Playlist;
    if (IsAudioExtension(parts.Extension))
        return ArgumentKind::Audio;
    return ArgumentKind::Ignored;
}
