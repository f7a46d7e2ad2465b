#include "store/WorkbookReader.h"

#include "store/LegacyWorkbookReader.h"

#include <QDate>
#include <QHash>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <zip.h>

#include <cmath>
#include <memory>

namespace {

// Bounds that keep a hostile or damaged workbook from filling the memory: the parts as unpacked,
// and the rows and columns kept (Excel's own limits).
constexpr qint64 kMaxUnpackedBytes = qint64(1) << 30;
constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;
constexpr qint64 kMaxCellChars = qint64(64) * 1024 * 1024;

QString damaged(const QString& why)
{
    return QStringLiteral("Excel 工作簿（.xlsx）已损坏，无法读取：%1。").arg(why);
}

using ZipArchive = std::unique_ptr<zip_t, void (*)(zip_t*)>;

// One part of the zip read piece by piece into an XML reader, so a large sheet is never held
// unpacked as a whole.
class XmlPart
{
public:
    XmlPart(zip_t* archive, const QString& name, qint64* unpacked) : m_unpacked(unpacked), m_name(name)
    {
        m_file = zip_fopen(archive, name.toUtf8().constData(), 0);
        if (!m_file) {
            zip_error_t* e = zip_get_error(archive);
            m_error =
                zip_error_code_zip(e) == ZIP_ER_NOPASSWD || zip_error_code_zip(e) == ZIP_ER_WRONGPASSWD
                    ? QStringLiteral("工作簿有密码保护，请在 Excel 中去掉密码后另存")
                    : damaged(QStringLiteral("无法打开其中的“%1”（%2）").arg(name, zip_error_strerror(e)));
        }
    }
    ~XmlPart()
    {
        if (m_file)
            zip_fclose(m_file);
    }
    XmlPart(const XmlPart&) = delete;
    XmlPart& operator=(const XmlPart&) = delete;

    bool opened() const { return m_file != nullptr; }
    // After next() returned false: whether the part was damaged rather than read to its end.
    bool failed() const { return !m_error.isEmpty(); }
    const QString& error() const { return m_error; }

    // The next token; false at the end of the part or on an error (then error() says which).
    bool next()
    {
        while (true) {
            m_xml.readNext();
            if (m_xml.error() == QXmlStreamReader::PrematureEndOfDocumentError) {
                if (!feed())
                    return false;
                continue;
            }
            if (m_xml.hasError()) {
                m_error = damaged(QStringLiteral("“%1”不是有效的XML（%2）").arg(m_name, m_xml.errorString()));
                return false;
            }
            if (m_xml.isStartElement()) {
                ++m_depth;
            } else if (m_xml.isEndElement() && --m_depth == 0) {
                m_rootClosed = true;
            }
            return !m_xml.atEnd();
        }
    }
    QXmlStreamReader& xml() { return m_xml; }
    // The text up to the end of the current element, nested elements' text included.
    bool elementText(QString* text)
    {
        int depth = 1;
        while (depth > 0) {
            if (!next())
                return false;
            if (m_xml.isStartElement())
                ++depth;
            else if (m_xml.isEndElement())
                --depth;
            else if (m_xml.isCharacters())
                *text += m_xml.text();
        }
        return true;
    }
    // Skips the rest of the current element.
    bool skipElement()
    {
        int depth = 1;
        while (depth > 0) {
            if (!next())
                return false;
            if (m_xml.isStartElement())
                ++depth;
            else if (m_xml.isEndElement())
                --depth;
        }
        return true;
    }

private:
    bool feed()
    {
        if (!m_file || m_finished)
            return false;
        QByteArray chunk(64 * 1024, Qt::Uninitialized);
        const zip_int64_t got = zip_fread(m_file, chunk.data(), zip_uint64_t(chunk.size()));
        if (got < 0) {
            m_error =
                damaged(QStringLiteral("无法解压其中的“%1”（%2）").arg(m_name, zip_file_strerror(m_file)));
            return false;
        }
        if (got == 0) {
            // The end of the part: whole once its root element has closed.
            m_finished = true;
            if (!m_rootClosed)
                m_error = damaged(QStringLiteral("“%1”在中途结束").arg(m_name));
            return false;
        }
        *m_unpacked += got;
        if (*m_unpacked > kMaxUnpackedBytes) {
            m_error =
                QStringLiteral("Excel 工作簿解压后超过%1 MB，太大，无法读取。").arg(kMaxUnpackedBytes >> 20);
            return false;
        }
        chunk.truncate(int(got));
        m_xml.addData(chunk);
        return true;
    }

