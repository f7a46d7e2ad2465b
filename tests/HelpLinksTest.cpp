#include "app/HelpLinks.h"
#include "store/Settings.h"

#include <gtest/gtest.h>

TEST(HelpLinks, TheGuideIsShippedTheOthersAreSetByTheDistributor)
{
    Settings s;
    for (HelpLinks::Link link : {HelpLinks::Link::Guide, HelpLinks::Link::Video, HelpLinks::Link::Slides})
        s.writeString("IniSetting", HelpLinks::settingKey(link), QString());
    // Built from a source tree, the program finds its README there.
    const QString guide = HelpLinks::userGuidePath();
    ASSERT_FALSE(guide.isEmpty());
    EXPECT_TRUE(guide.endsWith("README.md"));
    EXPECT_EQ(HelpLinks::address(s, HelpLinks::Link::Guide), guide);
    EXPECT_TRUE(HelpLinks::address(s, HelpLinks::Link::Video).isEmpty());
    s.writeString("IniSetting", "HelpVideoUrl", " https://example.org/zorvane.mp4 ");
    EXPECT_EQ(HelpLinks::address(s, HelpLinks::Link::Video), "https://example.org/zorvane.mp4");
    s.writeString("IniSetting", "HelpVideoUrl", QString());
}
