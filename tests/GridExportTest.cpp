#include "TestSupport.h"

#include "ui/GridExport.h"

#include <QFile>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <gtest/gtest.h>

TEST(GridExport, WritesCellsColoursAndReplacesOldFile)
{
    TempDataFolder dir;
    QStandardItemModel model(2, 3);
    model.setHorizontalHeaderLabels({QStringLiteral("期号"), QStringLiteral("百位"), "X"});
    // An issue number stays text, as the grids mark it; other numbers are written as numbers.
    auto* issue = new QStandardItem("160121001");
    issue->setData(true, GridExport::TextCellRole);
    model.setItem(0, 0, issue);
    model.setItem(0, 1, new QStandardItem("3"));
    auto* coloured = new QStandardItem(QStringLiteral("杀"));
    coloured->setBackground(QColor(0, 255, 0));
    model.setItem(1, 2, coloured);
    const QString path = dir.file("gongshi.xlsx");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    QString error;
    ASSERT_TRUE(GridExport::writeWorkbook(model, path, &error, [](int c) {
        return QStringLiteral("列%1").arg(c);
    })) << error.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.read(2), "PK");
    EXPECT_FALSE(QFile::exists(path + ".part"));
    if (QStandardPaths::findExecutable("python3").isEmpty())
        GTEST_SKIP() << "python3 is needed to look inside the workbook";
    const QString strings = readWorkbookPart(path, "xl/sharedStrings.xml");
    EXPECT_TRUE(strings.contains(QStringLiteral("列0")));
    EXPECT_TRUE(strings.contains("160121001"));
    EXPECT_TRUE(strings.contains(QStringLiteral("杀")));
    EXPECT_TRUE(readWorkbookPart(path, "xl/styles.xml").contains("FF00FF00"));
    EXPECT_TRUE(readWorkbookPart(path, "xl/workbook.xml").contains("Sheet1"));
    const QString sheet = readWorkbookPart(path, "xl/worksheets/sheet1.xml");
    EXPECT_TRUE(sheet.contains("<c r=\"B2\"")); // grid row 0, column 1 -> B2
    EXPECT_TRUE(sheet.contains("<c r=\"C3\""));
}

TEST(GridExport, UnwritableFolderIsReported)
{
    QStandardItemModel model(1, 1);
    QString error;
    EXPECT_FALSE(GridExport::writeWorkbook(model, "/nonexistent-folder/x/lishi.xlsx", &error));
    EXPECT_TRUE(error.contains("lishi.xlsx"));
}
