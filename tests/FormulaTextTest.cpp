#include "formula/FormulaLineParser.h"
#include "formula/FormulaTextFile.h"

#include <QStringEncoder>
#include <gtest/gtest.h>

namespace {

ParsedFormulaLine parse(const char* line, int offset = 0)
{
    return FormulaLineParser::parse(FormulaLineParser::withoutStatistics(QString::fromUtf8(line)), offset);
}

} // namespace

TEST(FormulaLineParser, BracketForm)
{
    ParsedFormulaLine p = parse("[十位通选杀]十位码+和数+3");
    EXPECT_EQ(p.formulaText, QStringLiteral("十位码+和数+3"));
    EXPECT_EQ(p.position, 2);
    EXPECT_EQ(p.single, false);
    EXPECT_FALSE(p.kill.has_value());
    p = parse("[十位通选杀类]十位码+3");
    EXPECT_EQ(p.formulaText, QStringLiteral("十位码+3"));
    p = parse("[个位单选生]L1A+3");
    EXPECT_EQ(p.position, 1);
    EXPECT_EQ(p.single, true);
}

TEST(FormulaLineParser, NextDrawForm)
{
    ParsedFormulaLine p = parse("十位码+和数+3=下期生码十位通选");
    EXPECT_EQ(p.formulaText, QStringLiteral("十位码+和数+3"));
    EXPECT_EQ(p.kill, false);
    EXPECT_EQ(p.position, 2);
    EXPECT_EQ(p.single, false);
    p = parse("十位码+和数+3=下期杀十位通选");
    EXPECT_EQ(p.kill, true);
    EXPECT_FALSE(p.namesKind());
    // A count word after the sense shifts where the kind is read; "一百" names no position.
    p = parse("百位码+3=下期杀一百位单选");
    EXPECT_EQ(p.formulaText, QStringLiteral("百位码+3"));
    EXPECT_FALSE(p.namesKind());
    EXPECT_TRUE(parse("下期杀十位通选").tooShort);
}

TEST(FormulaLineParser, PlainFormStatisticsAndOffsets)
{
    ParsedFormulaLine p = parse("L1A+LT+3");
    EXPECT_EQ(p.formulaText, "L1A+LT+3");
    EXPECT_FALSE(p.namesKind());
    EXPECT_FALSE(p.kill.has_value());
    const QString exported =
        QStringLiteral("十位码+和数+3") + QString(11, QChar(0x3000)) + QStringLiteral("连准：12期");
    EXPECT_EQ(FormulaLineParser::withoutStatistics(exported), QStringLiteral("十位码+和数+3"));
    // The online file drops five characters from a line with no bracket.
    EXPECT_EQ(parse("12345L1A+3", 5).formulaText, "L1A+3");
}

TEST(FormulaTextFile, SeparatorsAndPadding)
{
    std::vector<FormulaTextFile::Entry> entries;
    for (int i = 0; i < 120; ++i)
        entries.push_back({QStringLiteral("百位码+%1").arg(i), i});
    const QStringList all = FormulaTextFile::allKindsLines(entries);
    ASSERT_EQ(all.size(), 2 + 120 + 3);
    EXPECT_EQ(all[0], FormulaTextFile::banner());
    EXPECT_TRUE(all[1].isEmpty());
    EXPECT_EQ(all[52], FormulaTextFile::separator(50));
    EXPECT_EQ(all[103], FormulaTextFile::separator(100));
    EXPECT_EQ(all.last(), FormulaTextFile::separator(120));
    EXPECT_EQ(all[2], QStringLiteral("百位码+0") + QString(11, QChar(0x3000)) + QStringLiteral("连准：0期"));
    EXPECT_TRUE(FormulaTextFile::separator(50).startsWith(QString(12, QChar(0x2014)) + "50" + QChar(0x2014)));

    const QStringList one = FormulaTextFile::oneKindLines(
        {{QStringLiteral("和数+3"), 1}, {QStringLiteral("和数"), 2}, {QString(20, QChar(u'和')), 3}});
    const int width = 4 + 10 + 1;
    EXPECT_EQ(one[2],
              QStringLiteral("和数+3") + QString(width - 4, QChar(0x3000)) + QStringLiteral("连准：1期"));
    EXPECT_EQ(one[3],
              QStringLiteral("和数") + QString(width - 2, QChar(0x3000)) + QStringLiteral("连准：2期"));
    EXPECT_EQ(one[4], QString(20, QChar(u'和')) + QStringLiteral("连准：3期"));
    EXPECT_EQ(FormulaTextFile::oneKindLines({}),
              QStringList({FormulaTextFile::banner(), QString(), FormulaTextFile::separator(0)}));
}

TEST(FormulaTextFile, EncodingRoundTrip)
{
    const QStringList lines{FormulaTextFile::banner(), QString(),
                            QStringLiteral("[十位通选杀]十位码+和数+3")};
    const QByteArray gbk = FormulaTextFile::encode(lines);
    EXPECT_TRUE(gbk.endsWith("\r\n"));
    EXPECT_TRUE(gbk.contains("\xca\xae\xce\xbb")); // 十位 in GBK
    EXPECT_EQ(FormulaTextFile::decodeLines(gbk), lines);
    const QByteArray utf8 = "\xEF\xBB\xBF" + lines.join("\n").toUtf8() + "\n";
    EXPECT_EQ(FormulaTextFile::decodeLines(utf8), lines);
    EXPECT_EQ(FormulaTextFile::oneKindFileName("160121078", QStringLiteral("十位通选杀")),
              QStringLiteral("160121078期快3彩十位通选杀公式.txt"));
}

