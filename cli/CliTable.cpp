#include "cli/CliTable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QRegularExpression>

QString CliTable::formatHelp()
{
    return QStringLiteral("the table as tsv (default), csv or json");
}

CliFormat CliTable::formatNamed(const std::optional<QString>& name)
{
    if (name && *name == QLatin1String("csv"))
        return CliFormat::Csv;
    if (name && *name == QLatin1String("json"))
        return CliFormat::Json;
    return CliFormat::Tsv;
}

CliTable::CliTable(QTextStream& out, CliFormat format, const QStringList& header)
    : m_out(out), m_format(format), m_header(header)
{
    if (m_format == CliFormat::Json)
        m_out << '[';
    else
        writeLine(m_header);
}

CliTable::~CliTable()
{
    finish();
}

void CliTable::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    if (m_format == CliFormat::Json)
        m_out << (m_firstRow ? "]\n" : "\n]\n");
    m_out.flush();
}

void CliTable::add(QStringList row)
{
    row.resize(m_header.size());
    if (m_format != CliFormat::Json) {
        writeLine(row);
        return;
    }
    QStringList members;
    for (qsizetype i = 0; i < m_header.size(); ++i)
        members << jsonString(m_header[i]) + ':' + jsonValue(row[i]);
    m_out << (m_firstRow ? "\n{" : ",\n{") << members.join(',') << '}';
    m_firstRow = false;
}

void CliTable::writeLine(const QStringList& fields)
{
    QStringList written;
    for (const QString& f : fields)
        written << (m_format == CliFormat::Csv ? csvField(f) : tsvField(f));
    m_out << written.join(m_format == CliFormat::Csv ? QLatin1Char(',') : QLatin1Char('\t'))
          << (m_format == CliFormat::Csv ? "\r\n" : "\n");
}

QString CliTable::tsvField(const QString& field) const
{
    // A tab or line break inside a field would split the row.
    QString f = field;
    f.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return f.replace(QLatin1Char('\r'), QLatin1Char(' '));
}

QString CliTable::csvField(const QString& field) const
{
    static const QRegularExpression special(QStringLiteral("[,\"\\r\\n]"));
    if (!field.contains(special))
        return field;
    QString f = field;
    return '"' + f.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + '"';
}

QString CliTable::jsonValue(const QString& field) const
{
    static const QRegularExpression number(QStringLiteral("^-?(0|[1-9][0-9]{0,14})(\\.[0-9]+)?$"));
    if (field.isEmpty())
        return QStringLiteral("null");
    if (number.match(field).hasMatch())
        return field;
    return jsonString(field);
}

QString CliTable::jsonString(const QString& text)
{
    // QJsonDocument writes the escapes of a string value; the array around it is cut off again.
    const QByteArray array = QJsonDocument(QJsonArray{QJsonValue(text)}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}
