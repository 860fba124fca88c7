// The settings kept between runs: fifteen values in the registry, read while
// the main window is made and written as it goes. The playlist travels in
// "PrePlayList.m3u" in the directory the program started in.
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "core/Player.h"
#include "platform/WinPath.h"
#include "settings/SettingsChecks.h"

namespace {

const char ResumePlaylist[] = "PrePlayList.m3u";
const char DefaultInitialDir[] = "C:\\";

BOOL CALLBACK AddWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM context)
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoA(monitor, &info)) {
        const RECT& r = info.rcWork;
        reinterpret_cast<std::vector<ScreenRect>*>(context)->push_back({r.left, r.top, r.right, r.bottom});
    }
    return TRUE;
}

// The work areas of the monitors as they are now.
std::vector<ScreenRect> WorkAreas()
{
    std::vector<ScreenRect> areas;
    EnumDisplayMonitors(nullptr, nullptr, AddWorkArea, reinterpret_cast<LPARAM>(&areas));
    return areas;
}

RECT NormalPlace(HWND window)
{
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(window, &placement);
    return placement.rcNormalPosition;
}

}  // namespace

std::int32_t CPlayer::ReadSetting(const char* name, std::int32_t fallback)
{
    return Registry.ReadDword(SettingsSubkey, name).value_or(fallback);
}

void CPlayer::LoadSettings()
{
    Registry.OpenRoot("Quenby\\Tarvel");
    const std::vector<ScreenRect> areas = WorkAreas();

    // The main window: its scale and face first, for the size its place
    // must leave reachable.
    const std::int32_t mainX = ReadSetting("MainPosX", 0);
    const std::int32_t mainY = ReadSetting("MainPosY", 0);
    Face.MainSize = CheckedScale(ReadSetting("MainSize", 1));
    Face.IsMinimize = CheckedFlag(ReadSetting("IsMinimize", 0), 0);
    Face.ApplyWindowSize();
    Face.LayoutButtons();
    const WindowPlace mainPlace =
        CheckedPlace({mainX, mainY, FaceWidth * Face.MainSize, (Face.IsMinimize ? CompactFaceHeight : FaceHeight) * Face.MainSize},
                     {0, 0, FaceWidth * Face.MainSize, FaceHeight * Face.MainSize}, areas);
    SetWindowPos(MainWindow, nullptr, mainPlace.X, mainPlace.Y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);

    const PlaylistPlace fallback;
    const WindowPlace listPlace = CheckedPlace(
        {ReadSetting("PlayListPosX", fallback.X), ReadSetting("PlayListPosY", fallback.Y),
         ReadSetting("PlayListSizeX", fallback.Width), ReadSetting("PlayListSizeY", fallback.Height)},
        {fallback.X, fallback.Y, fallback.Width, fallback.Height}, areas);
    PlayList.PlaylistRect = {listPlace.X, listPlace.Y, listPlace.Width, listPlace.Height};
    SetWindowPos(PlayList.Window(), nullptr, listPlace.X, listPlace.Y, listPlace.Width, listPlace.Height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (ReadSetting("PlayListShow", 0) != 0) {
        ShowWindow(PlayList.Window(), SW_SHOWNA);
        SetWindowPos(MainWindow, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }

    const std::string folder = Registry.ReadString(SettingsSubkey, "OpenFileInitialDir").value_or(DefaultInitialDir);
    CopyString(OpenFileInitialDir, sizeof OpenFileInitialDir, folder.c_str());

    if (CheckedFlag(ReadSetting("ShuffleState", 0), 0) != Engine.ShuffleState)
        Engine.SwitchShuffle();
    Engine.RepeatState = CheckedRepeat(ReadSetting("RepeatState", RepeatOff));
    Face.TimeDisplayState = CheckedFlag(ReadSetting("TimeDisplayState", 0), 0);
    OptionToolHint = CheckedFlag(ReadSetting("OptionToolHint", 1), 1);
    SendMessageA(Face.ToolTip(), TTM_ACTIVATE, OptionToolHint, 0);

    // The current directory is still the one the program started in.
    ReadPlaylist(ResumePlaylist);
    Engine.SelectEntry(CheckedTrack(ReadSetting("PreviousTrack", 0), Engine.TrackCount));
    PlayList.SelectPlaylistItem(Engine.CurrentIndex);
}

void CPlayer::SaveSettings()
{
    const RECT main = NormalPlace(MainWindow);
    Registry.WriteDword(SettingsSubkey, "MainPosX", main.left);
    Registry.WriteDword(SettingsSubkey, "MainPosY", main.top);
    Registry.WriteDword(SettingsSubkey, "MainSize", Face.MainSize);
    Registry.WriteDword(SettingsSubkey, "IsMinimize", Face.IsMinimize);
    if (PlayList.Window() != nullptr) {
        const RECT list = NormalPlace(PlayList.Window());
        Registry.WriteDword(SettingsSubkey, "PlayListPosX", list.left);
        Registry.WriteDword(SettingsSubkey, "PlayListPosY", list.top);
        Registry.WriteDword(SettingsSubkey, "PlayListSizeX", list.right - list.left);
        Registry.WriteDword(SettingsSubkey, "PlayListSizeY", list.bottom - list.top);
        // Hidden for the tray, it was shown as far as the next start goes.
        const bool shown = IsWindowVisible(PlayList.Window()) || Tray.PlaylistHiddenForTray;
        Registry.WriteDword(SettingsSubkey, "PlayListShow", shown ? 1 : 0);
    }
    Registry.WriteString(SettingsSubkey, "OpenFileInitialDir", OpenFileInitialDir);
    Registry.WriteDword(SettingsSubkey, "ShuffleState", Engine.ShuffleState);
    Registry.WriteDword(SettingsSubkey, "RepeatState", Engine.RepeatState);
    Registry.WriteDword(SettingsSubkey, "TimeDisplayState", Face.TimeDisplayState);
    Registry.WriteDword(SettingsSubkey, "OptionToolHint", OptionToolHint);
    // Intake may have moved the current directory; the playlist goes back
    // where it came from, or nowhere when that cannot be entered.
    if (StartDirectory[0] != '\0' && SetCurrentDirectoryA(StartDirectory))
        SaveResumePlaylist(ResumePlaylist);
    Registry.WriteDword(SettingsSubkey, "PreviousTrack", Engine.CurrentIndex);
}
