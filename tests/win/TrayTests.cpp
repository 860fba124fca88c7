// The tray icon's tip inside the test process, where the player's accessors
// tell what was sent to the shell.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "PlayerTest.h"
#include "TestWave.h"
#include "core/Player.h"
#include "resources/resource.h"

namespace {

class TrayTest : public PlayerTest {
protected:
    TrayTest() : PlayerTest("tray") {}
};

// Whether `text` ends inside a double-byte character of code page 932.
bool EndsMidCharacter(const std::string& text)
{
    bool lead = false;
    for (unsigned char c : text)
        lead = !lead && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC));
    return lead;
}

}  // namespace

TEST_F(TrayTest, TheTipFollowsTheTrackIsCutWholeAndIsSentOnlyWhenItChanges)
{
    // Twelve entries; the fourth has a title of 40 double-byte characters.
    for (int i = 0; i < 12; ++i) {
        std::string name = "t" + std::to_string(i);
        if (i == 3)
            for (int k = 0; k < 40; ++k)
                name += "曲";
        const std::string path = folder + "\\" + name + ".wav";
        WriteToneWave(path, 2, 4.0, 1000);
        player->Engine.AddFile(path.c_str());
    }
    SendMessageA(player->MainWindow, WM_COMMAND, IDC_TO_TRAY, 0);
    ASSERT_TRUE(player->Tray.InTray());
    EXPECT_FALSE(IsWindowVisible(player->MainWindow));

    player->Engine.PlayChosen(2);
    ASSERT_TRUE(WaitFor("the tip of entry 3", 3000, [&] { return player->Tray.Tip() == "t2 -  0003/0012"; }))
        << player->Tray.Tip();
    const int changes = player->Tray.TipChanges();
    Pump(2500);  // the play thread goes on passing by the tip
    EXPECT_EQ(player->Tray.TipChanges(), changes) << "an unchanged tip is not sent again";

    SendMessageA(player->MainWindow, WM_COMMAND, IDC_NEXT, 0);
    ASSERT_TRUE(WaitFor("the tip of entry 4", 3000, [&] { return player->Tray.Tip().rfind("t3", 0) == 0; }));
    const std::string tip = player->Tray.Tip();
    EXPECT_LE(tip.size(), 63u);
    EXPECT_GE(tip.size(), 62u);
    EXPECT_FALSE(EndsMidCharacter(tip)) << "cut inside a character";

    player->Tray.OnTrayNotify(1, WM_LBUTTONDOWN);
    EXPECT_FALSE(player->Tray.InTray());
    EXPECT_TRUE(IsWindowVisible(player->MainWindow));
}
