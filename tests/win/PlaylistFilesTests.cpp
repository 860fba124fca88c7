// Playlists, folder scans, drops and the file dialogs, on real files with
// the real window and dialogs.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TestWave.h"
#include "PlayerTest.h"
#include "core/Player.h"
#include "platform/WinPath.h"

namespace {

class PlaylistFiles : public PlayerTest {
protected:
    PlaylistFiles() : PlayerTest("playlist") {}

    // A short 44100 Hz stereo WAV file at `name` below the test folder.
    std::string Wave(const std::string& name, std::uint16_t channels = 2)
    {
        const std::string path = folder + "\\" + name;
        WriteToneWave(path, channels, 0.1, 1000);
        return path;
    }
    std::string Mpeg(const std::string& name)
    {
        const std::string path = folder + "\\" + name;
        CopyInput("conformance/l1-fl2.bit", path);
        return path;
    }
    std::string Make(const std::string& name)
    {
        const std::string path = folder + "\\" + name;
        CreateDirectoryA(path.c_str(), nullptr);
        return path;
    }
    std::vector<std::string> Paths() const
    {
        std::vector<std::string> paths;
        for (std::int32_t i = 0; i < player->Engine.TrackCount; ++i)
            paths.emplace_back(player->Engine.Tracks[i]->Path);
        return paths;
    }
    std::string CurrentFolder() const
    {
        char current[MAX_PATH] = {};
        GetCurrentDirectoryA(sizeof current, current);
        return current;
    }
};

std::string WithoutDrive(const std::string& path)
{
    return path.substr(2);
}

}  // namespace

TEST_F(PlaylistFiles, ExtendedPlaylistResolvesEveryKindOfLine)
{
    Make("lists");
    Make("lists\\sub");
    Make("music");
    const std::string a = Wave("lists\\sub\\a.wav");
    const std::string b = Wave("music\\b.wav");
    const std::string c = Wave("c.wav");
    const std::string mono = Wave("mono.wav", 1);
    const std::string list = folder + "\\lists\\x.m3u";
    ASSERT_TRUE(WriteText(list, "#EXTM3U\r\n"
                                "#EXTINF:1,Artist - A\r\n"
                                "sub\\a.wav\r\n"
                                "#EXTINF:1,Artist - B\n" +
                                    WithoutDrive(b) + "\n" +  // relative to the drive's root
                                    mono + "\r\n" +           // refused: one channel
                                    folder + "\\" + std::string(300, 'x') + "\\c.wav\r\n" +
                                    "\r\n"
                                    "..\\c.wav"));  // no line break at the end

    player->Files.TakePath(list.c_str(), true);
    EXPECT_EQ(Paths(), (std::vector<std::string>{a, b, c}));
    EXPECT_EQ(CurrentFolder(), folder + "\\lists") << "the playlist's folder stays current";

    // The same through a relative name: it is taken against the current
    // folder before the playlist's own folder becomes current.
    player->Engine.ClearPlaylist();
    SetCurrentDirectoryA(folder.c_str());
    player->Files.TakePath("lists\\x.m3u", true);
    EXPECT_EQ(Paths(), (std::vector<std::string>{a, b, c}));

    player->Engine.ClearPlaylist();
    player->Files.TakePath((folder + "\\absent.m3u").c_str(), true);
    EXPECT_EQ(player->Engine.TrackCount, 0);
}

