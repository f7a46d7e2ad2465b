#pragma once

#include <QString>

class QWidget;
class Settings;

// "历史号码更新检索天数设置(&D)": how many days of draws the online update keeps and fetches.
class SearchDaysDialog
{
public:
    // Offers the stored setting, or 6 (what the update uses then) when it lies outside 2..10.
    // Asks until the answer is a whole number from 2 to 10, which is stored as "IniSerchDay";
    // any other answer is explained and asked again. An empty answer or a cancelled box changes
    // nothing. True when a value was stored. Nothing is fetched or deleted here.
    static bool ask(QWidget* parent, Settings& settings);
    // The answer as a number of days; false unless it is a whole number from 2 to 10.
    static bool parseDays(const QString& answer, int* days);
};
