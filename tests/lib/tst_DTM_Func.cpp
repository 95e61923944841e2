// Day-month-year texts to date values and back, the plausibility check and
// its messages, and file modification times.

#include "DTM_Func.h"
#include "QLXError.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace
{

// The message of the EQLXError that f throws, or "no error".
template <typename F> QString errorOf(F f)
{
    try {
        f();
    } catch (const EQLXError &e) {
        return e.message();
    }
    return u"no error"_s;
}

// Minutes as a fraction of a day.
constexpr double minutes(int h, int n)
{
    return (h * 60 + n) / 1440.0;
}

} // namespace

class TestDtmFunc : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void checkDateText_data();
    void checkDateText();
    void strToDate_data();
    void strToDate();
    void strToDateTime_data();
    void strToDateTime();
    void toText_data();
    void toText();
    void limits();
    void independentOfLocale();
    void qtRoundTrip_data();
    void qtRoundTrip();
    void fileDateTime();
};

// A zone five hours east of UTC, so that mixing up UTC and local time
// shows on any machine.
void TestDtmFunc::initTestCase()
{
    qputenv("TZ", "XYZ-5");
    ::tzset();
    QCOMPARE(QDateTime(QDate(2002, 1, 31), QTime(14, 5)).offsetFromUtc(), 5 * 3600);
}

void TestDtmFunc::checkDateText_data()
{
    QTest::addColumn<QString>("s");
    QTest::addColumn<QString>("error");

    const QString ok = u"no error"_s;
    QTest::newRow("plain") << u"1-1-2000"_s << ok;
    QTest::newRow("with-time") << u"31-01-2002 14:05"_s << ok;
    QTest::newRow("surrounding-blanks") << u"  1-1-2000\t"_s << ok;
    // Only the shape is checked here; 31 February passes.
    QTest::newRow("impossible-day") << u"31-02-2002"_s << ok;
    QTest::newRow("year-starts-01") << u"1-1-0100"_s << ok;
    QTest::newRow("two-digit-year") << u"01-01-99"_s << u"'01-01-99' is not a valid date."_s;
    QTest::newRow("three-digit-year") << u"1-1-999"_s << u"'1-1-999' is not a valid date."_s;
    QTest::newRow("short-year-before-time") << u"1-1-99 12:00"_s << u"'1-1-99 12:00' is not a valid date."_s;
    QTest::newRow("slashes") << u"01/01/2000"_s << u"'01/01/2000' is not a valid date."_s;
    QTest::newRow("year-00") << u"1-1-0099"_s << u"'1-1-0099' is not a valid date."_s;
    QTest::newRow("one-dash") << u"1-2000"_s << u"'1-2000' is not a valid date."_s;
    QTest::newRow("three-dashes") << u"1-1-1-2000"_s << u"'1-1-1-2000' is not a valid date."_s;
    QTest::newRow("empty") << QString() << u"'' is not a valid date."_s;
    QTest::newRow("message-keeps-blanks") << u" 1-1-99 "_s << u"' 1-1-99 ' is not a valid date."_s;
}

void TestDtmFunc::checkDateText()
{
    QFETCH(QString, s);
    QFETCH(QString, error);
    QCOMPARE(errorOf([&] { CheckDateText(s, u"date"_s); }), error);
}

void TestDtmFunc::strToDate_data()
{
    QTest::addColumn<QString>("s");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("error");

    const QString ok = u"no error"_s;
    QTest::newRow("2000-01-01") << u"1-1-2000"_s << 36526.0 << ok;
    QTest::newRow("two-digit-day-month") << u"05-03-2001"_s << 36955.0 << ok;
    QTest::newRow("leap-day") << u"29-02-2000"_s << 36585.0 << ok;
    QTest::newRow("first-of-1900") << u"01-01-1900"_s << 2.0 << ok;
    QTest::newRow("before-1899-12-30") << u"29-12-1899"_s << -1.0 << ok;
    QTest::newRow("year-9999") << u"31-12-9999"_s << 2958465.0 << ok;
    QTest::newRow("surrounding-blanks") << u" 1-1-2000 "_s << 36526.0 << ok;
    QTest::newRow("feb-31") << u"31-02-2002"_s << 0.0 << u"'31-02-2002' is not a valid date"_s;
    QTest::newRow("feb-29-non-leap") << u"29-02-2001"_s << 0.0 << u"'29-02-2001' is not a valid date"_s;
    QTest::newRow("month-13") << u"1-13-2000"_s << 0.0 << u"'1-13-2000' is not a valid date"_s;
    QTest::newRow("day-0") << u"0-1-2000"_s << 0.0 << u"'0-1-2000' is not a valid date"_s;
    QTest::newRow("day-32") << u"32-1-2000"_s << 0.0 << u"'32-1-2000' is not a valid date"_s;
    QTest::newRow("three-digit-day") << u"001-1-2000"_s << 0.0 << u"'001-1-2000' is not a valid date"_s;
    QTest::newRow("year-10000") << u"1-1-10000"_s << 0.0 << u"'1-1-10000' is not a valid date"_s;
    QTest::newRow("letter-in-year") << u"1-1-200x"_s << 0.0 << u"'1-1-200x' is not a valid date"_s;
    QTest::newRow("empty-day") << u"-1-2000"_s << 0.0 << u"'-1-2000' is not a valid date"_s;
    QTest::newRow("time-not-taken") << u"1-1-2000 12:00"_s << 0.0
                                    << u"'1-1-2000 12:00' is not a valid date"_s;
    QTest::newRow("arabic-digits") << u"\u0661-1-2000"_s << 0.0 << u"'\u0661-1-2000' is not a valid date"_s;
    QTest::newRow("implausible") << u"1-1-99"_s << 0.0 << u"'1-1-99' is not a valid date."_s;
}

