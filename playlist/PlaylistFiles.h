// Files reaching the playlist: playlists read and written, folder scans,
// paths named on the command line or dropped on a window, and the file
// dialogs.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstddef>
#include <vector>

#include "engine/Engine.h"
#include "platform/WindowContext.h"

class CPlayList;
// What tells one folder from another during a folder scan.
struct FolderIdentity;

class CPlaylistFiles {
public:
    CPlaylistFiles(WindowContext& context, CEngine& engine, CPlayList& list);
    CPlaylistFiles(const CPlaylistFiles&) = delete;
    CPlaylistFiles& operator=(const CPlaylistFiles&) = delete;

    void ReadPlaylist(const char* path);
    void SaveResumePlaylist(const char* path);
    void SavePlaylist(const char* path);
    void ScanFolder(const char* path);
    // Takes one file, folder or playlist named on the command line or
    // dropped on a window; `expandLongName` gives audio files the name the
    // file system reports (command line).
    void TakePath(const char* path, bool expandLongName);
    void DropFiles(HDROP drop, bool replace);
    bool ShowOpenDialog(HWND owner);
    // The multiple-selection result of the open dialog: `size` bytes.
    void AddSelection(const char* buffer, std::size_t size);
    bool ShowSaveDialog(HWND owner);
    // Play or pause; with an empty playlist the open dialog comes first.
    void PlayOrOpen();

    // Where the open dialog starts (kept between runs).
    char OpenFileInitialDir[260];

private:
    // Every entry's path, with or without its drive, one line each.
    void WritePlaylist(const char* path, bool withDrive);
    void ScanFolderOnce(const char* path, std::vector<FolderIdentity>& scanned);

    WindowContext& Context;
    CEngine& Engine;
    CPlayList& PlayList;
};

// The path with its last component replaced by the name the file system
// reports for it. False when the file does not exist or the result does not
// fit `size` bytes.
bool ExpandLongName(const char* path, char* destination, int size);