    zip_file_t* m_file = nullptr;
    qint64* m_unpacked;
    QString m_name;
    QString m_error;
    QXmlStreamReader m_xml;
    int m_depth = 0;
    bool m_rootClosed = false;
    bool m_finished = false;
};

QString attribute(const QXmlStreamReader& xml, QLatin1StringView localName)
{
    // Namespaced attributes (r:id) are matched by their local name.
    for (const QXmlStreamAttribute& a : xml.attributes())
        if (a.name() == localName)
            return a.value().toString();
    return {};
}

bool hasPart(zip_t* archive, const QString& name)
{
    return zip_name_locate(archive, name.toUtf8().constData(), 0) >= 0;
}

// A part's path from a relationship's target: relative to the folder of the part that names it,
// or from the root when it starts with '/'.
QString resolve(const QString& folder, const QString& target)
{
    if (target.startsWith('/'))
        return target.mid(1);
    QStringList parts = folder.isEmpty() ? QStringList() : folder.split('/');
    for (const QString& p : target.split('/')) {
        if (p == QLatin1String(".."))
            parts.isEmpty() ? void() : parts.removeLast();
        else if (p != QLatin1String(".") && !p.isEmpty())
            parts << p;
    }
    return parts.join('/');
}

// Relationship id -> (type, part path).
struct Relationship
{
    QString type;
    QString part;
};
bool readRelationships(zip_t* archive, const QString& relsPart, const QString& folder, qint64* unpacked,
                       QHash<QString, Relationship>* out, QString* error)
{
    if (!hasPart(archive, relsPart))
        return true;
    XmlPart part(archive, relsPart, unpacked);
    if (!part.opened()) {
        *error = part.error();
        return false;
    }
    while (part.next()) {
        if (part.xml().isStartElement() && part.xml().name() == QLatin1String("Relationship"))
            out->insert(attribute(part.xml(), QLatin1StringView("Id")),
                        {attribute(part.xml(), QLatin1StringView("Type")),
                         resolve(folder, attribute(part.xml(), QLatin1StringView("Target")))});
    }
    if (part.failed()) {
        *error = part.error();
        return false;
    }
    return true;
}

// Whether a number format shows dates or times: the built-in ones by number, the workbook's own
// by their code (y, m, d, h or s outside quoted text, escapes and [colour]/[$-locale] parts).
bool isDateFormatId(int id)
{
    return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
           (id >= 50 && id <= 58);
}
bool isDateFormatCode(const QString& code)
{
    QString bare;
    bool quoted = false;
    int bracket = 0;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (quoted) {
            quoted = c != '"';
        } else if (c == '"') {
            quoted = true;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;
        } else if (c == '[') {
            ++bracket;
        } else if (c == ']') {
            bracket = std::max(0, bracket - 1);
        } else if (bracket == 0) {
            bare += c.toLower();
        }
    }
    if (bare.startsWith(QLatin1String("general")))
        return false;
    static const QRegularExpression dateLetters(QStringLiteral("[ymdhs]"));
    return bare.contains(dateLetters);
}

// How numbers of one cell style are shown.
struct NumberStyle
{
    bool date = false;
    int zeroPadding = 0; // a format "000" shows 1 as 001
};

struct WorkbookParts
{
    bool from1904 = false;
    QStringList sharedStrings;
    std::vector<NumberStyle> styles; // by the cell's s attribute
};

bool readSharedStrings(zip_t* archive, const QString& name, qint64* unpacked, qint64* chars,
                       QStringList* strings, QString* error)
{
    XmlPart part(archive, name, unpacked);
    if (!part.opened()) {
        *error = part.error();
        return false;
    }
    QString current;
    bool inItem = false;
    while (part.next()) {
        QXmlStreamReader& xml = part.xml();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("si")) {
                inItem = true;
                current.clear();
            } else if (inItem && xml.name() == QLatin1String("rPh")) {
                // Phonetic guides are no part of the text.
                if (!part.skipElement())
                    break;
            } else if (inItem && xml.name() == QLatin1String("t")) {
                if (!part.elementText(&current))
                    break;
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("si")) {
            inItem = false;
            *chars += current.size();
            if (*chars > kMaxCellChars) {
                *error = QStringLiteral("Excel 工作簿里的文字太多，无法读取。");
                return false;
            }
            strings->append(current);
        }
    }
    if (part.failed()) {
        *error = part.error();
        return false;
    }
    return true;
}

