#pragma once

#include <QSettings>
#include <QString>

// The look-back entries of the settings menu: index "JSQS" -> caption and draw count (0 = all).
struct LookBackEntry
{
    QString caption;
    int draws;
};

class LookBackTable
{
public:
    static constexpr int kCount = 10;
    // The entry a fresh installation and "恢复默认设置" use: 300 draws.
    static constexpr int kDefaultIndex = 3;
    static const LookBackEntry& at(int index);
    static int draws(int index) { return index >= 0 && index < kCount ? at(index).draws : 0; }
};

// The user settings of the main window, kept under application "Pelq", section "IniSetting".
// Booleans are stored as the words True and False; integers in decimal.
class Settings
{
public:
    Settings();

    int lotteryIndex() const { return readInt("GsZl", 0); }
    void setLotteryIndex(int v) { writeInt("GsZl", v); }
    int searchDays() const { return readInt("IniSerchDay", 6); }
    void setSearchDays(int v) { writeInt("IniSerchDay", v); }
    bool calculateSelected() const { return readBool("JSFF", false); }
    void setCalculateSelected(bool v) { writeBool("JSFF", v); }
    bool resultsOnCurrentDraw() const { return readBool("LsXs", false); }
    void setResultsOnCurrentDraw(bool v) { writeBool("LsXs", v); }
    bool excludeCurrent() const { return readBool("SyBq", true); }
    void setExcludeCurrent(bool v) { writeBool("SyBq", v); }
    bool weighted() const { return readBool("ZqlJq", true); }
    void setWeighted(bool v) { writeBool("ZqlJq", v); }
    // An entry outside the menu's 0..9 (edited by hand) reads as the default.
    int lookBackIndex() const
    {
        const int v = readInt("JSQS", LookBackTable::kDefaultIndex);
        return v >= 0 && v < LookBackTable::kCount ? v : LookBackTable::kDefaultIndex;
    }
    void setLookBackIndex(int v) { writeInt("JSQS", v); }
    // "显示机会对比": the formula grid shows each formula's chance rate, excess and p value.
    bool showChanceComparison() const { return readBool("JHDB", true); }
    void setShowChanceComparison(bool v) { writeBool("JHDB", v); }

    // "留出检验期数设置(&H)...": the newest draws the back-test and the search hold out (0 = none).
    int holdOut() const { return readInt("HoldOut", 0); }
    void setHoldOut(int v) { writeInt("HoldOut", v); }

    // "开奖号码顺序...": how the results pages publish each draw's numbers, for the chance figures:
    // 0 detect from the stored draws, 1 smallest first, 2 as drawn. Any other value reads as 0.
    int publicationOrderIndex() const
    {
        const int v = readInt("HMSX", 0);
        return v >= 0 && v <= 2 ? v : 0;
    }
    void setPublicationOrderIndex(int v) { writeInt("HMSX", v); }

    // "删除或替换数据前自动备份": a copy of the database goes into "备份" before every operation that
    // deletes or replaces stored draws or formulas.
    bool backupBeforeChanges() const { return readBool("AutoBackup", true); }
    void setBackupBeforeChanges(bool v) { writeBool("AutoBackup", v); }

    // Restores the defaults of "恢复默认设置(&R)"; the lottery and calculation method stay.
    void restoreDefaults();

    // Raw access for other windows' sections.
    QString readString(const QString& group, const QString& key, const QString& fallback) const;
    void writeString(const QString& group, const QString& key, const QString& value);

    // The settings file, for messages that tell the user where to change a value.
    QString fileName() const { return m_settings.fileName(); }

    static QString boolText(bool v) { return v ? QStringLiteral("True") : QStringLiteral("False"); }

private:
    int readInt(const char* key, int fallback) const;
    bool readBool(const char* key, bool fallback) const;
    void writeInt(const char* key, int v);
    void writeBool(const char* key, bool v);

    mutable QSettings m_settings;
};
