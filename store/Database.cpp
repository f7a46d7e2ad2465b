#include "store/Database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>
#include <QUuid>

#include <filesystem>
#include <sqlite3.h>
#include <system_error>
#include <unistd.h>

namespace {

QString nativePath(const QString& p)
{
    return QDir::toNativeSeparators(QFileInfo(p).absoluteFilePath());
}

QList<QPair<QString, QString>> lishiColumns(const QStringList& drawParameterColumns)
{
    QList<QPair<QString, QString>> c;
    c.append(qMakePair(QString("strQQH"), QString("TEXT")));
    for (const QString& code : drawParameterColumns)
        c.append(qMakePair(code, QString("INTEGER")));
    c.append(qMakePair(QString("canshu"), QString("REAL")));
    c.append(qMakePair(QString("PreCanshu"), QString("REAL")));
    c.append(qMakePair(QString("GSZCS"), QString("REAL")));
    c.append(qMakePair(QString("GSCS"), QString("INTEGER")));
    c.append(qMakePair(QString("GSGL"), QString("INTEGER")));
    return c;
}

QList<QPair<QString, QString>> formulaColumns()
{
    return {{"idx", "INTEGER"},          {"gongshi", "TEXT"},        {"gongshiCN", "TEXT"},
            {"bolKill", "INTEGER"},      {"sglGsRate", "REAL"},      {"intGsErrCon", "INTEGER"},
            {"intGsTrueCon", "INTEGER"}, {"intGsErrLst", "INTEGER"}, {"intGsTrueLst", "INTEGER"}};
}

} // namespace

const QStringList& Database::formulaTables()
{
    static const QStringList tables = {"Gongshi1D", "Gongshi2D", "Gongshi3D", "Gongshi2G", "Gongshi3G"};
    return tables;
}

bool Database::isLocked(const QSqlError& error)
{
    // SQLite's SQLITE_BUSY (5) and SQLITE_LOCKED (6), also in their extended forms.
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    if (ok && ((code & 0xff) == 5 || (code & 0xff) == 6))
        return true;
    return error.databaseText().contains(QLatin1String("database is locked"), Qt::CaseInsensitive) ||
           error.databaseText().contains(QLatin1String("database table is locked"), Qt::CaseInsensitive);
}

namespace {

// SQLite's primary result code of a failed statement, or -1.
int sqliteCode(const QSqlError& error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? code & 0xff : -1;
}

constexpr int kSqliteReadOnly = 8;
constexpr int kSqliteIoError = 10;
constexpr int kSqliteFull = 13;

} // namespace

bool Database::isWriteFailure(const QSqlError& error)
{
    const int code = sqliteCode(error);
    return code == kSqliteFull || code == kSqliteIoError || code == kSqliteReadOnly;
}

QString Database::errorText(const QSqlError& error, const QString& filePath)
{
    if (isLocked(error))
        return QStringLiteral("另一个程序正在使用数据文件夹（数据库文件被锁定，等待%1秒后仍未释放）。"
                              "请关闭正在使用它的程序后再试")
            .arg(kBusyTimeoutMs / 1000);
    const QString file = filePath.isEmpty() ? QStringLiteral("数据库文件")
                                            : QStringLiteral("文件“%1”").arg(nativePath(filePath));
    switch (sqliteCode(error)) {
    case kSqliteFull:
        return QStringLiteral("磁盘已满，无法写入%1（%2）").arg(file, error.databaseText());
    case kSqliteIoError:
        // Also what a write past a file-size limit gives.
        return QStringLiteral("无法写入%1：磁盘已满或读写出错（%2）").arg(file, error.databaseText());
    case kSqliteReadOnly:
        return QStringLiteral("无法写入%1：文件是只读的（%2）").arg(file, error.databaseText());
    default:
        return error.text();
    }
}