TEST_F(PlaylistFiles, SavedPlaylistsKeepTheOrderAndTheUserFileDropsTheDrive)
{
    Make("music");
    const std::string a = Wave("music\\a.wav");
    const std::string b = Mpeg("b.MP1");
    player->Engine.AddFile(a.c_str());
    player->Engine.AddFile(b.c_str());
    ASSERT_EQ(player->Engine.TrackCount, 2);

    SetCurrentDirectoryA(folder.c_str());
    player->Files.SavePlaylist("mylist");
    const std::string expected = WithoutDrive(a) + "\r\n" + WithoutDrive(b) + "\r\n";
    EXPECT_EQ(ReadText(folder + "\\mylist.M3U"), expected);
    player->Files.SavePlaylist("mylist.txt");
    EXPECT_EQ(ReadText(folder + "\\mylist.txt"), expected);
    EXPECT_FALSE(Exists(folder + "\\mylist.txt.M3U"));

    // Read back, the lines name the same files on the playlist's drive.
    player->Engine.ClearPlaylist();
    player->Files.TakePath((folder + "\\mylist.M3U").c_str(), true);
    EXPECT_EQ(Paths(), (std::vector<std::string>{a, b}));

    // The resume playlist goes to the start-up folder, with drives, wherever
    // the current folder is at the end.
    std::strcpy(player->StartDirectory, folder.c_str());
    SetCurrentDirectoryA((folder + "\\music").c_str());
    player->SaveSettings();
    EXPECT_EQ(ReadText(folder + "\\PrePlayList.m3u"), a + "\r\n" + b + "\r\n");
    EXPECT_FALSE(Exists(folder + "\\music\\PrePlayList.m3u"));
}

TEST_F(PlaylistFiles, AnEmptyPlaylistLeavesNoResumeFileButEmptiesOne)
{
    std::strcpy(player->StartDirectory, folder.c_str());
    player->SaveSettings();
    EXPECT_FALSE(Exists(folder + "\\PrePlayList.m3u"));

    ASSERT_TRUE(WriteText(folder + "\\PrePlayList.m3u", "C:\\old.wav\r\n"));
    player->SaveSettings();
    EXPECT_EQ(ReadText(folder + "\\PrePlayList.m3u"), "");

    // Without a start-up folder to go back to, nothing is written anywhere.
    player->StartDirectory[0] = '\0';
    player->Engine.AddFile(Wave("a.wav").c_str());
    SetCurrentDirectoryA(folder.c_str());
    player->SaveSettings();
    EXPECT_EQ(ReadText(folder + "\\PrePlayList.m3u"), "");
}

TEST_F(PlaylistFiles, AResumeSaveThatCannotCompleteLeavesThePreviousFileWhole)
{
    const std::string resume = folder + "\\PrePlayList.m3u";
    const std::string previous = "C:\\Music\\kept.wav\r\nC:\\Music\\also kept.wav\r\n";
    ASSERT_TRUE(WriteText(resume, previous));
    player->Engine.AddFile(Wave("new.wav").c_str());
    std::strcpy(player->StartDirectory, folder.c_str());

    // The new list cannot be written beside the old one.
    CreateDirectoryA((resume + ".tmp").c_str(), nullptr);
    player->SaveSettings();
    EXPECT_EQ(ReadText(resume), previous);
    RemoveDirectoryA((resume + ".tmp").c_str());

    // A read-only playlist is not replaced either.
    SetFileAttributesA(resume.c_str(), FILE_ATTRIBUTE_READONLY);
    player->SaveSettings();
    EXPECT_EQ(ReadText(resume), previous);
    EXPECT_FALSE(Exists(resume + ".tmp")) << "nothing is left beside it";
    SetFileAttributesA(resume.c_str(), FILE_ATTRIBUTE_NORMAL);

    player->SaveSettings();
    EXPECT_EQ(ReadText(resume), folder + "\\new.wav\r\n");
}

