#include "cli/CliSyntax.h"

#include <QRegularExpression>

#include <algorithm>

std::optional<QString> CliArguments::value(const QString& name) const
{
    const auto found = m_values.constFind(name);
    if (found == m_values.constEnd())
        return std::nullopt;
    return *found;
}

CliSyntax::CliSyntax(const QString& command, const QString& summary) : m_command(command), m_summary(summary)
{
}

CliSyntax& CliSyntax::flag(const QString& name, const QString& help)
{
    m_options.push_back({name, QString(), help, false});
    return *this;
}

CliSyntax& CliSyntax::option(const QString& name, const QString& value, const QString& help)
{
    m_options.push_back({name, value, help, false});
    return *this;
}

CliSyntax& CliSyntax::required(const QString& name, const QString& value, const QString& help)
{
    m_options.push_back({name, value, help, true});
    return *this;
}

CliSyntax& CliSyntax::arguments(const QString& shown, int min, int max, const QString& help)
{
    m_arguments = shown;
    m_min = min;
    m_max = max;
    m_argumentsHelp = help;
    return *this;
}

QString CliSyntax::usage() const
{
    QStringList words{m_command};
    if (m_argumentsFirst && !m_arguments.isEmpty())
        words << m_arguments;
    for (const Option& o : m_options) {
        const QString text = o.value.isEmpty() ? o.name : o.name + ' ' + o.value;
        words << (o.required ? text : '[' + text + ']');
    }
    if (!m_argumentsFirst && !m_arguments.isEmpty())
        words << m_arguments;
    return words.join(' ');
}

QString CliSyntax::help() const
{
    QString text = QStringLiteral("usage: zorvane-cli ") + usage() + '\n';
    if (!m_summary.isEmpty())
        text += m_summary + '\n';
    QList<QPair<QString, QString>> lines;
    if (!m_argumentsHelp.isEmpty())
        lines.append({m_arguments, m_argumentsHelp});
    for (const Option& o : m_options)
        lines.append({o.value.isEmpty() ? o.name : o.name + ' ' + o.value, o.help});
    qsizetype width = 0;
    for (const auto& line : lines)
        width = std::max(width, line.first.size());
    for (const auto& [name, help] : lines)
        text += QStringLiteral("  ") + name.leftJustified(width) + QStringLiteral("  ") + help + '\n';
    return text;
}

bool CliSyntax::asksForHelp(const QStringList& args)
{
    for (const QString& a : args) {
        if (a == QLatin1String("--"))
            return false;
        if (a == QLatin1String("--help") || a == QLatin1String("-h"))
            return true;
    }
    return false;
}

const CliSyntax::Option* CliSyntax::find(const QString& name) const
{
    const auto found =
        std::find_if(m_options.begin(), m_options.end(), [&name](const Option& o) { return o.name == name; });
    return found == m_options.end() ? nullptr : &*found;
}

QStringList CliSyntax::choices(const QString& value)
{
    static const QRegularExpression words(QStringLiteral("^[a-z0-9][a-z0-9-]*(\\|[a-z0-9][a-z0-9-]*)+$"));
    return words.match(value).hasMatch() ? value.split(QLatin1Char('|')) : QStringList();
}

bool CliSyntax::setValue(const Option& option, const QString& value, CliArguments* out, QString* error) const
{
    const QStringList allowed = choices(option.value);
    if (!allowed.isEmpty() && !allowed.contains(value)) {
        QStringList quoted = allowed;
        const QString last = quoted.takeLast();
        *error =
            QStringLiteral("%1 takes %2 or %3, not \"%4\"").arg(option.name, quoted.join(", "), last, value);
        return false;
    }
    out->m_values.insert(option.name, value);
    return true;
}

bool CliSyntax::parse(const QStringList& args, CliArguments* out, QString* error) const
{
    qsizetype consumed = 0;
    return read(args, false, out, &consumed, error);
}

bool CliSyntax::parseLeading(const QStringList& args, CliArguments* out, qsizetype* consumed,
                             QString* error) const
{
    return read(args, true, out, consumed, error);
}

bool CliSyntax::read(const QStringList& args, bool leading, CliArguments* out, qsizetype* consumed,
                     QString* error) const
{
    *out = CliArguments();
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (optionsEnded || a == QLatin1String("-") || !a.startsWith(QLatin1Char('-'))) {
            if (leading) {
                *consumed = i;
                return true;
            }
            out->m_positionals << a;
            continue;
        }
        if (a == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        const qsizetype equals = a.startsWith(QLatin1String("--")) ? a.indexOf(QLatin1Char('=')) : -1;
        const QString name = equals < 0 ? a : a.left(equals);
        const Option* option = find(name);
        if (!option) {
            *error = QStringLiteral("unknown option %1").arg(name);
            return false;
        }
        if (option->value.isEmpty()) {
            if (equals >= 0) {
                *error = QStringLiteral("%1 takes no value").arg(name);
                return false;
            }
            out->m_values.insert(name, QString());
            continue;
        }
        if (equals >= 0) {
            if (!setValue(*option, a.mid(equals + 1), out, error))
                return false;
            continue;
        }
        if (i + 1 >= args.size()) {
            *error = QStringLiteral("%1 needs a value (%2)").arg(name, option->value);
            return false;
        }
        if (!setValue(*option, args[++i], out, error))
            return false;
    }
    *consumed = args.size();
    if (leading)
        return true;
    for (const Option& o : m_options) {
        if (o.required && !out->has(o.name)) {
            *error = QStringLiteral("%1 %2 is required").arg(o.name, o.value);
            return false;
        }
    }
    const qsizetype count = out->m_positionals.size();
    if (m_max >= 0 && count > m_max) {
        *error = QStringLiteral("unexpected argument %1").arg(out->m_positionals[m_max]);
        return false;
    }
    if (count < m_min) {
        *error = QStringLiteral("%1 needs %2").arg(m_command, m_arguments);
        return false;
    }
    return true;
}
