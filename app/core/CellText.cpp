#include "CellText.h"

#include "STR_Func.h"

#include <cmath>

namespace CellText
{

QString ArtistPart(const QString &fileName)
{
    return StrLeftOf(QStringLiteral("-"), fileName);
}

QString TitlePart(const QString &fileName)
{
    return StrLeftOf(QStringLiteral("."), StrRightOf(QStringLiteral("-"), fileName));
}

QString FormatOneDecimal(double value, int width)
{
    // Round once to tenths, then group the whole part by hand: the result
    // must not depend on the user's locale.
    const bool negative = std::signbit(value) && std::llround(std::fabs(value) * 10.0) != 0;
    const long long tenths = std::llround(std::fabs(value) * 10.0);
    QString whole = QString::number(tenths / 10);
    for (qsizetype pos = whole.size() - 3; pos > 0; pos -= 3)
        whole.insert(pos, QLatin1Char(','));
    QString text = (negative ? QStringLiteral("-") : QString()) + whole + QLatin1Char('.')
        + QString::number(tenths % 10);
    return text.size() < width ? QString(width - text.size(), QLatin1Char(' ')) + text : text;
}

QString SizeCell(qint64 bytes)
{
    return StrPadLeft(FormatOneDecimal(double(bytes) / 1048576.0, 3), QLatin1Char(' '), 5);
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
    return StrTrim(playTime) == QLatin1String("00:00") ? QStringLiteral("No INI") : playTime;
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
    const QString text = QStringLiteral("00:") + trimmedPlayTime;
    qsizetype pos = 0;
    int fields[3] = { 0, 0, 0 };
    for (int f = 0; f < 3; ++f) {
        if (f > 0) {
            if (pos >= text.size() || text[pos] != QLatin1Char(':'))
                return false;
            ++pos;
        }
        fields[f] = readField(text, pos);
        if (fields[f] < 0)
            return false;
    }
    if (pos != text.size() || fields[1] >= 60 || fields[2] >= 60)
        return false;
    days = (fields[1] * 60.0 + fields[2]) / 86400.0;
    return true;
}

} // namespace CellText
