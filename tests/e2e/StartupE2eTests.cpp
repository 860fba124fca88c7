// Start-up, single instance and shut-down of the real program.
#include <gtest/gtest.h>

#include "TarvelProcess.h"

namespace {

const DWORD StartLimitMs = 20000;

}  // namespace

TEST(Startup, OneInstanceRunsAndClosesCleanly)
{
    std::string folder = MakeTestFolder("startup");

    TarvelProcess first;
    ASSERT_TRUE(first.Start("", folder));
    HWND main = first.WaitForWindow("Tarvel", StartLimitMs);
    ASSERT_NE(main, nullptr) << "gave up after " << StartLimitMs << " ms waiting for the main window";
    RECT client;
    GetClientRect(main, &client);
    EXPECT_EQ(client.right - client.left, 250);
    EXPECT_EQ(client.bottom - client.top, 93);
    char caption[64] = {};
    GetWindowTextA(main, caption, sizeof caption);
    EXPECT_STREQ(caption, "Tarvel");

    // A second start finds the first, says so and ends.
    TarvelProcess second;
    ASSERT_TRUE(second.Start("", folder));
    HWND box = second.WaitForWindow("#32770", StartLimitMs);
    ASSERT_NE(box, nullptr) << "gave up after " << StartLimitMs << " ms waiting for the second instance's message box";
    // The box exists a moment before its texts are set.
    char text[128] = {};
    for (DWORD start = GetTickCount(); GetTickCount() - start < StartLimitMs; Sleep(20)) {
        GetWindowTextA(box, caption, sizeof caption);
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        if (caption[0] != '\0' && text[0] != '\0' && IsWindowVisible(box))
            break;
    }
    EXPECT_STREQ(caption, "Tarvel");
    EXPECT_STREQ(text, "すでに起動しています");
    EXPECT_EQ(second.WaitForWindow("Tarvel", 0), nullptr) << "no second main window";
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    DWORD exitCode = 1234;
    ASSERT_TRUE(second.WaitForExit(10000, &exitCode)) << "gave up after 10000 ms waiting for the program to end";
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(first.IsRunning());
    EXPECT_TRUE(IsWindow(main));

    // Closing ends the program within the play thread's time limit.
    DWORD closedAt = GetTickCount();
    PostMessageA(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(first.WaitForExit(2000, &exitCode)) << "ends within 2 s of WM_CLOSE";
    EXPECT_EQ(exitCode, 0u);
    printf("closed in %lu ms\n", static_cast<unsigned long>(GetTickCount() - closedAt));

    // The single-instance mutex went with it: a new instance starts, and
    // Escape (command 40001) closes it.
    TarvelProcess third;
    ASSERT_TRUE(third.Start("", folder));
    main = third.WaitForWindow("Tarvel", StartLimitMs);
    ASSERT_NE(main, nullptr) << "gave up after " << StartLimitMs << " ms waiting for the main window";
    PostMessageA(main, WM_COMMAND, 40001, 0);
    ASSERT_TRUE(third.WaitForExit(2000, &exitCode)) << "gave up after 2000 ms waiting for the program to end";
    EXPECT_EQ(exitCode, 0u);
}

TEST(Startup, ProgramCarriesItsIconAndAcceleratorResources)
{
    HMODULE image = LoadLibraryExA(TarvelExe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    EXPECT_NE(FindResourceA(image, MAKEINTRESOURCEA(101), MAKEINTRESOURCEA(14)), nullptr) << "icon group 101";
    EXPECT_NE(FindResourceA(image, MAKEINTRESOURCEA(111), MAKEINTRESOURCEA(9)), nullptr) << "accelerators 111";
    FreeLibrary(image);
}
