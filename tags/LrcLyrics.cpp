#include "LrcLyrics.h"

#include "TextCodec.h"
#include "TextLines.h"

#include <QStringDecoder>

#include <algorithm>
#include <sys/stat.h>
#include <vector>

namespace
{

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// The digits at pos (at most maxDigits of them): their value, pos moved past
// them; -1 when there is none or more than maxDigits.
qint64 readNumber(QStringView text, qsizetype &pos, qsizetype maxDigits)
{
    qint64 n = 0;
    qsizetype digits = 0;
    while (pos < text.size() && isDigit(text[pos])) {
        if (++digits > maxDigits)
            return -1;
        n = n * 10 + text[pos++].digitValue();
    }
    return digits > 0 ? n : -1;
}

// A stamp "<open>mm:ss<close>", "<open>mm:ss.xx<close>" or
// "<open>mm:ss:xx<close>" at pos: its time in milliseconds and pos moved
// past it; -1 and pos as it was when there is none.
qint64 readStamp(QStringView text, qsizetype &pos, QChar open, QChar close)
{
    qsizetype at = pos;
    if (at >= text.size() || text[at++] != open)
        return -1;
    const qint64 minutes = readNumber(text, at, 5);
    if (minutes < 0 || at >= text.size() || text[at++] != u':')
        return -1;
    const qint64 seconds = readNumber(text, at, 2);
    if (seconds < 0 || at >= text.size())
        return -1;
    qint64 ms = 0;
    if (text[at] == u'.' || text[at] == u':') {
        const qsizetype first = ++at;
        if (readNumber(text, at, 6) < 0)
            return -1;
        // ".5" is half a second, ".05" and ":05" hundredths, ".005" ms.
        for (qsizetype i = 0; i < 3; ++i)
            ms = ms * 10 + (first + i < at ? text[first + i].digitValue() : 0);
    }
    if (at >= text.size() || text[at++] != close)
        return -1;
    pos = at;
    return (minutes * 60 + seconds) * 1000 + ms;
}

// A header tag "[word:...]" at pos: pos moved past it, or false.
bool skipHeaderTag(QStringView text, qsizetype &pos)
{
    qsizetype at = pos;
    if (at >= text.size() || text[at++] != u'[')
        return false;
    const qsizetype word = at;
    while (at < text.size() && isLetter(text[at]))
        ++at;
    if (at == word || at >= text.size() || text[at] != u':')
        return false;
    const qsizetype end = text.indexOf(u']', at);
    if (end < 0)
        return false;
    pos = end + 1;
    return true;
}

void skipBlanks(QStringView text, qsizetype &pos)
{
    while (pos < text.size() && text[pos].isSpace())
        ++pos;
}

// A line of nothing but header tags.
bool isHeaderLine(QStringView line)
{
    qsizetype pos = 0;
    skipBlanks(line, pos);
    if (!skipHeaderTag(line, pos))
        return false;
    for (skipBlanks(line, pos); skipHeaderTag(line, pos);)
        skipBlanks(line, pos);
    return pos == line.size();
}

QString withoutWordStamps(QStringView text)
{
    QString plain;
    plain.reserve(text.size());
    for (qsizetype pos = 0; pos < text.size();) {
        if (readStamp(text, pos, u'<', u'>') < 0)
            plain += text[pos++];
    }
    return plain;
}

QString decode(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringDecoder::Utf16LE).decode(bytes.sliced(2));
    if (bytes.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringDecoder::Utf16BE).decode(bytes.sliced(2));
    return DecodeText(SkipByteOrderMark(bytes));
}

} // namespace

QString LrcLyrics(const QByteArray &bytes)
{
    // A line with several stamps is sung at each of them (a chorus written
    // once): it is repeated, and all lines put in the order of their times,
    // so the text reads the way the song goes. A line without a stamp keeps
    // its place after the line before it; lines before the first stamp stay
    // first.
    struct TimedLine {
        qint64 time;
        QString text;
    };
    std::vector<TimedLine> lines;
    qint64 lastTime = -1;
    for (const QString &line : SplitTextLines(decode(bytes))) {
        std::vector<qint64> times;
        qsizetype pos = 0;
        for (;;) {
            skipBlanks(line, pos);
            const qint64 time = readStamp(line, pos, u'[', u']');
            if (time < 0)
                break;
            times.push_back(time);
        }
        if (times.empty() && isHeaderLine(line))
            continue;
        const QString text = withoutWordStamps(QStringView(line).sliced(pos)).trimmed();
        if (times.empty()) {
            lines.push_back({ lastTime, text });
            continue;
        }
        for (const qint64 time : times)
            lines.push_back({ time, text });
        lastTime = times.front();
    }
    std::stable_sort(
        lines.begin(), lines.end(), [](const TimedLine &a, const TimedLine &b) { return a.time < b.time; });
    QStringList texts;
    texts.reserve(qsizetype(lines.size()));
    for (TimedLine &line : lines)
        texts.append(std::move(line.text));
    return LyricsText(std::move(texts));
}

QString LyricsText(QStringList lines)
{
    for (QString &line : lines) {
        qsizetype end = line.size();
        while (end > 0 && line[end - 1].isSpace())
            --end;
        line.truncate(end);
    }
    while (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    const auto first
        = std::find_if(lines.cbegin(), lines.cend(), [](const QString &l) { return !l.isEmpty(); });
    lines.erase(lines.cbegin(), first);
    return lines.join(u'\n');
}

QByteArray LrcPathFor(const QByteArray &songPath)
{
    const qsizetype slash = songPath.lastIndexOf('/');
    const qsizetype dot = songPath.lastIndexOf('.');
    const QByteArray base = dot > slash ? songPath.left(dot) : songPath;
    for (const char *extension : { ".lrc", ".LRC" }) {
        const QByteArray path = base + extension;
        struct stat st;
        if (::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode))
            return path;
    }
    return QByteArray();
}
