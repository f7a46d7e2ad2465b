#include "store/Database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#include <filesystem>
#include <system_error>

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

QString Database::errorText(const QSqlError& error)
{
    if (isLocked(error))
        return QStringLiteral("另一个程序正在使用数据文件夹（数据库文件被锁定，等待%1秒后仍未释放）。"
                              "请关闭正在使用它的程序后再试")
            .arg(kBusyTimeoutMs / 1000);
    return error.text();
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
                         .arg(nativePath(m_filePath), errorText(db.lastError()));
            db = QSqlDatabase();
            close();
            return false;
        }
        // SQLite opens lazily: reading the catalogue is what finds a file that is not a database.
        QSqlQuery probe(db);
        if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
            if (isLocked(probe.lastError()))
                *error = QStringLiteral("无法打开数据库“%1”：%2。")
                             .arg(nativePath(m_filePath), errorText(probe.lastError()));
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
    if (!ensureSchema(error)) {
        close();
        return false;
    }
    return true;
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
            *error = QStringLiteral("无法建立数据表%1：%2").arg(table, errorText(q.lastError()));
            return false;
        }
        return true;
    }
    for (const auto& [name, type] : columns) {
        if (existing.contains(name))
            continue;
        if (!q.exec(QStringLiteral("ALTER TABLE \"%1\" ADD COLUMN \"%2\" %3").arg(table, name, type))) {
            *error = QStringLiteral("无法为数据表%1增加列%2：%3").arg(table, name, errorText(q.lastError()));
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
                *error = QStringLiteral("无法建立数据表Errarr：%1").arg(errorText(q.lastError()));
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
    if (QFile::exists(tmpPath) && !QFile::remove(tmpPath)) {
        *error = QStringLiteral("无法删除临时文件“%1”。").arg(nativePath(tmpPath));
        return false;
    }
    {
        QSqlQuery q(connection());
        QString quoted = tmpPath;
        quoted.replace('\'', "''");
        if (!q.exec(QStringLiteral("VACUUM INTO '%1'").arg(quoted))) {
            *error = QStringLiteral("压缩数据库失败：%1").arg(errorText(q.lastError()));
            return false;
        }
    }
    close();
    QFile::remove(swapPath);
    bool swapped = QFile::copy(tmpPath, swapPath);
    if (swapped) {
        std::error_code ec;
        std::filesystem::rename(swapPath.toStdString(), m_filePath.toStdString(), ec);
        swapped = !ec;
    }
    QString reopenError;
    const bool reopened = open(&reopenError);
    if (!swapped) {
        QFile::remove(swapPath);
        *error = QStringLiteral("压缩数据库时无法替换“%1”；原文件保持不变。").arg(nativePath(m_filePath));
        return false;
    }
    if (!reopened) {
        *error = reopenError;
        return false;
    }
    return true;
}

Transaction::Transaction(QSqlDatabase db) : m_db(db) {}

Transaction::~Transaction()
{
    if (m_active)
        m_db.rollback();
}

bool Transaction::begin(QString* error)
{
    if (!m_db.transaction()) {
        *error = QStringLiteral("无法开始数据库事务：%1").arg(Database::errorText(m_db.lastError()));
        return false;
    }
    m_active = true;
    return true;
}

bool Transaction::commit(QString* error)
{
    if (!m_db.commit()) {
        *error = QStringLiteral("无法提交数据库事务：%1").arg(Database::errorText(m_db.lastError()));
        m_db.rollback();
        m_active = false;
        return false;
    }
    m_active = false;
    return true;
}