TEST(FormulaLineParser, NextDrawMarkOnlyAtTheVeryStartIsTooShort)
{
    ParsedFormulaLine p = parse("=下期生码十位单选");
    EXPECT_FALSE(p.tooShort);
    EXPECT_TRUE(p.formulaText.isEmpty());
    EXPECT_EQ(p.kill, false);
    EXPECT_EQ(p.position, 2);
    EXPECT_EQ(p.single, true);
    EXPECT_TRUE(parse("下期杀码十位单选").tooShort);
}

TEST(FormulaTextEncoding, Utf8WithSymbolsOutsideChineseIsReadAsUtf8)
{
    for (const char* symbol : {"°", "·", "×", "é", "①"}) {
        for (const QString& note : {QStringLiteral("说明"), QString()}) {
            const QStringList text{note + QString::fromUtf8(symbol), QStringLiteral("月份+6")};
            QStringList lines;
            QString error;
            ASSERT_TRUE(FormulaTextFile::decode(text.join("\r\n").toUtf8() + "\r\n", &lines, &error))
                << symbol << error.toStdString();
            EXPECT_EQ(lines, text) << symbol;
        }
    }
}

TEST(FormulaTextEncoding, GbkFormulaFilesStayGbkEvenWhenTheyAreValidUtf8)
{
    const QList<QStringList> files{
        {QStringLiteral("[十位通选杀]L2A+1"), QStringLiteral("[十位通选杀]L2A+2")},
        {QStringLiteral("十位通选杀")},
        {QStringLiteral("说明：这些公式来自论坛"), QStringLiteral("[百位单选杀]百位码+和数+1　　连准：4期")},
        {FormulaTextFile::banner(), QString(), QStringLiteral("个位码+跨度+1=下期杀码个位单选"),
         FormulaTextFile::separator(1)},
    };
    for (const QStringList& text : files) {
        QStringList lines;
        QString error;
        ASSERT_TRUE(FormulaTextFile::decode(FormulaTextFile::encode(text), &lines, &error))
            << error.toStdString();
        EXPECT_EQ(lines, text);
        // The same text in UTF-8, with or without a byte-order mark, reads alike.
        ASSERT_TRUE(FormulaTextFile::decode(text.join("\r\n").toUtf8(), &lines, &error));
        EXPECT_EQ(lines, text);
        ASSERT_TRUE(FormulaTextFile::decode("\xEF\xBB\xBF" + text.join("\n").toUtf8(), &lines, &error));
        EXPECT_EQ(lines, text);
    }
}

TEST(FormulaTextEncoding, MarkedUnicodeIsReadBareUtf16AndBytesOfNeitherEncodingAreRefused)
{
    const QString text = QStringLiteral("[十位通选杀]L2A+1\r\nL1A+3\r\n");
    QStringEncoder le(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    QStringEncoder be(QStringEncoder::Utf16BE, QStringEncoder::Flag::WriteBom);
    QStringEncoder le32(QStringEncoder::Utf32LE, QStringEncoder::Flag::WriteBom);
    for (const QByteArray& bytes :
         {QByteArray(le.encode(text)), QByteArray(be.encode(text)), QByteArray(le32.encode(text))}) {
        QStringList lines;
        QString error;
        EXPECT_TRUE(FormulaTextFile::decode(bytes, &lines, &error)) << error.toStdString();
        EXPECT_EQ(lines, QStringList({QStringLiteral("[十位通选杀]L2A+1"), "L1A+3"}));
    }
    QStringEncoder bare(QStringEncoder::Utf16LE);
    QStringEncoder utf32(QStringEncoder::Utf32LE);
    for (const QByteArray& bytes :
         {QByteArray(bare.encode(QStringLiteral("L1A+3\r\n"))), QByteArray(utf32.encode(text))}) {
        QStringList lines;
        QString error;
        EXPECT_FALSE(FormulaTextFile::decode(bytes, &lines, &error));
        EXPECT_TRUE(error.contains("UTF-16")) << error.toStdString();
        EXPECT_TRUE(lines.isEmpty());
    }
    {
        // A zero byte in UTF-8 is no text at all; a mark followed by what is no UTF-16 says so.
        QStringList lines;
        QString error;
        EXPECT_FALSE(FormulaTextFile::decode(QByteArray("L1A+3\r\nL2\0A\r\n", 12), &lines, &error));
        EXPECT_TRUE(error.contains(QStringLiteral("不是文本文件"))) << error.toStdString();
        EXPECT_FALSE(FormulaTextFile::decode(QByteArray("\xFF\xFE\x41\x00\x00\x00", 6), &lines, &error));
        EXPECT_TRUE(error.contains(QStringLiteral("字节顺序标记"))) << error.toStdString();
    }
    QStringList lines;
    QString error;
    EXPECT_FALSE(FormulaTextFile::decode("L1A+3\r\n\xFF\xFF\xFF\r\n", &lines, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("既不是UTF-8编码也不是GBK编码"))) << error.toStdString();
    EXPECT_FALSE(FormulaTextFile::decode("\xEF\xBB\xBFL1A+3\xFF\r\n", &lines, &error));
}
