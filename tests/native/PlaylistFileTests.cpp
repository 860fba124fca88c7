// Playlist files and the path rules they rely on, on real files.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TempFiles.h"
#include "platform/WinPath.h"
#include "playlist/M3u.h"

namespace {

std::string FullPath(const char* path, const char* current)
{
    char full[260];
    if (!MakeFullPath(path, current, full, sizeof full))
        return "<refused>";
    return full;
}

std::vector<std::string> LinesOf(const std::string& text)
{
    const std::string path = WriteFile("lines.m3u", std::vector<std::uint8_t>(text.begin(), text.end()));
    std::vector<std::string> lines;
    EXPECT_TRUE(ReadPlaylistLines(path.c_str(), [&](const char* line) { lines.emplace_back(line); }));
    std::remove(path.c_str());
    return lines;
}

std::string ReadWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(MakeFullPath, ResolvesAgainstTheCurrentFolderAndDrive)
{
    struct Case {
        const char* path;
        const char* current;
        const char* expected;
    };
    for (Case c : {
             Case{"D:\\Music\\a.mp3", "C:\\lists", "D:\\Music\\a.mp3"},
             Case{"sub\\a.mp3", "D:\\lists", "D:\\lists\\sub\\a.mp3"},
             Case{"\\Music\\a.mp3", "E:\\lists\\deep", "E:\\Music\\a.mp3"},
             Case{"", "D:\\lists", "D:\\lists"},
             Case{"", "D:\\", "D:\\"},
             Case{"..\\..\\..\\a.mp3", "D:\\lists\\x", "D:\\a.mp3"},
             Case{".\\a\\.\\b\\..\\c.wav", "C:\\", "C:\\a\\c.wav"},
             Case{"C:/Music//x/a.mp3", "D:\\", "C:\\Music\\x\\a.mp3"},
             Case{"d:a.mp3", "D:\\lists", "D:\\lists\\a.mp3"},
             Case{"C:a.mp3", "D:\\lists", "C:\\a.mp3"},
             Case{"folder\\", "C:\\x", "C:\\x\\folder\\"},
             Case{"..", "C:\\x\\y", "C:\\x"},
             Case{"a.mp3. . ", "C:\\x", "C:\\x\\a.mp3"},
             Case{"\\\\server\\share\\a\\..\\b.mp3", "C:\\", "\\\\server\\share\\b.mp3"},
             Case{"\\b.mp3", "\\\\server\\share\\lists", "\\\\server\\share\\b.mp3"},
             Case{"b.mp3", "\\\\server\\share", "\\\\server\\share\\b.mp3"},
             // "表" (0x95 0x5C): the second byte is no separator.
             Case{"\x95\x5C\\..\\a.mp3", "C:\\\x95\x5C", "C:\\\x95\x5C\\a.mp3"},
         }) {
        EXPECT_EQ(FullPath(c.path, c.current), c.expected) << c.path << " in " << c.current;
    }
}

TEST(MakeFullPath, RefusesWhatItCannotHoldWholeOrPlace)
{
    EXPECT_EQ(FullPath("a.mp3", "lists"), "<refused>") << "the current folder must be absolute";
    EXPECT_EQ(FullPath("a.mp3", ""), "<refused>");

    // 259 characters fit the 260-byte buffer; 260 do not, and nothing is cut.
    const std::string current = "C:\\" + std::string(250, 'd');
    EXPECT_EQ(FullPath("abcde", current.c_str()), current + "\\abcde");
    EXPECT_EQ(FullPath("abcdef", current.c_str()), "<refused>");
    EXPECT_EQ(FullPath(("C:\\" + std::string(400, 'x') + "\\..\\a.mp3").c_str(), "C:\\"), "C:\\a.mp3")
        << "only the result must fit";
}

TEST(PlaylistLines, ReadsPathsAndSkipsCommentsInEitherLineEnd)
{
    EXPECT_EQ(LinesOf("#EXTM3U\r\n#EXTINF:123,Artist - Title\r\nC:\\a.mp3\r\n"),
              std::vector<std::string>{"C:\\a.mp3"});
    EXPECT_EQ(LinesOf("a.mp3\nsub\\b.mp3\r\n\r\n\n\\c.mp3"),
              (std::vector<std::string>{"a.mp3", "sub\\b.mp3", "\\c.mp3"}))
        << "LF, CR LF, blank lines and a last line without a line end";
    EXPECT_EQ(LinesOf("x.mp3\r"), std::vector<std::string>{"x.mp3"});
    EXPECT_EQ(LinesOf(""), std::vector<std::string>{});

    // A NUL at the start of a line ends the reading; inside a line, the line.
    EXPECT_EQ(LinesOf(std::string("a.mp3\nb.mp3\0junk\n\0c.mp3\nd.mp3\n", 30)),
              (std::vector<std::string>{"a.mp3", "b.mp3"}));

    std::vector<std::string> none;
    EXPECT_FALSE(ReadPlaylistLines(TempPath("absent.m3u").c_str(), [&](const char* line) { none.emplace_back(line); }));
    EXPECT_TRUE(none.empty());
}

TEST(PlaylistLines, LongLinesAreLeftOutWholeNeverCutIntoOtherPaths)
{
    const std::string fits = "C:\\" + std::string(PlaylistLineLimit - 7, 'f') + ".mp3";
    ASSERT_EQ(fits.size(), PlaylistLineLimit);
    const std::string tooLong = "C:\\music\\" + std::string(300, 'x') + "\\a.mp3";
    const std::string longComment = "#EXTINF:1," + std::string(600, 't') + "\\b.mp3";

    EXPECT_EQ(LinesOf(fits + "\r\n" + tooLong + "\r\nnext.mp3\n" + longComment + "\nlast.mp3"),
              (std::vector<std::string>{fits, "next.mp3", "last.mp3"}));
    EXPECT_EQ(LinesOf(fits + "x\n" + fits), std::vector<std::string>{fits}) << "one character over the limit";
    EXPECT_EQ(LinesOf(tooLong), std::vector<std::string>{}) << "also as the last line";

    // Lines longer than one read of the file.
    const std::string huge(100000, 'h');
    EXPECT_EQ(LinesOf(huge + "\nend.mp3\n" + huge), std::vector<std::string>{"end.mp3"});
}

TEST(PlaylistLines, TextInPiecesOfAnySizeGivesTheSameLines)
{
    const std::string text = "#EXTM3U\r\na.mp3\r\n" + std::string(300, 'x') + "\r\nsub\\b.mp3\r\n\r\nc.mp3\r";
    const std::vector<std::string> expected = {"a.mp3", "sub\\b.mp3", "c.mp3"};
    EXPECT_EQ(LinesOf(text), expected);
    for (std::size_t piece : {1u, 2u, 3u, 7u, 255u, 256u, 257u}) {
        std::vector<std::string> lines;
        PlaylistLineReader reader([&](const char* line) { lines.emplace_back(line); });
        for (std::size_t at = 0; at < text.size(); at += piece)
            ASSERT_TRUE(reader.Feed(text.data() + at, std::min(piece, text.size() - at)));
        reader.Finish();
        EXPECT_EQ(lines, expected) << "pieces of " << piece;
    }
}

TEST(PlaylistLines, WrittenLinesWithAndWithoutTheDrive)
{
    std::string line;
    ASSERT_TRUE(PlaylistLine("D:\\Music\\a.mp3", "C:\\", true, line));
    EXPECT_EQ(line, "D:\\Music\\a.mp3");
    ASSERT_TRUE(PlaylistLine("D:\\Music\\a.mp3", "C:\\", false, line));
    EXPECT_EQ(line, "\\Music\\a.mp3");
    // Read back from a playlist on drive E: the line names E:\Music\a.mp3.
    EXPECT_EQ(FullPath(line.c_str(), "E:\\lists"), "E:\\Music\\a.mp3");
    ASSERT_TRUE(PlaylistLine("b.wav", "C:\\x", true, line));
    EXPECT_EQ(line, "C:\\x\\b.wav");

    char name[260];
    ASSERT_TRUE(PlaylistFileName("mylist", "C:\\lists", name, sizeof name));
    EXPECT_STREQ(name, "C:\\lists\\mylist.M3U");
    ASSERT_TRUE(PlaylistFileName("mylist.txt", "C:\\lists", name, sizeof name));
    EXPECT_STREQ(name, "C:\\lists\\mylist.txt");
    EXPECT_FALSE(PlaylistFileName(std::string(258, 'n').c_str(), "C:\\", name, sizeof name));
}

TEST(PlaylistWriting, WritesEveryLineWithCrLfAndReplacesTheOldFile)
{
    const std::string path = WriteFile("written.m3u", {'o', 'l', 'd'});
    ASSERT_TRUE(WritePlaylistLines(path.c_str(), {"C:\\a.mp3", "D:\\b c\\d.wav"}));
    EXPECT_EQ(ReadWhole(path), "C:\\a.mp3\r\nD:\\b c\\d.wav\r\n");
    EXPECT_FALSE(std::ifstream(PendingPlaylistName(path.c_str())).good()) << "nothing left beside it";

    ASSERT_TRUE(WritePlaylistLines(path.c_str(), {}));
    EXPECT_EQ(ReadWhole(path), "");
    std::remove(path.c_str());

    EXPECT_FALSE(WritePlaylistLines(TempPath("absent-folder/x.m3u").c_str(), {"a"}));
}

namespace {

// A playlist large enough that writing it takes a while: 10000 long lines.
std::vector<std::string> LargePlaylist(char fill)
{
    std::vector<std::string> lines;
    for (int i = 0; i < 10000; ++i)
        lines.push_back("C:\\" + std::string(200, fill) + "\\" + std::to_string(i) + ".mp3");
    return lines;
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

}  // namespace

TEST(PlaylistWriting, AWriteThatFailsPartWayLeavesThePreviousFileWhole)
{
    const std::vector<std::string> previous = {"C:\\kept.mp3", "C:\\also kept.wav"};
    const std::string path = TempPath("failing.m3u");
    ASSERT_TRUE(WritePlaylistLines(path.c_str(), previous));

    // The writer runs with a file size limit far below the new playlist's
    // size, so its writes fail part-way as on a full disk.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(WritePlaylistLines(path.c_str(), LargePlaylist('n')) ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the failed write is reported";
    EXPECT_EQ(ReadWhole(path), Joined(previous));
    EXPECT_FALSE(std::ifstream(PendingPlaylistName(path.c_str())).good());
    std::remove(path.c_str());
}

TEST(PlaylistWriting, AWriterKilledAtAnyMomentLeavesOneWholePlaylist)
{
    const std::vector<std::string> previous = LargePlaylist('o');
    const std::vector<std::string> next = LargePlaylist('n');
    const std::string oldText = Joined(previous), newText = Joined(next);
    const std::string path = TempPath("killed.m3u");

    int replaced = 0;
    for (int round = 0; round < 24; ++round) {
        ASSERT_TRUE(WritePlaylistLines(path.c_str(), previous));
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;)
                WritePlaylistLines(path.c_str(), next);
        }
        usleep(static_cast<useconds_t>(round * 1500));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const std::string text = ReadWhole(path);
        ASSERT_TRUE(text == oldText || text == newText) << "round " << round << ": " << text.size() << " bytes";
        replaced += text == newText;
    }
    std::printf("killed 24 writers: %d had replaced the playlist, %d had not\n", replaced, 24 - replaced);
    std::remove(path.c_str());
    std::remove(PendingPlaylistName(path.c_str()).c_str());
}
