#pragma once
// Day-month-year dates ("dd-mm-yyyy", "dd-mm-yyyy hh:nn") and file times.
// A date-time value is a number of days since 30-12-1899 00:00; its fraction
// is the time of day (0.5 = 12:00). Nothing here touches process-wide locale
// settings, so a failed conversion leaves them as they were.

#include <QDateTime>
#include <QString>

using TDateTime = double;

extern const TDateTime MinDateTime; // 01-01-1900 00:00
extern const TDateTime MaxDateTime; // 31-12-9999 23:59

// Throws EQLXError("'<S>' is not a valid <What>.") unless the date part of S
// has exactly two "-", at least four characters after the last one, and
// does not start its year with "00".
void CheckDateText(const QString &S, const QString &What);
// "d-m-yyyy" (blanks and control characters around it allowed; day and
// month of one or two digits, a year from 1 to 9999); throws EQLXError on an
// implausible text or an impossible date ("'31-02-2002' is not a valid date").
TDateTime StrToDateDMY(const QString &S);
// "d-m-yyyy[ h:n]", one blank before a 24-hour time of one or two digit
// hours and minutes; throws like StrToDateDMY with "date and time".
TDateTime StrToDateTimeDMY(const QString &S);
QString DateToStrDMY(TDateTime D); // "dd-mm-yyyy"
QString DateTimeToStrDMY(TDateTime D); // "dd-mm-yyyy hh:nn"
// Last modification of the file in local time; 01-01-1900 when unknown.
TDateTime FileDateTimeOf(const QString &FileName);

// dt in local time as a date-time value, milliseconds kept; an invalid dt
// gives 0 (30-12-1899 00:00).
TDateTime DateTimeFromQt(const QDateTime &dt);
// D as a local QDateTime, rounded to the millisecond; invalid when D lies
// outside the years 1 to 9999 (the two date-to-text routines give "" then).
QDateTime DateTimeToQt(TDateTime D);