bool readStyles(zip_t* archive, const QString& name, qint64* unpacked, std::vector<NumberStyle>* styles,
                QString* error)
{
    XmlPart part(archive, name, unpacked);
    if (!part.opened()) {
        *error = part.error();
        return false;
    }
    QHash<int, QString> codes;
    bool inCellXfs = false;
    static const QRegularExpression zeros(QStringLiteral("^0+$"));
    while (part.next()) {
        QXmlStreamReader& xml = part.xml();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("numFmt")) {
                codes.insert(attribute(xml, QLatin1StringView("numFmtId")).toInt(),
                             attribute(xml, QLatin1StringView("formatCode")));
            } else if (xml.name() == QLatin1String("cellXfs")) {
                inCellXfs = true;
            } else if (inCellXfs && xml.name() == QLatin1String("xf")) {
                const int id = attribute(xml, QLatin1StringView("numFmtId")).toInt();
                NumberStyle style;
                const auto code = codes.constFind(id);
                if (code != codes.cend()) {
                    style.date = isDateFormatCode(*code);
                    if (zeros.match(*code).hasMatch())
                        style.zeroPadding = int(code->size());
                } else {
                    style.date = isDateFormatId(id);
                }
                styles->push_back(style);
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("cellXfs")) {
            inCellXfs = false;
        }
    }
    if (part.failed()) {
        *error = part.error();
        return false;
    }
    return true;
}

// "B12" -> column 1 (from 0); -1 when the reference holds no letters.
int columnOf(const QString& reference)
{
    int column = 0;
    qsizetype i = 0;
    for (; i < reference.size() && reference[i].isLetter(); ++i) {
        column = column * 26 + (reference[i].toUpper().unicode() - 'A' + 1);
        if (column > kMaxColumns)
            return kMaxColumns;
    }
    return i == 0 ? -1 : column - 1;
}

QString cellText(const QString& type, const QString& value, const QString& inlineText, int style,
                 const WorkbookParts& parts, bool* ok)
{
    *ok = true;
    if (type == QLatin1String("s")) {
        bool number = false;
        const int index = value.trimmed().toInt(&number);
        if (!number || index < 0 || index >= parts.sharedStrings.size()) {
            *ok = false;
            return {};
        }
        return parts.sharedStrings[index];
    }
    if (type == QLatin1String("inlineStr"))
        return inlineText;
    if (type == QLatin1String("b"))
        return value.trimmed() == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    if (type == QLatin1String("str") || type == QLatin1String("e") || type == QLatin1String("d"))
        return value;
    if (value.trimmed().isEmpty())
        return {};
    bool number = false;
    const double v = value.trimmed().toDouble(&number);
    if (!number || !std::isfinite(v))
        return value;
    const NumberStyle shown =
        style >= 0 && style < int(parts.styles.size()) ? parts.styles[style] : NumberStyle{};
    if (shown.date && v >= 0 && v < 2958466) // up to 9999-12-31
        return WorkbookReader::serialDateText(v, parts.from1904);
    QString text = WorkbookReader::numberText(v);
    if (shown.zeroPadding > 0 && v >= 0 && v == std::floor(v))
        text = text.rightJustified(shown.zeroPadding, QLatin1Char('0'));
    return text;
}

