// Files reaching the playlist other than by the command line's audio files:
// playlists read and written, folder scans, drops and the file dialogs.
#include <windows.h>
#include <commdlg.h>
#include <cderr.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "playlist/ArgumentKind.h"
#include "platform/WinPath.h"
#include "playlist/M3u.h"
#include "playlist/PlaylistFiles.h"
#include "playlist/PlaylistWindow.h"

// A folder however it was reached: its volume and its index there.
struct FolderIdentity {
    DWORD Volume;
    DWORD IndexHigh;
    DWORD IndexLow;
    bool operator==(const FolderIdentity&) const = default;
};

namespace {

const char ResumePlaylistName[] = "PrePlayList.m3u";
const char TooManyFiles[] = "選択されたファイルが多すぎます";

// The result buffer of both file dialogs.
constexpr DWORD DialogBufferBytes = 35535;
constexpr DWORD DialogFlags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_ALLOWMULTISELECT;

const char OpenFilter[] =
    "All Support Files MP*, WAV, M3U\0*.MPG;*.MP2;*.MP3;*.WAV;*.M3U\0"
    "Play Files MP*, WAV\0*.MPG;*.MP2;*.MP3;*.WAV\0"
    "WAV Files (*.WAV)\0*.WAV\0"
    "MPEG audio Files MP*\0*.MPG;*.MP2;*.MP3\0"
    "Playlist Files (*.M3U)\0*.M3U\0"
    "All Files (*.*)\0*.*\0";
const char SaveFilter[] =
    "All Files (*.*)\0*.*\0"
    "Playlist Files (*.M3U)\0*.M3U\0";

bool CurrentFolder(char (&folder)[MAX_PATH])
{
    const DWORD length = GetCurrentDirectoryA(sizeof folder, folder);
    return length != 0 && length < sizeof folder;
}

// The drive and folder of `path`: C:\Music\ for C:\Music\a.mp3.
std::string FolderOf(const char* path)
{
    PathParts parts;
    SplitPath(path, &parts);
    return std::string(parts.Drive) + parts.Folder;
}

void EnterFolderOf(const char* path)
{
    SetCurrentDirectoryA(FolderOf(path).c_str());
}

bool IdentifyCurrentFolder(FolderIdentity* identity)
{
    HANDLE folder = CreateFileA(".", 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION information;
    const bool known = GetFileInformationByHandle(folder, &information) != 0;
    CloseHandle(folder);
    if (known)
        *identity = {information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow};
    return known;
}

void PrepareDialog(OPENFILENAMEA* dialog, HWND owner, const char* filter, char* buffer, const char* initialFolder)
{
    std::memset(dialog, 0, sizeof *dialog);
    dialog->lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    dialog->hwndOwner = owner;
    dialog->hInstance = GetModuleHandleA(nullptr);
    dialog->lpstrFilter = filter;
    dialog->nFilterIndex = 1;
    dialog->lpstrFile = buffer;
    dialog->nMaxFile = DialogBufferBytes;
    dialog->lpstrInitialDir = initialFolder;
    dialog->Flags = DialogFlags;
}

}  // namespace

CPlaylistFiles::CPlaylistFiles(WindowContext& context, CEngine& engine, CPlayList& list)
    : Context(context), Engine(engine), PlayList(list)
{
    CopyString(OpenFileInitialDir, sizeof OpenFileInitialDir, "C:\\");
}

void CPlaylistFiles::ReadPlaylist(const char* path)
{
    char current[MAX_PATH];
    if (!CurrentFolder(current))
        return;
    ReadPlaylistLines(path, [&](const char* line) {
        char full[MAX_PATH];
        if (MakeFullPath(line, current, full, sizeof full))
            Engine.AddFile(full);
    });
}

void CPlaylistFiles::WritePlaylist(const char* path, bool withDrive)
{
    char current[MAX_PATH];
    if (!CurrentFolder(current))
        return;
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(Engine.TrackCount));
    for (std::int32_t i = 0; i < Engine.TrackCount; ++i) {
        std::string line;
        if (Engine.Tracks[i] != nullptr && PlaylistLine(Engine.Tracks[i]->Path, current, withDrive, line))
            lines.push_back(std::move(line));
    }
    WritePlaylistLines(path, lines);
}

