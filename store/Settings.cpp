#include "store/Settings.h"

#include <array>

const LookBackEntry& LookBackTable::at(int index)
{
    static const std::array<LookBackEntry, kCount> table = {{
        {QStringLiteral("前所有期"), 0},
        {QStringLiteral("前100期"), 100},
        {QStringLiteral("前200期"), 200},
        {QStringLiteral("前300期"), 300},
        {QStringLiteral("前500期"), 500},
        {QStringLiteral("前600期"), 600},
        {QStringLiteral("前800期"), 800},
        {QStringLiteral("前1000期"), 1000},
        {QStringLiteral("前1500期"), 1500},
        {QStringLiteral("前3000期"), 3000},
    }};
    return table[index];
}

Settings::Settings()
    : m_settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Pelq"), QStringLiteral("Pelq"))
{
}

QString Settings::readString(const QString& group, const QString& key, const QString& fallback) const
{
    return m_settings.value(group + '/' + key, fallback).toString();
}

void Settings::writeString(const QString& group, const QString& key, const QString& value)
{
    m_settings.setValue(group + '/' + key, value);
    m_settings.sync();
}

int Settings::readInt(const char* key, int fallback) const
{
    bool ok = false;
    const int v = readString("IniSetting", key, QString::number(fallback)).trimmed().toInt(&ok);
    return ok ? v : fallback;
}

bool Settings::readBool(const char* key, bool fallback) const
{
    const QString v = readString("IniSetting", key, boolText(fallback)).trimmed();
    if (v.compare("True", Qt::CaseInsensitive) == 0 || v == "-1" || v == "1")
        return true;
    if (v.compare("False", Qt::CaseInsensitive) == 0 || v == "0")
        return false;
    return fallback;
}

void Settings::writeInt(const char* key, int v)
{
    writeString("IniSetting", key, QString::number(v));
}

void Settings::writeBool(const char* key, bool v)
{
    writeString("IniSetting", key, boolText(v));
}

void Settings::restoreDefaults()
{
    setResultsOnCurrentDraw(false);
    setExcludeCurrent(true);
    setWeighted(true);
    setSearchDays(6);
    setLookBackIndex(LookBackTable::kDefaultIndex);
    setShowChanceComparison(true);
    setHoldOut(0);
    setPublicationOrderIndex(0);
}