TEST_F(PlaylistFiles, FolderScanTakesAudioFilesDepthFirstAndLeavesPlaylistsAlone)
{
    const std::string scan = Make("scan");
    Make("scan\\sub");
    Make("scan\\sub\\deeper");
    const std::string marked = Make("scan\\marked");
    std::vector<std::string> audio = {Wave("scan\\a.wav"), Mpeg("scan\\sub\\c.MP1"), Wave("scan\\sub\\b.WAV"),
                                      Wave("scan\\sub\\deeper\\d.wav"), Wave("scan\\marked\\e.wav")};
    const std::string listed = Wave("listed.wav");
    ASSERT_TRUE(WriteText(scan + "\\list.m3u", listed + "\r\n"));
    ASSERT_TRUE(WriteText(scan + "\\sub\\notes.txt", "text"));
    ASSERT_TRUE(WriteText(scan + "\\sub\\other.M3U", listed + "\r\n"));
    SetFileAttributesA(marked.c_str(), FILE_ATTRIBUTE_HIDDEN);

    SetCurrentDirectoryA(folder.c_str());
    player->Files.ScanFolder(scan.c_str());
    std::vector<std::string> paths = Paths();
    EXPECT_EQ(CurrentFolder(), folder) << "the current folder comes back";
    ASSERT_EQ(paths.size(), audio.size());
    // Depth first: a folder's files come together, after its parent's files
    // listed before it.
    std::sort(audio.begin(), audio.end());
    std::vector<std::string> sorted = paths;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, audio);
    auto block = [&](const std::string& below) {
        std::vector<int> at;
        for (int i = 0; i < static_cast<int>(paths.size()); ++i)
            if (paths[i].rfind(folder + "\\" + below, 0) == 0)
                at.push_back(i);
        return at.empty() ? -1 : at.back() - at.front() + 1 - static_cast<int>(at.size());
    };
    EXPECT_EQ(block("scan\\sub\\"), 0) << "a subfolder's files come in one run";
    EXPECT_EQ(block("scan\\sub\\deeper\\"), 0);

    // A marked folder is scanned inside a scan, but not when named itself.
    player->Engine.ClearPlaylist();
    player->Files.TakePath(marked.c_str(), true);
    EXPECT_EQ(player->Engine.TrackCount, 0);
    player->Files.ScanFolder(".");
    player->Files.ScanFolder("..");
    EXPECT_EQ(player->Engine.TrackCount, 0);
    SetFileAttributesA(marked.c_str(), FILE_ATTRIBUTE_NORMAL);
}

namespace {

// Runs a program of the host system on the host's names of `paths`: the
// symbolic links users meet on Wine are made and removed there.
bool RunOnHost(std::string command, const std::vector<std::string>& paths)
{
    using UnixName = char*(CDECL*)(LPCWSTR);
    auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (unixName == nullptr)
        return false;
    for (const std::string& path : paths) {
        wchar_t wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
        char* name = unixName(wide);
        if (name == nullptr)
            return false;
        command += std::string(" \"") + name + "\"";
        HeapFree(GetProcessHeap(), 0, name);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    // Wine does not pass on a host program's exit code: callers look at
    // what it did.
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace

TEST_F(PlaylistFiles, LinksBackUpTheTreeDoNotScanForever)
{
    const std::string top = Make("linked");
    Make("linked\\sub");
    const std::string a = Wave("linked\\a.wav");
    const std::string b = Wave("linked\\sub\\b.wav");
    // Two links to the top in each folder: without a guard the scan would
    // branch at every level until the paths grew too long.
    const std::vector<std::string> links = {top + "\\up1", top + "\\sub\\up2", top + "\\sub\\up3"};
    bool linked = true;
    for (const std::string& link : links)
        linked = linked && RunOnHost("/bin/ln -s", {top, link}) &&
                 PumpUntil(5000, [&] { return Exists(link); });  // the wait may end before the host program
    struct Unlink {
        const std::vector<std::string>& links;
        ~Unlink()
        {
            RunOnHost("/bin/rm -f", links);
            PumpUntil(5000, [&] { return std::none_of(links.begin(), links.end(), Exists); });
        }
    } unlink{links};
    ASSERT_TRUE(linked) << "gave up after 5000 ms waiting for the host links " << links[0] << " and the rest";
    player->Files.ScanFolder(top.c_str());
    std::vector<std::string> paths = Paths();
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{a, b})) << "each folder once";
}

TEST_F(PlaylistFiles, ADropOnTheMainWindowStopsReplacesAndPlaysTheFirstFile)
{
    const std::string playing = folder + "\\playing.wav";
    WriteToneWave(playing, 2, 5.0, 2000);
    player->Engine.AddFile(playing.c_str());
    player->PlayPause();
    ASSERT_TRUE(WaitFor("playback to start", 3000, [&] { return player->Engine.PlayedBytes > 0; }));
    ASSERT_EQ(State(), 1);

    Make("dropped");
    const std::string x = Wave("x.wav");
    const std::string y = Mpeg("y.mp1");
    const std::string z = Wave("dropped\\z.wav");
    const std::string tooLong = folder + "\\" + std::string(300, 'n') + ".wav";
    Make("lists");
    Make("lists\\sub");
    const std::string listed = Wave("lists\\sub\\listed.wav");
    ASSERT_TRUE(WriteText(folder + "\\lists\\x.m3u", "sub\\listed.wav\r\n"));
    PostMessageA(player->MainWindow, WM_DROPFILES,
                 reinterpret_cast<WPARAM>(MakeDrop({x, tooLong, y, folder + "\\dropped", folder + "\\notes.txt",
                                                    folder + "\\lists\\x.m3u"})),
                 0);
    ASSERT_TRUE(WaitFor("the dropped files to join the playlist", 3000, [&] { return player->Engine.TrackCount == 4; }));
    EXPECT_EQ(Paths(), (std::vector<std::string>{x, y, z, listed})) << "a dropped playlist's lines are relative to its folder";
    EXPECT_EQ(player->Engine.CurrentIndex, 0);
    EXPECT_EQ(player->Engine.CurrentEntry(), player->Engine.Tracks[0]) << "the first dropped file plays";
    EXPECT_EQ(State(), 1);

    // Dropped without replacing (as on the playlist window): appended, and
    // playback goes on.
    const std::string w = Wave("w.wav");
    player->Files.DropFiles(MakeDrop({w}), false);
    EXPECT_EQ(Paths(), (std::vector<std::string>{x, y, z, listed, w}));
    EXPECT_EQ(player->Engine.CurrentEntry(), player->Engine.Tracks[0]);

    // A drop that adds nothing still stops and empties the list; the open
    // dialog then asks for files.
    DialogAnswerer answerer(DialogAnswerer::Cancel);
    PostMessageA(player->MainWindow, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({tooLong})), 0);
    Pump(300);
    EXPECT_TRUE(answerer.Wait());
    EXPECT_EQ(player->Engine.TrackCount, 0);
    EXPECT_EQ(State(), 0);
}

