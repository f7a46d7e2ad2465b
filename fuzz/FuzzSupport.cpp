#include "FuzzSupport.h"

#include "history/DrawDeriver.h"
#include "history/HistoryStore.h"
#include "history/ParameterTable.h"
#include "store/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace FuzzSupport {

namespace {

QTemporaryDir* temporaryFolder()
{
    static QTemporaryDir* dir = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/zorvane-fuzz-XXXXXX"));
    return dir;
}

} // namespace

void initialise()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    // Settings go to a private folder, so a target never reads or writes the user's own.
    const QString config = temporaryFolder()->filePath(QStringLiteral("config"));
    QDir().mkpath(config);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    static int argc = 1;
    static char name[] = "zorvane-fuzz";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv); // lives as long as the process
}

QString utf8(const uint8_t* data, std::size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
}

const std::vector<DrawRecord>& fixedHistory()
{
    static const std::vector<DrawRecord> draws = [] {
        // A fixed sequence with every number in every position, doubles and triples among them.
        static const int numbers[][3] = {
            {3, 5, 6}, {1, 2, 4}, {6, 6, 6}, {2, 2, 5}, {1, 3, 4}, {4, 5, 6}, {1, 1, 2}, {3, 3, 3},
            {2, 4, 6}, {1, 5, 5}, {2, 3, 6}, {4, 4, 1}, {5, 6, 1}, {1, 2, 3}, {6, 5, 4}, {2, 2, 2},
            {3, 4, 5}, {1, 6, 6}, {5, 5, 3}, {2, 6, 4}, {1, 1, 1}, {4, 2, 6}, {3, 6, 2}, {5, 1, 4},
            {6, 3, 1}, {2, 5, 3}, {4, 6, 5}, {1, 4, 2}, {3, 1, 6}, {5, 2, 2}, {6, 4, 3}, {4, 1, 5},
            {2, 1, 1}, {5, 3, 6}, {6, 2, 5}, {3, 2, 1}, {1, 5, 2}, {4, 3, 4}, {5, 4, 6}, {6, 1, 3},
        };
        std::vector<DrawRecord> out;
        PreviousDraw previous;
        int index = 0;
        for (const auto& n : numbers) {
            DrawInput in;
            // Two days of twenty draws, so the date parameters change within the history.
            in.issue =
                QStringLiteral("16012%1%2").arg(1 + index / 20).arg(index % 20 + 1, 3, 10, QLatin1Char('0'));
            in.numbers = {n[0], n[1], n[2]};
            in.drawsPerDay = 78;
            DrawRecord r;
            QString error;
            if (!DrawDeriver::derive(in, previous, &r, &error))
                fail("fixed history refused", error);
            previous = PreviousDraw::of(r);
            out.push_back(r);
            ++index;
        }
        return out;
    }();
    return draws;
}

QString scratchFolder()
{
    return temporaryFolder()->path();
}

Database& scratchDatabase()
{
    static Database* db = [] {
        auto* d = new Database(QDir(scratchFolder()).filePath(QStringLiteral("formula.mdb")),
                               ParameterTable::codes());
        QString error;
        if (!d->open(&error))
            fail("scratch database", error);
        // The fuzz runs need no durability: keep the journal in memory and skip the syncs.
        QSqlQuery q(d->connection());
        q.exec(QStringLiteral("PRAGMA synchronous=OFF"));
        q.exec(QStringLiteral("PRAGMA journal_mode=MEMORY"));
        return d;
    }();
    return *db;
}

void resetScratchDatabase()
{
    Database& db = scratchDatabase();
    QSqlQuery q(db.connection());
    if (!q.exec(QStringLiteral("DELETE FROM Lishi")))
        fail("reset Lishi");
    for (const QString& table : Database::formulaTables())
        if (!q.exec(QStringLiteral("DELETE FROM %1").arg(table)))
            fail("reset formula table", table);
    HistoryStore store(&db);
    QString error;
    if (!store.append(fixedHistory(), &error))
        fail("reset history", error);
}

void fail(const char* what, const QString& detail)
{
    std::fprintf(stderr, "property broken: %s %s\n", what, detail.toUtf8().constData());
    std::fflush(stderr);
    std::abort();
}

} // namespace FuzzSupport
