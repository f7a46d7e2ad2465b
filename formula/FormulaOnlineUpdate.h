#pragma once

#include "formula/FormulaImport.h"
#include "formula/FormulaKind.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

class Settings;
class Workspace;
struct FetchResult;
struct FetchWording;

// What the caller may fix for one update; the defaults are those of the window.
struct FormulaUpdateOptions
{
    QString url;       // empty: the setting "FormulaUrl"
    int timeoutMs = 0; // 0: the default time bound of the download
};

// "公式在线更新（&W)": downloads the published formula file, keeps it unchanged as "Pelq.txt" in
// the data folder and replaces every stored formula by the file's. The file is read like a file
// import, except that a line with no decoration loses its first five characters, rejected lines
// are skipped without a file, and a change of kind does not prepare the table. The clearing and
// the import are one transaction: a download that fails, a file of 1024 bytes or less, a file
// without a single formula, or a database failure leave the stored formulas as they were.
class FormulaOnlineUpdate
{
public:
    // A published formula file is longer than this.
    static constexpr qint64 kMaxShortFileBytes = 1024;
    static constexpr int kNoBracketOffset = 5;

    static const QString& defaultUrl();
    // The setting "FormulaUrl" of section "IniSetting", or the default.
    static QString url(const Settings& settings);
    static QString localFileName(); // "Pelq.txt"
    static QString title();         // "读入历史"
    static QString question();
    // The download's messages, naming the formula server and file.
    static FetchWording wording();

    // `currentKind` and `currentKill` are those of the window: lines without a kind go to that
    // kind, lines without a sense keep the sense in force.
    FormulaOnlineUpdate(Workspace& workspace, const FormulaKind& currentKind, bool currentKill,
                        const FormulaUpdateOptions& options = {});

    QUrl address() const { return m_url; }
    int timeout() const { return m_timeoutMs; }

    // Stores a finished download and replaces the formulas. Returns false with the reason and
    // that nothing changed in `message`; on success `message` is summary().
    bool finish(const FetchResult& fetched, QString* message);
    // The whole update without a window: download (waiting in a local event loop), then finish().
    bool runBlocking(QString* message);

    // After finish() failed: the download failed or what came was no formula file (as opposed to
    // a cancel or a failure of the data folder or the database), so the address may be wrong.
    bool failedAtSource() const { return m_failedAtSource; }
    const FormulaImportResult& imported() const { return m_imported; }
    QString localPath() const;
    QString summary() const;
    static QString failureMessage(const QString& reason);

private:
    bool replaceFormulas(const QByteArray& bytes, QString* error);

    Workspace& m_workspace;
    FormulaKind m_kind;
    bool m_kill;
    QUrl m_url;
    int m_timeoutMs;
    FormulaImportResult m_imported;
    bool m_failedAtSource = false;
};
