#include "LocaleClockFormats.h"

#include <QLocale>

#include <algorithm>
#include <vector>

namespace {

// A time format is a row of fields (runs of pattern letters) and literal text between them.
struct Token {
    QString text;
    bool field;
};

bool isMarkerStart(QChar c)
{
    return c == u'A' || c == u'a';
}

bool isMarkerEnd(QChar c)
{
    return c == u'P' || c == u'p';
}

// Runs of these letters are fields. "B" and "b" are the day period of the locale data,
// which Qt passes through as plain letters: where they stand, the locale keeps a 12-hour
// clock with its marker, so they are read as the marker.
bool isRunLetter(QChar c)
{
    return QStringView(u"hHmszt"
                       u"Bb")
        .contains(c);
}

// Length of the quoted text starting at `from` ("'" ... "'", with "''" for a quote).
qsizetype quotedLength(const QString& format, qsizetype from)
{
    qsizetype i = from + 1;
    while (i < format.size()) {
        if (format[i] == u'\'' && !(i + 1 < format.size() && format[i + 1] == u'\''))
            return i + 1 - from;
        i += format[i] == u'\'' ? 2 : 1;
    }
    return format.size() - from;
}

qsizetype fieldLength(const QString& format, qsizetype from)
{
    const QChar c = format[from];
    if (isMarkerStart(c))
        return from + 1 < format.size() && isMarkerEnd(format[from + 1]) ? 2 : 1;
    if (!isRunLetter(c))
        return 0;
    qsizetype i = from;
    while (i < format.size() && format[i] == c)
        ++i;
    return i - from;
}

std::vector<Token> tokenize(const QString& format)
{
    std::vector<Token> tokens;
    qsizetype i = 0;
    while (i < format.size()) {
        const qsizetype field = fieldLength(format, i);
        const qsizetype length = field > 0 ? field : format[i] == u'\'' ? quotedLength(format, i) : 1;
        if (field == 0 && !tokens.empty() && !tokens.back().field)
            tokens.back().text += format.mid(i, length);
        else
            tokens.push_back({format.mid(i, length), field > 0});
        i += length;
    }
    return tokens;
}

bool isHour(const Token& token)
{
    return token.field && (token.text[0] == u'h' || token.text[0] == u'H');
}

bool isMarker(const Token& token)
{
    return token.field && (isMarkerStart(token.text[0]) || token.text[0] == u'B' || token.text[0] == u'b');
}

} // namespace

QString clockLongTimeFormat(const QString& localeFormat)
{
    const std::vector<Token> tokens = tokenize(localeFormat);
    qsizetype hour = -1;
    qsizetype marker = -1;
    for (qsizetype i = 0; i < qsizetype(tokens.size()); ++i) {
        if (hour < 0 && isHour(tokens[i]))
            hour = i;
        if (marker < 0 && isMarker(tokens[i]))
            marker = i;
    }
    if (hour < 0)
        return QStringLiteral("HH:mm:ss");

    const QString time = tokens[hour].text.left(2) + QStringLiteral(":mm:ss");
    if (marker < 0)
        return time;
    const QString markerText =
        isMarkerStart(tokens[marker].text[0]) ? tokens[marker].text : QStringLiteral("AP");
    const bool before = marker < hour;
    const Token& gap = tokens[before ? marker + 1 : marker - 1];
    // The locale's own blank between the two stays (newer locale data writes a narrow
    // no-break space before the marker, so the two never part); any other text becomes one.
    const bool blank = !gap.text.isEmpty() && std::all_of(gap.text.begin(), gap.text.end(), [](QChar c) {
        return c.isSpace();
    });
    const QString separator = gap.field ? QString() : blank ? gap.text : QStringLiteral(" ");
    return before ? markerText + separator + time : time + separator + markerText;
}

ClockFormats clockFormatsFor(const QLocale& locale)
{
    ClockFormats formats;
    formats.longTime = clockLongTimeFormat(locale.timeFormat(QLocale::LongFormat));
    // The C locale has no short date of its own (Qt's "d MMM yyyy" would not even fit the
    // date panel); the desktop's default stands in for it, as for a locale that gives none.
    formats.shortDate = locale.language() == QLocale::C ? QString() : locale.dateFormat(QLocale::ShortFormat);
    if (formats.shortDate.isEmpty())
        formats.shortDate = QStringLiteral("M/d/yy");
    return formats;
}
