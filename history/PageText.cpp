#include "history/PageText.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>

namespace {

// Elements whose content is never shown.
const QSet<QString>& hiddenElements()
{
    static const QSet<QString> names{"head", "script", "style", "title", "template", "noscript"};
    return names;
}

// Elements that start and end a line of their own.
const QSet<QString>& blockElements()
{
    static const QSet<QString> names{
        "address", "article", "aside",    "blockquote", "body",   "br",     "caption", "center", "dd",  "div",
        "dl",      "dt",      "fieldset", "figcaption", "figure", "footer", "form",    "h1",     "h2",  "h3",
        "h4",      "h5",      "h6",       "header",     "hr",     "html",   "li",      "main",   "nav", "ol",
        "p",       "pre",     "section",  "table",      "tbody",  "tfoot",  "thead",   "tr",     "ul"};
    return names;
}

QString charsetOf(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("charset\\s*=\\s*[\"']?([A-Za-z0-9_\\-]+)"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(text);
    return m.hasMatch() ? m.captured(1).toLower() : QString();
}

QString decodeWith(const QString& charset, const QByteArray& bytes, bool* known)
{
    QString name = charset;
    if (name == "gb2312" || name == "gbk" || name == "x-gbk" || name == "cp936")
        name = QStringLiteral("GB18030");
    QStringDecoder decoder(name.toLatin1().constData());
    *known = decoder.isValid();
    return *known ? decoder.decode(bytes) : QString();
}

// One character reference starting at text[i] == '&'; returns its length, or 0 when it is
// not one (the '&' is then shown as it is).
int decodeReference(const QString& text, int i, QString* out)
{
    static const QHash<QString, QString> named{
        {"amp", "&"},        {"lt", "<"},          {"gt", ">"},         {"quot", "\""},
        {"apos", "'"},       {"nbsp", " "},        {"ensp", " "},       {"emsp", " "},
        {"thinsp", " "},     {"middot", "\u00B7"}, {"copy", "\u00A9"},  {"reg", "\u00AE"},
        {"times", "\u00D7"}, {"mdash", "\u2014"},  {"ndash", "\u2013"}, {"hellip", "\u2026"},
        {"ldquo", "\u201C"}, {"rdquo", "\u201D"},  {"lsquo", "\u2018"}, {"rsquo", "\u2019"},
    };
    const int semicolon = text.indexOf(';', i + 1);
    if (semicolon < 0 || semicolon - i > 12)
        return 0;
    const QString name = text.mid(i + 1, semicolon - i - 1);
    if (name.startsWith('#')) {
        bool ok = false;
        const uint code = name.size() > 1 && (name[1] == 'x' || name[1] == 'X') ? name.mid(2).toUInt(&ok, 16)
                                                                                : name.mid(1).toUInt(&ok, 10);
        if (!ok || code == 0 || code > 0x10FFFF)
            return 0;
        const char32_t c = code == 0xA0 ? U' ' : char32_t(code);
        *out = QString::fromUcs4(&c, 1);
        return semicolon - i + 1;
    }
    const auto it = named.find(name);
    if (it == named.end())
        return 0;
    *out = it.value();
    return semicolon - i + 1;
}

// Collects the text with pending separators, so no line or cell starts or ends with a blank and
// a separator never repeats.
class TextCollector
{
public:
    enum Separator
    {
        None,
        Blank,
        LineEnd
    };

    void separate(Separator s) { m_pending = std::max(m_pending, s); }
    void append(QChar c)
    {
        if (!m_text.isEmpty() && m_pending != None)
            m_text += m_pending == LineEnd ? QChar('\n') : QChar(' ');
        m_pending = None;
        m_text += c;
    }
    void append(const QString& s)
    {
        for (QChar c : s)
            c.isSpace() ? separate(Blank) : append(c);
    }
    QString text() const { return m_text; }

private:
    QString m_text;
    Separator m_pending = None;
};

} // namespace

QString PageText::decode(const QByteArray& bytes, const QString& contentType)
{
    bool known = false;
    QString charset = charsetOf(contentType);
    if (charset.isEmpty())
        charset = charsetOf(QString::fromLatin1(bytes.left(4096)));
    if (!charset.isEmpty()) {
        const QString text = decodeWith(charset, bytes, &known);
        if (known)
            return text;
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    const QString gbk = decodeWith(QStringLiteral("gb18030"), bytes, &known);
    return known ? gbk : text;
}

QString PageText::fromHtml(const QByteArray& bytes, const QString& contentType)
{
    return fromHtml(decode(bytes, contentType));
}

QString PageText::fromHtml(const QString& html)
{
    // Only the body is shown; a page without a body tag is shown whole.
    static const QRegularExpression bodyTag(QStringLiteral("<body[\\s>/]"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto body = bodyTag.match(html);
    int i = body.hasMatch() ? body.capturedStart() : 0;

    TextCollector out;
    QString hiddenUntil; // the closing tag that ends a hidden element
    const int n = int(html.size());
    while (i < n) {
        const QChar c = html[i];
        if (c == '<') {
            if (html.mid(i, 4) == QLatin1String("<!--")) {
                const int end = html.indexOf(QLatin1String("-->"), i + 4);
                i = end < 0 ? n : end + 3;
                continue;
            }
            int j = i + 1;
            const bool closing = j < n && html[j] == '/';
            if (closing)
                ++j;
            int nameEnd = j;
            while (nameEnd < n && (html[nameEnd].isLetterOrNumber()))
                ++nameEnd;
            if (nameEnd == j && !closing && (j >= n || (html[j] != '!' && html[j] != '?'))) {
                // A '<' that starts no tag is text.
                if (hiddenUntil.isEmpty())
                    out.append(c);
                ++i;
                continue;
            }
            // The tag ends at the first '>' outside a quoted attribute value.
            int k = nameEnd;
            QChar quote;
            for (; k < n; ++k) {
                const QChar q = html[k];
                if (!quote.isNull()) {
                    if (q == quote)
                        quote = QChar();
                } else if (q == '"' || q == '\'') {
                    quote = q;
                } else if (q == '>') {
                    break;
                }
            }
            const QString name = html.mid(j, nameEnd - j).toLower();
            i = k < n ? k + 1 : n;
            if (!hiddenUntil.isEmpty()) {
                if (closing && name == hiddenUntil)
                    hiddenUntil.clear();
                continue;
            }
            if (!closing && hiddenElements().contains(name) &&
                !html.mid(nameEnd, k - nameEnd).trimmed().endsWith('/')) {
                hiddenUntil = name;
                continue;
            }
            if (name == "td" || name == "th")
                out.separate(TextCollector::Blank);
            else if (blockElements().contains(name))
                out.separate(TextCollector::LineEnd);
            continue;
        }
        if (!hiddenUntil.isEmpty()) {
            ++i;
            continue;
        }
        if (c == '&') {
            QString decoded;
            const int length = decodeReference(html, i, &decoded);
            if (length > 0) {
                out.append(decoded);
                i += length;
                continue;
            }
        }
        if (c.isSpace())
            out.separate(TextCollector::Blank);
        else
            out.append(c);
        ++i;
    }
    return out.text();
}
