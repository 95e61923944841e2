#include "DTM_Func.h"

#include "QLXError.h"
#include "STR_Func.h"

#include <QFile>

#include <cmath>
#include <optional>
#include <sys/stat.h>

const TDateTime MinDateTime = 2.0; // 01-01-1900 00:00
const TDateTime MaxDateTime = 2958465.0 + (23 * 60 + 59) / 1440.0; // 31-12-9999 23:59

namespace
{

constexpr qint64 MSecsPerDay = 86400000;
constexpr int FirstYear = 1;
constexpr int LastYear = 9999;

QDate epoch()
{
    return QDate(1899, 12, 30);
}

// A run of ASCII digits of MinDigits to MaxDigits characters from Pos on,
// as a number; Pos moves past it. Digits of other scripts are not accepted.
std::optional<int> takeNumber(QStringView S, qsizetype &Pos, int MinDigits, int MaxDigits)
{
    const qsizetype start = Pos;
    qint64 value = 0;
    while (Pos < S.size() && S[Pos] >= u'0' && S[Pos] <= u'9') {
        if (Pos - start == MaxDigits)
            return std::nullopt;
        value = value * 10 + (S[Pos].unicode() - u'0');
        ++Pos;
    }
    if (Pos - start < MinDigits)
        return std::nullopt;
    return int(value);
}

bool takeChar(QStringView S, qsizetype &Pos, char16_t C)
{
    if (Pos >= S.size() || S[Pos] != C)
        return false;
    ++Pos;
    return true;
}

// "d-m-yyyy" from Pos on; years outside 1..9999 have no date value.
std::optional<QDate> takeDate(QStringView S, qsizetype &Pos)
{
    const auto day = takeNumber(S, Pos, 1, 2);
    if (!day || !takeChar(S, Pos, u'-'))
        return std::nullopt;
    const auto month = takeNumber(S, Pos, 1, 2);
    if (!month || !takeChar(S, Pos, u'-'))
        return std::nullopt;
    // More digits than any valid year has only need to be seen as too large.
    const auto year = takeNumber(S, Pos, 4, 9);
    if (!year || *year < FirstYear || *year > LastYear)
        return std::nullopt;
    const QDate date(*year, *month, *day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

// "h:n" from Pos on, as milliseconds since midnight.
std::optional<qint64> takeTime(QStringView S, qsizetype &Pos)
{
    const auto hour = takeNumber(S, Pos, 1, 2);
    if (!hour || *hour > 23 || !takeChar(S, Pos, u':'))
        return std::nullopt;
    const auto minute = takeNumber(S, Pos, 1, 2);
    if (!minute || *minute > 59)
        return std::nullopt;
    return (*hour * 60 + *minute) * qint64(60000);
}

// Days since 30-12-1899 plus the time of day. Before that day the value is
// negative while its fraction still counts forward from midnight, so
// 29-12-1899 06:00 is -1.25.
TDateTime encode(const QDate &Date, qint64 MSecs)
{
    const double days = double(epoch().daysTo(Date));
    const double fraction = double(MSecs) / MSecsPerDay;
    return days < 0 ? days - fraction : days + fraction;
}

struct Decoded {
    QDate date;
    qint64 msecs;
};

// The inverse of encode, rounded to the millisecond; nothing for values
// outside the years 1 to 9999.
std::optional<Decoded> decode(TDateTime D)
{
    if (!std::isfinite(D) || D <= -693595.0 || D >= 2958466.0)
        return std::nullopt;
    const double whole = std::trunc(D);
    qint64 msecs = std::llround(std::fabs(D - whole) * MSecsPerDay);
    QDate date = epoch().addDays(qint64(whole));
    if (msecs >= MSecsPerDay) {
        date = date.addDays(1);
        msecs -= MSecsPerDay;
    }
    if (date.year() < FirstYear || date.year() > LastYear)
        return std::nullopt;
    return Decoded { date, msecs };
}

QString twoDigits(int Value)
{
    return QString::number(Value).rightJustified(2, u'0');
}

QString formatDate(const QDate &Date)
{
    return twoDigits(Date.day()) + u'-' + twoDigits(Date.month()) + u'-'
        + QString::number(Date.year()).rightJustified(4, u'0');
}

[[noreturn]] void throwInvalid(const QString &S, const QString &What)
{
    throw EQLXError(u'\'' + S + QStringLiteral("' is not a valid ") + What);
}

} // namespace

void CheckDateText(const QString &S, const QString &What)
{
    QString text = StrTrim(S);
    const qsizetype blank = text.indexOf(u' ');
    if (blank >= 0)
        text.truncate(blank);
    const qsizetype lastDash = text.lastIndexOf(u'-');
    const bool plausible = text.count(u'-') == 2 && text.size() - lastDash - 1 >= 4
        && text.mid(lastDash + 1, 2) != QLatin1String("00");
    if (!plausible)
        throw EQLXError(u'\'' + S + QStringLiteral("' is not a valid ") + What + u'.');
}

TDateTime StrToDateDMY(const QString &S)
{
    const QString what = QStringLiteral("date");
    CheckDateText(S, what);
    const QString text = StrTrim(S);
    qsizetype pos = 0;
    const auto date = takeDate(text, pos);
    if (!date || pos != text.size())
        throwInvalid(S, what);
    return encode(*date, 0);
}

TDateTime StrToDateTimeDMY(const QString &S)
{
    const QString what = QStringLiteral("date and time");
    CheckDateText(S, what);
    const QString text = StrTrim(S);
    qsizetype pos = 0;
    const auto date = takeDate(text, pos);
    if (!date)
        throwInvalid(S, what);
    qint64 msecs = 0;
    if (pos < text.size()) {
        const auto time = takeChar(text, pos, u' ') ? takeTime(text, pos) : std::nullopt;
        if (!time)
            throwInvalid(S, what);
        msecs = *time;
    }
    if (pos != text.size())
        throwInvalid(S, what);
    return encode(*date, msecs);
}

QString DateToStrDMY(TDateTime D)
{
    const auto decoded = decode(D);
    return decoded ? formatDate(decoded->date) : QString();
}

QString DateTimeToStrDMY(TDateTime D)
{
    const auto decoded = decode(D);
    if (!decoded)
        return QString();
    const qint64 minutes = decoded->msecs / 60000;
    return formatDate(decoded->date) + u' ' + twoDigits(int(minutes / 60)) + u':'
        + twoDigits(int(minutes % 60));
}

TDateTime FileDateTimeOf(const QString &FileName)
{
    const QByteArray path = QFile::encodeName(FileName);
    struct stat st;
    if (path.isEmpty() || path.contains('\0') || ::stat(path.constData(), &st) != 0)
        return MinDateTime;
    const qint64 msecs = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    const TDateTime result = DateTimeFromQt(QDateTime::fromMSecsSinceEpoch(msecs));
    // A time outside the years 1 to 9999 has no date value.
    return decode(result) ? result : MinDateTime;
}

TDateTime DateTimeFromQt(const QDateTime &dt)
{
    if (!dt.isValid())
        return 0.0;
    const QDateTime local = dt.toLocalTime();
    return encode(local.date(), local.time().msecsSinceStartOfDay());
}

QDateTime DateTimeToQt(TDateTime D)
{
    const auto decoded = decode(D);
    if (!decoded)
        return QDateTime();
    return QDateTime(decoded->date, QTime::fromMSecsSinceStartOfDay(int(decoded->msecs)));
}
