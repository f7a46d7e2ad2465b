#include "TestSupport.h"

#include "formula/FormulaTableStore.h"
#include "history/Workspace.h"

#include <QProcess>
#include <gtest/gtest.h>

TempDataFolder::TempDataFolder()
{
    EXPECT_TRUE(m_dir.isValid());
}

TempWorkspace::TempWorkspace()
{
    QString error;
    EXPECT_TRUE(ws.open(dir.path(), &error)) << error.toStdString();
}

void addDraws(Workspace& ws, std::initializer_list<std::pair<const char*, const char*>> draws)
{
    for (const auto& [issue, digits] : draws) {
        const QString d = QString::fromLatin1(digits);
        std::array<int, 3> n{d[0].digitValue(), d[1].digitValue(), d[2].digitValue()};
        QString error;
        ASSERT_TRUE(ws.history().addTyped(QString::fromLatin1(issue), n, ws.lottery().drawsPerDay, &error))
            << error.toStdString();
    }
}

void addFormulas(Workspace& ws, const FormulaKind& kind, bool kill, const QStringList& codes,
                 const QString& chinesePrefix)
{
    std::vector<FormulaRecord> records;
    for (const QString& c : codes) {
        FormulaRecord r;
        r.gongshi = c;
        r.gongshiCN = chinesePrefix + c;
        r.bolKill = kill;
        records.push_back(r);
    }
    QString error;
    ASSERT_TRUE(FormulaTableStore(&ws.database()).append(kind, records, &error)) << error.toStdString();
}

QString readWorkbookPart(const QString& xlsx, const QString& part)
{
    QProcess p;
    p.start("python3",
            {"-c",
             "import sys,zipfile;sys.stdout.write(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2]).decode())",
             xlsx, part});
    p.waitForFinished();
    return QString::fromUtf8(p.readAllStandardOutput());
}
