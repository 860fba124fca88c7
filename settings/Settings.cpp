// The settings kept between runs. The playlist travels in "PrePlayList.m3u"
// in the directory the program started in.
#include <windows.h>

#include "core/Player.h"

namespace {

const char ResumePlaylist[] = "PrePlayList.m3u";

}  // namespace

void CPlayer::LoadSettings()
{
    // The current directory is still the one the program started in.
    ReadPlaylist(ResumePlaylist);
}

void CPlayer::SaveSettings()
{
    // Intake may have moved the current directory; the playlist goes back
    // where it came from, or nowhere when that cannot be entered.
    if (StartDirectory[0] == '\0' || !SetCurrentDirectoryA(StartDirectory))
        return;
    SaveResumePlaylist(ResumePlaylist);
}