Database::Database(const QString& filePath, const QStringList& drawParameterColumns)
    : m_filePath(filePath), m_drawParameterColumns(drawParameterColumns),
      m_connectionName(QStringLiteral("zorvane-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

Database::~Database()
{
    close();
}

bool Database::isOpen() const
{
    return QSqlDatabase::contains(m_connectionName) && connection().isOpen();
}

QSqlDatabase Database::connection() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

void Database::close()
{
    if (!QSqlDatabase::contains(m_connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool Database::open(QString* error)
{
    close();
    const QFileInfo info(m_filePath);
    const bool existed = info.exists();
    if (existed && !info.isFile()) {
        *error = QStringLiteral("数据库“%1”不是文件，无法打开。").arg(nativePath(m_filePath));
        return false;
    }
    if (!existed && !QFileInfo(info.absolutePath()).isWritable()) {
        *error = QStringLiteral("无法在文件夹“%1”中创建数据库“formula.mdb”：该文件夹不可写。")
                     .arg(QDir::toNativeSeparators(info.absolutePath()));
        return false;
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        db.setDatabaseName(m_filePath);
        // Another program (the window, or a second command line) may be writing: wait for it.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
        if (!db.open()) {
            *error = QStringLiteral("无法打开数据库“%1”：%2")
                         .arg(nativePath(m_filePath), errorText(db.lastError(), m_filePath));
            db = QSqlDatabase();
            close();
            return false;
        }
        // SQLite opens lazily: reading the catalogue is what finds a file that is not a database.
        QSqlQuery probe(db);
        if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
            if (isLocked(probe.lastError()))
                *error = QStringLiteral("无法打开数据库“%1”：%2。")
                             .arg(nativePath(m_filePath), errorText(probe.lastError(), m_filePath));
            else
                *error = QStringLiteral("数据库文件“%1”已损坏或不是本程序的数据库（%2）。文件没有被修改；"
                                        "请移走或修复该文件后再启动。")
                             .arg(nativePath(m_filePath), probe.lastError().text());
            probe = QSqlQuery();
            db = QSqlDatabase();
            close();
            return false;
        }
    }
    // An older file is copied before columns or tables are added to it.
    if (existed && m_beforeUpgrade && !schemaIsCurrentOrNew() && !m_beforeUpgrade(error)) {
        close();
        return false;
    }
    if (!ensureSchema(error)) {
        close();
        return false;
    }
    return true;
}

bool Database::schemaIsCurrentOrNew() const
{
    QSqlDatabase db = connection();
    QList<QPair<QString, QList<QPair<QString, QString>>>> expected;
    expected.append({QStringLiteral("Lishi"), lishiColumns(m_drawParameterColumns)});
    for (const QString& t : formulaTables())
        expected.append({t, formulaColumns()});
    expected.append({QStringLiteral("Errarr"), {{"Num", "INTEGER"}, {"ETrrcount", "INTEGER"}}});
    expected.append(
        {QStringLiteral("ErrarrLei"),
         {{"Num", "INTEGER"}, {"ETrrcount", "INTEGER"}, {"Errcount", "INTEGER"}, {"Trrcount", "INTEGER"}}});
    bool anyTable = false;
    bool complete = true;
    for (const auto& [table, columns] : expected) {
        const QSqlRecord existing = db.record(table);
        if (existing.isEmpty()) {
            complete = false;
            continue;
        }
        anyTable = true;
        for (const auto& column : columns)
            if (!existing.contains(column.first))
                complete = false;
    }
    return complete || !anyTable;
}

bool Database::ensureTable(const QString& table, const QList<QPair<QString, QString>>& columns,
                           QString* error)
{
    QSqlDatabase db = connection();
    const QSqlRecord existing = db.record(table);
    QSqlQuery q(db);
    if (existing.isEmpty()) {
        QStringList defs;
        for (const auto& [name, type] : columns)
            defs << QStringLiteral("\"%1\" %2").arg(name, type);
        if (!q.exec(QStringLiteral("CREATE TABLE \"%1\" (%2)").arg(table, defs.join(", ")))) {
            *error = QStringLiteral("无法建立数据表%1：%2").arg(table, errorText(q.lastError(), m_filePath));
            return false;
        }
        return true;
    }
    for (const auto& [name, type] : columns) {
        if (existing.contains(name))
            continue;
        if (!q.exec(QStringLiteral("ALTER TABLE \"%1\" ADD COLUMN \"%2\" %3").arg(table, name, type))) {
            *error = QStringLiteral("无法为数据表%1增加列%2：%3")
                         .arg(table, name, errorText(q.lastError(), m_filePath));
            return false;
        }
    }
    return true;
}

bool Database::ensureSchema(QString* error)
{
    QSqlDatabase db = connection();
    Transaction tx(db);
    if (!tx.begin(error))
        return false;
    if (!ensureTable("Lishi", lishiColumns(m_drawParameterColumns), error))
        return false;
    for (const QString& t : formulaTables())
        if (!ensureTable(t, formulaColumns(), error))
            return false;
    const bool hadErrarr = !db.record("Errarr").isEmpty();
    if (!ensureTable("Errarr", {{"Num", "INTEGER"}, {"ETrrcount", "INTEGER"}}, error))
        return false;
    if (!ensureTable(
            "ErrarrLei",
            {{"Num", "INTEGER"}, {"ETrrcount", "INTEGER"}, {"Errcount", "INTEGER"}, {"Trrcount", "INTEGER"}},
            error))
        return false;
    QSqlQuery q(db);
    if (!hadErrarr) {
        for (int n = 1; n <= 6; ++n) {
            if (!q.exec(QStringLiteral("INSERT INTO Errarr (Num, ETrrcount) VALUES (%1, 0)").arg(n))) {
                *error = QStringLiteral("无法建立数据表Errarr：%1").arg(errorText(q.lastError(), m_filePath));
                return false;
            }
        }
    }
    // Issue numbers are unique; an older file that already holds duplicates keeps them, and the
    // append path checks before it writes.
    q.exec(QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS LishiIssue ON Lishi (strQQH)"));
    return tx.commit(error);
}

bool Database::compact(QString* error)
{
    const QFileInfo info(m_filePath);
    const QString tmpPath = info.absoluteDir().filePath(QStringLiteral("formulaTmp.mdb"));
    const QString swapPath = info.absoluteDir().filePath(QStringLiteral("formula.mdb.swap"));
    // Compaction follows a deletion that is already stored: a failure here loses nothing.
    auto fail = [&](const QString& reason) {
        *error =
            QStringLiteral(
                "已删除的内容已经保存，但是压缩数据库没有完成：%1。数据库“%2”完好，下次删除后会再次压缩。")
                .arg(reason, nativePath(m_filePath));
        return false;
    };
    if (QFile::exists(tmpPath) && !QFile::remove(tmpPath))
        return fail(QStringLiteral("无法删除临时文件“%1”").arg(nativePath(tmpPath)));
    {
        QSqlQuery q(connection());
        QString quoted = tmpPath;
        quoted.replace('\'', "''");
        if (!q.exec(QStringLiteral("VACUUM INTO '%1'").arg(quoted))) {
            const QString reason = errorText(q.lastError(), tmpPath);
            q = QSqlQuery();
            QFile::remove(tmpPath); // a cut-off copy only takes room on a full disk
            return fail(reason);
        }
    }
    close();
    // The compacted copy goes in under a name of its own, reaches the disk, and only then takes
    // the place of "formula.mdb" in one rename: the file is always the old or the new database.
    QFile::remove(swapPath);
    QFile copy(tmpPath);
    QString swapError;
    if (!copy.copy(swapPath)) {
        swapError = QStringLiteral("无法写入文件“%1”：%2").arg(nativePath(swapPath), copy.errorString());
    } else {
        QFile swap(swapPath);
        if (!swap.open(QIODevice::ReadWrite) || ::fsync(swap.handle()) != 0)
            swapError = QStringLiteral("无法写入文件“%1”：%2").arg(nativePath(swapPath), swap.errorString());
    }
    if (swapError.isEmpty()) {
        std::error_code ec;
        std::filesystem::rename(QFile::encodeName(swapPath).toStdString(),
                                QFile::encodeName(m_filePath).toStdString(), ec);
        if (ec)
            swapError = QStringLiteral("无法用压缩后的副本替换“%1”：%2")
                            .arg(nativePath(m_filePath), QString::fromStdString(ec.message()));
    }
    if (!swapError.isEmpty())
        QFile::remove(swapPath);
    QString reopenError;
    if (!open(&reopenError)) {
        *error = reopenError;
        return false;
    }
    return swapError.isEmpty() || fail(swapError);
}

namespace {

// The SQLite connection under Qt's driver: the backup runs on it.
sqlite3* sqliteHandle(const QSqlDatabase& db)
{
    if (!db.isOpen() || !db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

// What a failed backup step means for the file `path` being written.
QString backupFailureText(int code, const char* detail, const QString& path)
{
    const QString file = nativePath(path);
    const QString why = QString::fromUtf8(detail);
    switch (code & 0xff) {
    case SQLITE_FULL:
        return QStringLiteral("磁盘已满，无法写入文件“%1”（%2）").arg(file, why);
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
        return QStringLiteral("无法写入文件“%1”：磁盘已满或读写出错（%2）").arg(file, why);
    case SQLITE_READONLY:
        return QStringLiteral("无法写入文件“%1”：文件是只读的（%2）").arg(file, why);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("另一个程序正在使用数据文件夹（数据库文件被锁定，等待%1秒后仍未释放）。"
                              "请关闭正在使用它的程序后再试")
            .arg(Database::kBusyTimeoutMs / 1000);
    default:
        return QStringLiteral("无法复制数据库到“%1”：%2").arg(file, why);
    }
}

// Copies the whole database `from` into `to` in one step, waiting for another program's lock up to
// the busy timeout. Returns SQLite's result code; *detail receives its text.
int copyDatabase(sqlite3* to, sqlite3* from, QString* detail)
{
    sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
    if (!backup) {
        *detail = QString::fromUtf8(sqlite3_errmsg(to));
        return sqlite3_errcode(to);
    }
    int code = SQLITE_OK;
    for (int waited = 0;; waited += 50) {
        code = sqlite3_backup_step(backup, -1);
        if ((code != SQLITE_BUSY && code != SQLITE_LOCKED) || waited >= Database::kBusyTimeoutMs)
            break;
        QThread::msleep(50);
    }
    const int finished = sqlite3_backup_finish(backup);
    if (code == SQLITE_DONE)
        code = finished;
    *detail = QString::fromUtf8(sqlite3_errstr(code));
    return code;
}

} // namespace

bool Database::backupTo(const QString& path, QString* error) const
{
    sqlite3* source = sqliteHandle(connection());
    if (!source) {
        *error = QStringLiteral("数据库没有打开，无法备份。");
        return false;
    }
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    sqlite3* target = nullptr;
    int code = sqlite3_open_v2(QFile::encodeName(part).constData(), &target,
                               SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    QString detail;
    if (code == SQLITE_OK)
        code = copyDatabase(target, source, &detail);
    else
        detail = QString::fromUtf8(sqlite3_errstr(code));
    const int closed = sqlite3_close(target);
    if (code == SQLITE_OK && closed != SQLITE_OK) {
        code = closed;
        detail = QString::fromUtf8(sqlite3_errstr(code));
    }
    std::error_code ec;
    if (code == SQLITE_OK)
        std::filesystem::rename(QFile::encodeName(part).toStdString(), QFile::encodeName(path).toStdString(),
                                ec);
    if (code != SQLITE_OK || ec) {
        QFile::remove(part);
        QFile::remove(part + QStringLiteral("-journal"));
        *error = ec ? QStringLiteral("无法写入文件“%1”：%2")
                          .arg(nativePath(path), QString::fromStdString(ec.message()))
                    : backupFailureText(code, detail.toUtf8().constData(), path);
        return false;
    }
    return true;
}

bool Database::restoreFrom(const QString& path, QString* error)
{
    sqlite3* target = sqliteHandle(connection());
    if (!target) {
        *error = QStringLiteral("数据库没有打开，无法恢复。");
        return false;
    }
    sqlite3* source = nullptr;
    int code = sqlite3_open_v2(QFile::encodeName(path).constData(), &source, SQLITE_OPEN_READONLY, nullptr);
    QString detail;
    if (code == SQLITE_OK)
        code = copyDatabase(target, source, &detail);
    else
        detail = QString::fromUtf8(sqlite3_errstr(code));
    sqlite3_close(source);
    if (code != SQLITE_OK) {
        // The database file is what was being written; an unreadable backup is named as such.
        *error = code == SQLITE_CANTOPEN || (code & 0xff) == SQLITE_NOTADB
                     ? QStringLiteral("无法读取备份“%1”：%2").arg(nativePath(path), detail)
                     : backupFailureText(code, detail.toUtf8().constData(), m_filePath);
        return false;
    }
    // The tables and columns of the restored file are those of its time: opening adds what is missing.
    return open(error);
}

Transaction::Transaction(QSqlDatabase db) : m_db(db) {}

Transaction::~Transaction()
{
    if (m_active)
        m_db.rollback();
}

bool Transaction::begin(QString* error)
{
    // The write lock is taken at once: a second program that writes the same file then waits for
    // it here (up to the busy timeout) instead of failing half-way, when it would have read under
    // one lock and found the other program about to write.
    QSqlQuery begin(m_db);
    if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        *error = QStringLiteral("无法开始数据库事务：%1")
                     .arg(Database::errorText(begin.lastError(), m_db.databaseName()));
        return false;
    }
    m_active = true;
    return true;
}

bool Transaction::commit(QString* error)
{
    // COMMIT as a statement of its own: its error keeps SQLite's code (a full disk shows at commit).
    QSqlQuery commit(m_db);
    if (!commit.exec(QStringLiteral("COMMIT"))) {
        *error = QStringLiteral("无法提交数据库事务：%1")
                     .arg(Database::errorText(commit.lastError(), m_db.databaseName()));
        m_db.rollback();
        m_active = false;
        return false;
    }
    m_active = false;
    return true;
}
