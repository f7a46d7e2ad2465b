#pragma once

#include <QString>

class Settings;
class QWidget;

// What the three guide buttons open: the user guide shipped with the program, and the
// demonstration video and slides, whose addresses whoever distributes the program sets in the
// settings (section "IniSetting": HelpGuideUrl, HelpVideoUrl, HelpSlidesUrl).
class HelpLinks
{
public:
    enum class Link
    {
        Guide,
        Video,
        Slides
    };

    static QString settingKey(Link link);
    // A web address or a local file; empty when there is nothing to open.
    static QString address(const Settings& settings, Link link);
    // The user guide: the installed copy, else the one of the source tree the program was built
    // from; empty when neither exists.
    static QString userGuidePath();
    // What the guide buttons do: opens the link's address, or says where to set one; tells the
    // user when nothing can open it.
    static void open(QWidget* parent, const Settings& settings, Link link);
};