void TestDtmFunc::strToDate()
{
    QFETCH(QString, s);
    QFETCH(double, value);
    QFETCH(QString, error);

    double got = 0.0;
    QCOMPARE(errorOf([&] { got = StrToDateDMY(s); }), error);
    QCOMPARE(got, value);
}

void TestDtmFunc::strToDateTime_data()
{
    QTest::addColumn<QString>("s");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("error");

    const QString ok = u"no error"_s;
    QTest::newRow("date-and-time") << u"31-01-2002 14:05"_s << 37287.0 + minutes(14, 5) << ok;
    QTest::newRow("date-only") << u"31-01-2002"_s << 37287.0 << ok;
    QTest::newRow("one-digit-time") << u"1-1-2000 1:2"_s << 36526.0 + minutes(1, 2) << ok;
    QTest::newRow("midnight") << u"1-1-2000 00:00"_s << 36526.0 << ok;
    QTest::newRow("last-minute") << u"1-1-2000 23:59"_s << 36526.0 + minutes(23, 59) << ok;
    QTest::newRow("before-1899-12-30") << u"29-12-1899 06:00"_s << -1.25 << ok;
    QTest::newRow("trailing-blank") << u"1-1-2000 "_s << 36526.0 << ok;
    QTest::newRow("hour-24") << u"1-1-2000 24:00"_s << 0.0
                             << u"'1-1-2000 24:00' is not a valid date and time"_s;
    QTest::newRow("minute-60") << u"1-1-2000 12:60"_s << 0.0
                               << u"'1-1-2000 12:60' is not a valid date and time"_s;
    QTest::newRow("two-blanks") << u"1-1-2000  12:00"_s << 0.0
                                << u"'1-1-2000  12:00' is not a valid date and time"_s;
    QTest::newRow("no-minutes") << u"1-1-2000 12"_s << 0.0 << u"'1-1-2000 12' is not a valid date and time"_s;
    QTest::newRow("empty-minutes") << u"1-1-2000 12:"_s << 0.0
                                   << u"'1-1-2000 12:' is not a valid date and time"_s;
    QTest::newRow("empty-hours") << u"1-1-2000 :30"_s << 0.0
                                 << u"'1-1-2000 :30' is not a valid date and time"_s;
    QTest::newRow("three-digit-hour")
        << u"1-1-2000 012:00"_s << 0.0 << u"'1-1-2000 012:00' is not a valid date and time"_s;
    QTest::newRow("seconds") << u"1-1-2000 12:00:00"_s << 0.0
                             << u"'1-1-2000 12:00:00' is not a valid date and time"_s;
    QTest::newRow("tab-before-time") << u"1-1-2000\t12:00"_s << 0.0
                                     << u"'1-1-2000\t12:00' is not a valid date and time"_s;
    QTest::newRow("feb-30") << u"30-02-2000 10:00"_s << 0.0
                            << u"'30-02-2000 10:00' is not a valid date and time"_s;
    QTest::newRow("implausible") << u"1-1-99 10:00"_s << 0.0
                                 << u"'1-1-99 10:00' is not a valid date and time."_s;
}

void TestDtmFunc::strToDateTime()
{
    QFETCH(QString, s);
    QFETCH(double, value);
    QFETCH(QString, error);

    double got = 0.0;
    QCOMPARE(errorOf([&] { got = StrToDateTimeDMY(s); }), error);
    QCOMPARE(got, value);
}

