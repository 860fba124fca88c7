// A test with the application object, its main window and play thread, and
// a scratch folder of its own.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "WinTestSupport.h"
#include "platform/Faults.h"
#include "core/Player.h"

class PlayerTest : public ::testing::Test {
protected:
    explicit PlayerTest(const char* folderName) : FolderName(folderName) {}

    void SetUp() override
    {
        GetCurrentDirectoryA(sizeof previousFolder, previousFolder);
        folder = TestFolder(FolderName);
        // Each test starts from the settings of a first run.
        RegDeleteTreeA(HKEY_CURRENT_USER, SettingsKey);
        player = new CPlayer;
        ASSERT_TRUE(player->CreateMainWindow(GetModuleHandleA(nullptr), SW_SHOW));
    }
    void TearDown() override
    {
        SetFaults("");
        if (IsWindow(player->MainWindow))
            SendMessageA(player->MainWindow, WM_CLOSE, 0, 0);
        Pump(50);
        UnregisterClassA("Tarvel", GetModuleHandleA(nullptr));
        delete player;
        SetCurrentDirectoryA(previousFolder);
        RemoveTree(folder);
    }
    // The wave device's state, read under the engine lock: a track change
    // passes through the stopped state while the play thread holds it.
    std::int32_t State() const
    {
        player->Engine.EngineLock.Enter();
        const std::int32_t state = player->WaveOut->State;
        player->Engine.EngineLock.Leave();
        return state;
    }

    const char* FolderName;
    char previousFolder[MAX_PATH] = {};
    std::string folder;
    CPlayer* player = nullptr;
};