void CPlaylistFiles::SaveResumePlaylist(const char* path)
{
    // An empty playlist leaves no file behind, but empties one that is there.
    if (Engine.TrackCount == 0 && GetFileAttributesA(ResumePlaylistName) == INVALID_FILE_ATTRIBUTES)
        return;
    WritePlaylist(path, true);
}

void CPlaylistFiles::SavePlaylist(const char* path)
{
    char current[MAX_PATH];
    char target[MAX_PATH];
    if (!CurrentFolder(current) || !PlaylistFileName(path, current, target, sizeof target))
        return;
    WritePlaylist(target, false);
}

void CPlaylistFiles::ScanFolder(const char* path)
{
    std::vector<FolderIdentity> scanned;
    ScanFolderOnce(path, scanned);
}

void CPlaylistFiles::ScanFolderOnce(const char* path, std::vector<FolderIdentity>& scanned)
{
    char previous[256];
    const DWORD length = GetCurrentDirectoryA(sizeof previous, previous);
    if (length == 0 || length >= sizeof previous)
        return;
    if (std::strcmp(path, ".") == 0 || std::strcmp(path, "..") == 0)
        return;
    if (!SetCurrentDirectoryA(path))
        return;

    // A folder reached a second time through a link is not scanned again:
    // links that lead back up the tree would otherwise never end.
    FolderIdentity identity;
    const bool identified = IdentifyCurrentFolder(&identity);
    const bool seen = identified && std::find(scanned.begin(), scanned.end(), identity) != scanned.end();
    char current[MAX_PATH];
    if (!seen && CurrentFolder(current)) {
        if (identified)
            scanned.push_back(identity);
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA("*.*", &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    ScanFolderOnce(found.cFileName, scanned);
                    continue;
                }
                char full[MAX_PATH];
                PathParts parts;
                SplitPath(found.cFileName, &parts);
                if (IsAudioExtension(parts.Extension) && MakeFullPath(found.cFileName, current, full, sizeof full))
                    Engine.AddFile(full);
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
    }
    SetCurrentDirectoryA(previous);
}

bool ExpandLongName(const char* path, char* destination, int size)
{
    // A bare file name is taken relative to the current directory and made
    // whole, so that the playlist holds full paths only.
    char full[MAX_PATH];
    const char* source = path;
    PathParts parts;
    SplitPath(path, &parts);
    if (parts.Drive[0] == '\0' && parts.Folder[0] == '\0') {
        DWORD length = GetFullPathNameA(path, sizeof full, full, nullptr);
        if (length == 0 || length >= sizeof full)
            return false;
        source = full;
        SplitPath(source, &parts);
    }

    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(source, &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);

    char result[2 * MAX_PATH];
    int length = std::snprintf(result, sizeof result, "%s%s%s", parts.Drive, parts.Folder, found.cFileName);
    if (length < 0 || length >= size)
        return false;
    std::memcpy(destination, result, static_cast<std::size_t>(length) + 1);
    return true;
}

void CPlaylistFiles::TakePath(const char* path, bool expandLongName)
{
    // Relative names are taken against the current directory before any
    // playlist's folder becomes current.
    char current[MAX_PATH];
    char full[MAX_PATH];
    if (!CurrentFolder(current) || !MakeFullPath(path, current, full, sizeof full))
        return;
    switch (ClassifyArgument(full, GetFileAttributesA(full))) {
    case ArgumentKind::Folder:
        ScanFolder(full);
        break;
    case ArgumentKind::Playlist:
        EnterFolderOf(full);
        ReadPlaylist(full);
        break;
    case ArgumentKind::Audio:
        if (expandLongName) {
            char expanded[MAX_PATH];
            if (ExpandLongName(full, expanded, sizeof expanded))
                Engine.AddFile(expanded);
        } else {
            EnterFolderOf(full);
            Engine.AddFile(full);
        }
        break;
    case ArgumentKind::Ignored:
        break;
    }
}

