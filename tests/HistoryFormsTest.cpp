// The history import over files of every shape players keep: issue forms, tables that put the
// sum first, ambiguous rows, encodings, workbooks, bounded input, and the day's sequence rule.
#include "TestSupport.h"

#include "history/HistoryImport.h"
#include "history/IssueNumbers.h"
#include "history/IssueText.h"
#include "history/LotteryTable.h"
#include "history/Workspace.h"
#include "store/BoundedInput.h"
#include "store/Settings.h"
#include "store/TextFileCodec.h"
#include "store/WorkbookReader.h"
#include "store/WorkbookWriter.h"

#include <QBuffer>
#include <QFile>
#include <QProcess>
#include <QStringEncoder>
#include <gtest/gtest.h>
#include <xlsxwriter.h>
#include <zip.h>

namespace {

const QDate kToday(2016, 1, 25);

QByteArray encoded(const QString& text, QStringEncoder::Encoding encoding, bool mark)
{
    QStringEncoder e(encoding, mark ? QStringEncoder::Flag::WriteBom : QStringEncoder::Flag::Default);
    return e.encode(text);
}

QByteArray gbk(const QString& text)
{
    QStringEncoder e("GB18030");
    return e.encode(text);
}

QStringList drawsOf(const std::vector<DrawRecord>& draws)
{
    QStringList out;
    for (const auto& d : draws)
        out << QStringLiteral("%1 %2%3%4").arg(d.issue).arg(d.number(1)).arg(d.number(2)).arg(d.number(3));
    return out;
}

struct OpenWorkspace : TempWorkspace
{
    OpenWorkspace() { ws.setLotteryIndex(0); } // 福建快3, 78 draws a day
    HistoryImport::Options options(int sheet = -1) const
    {
        HistoryImport::Options o;
        o.drawsPerDay = 78;
        o.lottery = QStringLiteral("福建快3");
        o.today = kToday;
        o.sheet = sheet;
        return o;
    }
    HistoryImportPlan plan(const QByteArray& bytes, int sheet = -1)
    {
        return HistoryImport::plan(ws.history(), bytes, options(sheet));
    }
};

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A minimal .xlsx made part by part: inline strings, cells without references, numbers in a
// date format of the workbook's own, the 1904 date system.
QByteArray handMadeWorkbook(const QString& path)
{
    int err = 0;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!z)
        return {};
    const std::vector<std::pair<const char*, QByteArray>> parts = {
        {"_rels/.rels",
         "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
         "relationships\"><Relationship Id=\"rId1\" "
         "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
         "relationships/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml",
         "<?xml version=\"1.0\"?><workbook "
         "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
         "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><workbookPr "
         "date1904=\"1\"/><sheets><sheet name=\"历史\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
         "relationships\"><Relationship Id=\"rId1\" "
         "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
         "relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" "
         "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
         "Target=\"styles.xml\"/></Relationships>"},
        {"xl/styles.xml",
         "<?xml version=\"1.0\"?><styleSheet "
         "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
         "<numFmts count=\"1\"><numFmt numFmtId=\"164\" "
         "formatCode=\"yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;\"/>"
         "</numFmts><cellXfs count=\"2\"><xf numFmtId=\"0\"/><xf numFmtId=\"164\"/></cellXfs></styleSheet>"},
        {"xl/worksheets/sheet1.xml",
         // 1904 system: serial 40928 is 2016-01-21.
         "<?xml version=\"1.0\"?><worksheet "
         "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
         "<sheetData><row><c t=\"inlineStr\"><is><t>期号</t></is></c><c "
         "t=\"inlineStr\"><is><t>日期</t></is></c>"
         "<c t=\"inlineStr\"><is><r><t>开奖</t></r><r><t>号码</t></r></is></c></row>"
         "<row r=\"3\"><c r=\"A3\"><v>160121001</v></c><c r=\"B3\" s=\"1\"><v>40928</v></c>"
         "<c r=\"C3\" t=\"inlineStr\"><is><t>3 5 6</t></is></c></row>"
         "<row r=\"4\"><c><v>160121002</v></c><c s=\"1\"><v>40928</v></c><c t=\"str\"><v>1,2,4</v></c></row>"
         "</sheetData></worksheet>"},
    };
    for (const auto& [name, xml] : parts) {
        zip_source_t* src = zip_source_buffer(z, xml.constData(), zip_uint64_t(xml.size()), 0);
        zip_file_add(z, name, src, ZIP_FL_ENC_UTF_8);
    }
    // The buffers must outlive zip_close, which writes them.
    const bool closed = zip_close(z) == 0;
    if (!closed)
        zip_discard(z);
    return closed ? fileBytes(path) : QByteArray();
}

} // namespace

