// The settings kept between runs.
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "platform/WinPath.h"
#include "settings/Settings.h"
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

std::int32_t CSettings::ReadSetting(const char* name, std::int32_t fallback)
{
    return Registry.ReadDword(SettingsSubkey, name).value_or(fallback);
}

void CSettings::Load()
{
    Registry.OpenRoot("Quenby\\Tarvel");
    const std::vector<ScreenRect> areas = WorkAreas();

    // The main window: its scale and face first, for the size its place
    // must leave reachable.
    const std::int32_t mainX = ReadSetting("MainPosX", 0);
    const std::int32_t mainY = ReadSetting("MainPosY", 0);
    Program.Face.MainSize = CheckedScale(ReadSetting("MainSize", 1));
    Program.Face.IsMinimize = CheckedFlag(ReadSetting("IsMinimize", 0), 0);
    Program.Face.ApplyWindowSize();
    Program.Face.LayoutButtons();
    const WindowPlace mainPlace =
        CheckedPlace({mainX, mainY, FaceWidth * Program.Face.MainSize, (Program.Face.IsMinimize ? CompactFaceHeight : FaceHeight) * Program.Face.MainSize},
                     {0, 0, FaceWidth * Program.Face.MainSize, FaceHeight * Program.Face.MainSize}, areas);
    SetWindowPos(Program.Context.MainWindow, nullptr, mainPlace.X, mainPlace.Y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);

    const PlaylistPlace fallback;
    const WindowPlace listPlace = CheckedPlace(
        {ReadSetting("PlayListPosX", fallback.X), ReadSetting("PlayListPosY", fallback.Y),
         ReadSetting("PlayListSizeX", fallback.Width), ReadSetting("PlayListSizeY", fallback.Height)},
        {fallback.X, fallback.Y, fallback.Width, fallback.Height}, areas);
    Program.PlayList.PlaylistRect = {listPlace.X, listPlace.Y, listPlace.Width, listPlace.Height};
    SetWindowPos(Program.PlayList.Window(), nullptr, listPlace.X, listPlace.Y, listPlace.Width, listPlace.Height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (ReadSetting("PlayListShow", 0) != 0) {
        ShowWindow(Program.PlayList.Window(), SW_SHOWNA);
        SetWindowPos(Program.Context.MainWindow, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }

    const std::string folder = Registry.ReadString(SettingsSubkey, "OpenFileInitialDir").value_or(DefaultInitialDir);
    CopyString(Program.Files.OpenFileInitialDir, sizeof Program.Files.OpenFileInitialDir, folder.c_str());

    if (CheckedFlag(ReadSetting("ShuffleState", 0), 0) != Program.Engine.ShuffleState)
        Program.Engine.SwitchShuffle();
    Program.Engine.RepeatState = CheckedRepeat(ReadSetting("RepeatState", RepeatOff));
    Program.Face.TimeDisplayState = CheckedFlag(ReadSetting("TimeDisplayState", 0), 0);
    Program.Options.OptionToolHint = CheckedFlag(ReadSetting("OptionToolHint", 1), 1);
    SendMessageA(Program.Face.ToolTip(), TTM_ACTIVATE, Program.Options.OptionToolHint, 0);

    // The current directory is still the one the program started in.
    Program.Files.ReadPlaylist(ResumePlaylist);
    Program.Engine.SelectEntry(CheckedTrack(ReadSetting("PreviousTrack", 0), Program.Engine.TrackCount));
    Program.PlayList.SelectPlaylistItem(Program.Engine.CurrentIndex);
}

void CSettings::Save(const char* startDirectory)
{
    const RECT main = NormalPlace(Program.Context.MainWindow);
    Registry.WriteDword(SettingsSubkey, "MainPosX", main.left);
    Registry.WriteDword(SettingsSubkey, "MainPosY", main.top);
    Registry.WriteDword(SettingsSubkey, "MainSize", Program.Face.MainSize);
    Registry.WriteDword(SettingsSubkey, "IsMinimize", Program.Face.IsMinimize);
    if (Program.PlayList.Window() != nullptr) {
        const RECT list = NormalPlace(Program.PlayList.Window());
        Registry.WriteDword(SettingsSubkey, "PlayListPosX", list.left);
        Registry.WriteDword(SettingsSubkey, "PlayListPosY", list.top);
        Registry.WriteDword(SettingsSubkey, "PlayListSizeX", list.right - list.left);
        Registry.WriteDword(SettingsSubkey, "PlayListSizeY", list.bottom - list.top);
        // Hidden for the tray, it was shown as far as the next start goes.
        const bool shown = IsWindowVisible(Program.PlayList.Window()) || Program.Tray.PlaylistHiddenForTray;
        Registry.WriteDword(SettingsSubkey, "PlayListShow", shown ? 1 : 0);
    }
    Registry.WriteString(SettingsSubkey, "OpenFileInitialDir", Program.Files.OpenFileInitialDir);
    Registry.WriteDword(SettingsSubkey, "ShuffleState", Program.Engine.ShuffleState);
    Registry.WriteDword(SettingsSubkey, "RepeatState", Program.Engine.RepeatState);
    Registry.WriteDword(SettingsSubkey, "TimeDisplayState", Program.Face.TimeDisplayState);
    Registry.WriteDword(SettingsSubkey, "OptionToolHint", Program.Options.OptionToolHint);
    // Intake may have moved the current directory; the playlist goes back
    // where it came from, or nowhere when that cannot be entered.
    if (startDirectory[0] != '\0' && SetCurrentDirectoryA(startDirectory))
        Program.Files.SaveResumePlaylist(ResumePlaylist);
    Registry.WriteDword(SettingsSubkey, "PreviousTrack", Program.Engine.CurrentIndex);
}
