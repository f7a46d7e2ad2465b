#pragma once

#include <QString>
#include <QUrl>

class Settings;

// Where a lottery's results page is loaded from: "http://" + province code + results host, path
// "/" and the query "n" = the number of draws the page is to list. The host is the setting
// "ResultsHost" of section "IniSetting"; a base address given by the caller (the command line's
// --base-url) replaces everything before the path.
class ResultsPageAddress
{
public:
    static const QString& defaultHost();
    static QString host(const Settings& settings);
    // "http://" + provinceCode + host.
    static QString base(const QString& provinceCode, const QString& host);
    // base + "/?n=" + drawCount; a trailing "/" of base is not doubled.
    static QUrl page(const QString& base, int drawCount);

    // The 设置 entry where the online sources are set, and the sentence that sends the user there
    // after a failed update, naming what to check there.
    static QString sourcesEntry();
    static QString sourcesHint(const QString& what);
};
