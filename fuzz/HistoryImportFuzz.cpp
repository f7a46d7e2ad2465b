// The history text import into a scratch database that already holds a fixed history. The first
// byte picks the lottery (its draws per day); the rest is the file. All or nothing: a refused file
// leaves the history as it was, an accepted one adds every line.
#include "FuzzSupport.h"

#include "history/HistoryImport.h"
#include "history/HistoryStore.h"
#include "history/LotteryTable.h"
#include "store/Database.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::initialise();
    if (size < 1)
        return 0;
    static bool ready = false;
    if (!ready) {
        FuzzSupport::resetScratchDatabase();
        ready = true;
    }
    Database& db = FuzzSupport::scratchDatabase();
    const int lottery = data[0] % LotteryTable::kCount;
    const QByteArray file(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    HistoryStore store(&db);
    QString error;
    if (!store.reload(&error))
        FuzzSupport::fail("reload", error);
    const std::size_t before = store.draws().size();
    QStringList problems;
    const int added =
        HistoryImport::importText(&store, file, LotteryTable::at(lottery).drawsPerDay, &problems);

    HistoryStore reread(&db);
    if (!reread.reload(&error))
        FuzzSupport::fail("reload after import", error);
    if (added < 0) {
        if (problems.isEmpty())
            FuzzSupport::fail("refused without a reason");
        if (reread.draws().size() != before)
            FuzzSupport::fail("refused import changed the history");
        return 0;
    }
    if (!problems.isEmpty())
        FuzzSupport::fail("accepted with problems", problems.join('\n'));
    if (reread.draws().size() != before + std::size_t(added))
        FuzzSupport::fail("accepted import stored a different count");
    for (const DrawRecord& d : reread.draws()) {
        for (int p = 1; p <= 3; ++p)
            if (d.number(p) < 1 || d.number(p) > 6)
                FuzzSupport::fail("stored a number out of 1..6", d.issue);
    }
    // Back to the fixed history for the next input (an import may also add issues older than it).
    if (added > 0)
        FuzzSupport::resetScratchDatabase();
    return 0;
}