TEST(IssueText, EveryFormIsReadIntoNineDigits)
{
    const std::vector<std::pair<QString, QString>> forms = {
        {"160121001", "160121001"},
        {"20160121001", "160121001"},
        {"2016-01-21 001", "160121001"},
        {"2016/1/21-1", "160121001"},
        {"20160121-001", "160121001"},
        {"160121-001", "160121001"},
        {"2016年1月21日 第001期", "160121001"},
        {"2016年1月21日第78期", "160121078"},
        {"第160121001期", "160121001"},
        {"2016-01-21,001", "160121001"},
    };
    for (const auto& [text, stored] : forms)
        EXPECT_EQ(IssueText::inField(text, false), stored) << text.toStdString();
    // Dates with numbers or times after them are no issues; nor a date that does not exist, or
    // eleven digits of another century.
    for (const char* text : {"2016-01-21 3 5 6", "2016-01-21 356", "2016-01-21 09:30", "20161321001",
                             "19990101001", "2016-02-30 001", "16012100"})
        EXPECT_TRUE(IssueText::find(QString::fromUtf8(text), false).empty()) << text;
    EXPECT_EQ(IssueText::find(QStringLiteral("87654 2016-01-21"), true).front().issue, "87654");
}

// Every shape of file, built here, with the draws it stores or the exact refusal.
TEST(HistoryForms, EveryShapeStoresItsDrawsOrIsRefused)
{
    const QString csv = QStringLiteral("期号,开奖日期,百位,十位,个位,和值\r\n160121001,2016/1/21,1,2,3,6\r\n"
                                       "160121002,2016/1/21,3,3,5,11\r\n");
    struct Shape
    {
        const char* name;
        QByteArray bytes;
        QStringList stored; // or:
        const char* refusal;
    };
    const std::vector<Shape> shapes = {
        {"own export", "160121001 123\r\n160121002 335\r\n", {"160121001 123", "160121002 335"}, nullptr},
        {"full year with a sum",
         "20130601001: 2 3 4 ; 9\n20130601002: 1 1 5 ; 7\n",
         {"130601001 234", "130601002 115"},
         nullptr},
        {"date, blank, sequence",
         "2013-06-01 001 2,3,4\n2013-06-01 002 1,1,6\n",
         {"130601001 234", "130601002 116"},
         nullptr},
        {"date and sequence with a dash", "2013/6/1-001 2 3 4\n", {"130601001 234"}, nullptr},
        {"compact date and sequence", "20130601-001 2 3 4\n", {"130601001 234"}, nullptr},
        {"short date and sequence",
         "160121-001 2 3 4\n160121-002 6 6 6\n",
         {"160121001 234", "160121002 666"},
         nullptr},
        {"date in words",
         QStringLiteral("2013年6月1日 第001期 开奖号码 2 3 4\n").toUtf8(),
         {"130601001 234"},
         nullptr},
        {"date and sequence in two columns",
         "开奖日期,期次,百位,十位,个位\n2016-01-21,001,3,5,6\n2016-01-21,002,1,2,4\n",
         {"160121001 356", "160121002 124"},
         nullptr},
        {"sum before the numbers",
         "160121001,2016-01-21,6,1,2,3\n160121002,2016-01-21,5,1,1,3\n"
         "160121003,2016-01-21,4,1,1,2\n",
         {"160121001 123", "160121002 113", "160121003 112"},
         nullptr},
        {"sum before the numbers, all sums at most 6",
         "160121001,5,1,1,3\n160121002,4,1,1,2\n",
         {"160121001 113", "160121002 112"},
         nullptr},
        {"sum named on the page",
         QStringLiteral("第160121001期 和值6 开奖号码 1 2 3\n第160121002期 和值：12 开奖号码 4 4 4\n")
             .toUtf8(),
         {"160121001 123", "160121002 444"},
         nullptr},
        {"sum after the numbers",
         "160121001 1 2 3 6\n160121002 1 1 2 4\n",
         {"160121001 123", "160121002 112"},
         nullptr},
        {"a count before or after: ambiguous",
         "160121001,1,2,3,4\n160121002,2,3,4,5\n",
         {},
         "开奖号码有两种同样可能的读法，无法确定哪一种对：第1行“160121001,1,2,3,4”可以读作 160121001 1 2 3，"
         "也可以读作 160121001 2 3 4。"},
        {"UTF-8 with mark", "\xEF\xBB\xBF" + csv.toUtf8(), {"160121001 123", "160121002 335"}, nullptr},
        {"GBK", gbk(csv), {"160121001 123", "160121002 335"}, nullptr},
        {"UTF-16 LE with mark",
         encoded(csv, QStringEncoder::Utf16LE, true),
         {"160121001 123", "160121002 335"},
         nullptr},
        {"UTF-16 BE with mark",
         encoded(csv, QStringEncoder::Utf16BE, true),
         {"160121001 123", "160121002 335"},
         nullptr},
        {"UTF-32 LE with mark",
         encoded(csv, QStringEncoder::Utf32LE, true),
         {"160121001 123", "160121002 335"},
         nullptr},
        {"UTF-16 without mark",
         encoded(csv, QStringEncoder::Utf16LE, false),
         {},
         "文件是UTF-16或UTF-32编码（例如记事本另存为“Unicode”），无法读取历史号码。"},
        {"NUL byte in UTF-8", QByteArray("160121001 123\n160121\0002 335\n", 27), {}, "不是文本文件"},
        {"a picture", QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\0\x10", 20), {}, "不是文本文件"},
        {"neither UTF-8 nor GBK", "160121001 123\n\xFF\xFF\xFF\n", {}, "既不是UTF-8编码也不是GBK编码"},
        {"a zip that is no workbook", QByteArray("PK\x03\x04", 4) + QByteArray(60, 'x'), {}, "ZIP"},
    };
    for (const Shape& s : shapes) {
        OpenWorkspace w;
        const HistoryImportPlan plan = w.plan(s.bytes);
        if (s.refusal) {
            EXPECT_TRUE(plan.refusal.contains(QString::fromUtf8(s.refusal)))
                << s.name << ": " << plan.refusal.toStdString();
            EXPECT_TRUE(plan.toAdd.empty()) << s.name;
            continue;
        }
        EXPECT_TRUE(plan.refusal.isEmpty()) << s.name << ": " << plan.refusal.toStdString();
        EXPECT_TRUE(plan.unread.empty()) << s.name << ": " << plan.problems().join('\n').toStdString();
        EXPECT_EQ(drawsOf(plan.toAdd), s.stored) << s.name;
        QString error;
        ASSERT_TRUE(HistoryImport::store(&w.ws.history(), plan, &error)) << s.name << error.toStdString();
        EXPECT_EQ(drawsOf(w.ws.history().draws()), s.stored) << s.name;
    }
}

TEST(HistoryForms, TheCsvThatStoredTheSumAsANumberIsReadRightAndTheLayoutShown)
{
    OpenWorkspace w;
    const HistoryImportPlan plan = w.plan("160121001,2016-01-21,6,1,2,3\n160121002,2016-01-21,5,1,1,3\n");
    EXPECT_EQ(drawsOf(plan.toAdd), QStringList({"160121001 123", "160121002 113"}));
    EXPECT_EQ(plan.formatText(),
              QStringLiteral("CSV 表格（逗号分隔）（期号在第1列，开奖号码在第4到6列，第3列是和值）"));
    EXPECT_EQ(plan.firstLine, QStringLiteral("第1行“160121001,2016-01-21,6,1,2,3”"));
    EXPECT_EQ(plan.lastLine, QStringLiteral("第2行“160121002,2016-01-21,5,1,1,3”"));
    // A full-year history as published, sorted numbers: 35,714 lines would be refused whole before.
    QByteArray published;
    QDate day(2013, 6, 1);
    for (int i = 0; i < 2 * 78; ++i) {
        const int seq = i % 78 + 1;
        if (i && seq == 1)
            day = day.addDays(1);
        const int a = 1 + i % 6, b = std::max(a, 1 + (i / 6) % 6), c = std::max(b, 1 + (i / 36) % 6);
        published += QStringLiteral("%1%2: %3 %4 %5 ; %6\n")
                         .arg(day.toString("yyyyMMdd"))
                         .arg(seq, 3, 10, QChar('0'))
                         .arg(a)
                         .arg(b)
                         .arg(c)
                         .arg(a + b + c)
                         .toLatin1();
    }
    const HistoryImportPlan full = w.plan(published);
    EXPECT_TRUE(full.unread.empty()) << full.problems().join('\n').toStdString();
    ASSERT_EQ(full.toAdd.size(), 156u);
    EXPECT_EQ(full.toAdd.back().issue, "130602078");
}

TEST(HistoryForms, TheDaysSequenceRunsFromOneToTheDrawsPerDayEverywhere)
{
    OpenWorkspace w;
    addDraws(w.ws, {{"160121077", "123"}});
    // Import and preview: the 79th draw and a 000 are refused with the reason, the 78th goes in.
    HistoryImportPlan plan = w.plan("160121078 2 3 4\n160121079 1 2 3\n160122000 1 2 3\n");
    EXPECT_EQ(drawsOf(plan.toAdd), QStringList({"160121078 234"}));
    ASSERT_EQ(plan.unread.size(), 2u);
    EXPECT_TRUE(plan.unread[0].reason.startsWith(QStringLiteral("期号160121079：福建快3每天只有78期")))
        << plan.unread[0].reason.toStdString();
    EXPECT_TRUE(plan.unread[1].reason.contains(QStringLiteral("没有第000期")));
    // Hand entry (the window's boxes and `history add` both go through it).
    QString error;
    EXPECT_FALSE(w.ws.addTypedDraw("160121079", {1, 2, 3}, kToday, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("期号160121079：福建快3每天只有78期")))
        << error.toStdString();
    EXPECT_FALSE(w.ws.addTypedDraw("160121000", {1, 2, 3}, kToday, &error));
    EXPECT_EQ(w.ws.history().draws().size(), 1u);
    // After the day's last draw, and after a draw stored beyond it by an older version, the
    // next issue is the next day's first.
    ASSERT_TRUE(w.ws.addTypedDraw("160121078", {1, 2, 3}, kToday, &error)) << error.toStdString();
    EXPECT_EQ(w.ws.nextIssue(), "160122001");
    DrawRecord legacy;
    legacy.issue = "161231999";
    EXPECT_EQ(IssueNumbers::next(legacy, 78, false), "170101001");
    legacy.issue = "160121005";
    EXPECT_EQ(IssueNumbers::next(legacy, 78, false), "160121006");
}

TEST(HistoryForms, WorkbooksOfTheProgramsWriterAndOfOtherMakers)
{
    OpenWorkspace w;
    // The program's own writer: the history export's columns, issues and numbers as numbers.
    const QString own = w.dir.file("lishi.xlsx");
    {
        WorkbookWriter writer(own);
        const QStringList heading = {"期号", "百位", "十位", "个位"};
        for (int c = 0; c < heading.size(); ++c)
            writer.writeCell(0, c, heading[c]);
        const QStringList rows = {"160121001 3 5 6", "160121002 1 2 4"};
        for (int r = 0; r < rows.size(); ++r) {
            const QStringList cells = rows[r].split(' ');
            for (int c = 0; c < cells.size(); ++c)
                writer.writeCell(r + 1, c, cells[c]);
        }
        QString error;
        ASSERT_TRUE(writer.save(&error)) << error.toStdString();
    }
    HistoryImportPlan plan = w.plan(fileBytes(own));
    EXPECT_TRUE(plan.refusal.isEmpty()) << plan.refusal.toStdString();
    EXPECT_EQ(drawsOf(plan.toAdd), QStringList({"160121001 356", "160121002 124"}));
    EXPECT_TRUE(plan.formatText().startsWith(QStringLiteral("Excel 工作簿（.xlsx），工作表“Sheet1”")))
        << plan.formatText().toStdString();

    // Another maker: shared strings, numbers, dates stored as numbers, a zero-padded sequence,
    // and the history on the second sheet after a sheet of notes.
    const QString path = w.dir.file("开奖.xlsx");
    lxw_workbook* book = workbook_new(QFile::encodeName(path).constData());
    lxw_worksheet* notes = workbook_add_worksheet(book, "说明");
    lxw_worksheet* sheet = workbook_add_worksheet(book, "开奖记录");
    lxw_format* dateFormat = workbook_add_format(book);
    format_set_num_format(dateFormat, "yyyy/m/d");
    lxw_format* padded = workbook_add_format(book);
    format_set_num_format(padded, "000");
    worksheet_write_string(notes, 0, 0, "福建快3历史开奖", nullptr);
    const char* heading[] = {"开奖日期", "期次", "百位", "十位", "个位", "和值"};
    for (int c = 0; c < 6; ++c)
        worksheet_write_string(sheet, 0, lxw_col_t(c), heading[c], nullptr);
    const int numbers[3][3] = {{1, 1, 2}, {2, 5, 6}, {3, 3, 3}};
    for (int r = 0; r < 3; ++r) {
        lxw_datetime day = {2016, 1, 21, 0, 0, 0};
        worksheet_write_datetime(sheet, lxw_row_t(r + 1), 0, &day, dateFormat);
        worksheet_write_number(sheet, lxw_row_t(r + 1), 1, r + 1, padded);
        int sum = 0;
        for (int p = 0; p < 3; ++p) {
            worksheet_write_number(sheet, lxw_row_t(r + 1), lxw_col_t(2 + p), numbers[r][p], nullptr);
            sum += numbers[r][p];
        }
        worksheet_write_number(sheet, lxw_row_t(r + 1), 5, sum, nullptr);
    }
    ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);
    const QByteArray bytes = fileBytes(path);
    plan = w.plan(bytes);
    EXPECT_TRUE(plan.toAdd.empty());
    EXPECT_EQ(plan.sheetNames, QStringList({"说明", "开奖记录"}));
    EXPECT_TRUE(HistoryImport::nothingFoundText(plan, false)
                    .contains(QStringLiteral("工作簿里还有工作表：开奖记录")));
    plan = w.plan(bytes, 1);
    EXPECT_TRUE(plan.unread.empty()) << plan.problems().join('\n').toStdString();
    EXPECT_EQ(drawsOf(plan.toAdd), QStringList({"160121001 112", "160121002 256", "160121003 333"}));

    // Hand-made: inline strings, cells without references, a date format of its own, 1904 dates.
    std::vector<WorkbookSheet> sheets;
    QString error;
    ASSERT_TRUE(WorkbookReader::read(handMadeWorkbook(w.dir.file("hand.xlsx")), &sheets, &error))
        << error.toStdString();
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_EQ(sheets[0].name, QStringLiteral("历史"));
    ASSERT_EQ(sheets[0].rows.size(), 4u);
    EXPECT_EQ(sheets[0].rows[0], QStringList({"期号", "日期", "开奖号码"}));
    EXPECT_TRUE(sheets[0].rows[1].isEmpty());
    EXPECT_EQ(sheets[0].rows[2], QStringList({"160121001", "2016-01-21", "3 5 6"}));
    EXPECT_EQ(sheets[0].rows[3], QStringList({"160121002", "2016-01-21", "1,2,4"}));
    EXPECT_EQ(WorkbookReader::serialDateText(42390.40625, false), "2016-01-21 09:45:00");

    // A workbook cut short is refused with a message, not read as nothing.
    EXPECT_FALSE(WorkbookReader::read(bytes.left(bytes.size() / 2), &sheets, &error));
    EXPECT_TRUE(error.contains("ZIP") || error.contains(QStringLiteral("损坏"))) << error.toStdString();
}