void CPlaylistFiles::DropFiles(HDROP drop, bool replace)
{
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    if (replace) {
        Engine.StopPlayback();
        Engine.ClearPlaylist();
        PlayList.DeleteAll();
    }
    HCURSOR previousCursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    for (UINT i = 0; i < count; ++i) {
        // A name that does not fit a path buffer is skipped, never cut.
        char name[MAX_PATH];
        const UINT length = DragQueryFileA(drop, i, nullptr, 0);
        if (length == 0 || length >= sizeof name || DragQueryFileA(drop, i, name, sizeof name) != length)
            continue;
        TakePath(name, false);
    }
    SetCursor(previousCursor);
    DragFinish(drop);
    PlayList.RefreshList();
    if (replace) {
        Engine.SelectEntry(0);
        PlayOrOpen();
    }
}

bool CPlaylistFiles::ShowOpenDialog(HWND owner)
{
    // One byte beyond what the dialog may fill keeps the result terminated;
    // a last name the dialog could not finish is never taken.
    std::vector<char> buffer(DialogBufferBytes + 1, '\0');
    OPENFILENAMEA dialog;
    PrepareDialog(&dialog, owner, OpenFilter, buffer.data(), OpenFileInitialDir);
    if (!GetOpenFileNameA(&dialog)) {
        if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL)
            MessageBoxA(owner, TooManyFiles, Context.ClassName, MB_OK);
        return false;
    }

    PathParts parts;
    SplitPath(buffer.data(), &parts);
    if (Context.MainWindow != nullptr)
        SendMessageA(Context.MainWindow, WM_PAINT, 0, 0);  // redraw behind the closed dialog

    // Several files chosen: the buffer starts with their folder. Folders
    // often carry further attributes (read-only marks a customised folder),
    // so only the directory bit tells.
    const DWORD attributes = GetFileAttributesA(buffer.data());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CopyString(OpenFileInitialDir, sizeof OpenFileInitialDir, buffer.data());
        AddSelection(buffer.data(), DialogBufferBytes);
    } else {
        CopyString(OpenFileInitialDir, sizeof OpenFileInitialDir, FolderOf(buffer.data()).c_str());
        if (EqualsNoCase(parts.Extension, ".M3U"))
            ReadPlaylist(buffer.data());  // the dialog made its folder current
        else if (IsAudioExtension(parts.Extension))
            Engine.AddFile(buffer.data());
    }
    PlayList.RefreshList();
    return true;
}

void CPlaylistFiles::AddSelection(const char* buffer, std::size_t size)
{
    // The folder, then each chosen name, each ended by a NUL; a NUL ends all.
    const char* folder = buffer;
    std::size_t at = strnlen(folder, size) + 1;
    if (at >= size || !SetCurrentDirectoryA(folder))
        return;
    while (at < size && buffer[at] != '\0') {
        const char* name = buffer + at;
        const std::size_t length = strnlen(name, size - at);
        if (at + length >= size)
            break;
        char full[MAX_PATH];
        if (MakeFullPath(name, folder, full, sizeof full))
            Engine.AddFile(full);
        at += length + 1;
    }
}

bool CPlaylistFiles::ShowSaveDialog(HWND owner)
{
    std::vector<char> buffer(DialogBufferBytes + 1, '\0');
    OPENFILENAMEA dialog;
    PrepareDialog(&dialog, owner, SaveFilter, buffer.data(), OpenFileInitialDir);
    if (!GetSaveFileNameA(&dialog))
        return false;
    SavePlaylist(buffer.data());
    return true;
}

void CPlaylistFiles::PlayOrOpen()
{
    if (Engine.Device == nullptr)
        return;
    if (Engine.Snapshot().Count == 0)
        ShowOpenDialog(Context.MainWindow);
    Engine.PlayPause();
}
