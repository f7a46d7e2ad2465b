// The results page: text extraction from the page's bytes, then reading the draws the online
// update looks for. The first byte picks the lottery (a date-numbered one or 北京快3's running
// count), whether a history is stored, the Content-Type the server sent and the days setting; the
// rest is the page.
#include "FuzzSupport.h"

#include "history/LotteryTable.h"
#include "history/OnlineHistoryUpdate.h"
#include "history/PageText.h"
#include "history/ResultsPageParser.h"

#include <QSet>

namespace {

const char* const kContentTypes[] = {"", "text/html; charset=utf-8", "text/html; charset=gb2312",
                                     "text/html;charset=\"GBK\""};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::initialise();
    if (size < 1)
        return 0;
    const uint8_t mode = data[0];
    const QByteArray page(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    const QString text = PageText::fromHtml(page, QString::fromLatin1(kContentTypes[(mode >> 2) & 3]));
    const bool running = mode & 1;
    const int lottery = running ? LotteryTable::kBeijing : 0;
    static const std::vector<DrawRecord> none;
    const std::vector<DrawRecord>& stored = (mode & 2) ? FuzzSupport::fixedHistory() : none;
    const QDate today(2016, 1, 23);

    OnlineHistoryUpdate update(stored, lottery, 2 + (mode >> 4) % 9, today);
    QString error;
    if (update.readPage(text, &error)) {
        QSet<QString> seen;
        for (const DrawRecord& d : stored)
            seen.insert(d.issue);
        for (const DrawRecord& d : update.newDraws()) {
            if (seen.contains(d.issue))
                FuzzSupport::fail("a draw read twice or already stored", d.issue);
            seen.insert(d.issue);
            for (int p = 1; p <= 3; ++p)
                if (d.number(p) < 1 || d.number(p) > 6)
                    FuzzSupport::fail("a number out of 1..6", d.issue);
        }
        (void)update.summary();
    } else if (error.isEmpty() || !update.newDraws().empty()) {
        FuzzSupport::fail("an unusable page without a reason, or with draws kept");
    }

    // The parser on its own, with the page's first issue as the running count gives it.
    ResultsPageParser parser(text, running, today);
    qlonglong first = 0;
    if (parser.firstRunningIssue(&first, &error)) {
        PageDraw draw;
        (void)parser.find(QString::number(first), &draw);
        (void)parser.find(QString::number(first), &draw);
    }
    return 0;
}