TEST(HistoryForms, LegacyWorkbooksAreReadWithFreexl)
{
    TempDataFolder dir;
    const QString path = dir.file("old.xls");
    const QString script = QStringLiteral(
        "import sys, xlwt, datetime\n"
        "b = xlwt.Workbook(); s = b.add_sheet('Sheet1')\n"
        "for c, h in enumerate(['期号', '开奖日期', '百位', '十位', '个位']): s.write(0, c, h)\n"
        "d = xlwt.easyxf(num_format_str='yyyy-mm-dd')\n"
        "for r, (i, n) in enumerate([(160121001, (3, 5, 6)), (160121002, (1, 2, 4))]):\n"
        "    s.write(r + 1, 0, i); s.write(r + 1, 1, datetime.date(2016, 1, 21), d)\n"
        "    for p in range(3): s.write(r + 1, 2 + p, n[p])\n"
        "b.save(sys.argv[1])\n");
    QProcess python;
    python.start(QStringLiteral(ZORVANE_PYTHON), {"-c", script, path});
    if (!python.waitForFinished(30000) || python.exitCode() != 0)
        GTEST_SKIP() << "python3-xlwt could not write a .xls: "
                     << python.readAllStandardError().toStdString();
    OpenWorkspace w;
    const HistoryImportPlan plan = w.plan(fileBytes(path));
    EXPECT_TRUE(plan.refusal.isEmpty()) << plan.refusal.toStdString();
    EXPECT_EQ(drawsOf(plan.toAdd), QStringList({"160121001 356", "160121002 124"}));
    EXPECT_TRUE(plan.formatText().startsWith(QStringLiteral("旧版 Excel 工作簿（.xls）")));
    // An OLE2 file that holds no workbook says so.
    const HistoryImportPlan broken = w.plan(fileBytes(path).left(512));
    EXPECT_FALSE(broken.refusal.isEmpty());
}

