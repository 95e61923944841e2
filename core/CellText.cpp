#include "CellText.h"

#include "STR_Func.h"

#include <algorithm>
#include <cmath>

namespace CellText
{

QString ArtistPart(const QString &fileName)
{
    const qsizetype dash = fileName.indexOf(QLatin1Char('-'));
    return dash < 0 ? QString() : fileName.left(dash);
}

QString TitlePart(const QString &fileName)
{
    // StrLeftOf(".", StrRightOf("-", name)) without the string in between.
    const qsizetype dash = fileName.indexOf(QLatin1Char('-'));
    const qsizetype dot = dash < 0 ? -1 : fileName.indexOf(QLatin1Char('.'), dash + 1);
    return dot < 0 ? QString() : fileName.mid(dash + 1, dot - dash - 1);
}

namespace
{

// The text of FormatOneDecimal, written backwards from the end of a buffer
// (a scan writes one per song, so no string is made on the way).
class Decimal
{
public:
    Decimal(double value, int width)
    {
        // Round once to tenths, then group the whole part by hand: the
        // result must not depend on the user's locale.
        const long long tenths = std::llround(std::fabs(value) * 10.0);
        put(char16_t(u'0' + tenths % 10));
        put(u'.');
        long long whole = tenths / 10;
        int digits = 0;
        do {
            if (digits > 0 && digits % 3 == 0)
                put(u',');
            put(char16_t(u'0' + whole % 10));
            whole /= 10;
            ++digits;
        } while (whole > 0);
        if (std::signbit(value) && tenths != 0)
            put(u'-');
        while (size() < width && m_begin > 0)
            put(u' ');
    }
    int size() const { return Capacity - m_begin; }
    // The last n characters at most.
    QString right(int n) const
    {
        const int length = std::min(n, size());
        return QString(reinterpret_cast<const QChar *>(m_buffer + Capacity - length), length);
    }

private:
    static constexpr int Capacity = 64;
    void put(char16_t c) { m_buffer[--m_begin] = c; }
    char16_t m_buffer[Capacity];
    int m_begin = Capacity;
};

} // namespace

QString FormatOneDecimal(double value, int width)
{
    const Decimal text(value, width);
    if (text.size() < width) // wider than the buffer pads
        return QString(width - text.size(), QLatin1Char(' ')) + text.right(text.size());
    return text.right(text.size());
}

QString SizeCell(qint64 bytes)
{
    // Right-justified to 5: padded, or its last 5 characters.
    return Decimal(double(bytes) / 1048576.0, 5).right(5);
}

QString SizeTotal(double bytes)
{
    return StrPadLeft(FormatOneDecimal(bytes / 1048576.0, 5), QLatin1Char(' '), 7) + QStringLiteral(" MB");
}

QString TimeTotal(double days)
{
    const long long seconds = std::llround(days * 86400.0 * 1000.0) / 1000;
    const long long hours = (seconds / 3600) % 24;
    const long long minutes = (seconds / 60) % 60;
    return QStringLiteral("%1:%2 hr")
        .arg(hours, 2, 10, QLatin1Char('0'))
        .arg(minutes, 2, 10, QLatin1Char('0'));
}

QString TimeCell(const QString &playTime)
{
    // StrTrim(playTime) == "00:00", without making the trimmed string.
    QStringView trimmed(playTime);
    while (!trimmed.isEmpty() && trimmed.front().unicode() <= 32)
        trimmed = trimmed.sliced(1);
    while (!trimmed.isEmpty() && trimmed.back().unicode() <= 32)
        trimmed.chop(1);
    return trimmed == QLatin1String("00:00") ? QStringLiteral("No INI") : playTime;
}

namespace
{

// Reads 1 or 2 digits at pos; -1 when there are none.
int readField(const QString &text, qsizetype &pos)
{
    int value = 0;
    int digits = 0;
    while (pos < text.size() && text[pos].isDigit() && text[pos].unicode() < 128 && digits < 3) {
        value = value * 10 + (text[pos].unicode() - '0');
        ++digits;
        ++pos;
    }
    return digits == 0 || digits > 2 ? -1 : value;
}

} // namespace

bool ParsePlayTime(const QString &trimmedPlayTime, double &days)
{
    // Read as "00:" + the text, a time of day: with the hours given, the
    // text must be exactly minutes ":" seconds.
    const QString &text = trimmedPlayTime;
    qsizetype pos = 0;
    const int minutes = readField(text, pos);
    if (minutes < 0 || pos >= text.size() || text[pos] != QLatin1Char(':'))
        return false;
    ++pos;
    const int seconds = readField(text, pos);
    if (seconds < 0 || pos != text.size() || minutes >= 60 || seconds >= 60)
        return false;
    days = (minutes * 60.0 + seconds) / 86400.0;
    return true;
}

} // namespace CellText
