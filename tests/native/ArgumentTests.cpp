#include <gtest/gtest.h>

#include "playlist/ArgumentKind.h"
#include "platform/WinPath.h"

TEST(SplitPath, SplitsDriveFolderNameAndExtension)
{
    struct Case {
        const char* path;
        const char* drive;
        const char* folder;
        const char* name;
        const char* extension;
    };
    for (Case c : {
             Case{"D:\\Music\\a.mp3", "D:", "\\Music\\", "a", ".mp3"},
             Case{"a.b.c", "", "", "a.b", ".c"},
             Case{"C:\\dir.v2\\noext", "C:", "\\dir.v2\\", "noext", ""},
             Case{"\\\\server\\share\\x.WAV", "", "\\\\server\\share\\", "x", ".WAV"},
             Case{"C:relative.m3u", "C:", "", "relative", ".m3u"},
             Case{"D:/Music/b.mp2", "D:", "/Music/", "b", ".mp2"},
             Case{"", "", "", "", ""},
             // "表" is 0x95 0x5C in code page 932: its second byte is no separator.
             Case{"C:\\\x95\x5C\\\x95\x5C.mp3", "C:", "\\\x95\x5C\\", "\x95\x5C", ".mp3"},
         }) {
        PathParts parts;
        SplitPath(c.path, &parts);
        EXPECT_STREQ(parts.Drive, c.drive) << c.path;
        EXPECT_STREQ(parts.Folder, c.folder) << c.path;
        EXPECT_STREQ(parts.Name, c.name) << c.path;
        EXPECT_STREQ(parts.Extension, c.extension) << c.path;
    }
}

TEST(SplitPath, CutsPartsThatDoNotFit)
{
    std::string longName(400, 'n');
    PathParts parts;
    SplitPath(("C:\\" + longName + ".mp3").c_str(), &parts);
    EXPECT_EQ(std::string(parts.Name), longName.substr(0, sizeof parts.Name - 1));
    EXPECT_STREQ(parts.Extension, ".mp3");
}

TEST(CopyString, RefusesWhatDoesNotFit)
{
    char buffer[4];
    EXPECT_TRUE(CopyString(buffer, sizeof buffer, "abc"));
    EXPECT_STREQ(buffer, "abc");
    EXPECT_FALSE(CopyString(buffer, sizeof buffer, "abcd"));
    EXPECT_STREQ(buffer, "");
}

TEST(ClassifyArgument, FollowsAttributesAndExtensions)
{
    EXPECT_EQ(ClassifyArgument("C:\\Music", AttributeDirectory), ArgumentKind::Folder);
    // A folder with any further attribute is not scanned, and has no audio extension.
    EXPECT_EQ(ClassifyArgument("C:\\Music", AttributeDirectory | 0x1), ArgumentKind::Ignored);
    EXPECT_EQ(ClassifyArgument("C:\\Music", AttributeDirectory | 0x20), ArgumentKind::Ignored);
    EXPECT_EQ(ClassifyArgument("C:\\Albums.mp3", AttributeDirectory | 0x20), ArgumentKind::Audio);
    EXPECT_EQ(ClassifyArgument("C:\\list.M3u", 0x20), ArgumentKind::Playlist);
    EXPECT_EQ(ClassifyArgument("C:\\missing.m3u", InvalidAttributes), ArgumentKind::Playlist);
    for (const char* name : {"a.mp1", "a.MP2", "a.Mp3", "a.rmp", "a.wav", "a.mpg"})
        EXPECT_EQ(ClassifyArgument(name, 0x20), ArgumentKind::Audio) << name;
    for (const char* name : {"a.ogg", "a.mp3.txt", "mp3", "a.", "a.mp33"})
        EXPECT_EQ(ClassifyArgument(name, 0x20), ArgumentKind::Ignored) << name;
}