bool readSheet(zip_t* archive, const QString& name, const WorkbookParts& parts, qint64* unpacked,
               qint64* chars, std::vector<QStringList>* rows, QString* error)
{
    XmlPart part(archive, name, unpacked);
    if (!part.opened()) {
        *error = part.error();
        return false;
    }
    int row = -1;
    int column = -1;
    while (part.next()) {
        QXmlStreamReader& xml = part.xml();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("row")) {
            const int r = attribute(xml, QLatin1StringView("r")).toInt();
            row = r >= 1 ? r - 1 : row + 1;
            column = -1;
            if (row >= kMaxRows) {
                *error = QStringLiteral("Excel 工作表超过%1行，无法读取。").arg(kMaxRows);
                return false;
            }
            continue;
        }
        if (xml.name() != QLatin1String("c"))
            continue;
        const int c = columnOf(attribute(xml, QLatin1StringView("r")));
        column = c >= 0 ? c : column + 1;
        const QString type = attribute(xml, QLatin1StringView("t"));
        const QString styleText = attribute(xml, QLatin1StringView("s"));
        const int style = styleText.isEmpty() ? -1 : styleText.toInt();
        QString value, inlineText;
        int depth = 1;
        while (depth > 0) {
            if (!part.next()) {
                *error = part.error();
                return false;
            }
            if (xml.isStartElement()) {
                if (xml.name() == QLatin1String("v")) {
                    if (!part.elementText(&value))
                        break;
                } else if (xml.name() == QLatin1String("t")) {
                    if (!part.elementText(&inlineText))
                        break;
                } else if (xml.name() == QLatin1String("rPh")) {
                    if (!part.skipElement())
                        break;
                } else {
                    ++depth;
                }
            } else if (xml.isEndElement()) {
                --depth;
            }
        }
        if (depth > 0) {
            *error = part.error();
            return false;
        }
        bool ok = true;
        const QString text = cellText(type, value, inlineText, style, parts, &ok);
        if (!ok) {
            *error = damaged(QStringLiteral("格子引用了不存在的共享文字"));
            return false;
        }
        if (text.isEmpty() || row < 0 || column >= kMaxColumns)
            continue;
        *chars += text.size();
        if (*chars > kMaxCellChars) {
            *error = QStringLiteral("Excel 工作簿里的文字太多，无法读取。");
            return false;
        }
        if (int(rows->size()) <= row)
            rows->resize(row + 1);
        QStringList& cells = (*rows)[row];
        while (cells.size() <= column)
            cells << QString();
        cells[column] = text;
    }
    if (part.failed()) {
        *error = part.error();
        return false;
    }
    return true;
}

bool readXlsx(const QByteArray& bytes, std::vector<WorkbookSheet>* sheets, QString* error)
{
    zip_error_t zipError;
    zip_error_init(&zipError);
    zip_source_t* source =
        zip_source_buffer_create(bytes.constData(), zip_uint64_t(bytes.size()), 0, &zipError);
    if (!source) {
        *error = damaged(QString::fromUtf8(zip_error_strerror(&zipError)));
        zip_error_fini(&zipError);
        return false;
    }
    ZipArchive archive(zip_open_from_source(source, ZIP_RDONLY, &zipError), zip_discard);
    if (!archive) {
        zip_source_free(source);
        *error = QStringLiteral("文件以ZIP压缩文件的标记开头，但不是完整的ZIP文件，无法读取（%1）。")
                     .arg(QString::fromUtf8(zip_error_strerror(&zipError)));
        zip_error_fini(&zipError);
        return false;
    }
    zip_error_fini(&zipError);

    qint64 unpacked = 0;
    qint64 chars = 0;
    // The package names its main part; Excel's is xl/workbook.xml.
    QHash<QString, Relationship> root;
    if (!readRelationships(archive.get(), QStringLiteral("_rels/.rels"), QString(), &unpacked, &root, error))
        return false;
    QString workbookPart = QStringLiteral("xl/workbook.xml");
    for (const Relationship& r : root)
        if (r.type.endsWith(QLatin1String("/officeDocument")))
            workbookPart = r.part;
    if (!hasPart(archive.get(), workbookPart)) {
        *error = QStringLiteral("这是一个ZIP压缩文件，但不是Excel工作簿（.xlsx）：里面没有工作簿“%1”。")
                     .arg(workbookPart);
        return false;
    }
    const qsizetype slash = workbookPart.lastIndexOf('/');
    const QString folder = slash < 0 ? QString() : workbookPart.left(slash);
    const QString relsPart = (folder.isEmpty() ? QString() : folder + '/') + QStringLiteral("_rels/") +
                             workbookPart.mid(slash + 1) + QStringLiteral(".rels");
    QHash<QString, Relationship> relationships;
    if (!readRelationships(archive.get(), relsPart, folder, &unpacked, &relationships, error))
        return false;

    WorkbookParts parts;
    struct Listed
    {
        QString name;
        QString relationship;
    };
    std::vector<Listed> listed;
    {
        XmlPart part(archive.get(), workbookPart, &unpacked);
        if (!part.opened()) {
            *error = part.error();
            return false;
        }
        while (part.next()) {
            QXmlStreamReader& xml = part.xml();
            if (!xml.isStartElement())
                continue;
            if (xml.name() == QLatin1String("workbookPr")) {
                const QString v = attribute(xml, QLatin1StringView("date1904"));
                parts.from1904 =
                    v == QLatin1String("1") || v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
            } else if (xml.name() == QLatin1String("sheet")) {
                listed.push_back(
                    {attribute(xml, QLatin1StringView("name")), attribute(xml, QLatin1StringView("id"))});
            }
        }
        if (part.failed()) {
            *error = part.error();
            return false;
        }
    }

    QString sharedPart, stylesPart;
    for (const Relationship& r : relationships) {
        if (r.type.endsWith(QLatin1String("/sharedStrings")))
            sharedPart = r.part;
        else if (r.type.endsWith(QLatin1String("/styles")))
            stylesPart = r.part;
    }
    if (!sharedPart.isEmpty() && hasPart(archive.get(), sharedPart) &&
        !readSharedStrings(archive.get(), sharedPart, &unpacked, &chars, &parts.sharedStrings, error))
        return false;
    if (!stylesPart.isEmpty() && hasPart(archive.get(), stylesPart) &&
        !readStyles(archive.get(), stylesPart, &unpacked, &parts.styles, error))
        return false;

    for (const Listed& l : listed) {
        const auto r = relationships.constFind(l.relationship);
        // Chart sheets and dialog sheets hold no cells.
        if (r == relationships.cend() || !r->type.endsWith(QLatin1String("/worksheet")))
            continue;
        if (!hasPart(archive.get(), r->part)) {
            *error = damaged(QStringLiteral("缺少工作表“%1”（%2）").arg(l.name, r->part));
            return false;
        }
        WorkbookSheet sheet;
        sheet.name = l.name;
        if (!readSheet(archive.get(), r->part, parts, &unpacked, &chars, &sheet.rows, error))
            return false;
        sheets->push_back(std::move(sheet));
    }
    if (sheets->empty()) {
        *error = QStringLiteral("Excel 工作簿里没有工作表。");
        return false;
    }
    return true;
}

} // namespace