namespace {

// Standard input that never ends: the same line again and again.
class EndlessInput : public QIODevice
{
public:
    explicit EndlessInput(QByteArray line) : m_line(std::move(line)) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }
    qint64 given = 0;

protected:
    qint64 readData(char* data, qint64 size) override
    {
        for (qint64 i = 0; i < size; ++i)
            data[i] = m_line[(given + i) % m_line.size()];
        given += size;
        return size;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_line;
};

} // namespace

TEST(BoundedInput, EndlessAndOversizedInputIsRefusedBeforeItIsReadWhole)
{
    QByteArray bytes;
    QString error;
    // /dev/zero: no line end, refused once a line passes 1 MB.
    EXPECT_FALSE(BoundedInput::readFile("/dev/zero", &bytes, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("超过1 MB"))) << error.toStdString();
    EXPECT_TRUE(bytes.isEmpty());
    // Endless lines: refused at 64 MB, having taken no more than that.
    EndlessInput endless("160121001 356\n");
    EXPECT_FALSE(BoundedInput::readDevice(&endless, QStringLiteral("标准输入"), &bytes, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("超过64 MB"))) << error.toStdString();
    EXPECT_LE(endless.given, BoundedInput::kMaxBytes + 64 * 1024); // and the device's own read-ahead
    // A large regular file is refused by its size, without reading it.
    TempDataFolder dir;
    QFile big(dir.file("big.txt"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(BoundedInput::kMaxBytes + 1));
    big.close();
    EXPECT_FALSE(BoundedInput::readFile(big.fileName(), &bytes, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("超过64 MB")));
    // A workbook has no lines: a long run without a line end is no reason to refuse it.
    QBuffer zip;
    zip.setData(QByteArray("PK\x03\x04", 4) + QByteArray(2 * BoundedInput::kMaxLineBytes, 'x'));
    zip.open(QIODevice::ReadOnly);
    EXPECT_TRUE(BoundedInput::readDevice(&zip, "zip", &bytes, &error)) << error.toStdString();
}

TEST(Settings, ALookBackEntryOutsideTheMenuReadsAsTheDefault)
{
    Settings s;
    for (const char* value : {"99", "-1", "10"}) {
        s.writeString("IniSetting", "JSQS", value);
        EXPECT_EQ(s.lookBackIndex(), 3) << value;
    }
    s.writeString("IniSetting", "JSQS", "9");
    EXPECT_EQ(s.lookBackIndex(), 9);
    s.setLookBackIndex(3);
}
