#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// The arguments of one command once read: the options given (of a repeated one the last wins) and
// the positional arguments in their order.
class CliArguments
{
public:
    bool has(const QString& name) const { return m_values.contains(name); }
    std::optional<QString> value(const QString& name) const;
    const QStringList& positionals() const { return m_positionals; }

private:
    friend class CliSyntax;
    QMap<QString, QString> m_values;
    QStringList m_positionals;
};

// What one command or subcommand takes, declared one line per option, and the parser every
// command reads its arguments with:
//  - "--name VALUE" or "--name=VALUE" for an option with a value; the argument after "--name" is
//    its value even when it starts with "-" (negative numbers);
//  - "--name" for a flag, which takes no value;
//  - "--" ends the options: every argument after it is positional;
//  - "-" is positional: standard input or output where a file is named;
//  - any other argument that starts with "-" must be a declared option.
// A value declared as choices of lower-case words ("kill|keep", "tsv|csv|json") must be one of them.
class CliSyntax
{
public:
    // `command`: the command's words ("history delete"); `summary`: what it does, in a line or two.
    CliSyntax(const QString& command, const QString& summary);

    CliSyntax& flag(const QString& name, const QString& help);
    CliSyntax& option(const QString& name, const QString& value, const QString& help);
    // An option that must be given.
    CliSyntax& required(const QString& name, const QString& value, const QString& help);
    // The positional arguments as the usage shows them ("ISSUE DDD", "[FILE|-]"): from `min` to
    // `max` of them (-1: any number).
    CliSyntax& arguments(const QString& shown, int min, int max, const QString& help = QString());
    // The usage shows the positional arguments before the options (a chart's kind first).
    CliSyntax& argumentsFirst()
    {
        m_argumentsFirst = true;
        return *this;
    }

    const QString& command() const { return m_command; }
    // The usage line: the command words, the options, then the positional arguments.
    QString usage() const;
    // The usage line, the summary and one line per option and argument, each line ending in "\n".
    QString help() const;
    bool parse(const QStringList& args, CliArguments* out, QString* error) const;
    // The same for the options in front of a command word: reading stops at the first positional
    // argument, whose position *consumed receives.
    bool parseLeading(const QStringList& args, CliArguments* out, qsizetype* consumed, QString* error) const;

    // True when the arguments ask for help: "--help" or "-h" before any "--".
    static bool asksForHelp(const QStringList& args);

private:
    struct Option
    {
        QString name;
        QString value; // empty for a flag
        QString help;
        bool required = false;
    };
    const Option* find(const QString& name) const;
    static QStringList choices(const QString& value);
    bool setValue(const Option& option, const QString& value, CliArguments* out, QString* error) const;
    bool read(const QStringList& args, bool leading, CliArguments* out, qsizetype* consumed,
              QString* error) const;

    QString m_command;
    QString m_summary;
    std::vector<Option> m_options;
    QString m_arguments;
    QString m_argumentsHelp;
    int m_min = 0;
    int m_max = 0;
    bool m_argumentsFirst = false;
};