TEST_F(PlaylistFiles, OpenDialogTakesOneFileSeveralFilesOrAPlaylist)
{
    const std::string one = Mpeg("one.MP1");
    const std::string a = Wave("a.wav");
    const std::string b = Wave("b.wav");
    ASSERT_TRUE(WriteText(folder + "\\x.m3u", "b.wav\r\na.wav\r\n"));
    std::strcpy(player->Files.OpenFileInitialDir, folder.c_str());

    {
        DialogAnswerer answerer(DialogAnswerer::Choose("one.MP1"));
        SendMessageA(player->MainWindow, WM_COMMAND, 117, 0);
        ASSERT_TRUE(answerer.Wait());
    }
    EXPECT_EQ(Paths(), std::vector<std::string>{one}) << "an .MP1 file is taken, though no filter but *.* shows it";
    EXPECT_EQ(std::string(player->Files.OpenFileInitialDir), folder + "\\");

    {
        DialogAnswerer answerer(DialogAnswerer::Choose("\"b.wav\" \"a.wav\" \"x.m3u\""));
        EXPECT_TRUE(player->Files.ShowOpenDialog(player->MainWindow));
        ASSERT_TRUE(answerer.Wait());
    }
    // Chosen together with other files, a playlist is offered as a track
    // and refused.
    ASSERT_EQ(player->Engine.TrackCount, 3);
    std::vector<std::string> added = {player->Engine.Tracks[1]->Path, player->Engine.Tracks[2]->Path};
    std::sort(added.begin(), added.end());
    EXPECT_EQ(added, (std::vector<std::string>{a, b}));
    EXPECT_EQ(std::string(player->Files.OpenFileInitialDir), folder);

    player->Engine.ClearPlaylist();
    {
        DialogAnswerer answerer(DialogAnswerer::Choose("x.m3u"));
        EXPECT_TRUE(player->Files.ShowOpenDialog(player->MainWindow));
        ASSERT_TRUE(answerer.Wait());
    }
    EXPECT_EQ(Paths(), (std::vector<std::string>{b, a})) << "a playlist chosen alone is read";

    {
        DialogAnswerer answerer(DialogAnswerer::Cancel);
        EXPECT_FALSE(player->Files.ShowOpenDialog(player->MainWindow));
        ASSERT_TRUE(answerer.Wait());
    }
    EXPECT_EQ(player->Engine.TrackCount, 2);
}