void TestDtmFunc::toText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("dateTime");

    QTest::newRow("zero-padded") << 36955.0 << u"05-03-2001"_s << u"05-03-2001 00:00"_s;
    QTest::newRow("afternoon") << 37287.0 + minutes(14, 5) << u"31-01-2002"_s << u"31-01-2002 14:05"_s;
    // Seconds are left off, not rounded into the minute.
    QTest::newRow("59-seconds") << 37287.0 + minutes(14, 5) + 59.0 / 86400 << u"31-01-2002"_s
                                << u"31-01-2002 14:05"_s;
    QTest::newRow("last-ms-of-day") << 37287.0 + 86399999.0 / 86400000 << u"31-01-2002"_s
                                    << u"31-01-2002 23:59"_s;
    QTest::newRow("under-half-ms-to-midnight")
        << 37287.0 + 86399999.7 / 86400000 << u"01-02-2002"_s << u"01-02-2002 00:00"_s;
    QTest::newRow("epoch") << 0.0 << u"30-12-1899"_s << u"30-12-1899 00:00"_s;
    QTest::newRow("before-epoch") << -1.25 << u"29-12-1899"_s << u"29-12-1899 06:00"_s;
    QTest::newRow("year-100") << -657434.0 << u"01-01-0100"_s << u"01-01-0100 00:00"_s;
    QTest::newRow("year-1") << -693593.0 << u"01-01-0001"_s << u"01-01-0001 00:00"_s;
    QTest::newRow("year-0") << -693594.0 << QString() << QString();
    QTest::newRow("year-10000") << 2958466.0 << QString() << QString();
    QTest::newRow("not-a-number") << qQNaN() << QString() << QString();
    QTest::newRow("infinite") << qInf() << QString() << QString();
}

void TestDtmFunc::toText()
{
    QFETCH(double, value);
    QFETCH(QString, date);
    QFETCH(QString, dateTime);
    QCOMPARE(DateToStrDMY(value), date);
    QCOMPARE(DateTimeToStrDMY(value), dateTime);
}

void TestDtmFunc::limits()
{
    QCOMPARE(MinDateTime, 2.0);
    QCOMPARE(DateTimeToStrDMY(MinDateTime), u"01-01-1900 00:00"_s);
    QCOMPARE(DateTimeToStrDMY(MaxDateTime), u"31-12-9999 23:59"_s);
    QCOMPARE(StrToDateTimeDMY(u"31-12-9999 23:59"_s), MaxDateTime);
}

// Conversions neither depend on nor change the locale of the process, also
// when they fail.
void TestDtmFunc::independentOfLocale()
{
    const QLocale saved;
    const QByteArray savedC = std::setlocale(LC_ALL, nullptr);
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));

    QCOMPARE(StrToDateDMY(u"5-3-2001"_s), 36955.0);
    QCOMPARE(DateTimeToStrDMY(36955.5), u"05-03-2001 12:00"_s);
    QCOMPARE(errorOf([] { StrToDateDMY(u"31-02-2002"_s); }), u"'31-02-2002' is not a valid date"_s);
    QCOMPARE(errorOf([] { StrToDateTimeDMY(u"1/1/2000"_s); }), u"'1/1/2000' is not a valid date and time."_s);
    QCOMPARE(QLocale().language(), QLocale::Arabic);
    QCOMPARE(QByteArray(std::setlocale(LC_ALL, nullptr)), savedC);

    QLocale::setDefault(saved);
}

void TestDtmFunc::qtRoundTrip_data()
{
    QTest::addColumn<QDateTime>("qt");
    QTest::addColumn<double>("value");

    QTest::newRow("milliseconds-kept") << QDateTime(QDate(2002, 1, 31), QTime(14, 5, 30, 250))
                                       << 37287.0 + (14 * 3600 + 5 * 60 + 30.25) / 86400;
    QTest::newRow("midnight") << QDateTime(QDate(2000, 1, 1), QTime(0, 0)) << 36526.0;
    QTest::newRow("before-epoch") << QDateTime(QDate(1899, 12, 29), QTime(6, 0)) << -1.25;
    QTest::newRow("last-minute-9999") << QDateTime(QDate(9999, 12, 31), QTime(23, 59)) << MaxDateTime;
}

void TestDtmFunc::qtRoundTrip()
{
    QFETCH(QDateTime, qt);
    QFETCH(double, value);
    QCOMPARE(DateTimeFromQt(qt), value);
    QCOMPARE(DateTimeToQt(value), qt);
}

void TestDtmFunc::fileDateTime()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"song.mp3"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    const QDateTime when(QDate(2002, 1, 31), QTime(14, 5, 42));
    const timespec times[2] = { { when.toSecsSinceEpoch(), 0 }, { when.toSecsSinceEpoch(), 0 } };
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);

    QCOMPARE(FileDateTimeOf(path), 37287.0 + (14 * 3600 + 5 * 60 + 42) / 86400.0);
    QCOMPARE(DateTimeToStrDMY(FileDateTimeOf(path)), u"31-01-2002 14:05"_s);
    QCOMPARE(FileDateTimeOf(dir.filePath(u"missing.mp3"_s)), 2.0);
    QCOMPARE(FileDateTimeOf(QString()), 2.0);
}

QTEST_APPLESS_MAIN(TestDtmFunc)
#include "tst_DTM_Func.moc"
