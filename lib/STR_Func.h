#pragma once
// Filling to a width, cutting and searching of texts. Positions are 1-based,
// as everywhere in the program's own routines.

#include <QString>

// S without trailing characters whose codes are 0 to 32.
QString StrTrimRight(const QString &S);
// S without leading and trailing characters whose codes are 0 to 32.
QString StrTrim(const QString &S);
// S left-justified in a field of Width characters: padded with Fill, or cut.
QString StrPadRight(const QString &S, QChar Fill, int Width);
// S right-justified in a field of Width characters: padded on the left with
// Fill, or only its last Width characters. Width <= 0 gives "".
QString StrPadLeft(const QString &S, QChar Fill, int Width);
// The first / last N characters of S; S itself when N >= its length.
QString StrLeft(const QString &S, int N);
QString StrRight(const QString &S, int N);
// Occurrences of Sub in S, overlapping ones included; LastPos gets the 1-based
// position of the last one (0 when none). An empty Sub is never found.
int StrCountLast(const QString &Sub, const QString &S, int &LastPos);
int StrCount(const QString &Sub, const QString &S);
int StrLastPos(const QString &Sub, const QString &S);
// The part of S before / after the first occurrence of Sub; "" when absent.
QString StrLeftOf(const QString &Sub, const QString &S);
QString StrRightOf(const QString &Sub, const QString &S);
