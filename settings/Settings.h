// The settings kept between runs: fifteen values in the registry, read while
// the main window is made and written as it goes, and the playlist, which
// travels in "PrePlayList.m3u" in the directory the program started in.
#pragma once

#include <cstdint>

#include "engine/Engine.h"
#include "platform/WindowContext.h"
#include "playlist/PlaylistFiles.h"
#include "playlist/PlaylistWindow.h"
#include "settings/Registry.h"
#include "ui/MainWindow.h"
#include "ui/Options.h"
#include "ui/Tray.h"

class CSettings {
public:
    // What the settings are read into and written from.
    struct Targets {
        WindowContext& Context;
        CEngine& Engine;
        CMainWindow& Face;
        CPlayList& PlayList;
        CTray& Tray;
        COptionsDialog& Options;
        CPlaylistFiles& Files;
    };
    explicit CSettings(const Targets& targets) : Program(targets) {}
    CSettings(const CSettings&) = delete;
    CSettings& operator=(const CSettings&) = delete;

    // Read while the main window is made, before the play thread starts.
    void Load();
    // Written as the program ends; the playlist goes to `startDirectory`
    // (nowhere when it is empty or cannot be entered).
    void Save(const char* startDirectory);

    // The settings store.
    CRegistry Registry;

private:
    // A stored number, or `fallback` when there is none fit to read.
    std::int32_t ReadSetting(const char* name, std::int32_t fallback);

    Targets Program;
};
