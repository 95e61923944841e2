#include "STR_Func.h"

#include <algorithm>

namespace
{

bool isBlankOrControl(QChar c)
{
    return c.unicode() <= 32;
}

} // namespace

QString StrTrimRight(const QString &S)
{
    qsizetype end = S.size();
    while (end > 0 && isBlankOrControl(S.at(end - 1)))
        --end;
    return S.left(end);
}

QString StrTrim(const QString &S)
{
    qsizetype begin = 0;
    while (begin < S.size() && isBlankOrControl(S.at(begin)))
        ++begin;
    return StrTrimRight(S.mid(begin));
}

QString StrPadRight(const QString &S, QChar Fill, int Width)
{
    if (Width <= 0)
        return QString();
    if (S.size() >= Width)
        return S.left(Width);
    return S + QString(Width - S.size(), Fill);
}

QString StrPadLeft(const QString &S, QChar Fill, int Width)
{
    if (Width <= 0)
        return QString();
    if (S.size() >= Width)
        return S.right(Width);
    QString padded(Width, Fill);
    std::copy(S.cbegin(), S.cend(), padded.begin() + (Width - S.size()));
    return padded;
}

QString StrLeft(const QString &S, int N)
{
    if (N >= S.size())
        return S;
    return StrPadRight(S, u' ', N);
}

QString StrRight(const QString &S, int N)
{
    if (N >= S.size())
        return S;
    return StrPadLeft(S, u' ', N);
}

int StrCountLast(const QString &Sub, const QString &S, int &LastPos)
{
    LastPos = 0;
    if (Sub.isEmpty())
        return 0;
    int count = 0;
    // Each search starts one character after the previous match, so
    // overlapping occurrences are counted too.
    for (qsizetype at = S.indexOf(Sub); at >= 0; at = S.indexOf(Sub, at + 1)) {
        ++count;
        LastPos = int(at + 1);
    }
    return count;
}

int StrCount(const QString &Sub, const QString &S)
{
    int lastPos = 0;
    return StrCountLast(Sub, S, lastPos);
}

int StrLastPos(const QString &Sub, const QString &S)
{
    int lastPos = 0;
    StrCountLast(Sub, S, lastPos);
    return lastPos;
}

QString StrLeftOf(const QString &Sub, const QString &S)
{
    const qsizetype at = Sub.isEmpty() ? -1 : S.indexOf(Sub);
    if (at < 0)
        return QString();
    return S.left(at);
}

QString StrRightOf(const QString &Sub, const QString &S)
{
    const qsizetype at = Sub.isEmpty() ? -1 : S.indexOf(Sub);
    if (at < 0)
        return QString();
    return S.mid(at + Sub.size());
}
