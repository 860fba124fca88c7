// The playlist window inside the test process: drops (their handles only
// work here), drags that lose the mouse, deleting the paused entry, the
// rows' shared images and the order of the shut-down.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PlayerTest.h"
#include "TestWave.h"
#include "core/Player.h"
#include "resources/resource.h"

namespace {

class PlaylistWindowTest : public PlayerTest {
protected:
    PlaylistWindowTest() : PlayerTest("playlist-window") {}

    // Adds `count` WAV files of `seconds` named t0.wav, t1.wav...
    void Fill(int count, double seconds)
    {
        for (int i = 0; i < count; ++i)
            player->Engine.AddFile(Wave("t" + std::to_string(i) + ".wav", seconds).c_str());
        player->PlayList.RefreshList();
    }
    std::string Wave(const std::string& name, double seconds)
    {
        const std::string path = folder + "\\" + name;
        WriteToneWave(path, 2, seconds, 1000);
        return path;
    }
    HWND List() const { return player->PlayList.List(); }
    std::string Title(int row) const
    {
        char text[260] = {};
        ListView_GetItemText(List(), row, ColumnTitle, text, sizeof text);
        return text;
    }
    // A mouse move over the middle of `row`'s number cell.
    void MoveOver(int row, bool buttonHeld) const
    {
        RECT rect{};
        ListView_GetItemRect(List(), row, &rect, LVIR_LABEL);
        SendMessageA(List(), WM_MOUSEMOVE, buttonHeld ? MK_LBUTTON : 0,
                     MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2));
    }
    void BeginDrag(int row) const
    {
        NMLISTVIEW notice{};
        notice.hdr.hwndFrom = List();
        notice.hdr.idFrom = IDC_LIST_VIEW;
        notice.hdr.code = LVN_BEGINDRAG;
        notice.iItem = row;
        SendMessageA(player->PlayList.Window(), WM_NOTIFY, IDC_LIST_VIEW, reinterpret_cast<LPARAM>(&notice));
    }
};

}  // namespace

TEST_F(PlaylistWindowTest, DropsOnTheListAndOnTheFrameAppendWithoutTouchingPlayback)
{
    Fill(1, 5.0);
    player->PlayPause();
    ASSERT_TRUE(WaitFor("playback to start", 3000, [&] { return player->Engine.PlayedBytes > 0; }));
    const TrackEntry* playing = player->Engine.CurrentEntry();

    const std::string a = Wave("a.wav", 0.1), b = Wave("b.wav", 0.1), c = Wave("c.wav", 0.1);
    PostMessageA(List(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({a, b})), 0);
    ASSERT_TRUE(WaitFor("the drop on the list", 3000, [&] { return ListView_GetItemCount(List()) == 3; }));
    // The frame, its caption and its status bar take drops as the list does.
    PostMessageA(player->PlayList.Window(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({c})), 0);
    ASSERT_TRUE(WaitFor("the drop on the frame", 3000, [&] { return ListView_GetItemCount(List()) == 4; }));
    EXPECT_EQ(player->Engine.TrackCount, 4);
    EXPECT_EQ(Title(3), "c");
    EXPECT_EQ(player->Engine.CurrentEntry(), playing);
    EXPECT_EQ(State(), StatePlaying);
}

TEST_F(PlaylistWindowTest, ADragEndsWhenTheMouseIsTakenAndNeverMovesRowsWithoutTheButton)
{
    Fill(5, 0.1);
    BeginDrag(0);
    ASSERT_TRUE(player->PlayList.IsRowDragging());
    MoveOver(3, false);
    EXPECT_FALSE(player->PlayList.IsRowDragging()) << "a move without the button ends the drag";
    EXPECT_EQ(Title(0), "t0");

    BeginDrag(0);
    MoveOver(2, true);
    EXPECT_EQ(Title(2), "t0");
    EXPECT_EQ(std::string(player->Engine.Tracks[2]->Path), folder + "\\t0.wav");
    // Another window takes the mouse (a message box would): the drag is over.
    SetCapture(player->MainWindow);
    ReleaseCapture();
    EXPECT_FALSE(player->PlayList.IsRowDragging());
    MoveOver(4, true);
    EXPECT_EQ(Title(2), "t0");
    EXPECT_EQ(Title(4), "t4");
}

TEST_F(PlaylistWindowTest, DeletingThePausedEntryStopsAndRowsShareTwoImages)
{
    Fill(12, 3.0);
    HIMAGELIST images = ListView_GetImageList(List(), LVSIL_SMALL);
    ASSERT_NE(images, nullptr);
    player->Engine.PlayChosen(4);
    for (int i = 0; i < 6; ++i)
        SendMessageA(player->MainWindow, WM_COMMAND, IDC_NEXT, 0);
    EXPECT_EQ(ImageList_GetImageCount(images), 2) << "every row and every mark shows one of two images";
    EXPECT_EQ(player->PlayList.PlayingRow(), 10);

    player->PlayPause();
    ASSERT_EQ(State(), StatePaused);
    ListView_SetItemState(List(), 10, LVIS_SELECTED, LVIS_SELECTED);
    SendMessageA(player->MainWindow, WM_COMMAND, IDC_DELETE_SELECTED, 0);
    EXPECT_EQ(State(), StateStopped) << "the paused entry is let go before it goes";
    EXPECT_EQ(player->Engine.TrackCount, 11);
    EXPECT_EQ(ListView_GetItemCount(List()), 11);
    EXPECT_EQ(player->PlayList.PlayingRow(), -1);

    // At the end the playlist window goes before the rest.
    HWND frame = player->PlayList.Window();
    HWND list = List();
    SendMessageA(player->MainWindow, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_FALSE(IsWindow(list));

    // A playlist window that cannot be made whole is no success.
    CPlayList broken(*player, player->Engine, player->Files);
    EXPECT_FALSE(broken.CreatePlaylistWindow(GetModuleHandleA("kernel32.dll"), true));
    EXPECT_EQ(broken.Window(), nullptr);
}