TEST_F(PlaylistFiles, ChoosingMoreThanTheDialogCanHoldIsSafe)
{
    // About 45000 bytes of names for a 35535-byte result.
    std::vector<std::string> files;
    std::string names;
    for (int i = 0; i < 300; ++i) {
        const std::string name = std::string(140, 'n') + std::to_string(1000 + i) + ".wav";
        files.push_back(Wave(name));
        names += "\"" + name + "\" ";
    }
    std::strcpy(player->Files.OpenFileInitialDir, folder.c_str());
    std::string message, caption;
    DialogAnswerer answerer([&](HWND dialog) {
        DialogAnswerer::Choose(names)(dialog);
        HWND box = DialogAnswerer::FindDialog(3000, dialog);
        if (box == nullptr)
            return;
        message = DialogAnswerer::MessageText(box);
        char text[64] = {};
        GetWindowTextA(box, text, sizeof text);
        caption = text;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    const bool taken = player->Files.ShowOpenDialog(player->MainWindow);
    ASSERT_TRUE(answerer.Wait());
    if (!taken) {
        // The system reports the overflow: the player says so and adds nothing.
        EXPECT_EQ(message, "選択されたファイルが多すぎます");
        EXPECT_EQ(caption, "Tarvel");
        EXPECT_EQ(player->Engine.TrackCount, 0);
    } else {
        // Wine hands over what fits instead: only whole names of chosen files
        // are taken, nothing read past the result.
        EXPECT_EQ(message, "");
        EXPECT_LT(player->Engine.TrackCount, 300);
        for (const std::string& path : Paths())
            EXPECT_NE(std::find(files.begin(), files.end(), path), files.end()) << path;
        std::printf("%d of 300 chosen files fitted the result\n", player->Engine.TrackCount);
    }
}

TEST_F(PlaylistFiles, SaveDialogWritesThePlaylistUnderTheChosenName)
{
    const std::string a = Wave("a.wav");
    player->Engine.AddFile(a.c_str());
    std::strcpy(player->Files.OpenFileInitialDir, folder.c_str());
    {
        DialogAnswerer answerer(DialogAnswerer::Choose("saved"));
        SendMessageA(player->MainWindow, WM_COMMAND, 1016, 0);
        ASSERT_TRUE(answerer.Wait());
    }
    EXPECT_EQ(ReadText(folder + "\\saved.M3U"), WithoutDrive(a) + "\r\n");

    DialogAnswerer answerer(DialogAnswerer::Cancel);
    EXPECT_FALSE(player->Files.ShowSaveDialog(player->MainWindow));
    EXPECT_TRUE(answerer.Wait());
}

TEST_F(PlaylistFiles, FullPathsAgreeWithTheSystem)
{
    Make("sub");
    SetCurrentDirectoryA((folder + "\\sub").c_str());
    const std::string current = CurrentFolder();
    for (const char* path : {"a.mp3", "..\\a.mp3", "\\x\\a.mp3", "sub2\\.\\a.mp3", ".\\x\\..\\y\\a.mp3",
                             "a.mp3. .", "folder\\", "C:\\x\\..\\..\\y", "C:/x//y/a.mp3", "..\\..\\..\\..\\..\\..\\..\\..\\a",
                             "c:a.mp3", "\\\\server\\share\\x\\..\\a.mp3"}) {
        char system[MAX_PATH] = {};
        char ours[MAX_PATH] = {};
        ASSERT_NE(GetFullPathNameA(path, sizeof system, system, nullptr), 0u) << path;
        ASSERT_TRUE(MakeFullPath(path, current.c_str(), ours, sizeof ours)) << path;
        EXPECT_STREQ(ours, system) << path;
    }
}
