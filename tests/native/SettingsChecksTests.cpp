#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "settings/SettingsChecks.h"

TEST(SettingsChecks, OnlyWellFormedValuesAreTaken)
{
    const std::uint32_t number = 0xFFFFFFFB;  // -5
    EXPECT_EQ(StoredDword(StoredNumber, &number, 4), -5);
    EXPECT_EQ(StoredDword(StoredText, &number, 4), std::nullopt) << "a text under a number's name";
    EXPECT_EQ(StoredDword(StoredNumber, &number, 2), std::nullopt);
    EXPECT_EQ(StoredDword(11 /* a 64-bit number */, &number, 8), std::nullopt);

    EXPECT_EQ(StoredString(StoredText, "C:\\Music", 9), "C:\\Music");
    EXPECT_EQ(StoredString(StoredText, "", 1), "") << "an empty text is a text";
    EXPECT_EQ(StoredString(StoredText, "C:\\Mu", 5), std::nullopt) << "no terminator";
    EXPECT_EQ(StoredString(StoredNumber, "abc", 4), std::nullopt);
    std::string longest(255, 'x');
    EXPECT_EQ(StoredString(StoredText, longest.c_str(), 256), longest);
    std::string tooLong(256, 'x');
    EXPECT_EQ(StoredString(StoredText, tooLong.c_str(), 257), std::nullopt);

    for (std::int32_t scale : {1, 2, 4})
        EXPECT_EQ(CheckedScale(scale), scale);
    for (std::int32_t scale : {0, 3, -1, 8})
        EXPECT_EQ(CheckedScale(scale), 1) << scale;
    EXPECT_EQ(CheckedRepeat(2), 2);
    EXPECT_EQ(CheckedRepeat(7), 0);
    EXPECT_EQ(CheckedRepeat(-1), 0);
    EXPECT_EQ(CheckedFlag(1, 0), 1);
    EXPECT_EQ(CheckedFlag(2, 1), 1);
    EXPECT_EQ(CheckedTrack(2, 3), 2);
    EXPECT_EQ(CheckedTrack(3, 3), 0);
    EXPECT_EQ(CheckedTrack(99999, 3), 0);
    EXPECT_EQ(CheckedTrack(-5, 3), 0);
    EXPECT_EQ(CheckedTrack(0, 0), 0);
}

TEST(SettingsChecks, AWindowMustBeReachableOnAMonitorAsTheyAreNow)
{
    const WindowPlace fallback{0, 100, 639, 350};
    const std::vector<ScreenRect> one{{0, 0, 1280, 1024}};
    const std::vector<ScreenRect> two{{0, 0, 1280, 1024}, {1280, 0, 3200, 1080}};
    auto same = [](const WindowPlace& a, const WindowPlace& b) {
        return a.X == b.X && a.Y == b.Y && a.Width == b.Width && a.Height == b.Height;
    };
    EXPECT_TRUE(same(CheckedPlace({300, 200, 500, 400}, fallback, one), {300, 200, 500, 400}));
    EXPECT_TRUE(same(CheckedPlace({30000, 30000, 250, 93}, fallback, one), fallback)) << "off every monitor";
    EXPECT_TRUE(same(CheckedPlace({2000, 50, 500, 400}, fallback, one), fallback)) << "on a monitor removed since";
    EXPECT_TRUE(same(CheckedPlace({2000, 50, 500, 400}, fallback, two), {2000, 50, 500, 400}));
    EXPECT_TRUE(same(CheckedPlace({1270, 10, 500, 400}, fallback, one), fallback)) << "10 pixels in view";
    EXPECT_TRUE(same(CheckedPlace({1250, 10, 500, 400}, fallback, one), {1250, 10, 500, 400}));
    EXPECT_TRUE(same(CheckedPlace({300, 200, -5, 400}, fallback, one), fallback));
    EXPECT_TRUE(same(CheckedPlace({300, 200, 500, 0}, fallback, one), fallback));
    EXPECT_TRUE(same(CheckedPlace({2147483000, 0, 2000, 400}, fallback, one), fallback)) << "no wrap-around";
    EXPECT_TRUE(same(CheckedPlace({300, 200, 500, 400}, fallback, {}), fallback));
}