WorkbookReader::Kind WorkbookReader::kindOf(const QByteArray& bytes)
{
    if (bytes.startsWith("PK\x03\x04"))
        return Kind::Xlsx;
    if (bytes.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
        return Kind::Xls;
    return Kind::None;
}

bool WorkbookReader::read(const QByteArray& bytes, std::vector<WorkbookSheet>* sheets, QString* error)
{
    sheets->clear();
    bool ok = false;
    switch (kindOf(bytes)) {
    case Kind::Xlsx:
        ok = readXlsx(bytes, sheets, error);
        break;
    case Kind::Xls:
        ok = LegacyWorkbookReader::read(bytes, sheets, error);
        break;
    case Kind::None:
        *error = QStringLiteral("不是 Excel 工作簿。");
        break;
    }
    if (!ok)
        sheets->clear();
    return ok;
}

QString WorkbookReader::serialDateText(double serial, bool from1904)
{
    double whole = std::floor(serial);
    // Seconds of the day, rounded as a spreadsheet shows them.
    int seconds = int(std::lround((serial - whole) * 86400.0));
    if (seconds >= 86400) {
        whole += 1;
        seconds -= 86400;
    }
    const QTime time = QTime(0, 0).addSecs(seconds);
    if (whole == 0 && seconds > 0 && !from1904)
        return time.toString(QStringLiteral("HH:mm:ss"));
    // Serial 60 is the 29th of February 1900 that never was (kept for Lotus 1-2-3); the serials
    // before it count from the last day of 1899.
    QDate date;
    if (from1904)
        date = QDate(1904, 1, 1).addDays(qint64(whole));
    else if (whole < 60)
        date = QDate(1899, 12, 31).addDays(qint64(whole));
    else if (whole == 60)
        date = QDate(1900, 2, 28);
    else
        date = QDate(1899, 12, 30).addDays(qint64(whole));
    const QString day = date.toString(QStringLiteral("yyyy-MM-dd"));
    return seconds == 0 ? day : day + QLatin1Char(' ') + time.toString(QStringLiteral("HH:mm:ss"));
}

QString WorkbookReader::numberText(double value)
{
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(qint64(value));
    return QString::number(value, 'g', 15);
}
