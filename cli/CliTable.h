#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <optional>

enum class CliFormat
{
    Tsv,
    Csv,
    Json
};

// A table on standard output, the only thing a table command prints there: TSV (the default: a
// header row, fields separated by tabs), CSV (RFC 4180, a header row) or JSON (an array of objects
// keyed by the header; a field that reads as a number is a number, an empty one null). Every row
// has the header's number of fields.
class CliTable
{
public:
    // The value of --format.
    static QString formatChoices() { return QStringLiteral("tsv|csv|json"); }
    static QString formatHelp();
    static CliFormat formatNamed(const std::optional<QString>& name);

    CliTable(QTextStream& out, CliFormat format, const QStringList& header);
    ~CliTable();
    CliTable(const CliTable&) = delete;
    CliTable& operator=(const CliTable&) = delete;

    // One row; missing fields are written empty and extra ones dropped, so that the table stays
    // rectangular whatever a caller passes.
    void add(QStringList row);
    // Closes the table (the JSON array); the destructor does it when not done before.
    void finish();

private:
    QString tsvField(const QString& field) const;
    QString csvField(const QString& field) const;
    QString jsonValue(const QString& field) const;
    static QString jsonString(const QString& text);
    void writeLine(const QStringList& fields);

    QTextStream& m_out;
    CliFormat m_format;
    QStringList m_header;
    bool m_firstRow = true;
    bool m_finished = false;
};
