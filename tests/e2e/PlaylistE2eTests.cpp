// Playlists, folders and files named on the command line, and the playlist
// that carries over from one run of the real program to the next.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "TarvelProcess.h"
#include "TestWave.h"
#include "WinTestSupport.h"
#include "platform/WinPath.h"

namespace {

const DWORD StartLimitMs = 20000;

// The audio files below `folder` in the order a depth-first walk of the
// file system's listing meets them.
void ListAudio(const std::string& folder, std::vector<std::string>& found)
{
    WIN32_FIND_DATAA item;
    HANDLE search = FindFirstFileA((folder + "\\*.*").c_str(), &item);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = item.cFileName;
        if (item.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (name != "." && name != "..")
                ListAudio(folder + "\\" + name, found);
            continue;
        }
        PathParts parts;
        SplitPath(name.c_str(), &parts);
        for (const char* extension : {".WAV", ".MP3", ".MP1", ".MP2", ".MPG", ".RMP"}) {
            if (EqualsNoCase(parts.Extension, extension))
                found.push_back(folder + "\\" + name);
        }
    } while (FindNextFileA(search, &item));
    FindClose(search);
}

std::string Lines(const std::vector<std::string>& paths)
{
    std::string text;
    for (const std::string& path : paths)
        text += path + "\r\n";
    return text;
}

// Starts the program in `folder`, waits for its window, and closes it.
void RunAndClose(const std::string& arguments, const std::string& folder, const std::function<void()>& whileOpen = {})
{
    TarvelProcess player;
    HWND main = player.Open(arguments, folder, StartLimitMs);
    ASSERT_NE(main, nullptr) << "gave up after " << StartLimitMs << " ms waiting for the main window";
    if (whileOpen)
        whileOpen();
    DWORD exitCode = 1234;
    ASSERT_TRUE(player.Close(main, 10000, &exitCode)) << "gave up after 10000 ms waiting for the program to end";
    EXPECT_EQ(exitCode, 0u);
}

}  // namespace

TEST(PlaylistIntake, CommandLineOrderCarriesOverToTheNextRun)
{
    const std::string start = MakeTestFolder("playlist-intake");
    RemoveTree(start);
    CreateDirectoryA(start.c_str(), nullptr);
    for (const char* sub : {"\\sub", "\\music", "\\folder", "\\folder\\inner", "\\folder\\inner\\deeper"})
        CreateDirectoryA((start + sub).c_str(), nullptr);
    auto wave = [&](const std::string& name) {
        WriteToneWave(start + "\\" + name, 2, 0.2, 1000);
        return start + "\\" + name;
    };
    auto mpeg = [&](const std::string& name) {
        CopyInput("conformance/l3-hecommon.bit", start + "\\" + name);
        return start + "\\" + name;
    };
    const std::string one = wave("sub\\one.wav");
    const std::string two = mpeg("music\\two.mp3");
    const std::string three = wave("three.wav");
    wave("folder\\f1.wav");
    mpeg("folder\\inner\\f2.MP3");
    wave("folder\\inner\\deeper\\f3.WAV");
    wave("folder\\inner\\mono-refused.txt");
    ASSERT_TRUE(WriteText(start + "\\folder\\not-read.m3u", three + "\r\n"));
    ASSERT_TRUE(WriteText(start + "\\folder\\inner\\also-not-read.M3U", three + "\r\n"));
    const std::string a = mpeg("a.mp3");

    // An extended playlist: comments, a relative line, a line relative to
    // the drive's root, an absolute line, and no line break at the end.
    ASSERT_TRUE(WriteText(start + "\\list.m3u", "#EXTM3U\r\n"
                                                "#EXTINF:1,Someone - One\r\n"
                                                "sub\\one.wav\r\n"
                                                "#EXTINF:3,Someone - Two\r\n" +
                                                    two.substr(2) + "\r\n" + three));

    std::vector<std::string> expected = {one, two, three};
    ListAudio(start + "\\folder", expected);
    expected.push_back(a);
    ASSERT_EQ(expected.size(), 7u);

    RunAndClose("list.m3u folder a.mp3", start);
    const std::string resume = start + "\\PrePlayList.m3u";
    EXPECT_EQ(ReadText(resume), Lines(expected)) << "full paths, CR LF, in the order given";
    std::printf("PrePlayList.m3u after the first run (%zu bytes):\n%s", ReadText(resume).size(), ReadText(resume).c_str());

    // A start without arguments restores that playlist: taken away once the
    // program has read it, the file comes back the same at its exit.
    RunAndClose("", start, [&] { DeleteFileA(resume.c_str()); });
    EXPECT_EQ(ReadText(resume), Lines(expected));

    // Entries that are gone by the next start are dropped, and an empty
    // playlist empties the file.
    ASSERT_TRUE(WriteText(resume, start + "\\vanished.wav\r\n"));
    RunAndClose("", start);
    EXPECT_EQ(ReadText(resume), "");
    RemoveTree(start);
}

TEST(PlaylistIntake, NothingToPlayAsksForFilesAndLeavesNoPlaylistBehind)
{
    const std::string start = MakeTestFolder("nothing");
    RemoveTree(start);
    CreateDirectoryA(start.c_str(), nullptr);

    TarvelProcess player;
    ASSERT_TRUE(player.Start("\"" + start + "\\missing.mp3\" notes.txt", start));
    HWND main = player.WaitForWindow("Tarvel", StartLimitMs);
    ASSERT_NE(main, nullptr) << "gave up after " << StartLimitMs << " ms waiting for the main window";
    // Every argument was ignored: the open dialog asks for files.
    HWND dialog = player.WaitForWindow("#32770", StartLimitMs);
    ASSERT_NE(dialog, nullptr) << "gave up after " << StartLimitMs << " ms waiting for the open dialog";
    for (DWORD begin = GetTickCount(); !IsWindowVisible(dialog) && GetTickCount() - begin < StartLimitMs;)
        Sleep(50);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    PostMessageA(main, WM_CLOSE, 0, 0);
    DWORD exitCode = 1234;
    ASSERT_TRUE(player.WaitForExit(10000, &exitCode)) << "gave up after 10000 ms waiting for the program to end";
    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(Exists(start + "\\PrePlayList.m3u")) << "an empty playlist leaves no file";
    RemoveTree(start);
}
