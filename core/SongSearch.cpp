#include "SongSearch.h"

#include "SongList.h"

namespace SongSearch
{

namespace
{

inline char16_t fold(char16_t c)
{
    return c >= u'a' && c <= u'z' ? char16_t(c - (u'a' - u'A')) : c;
}

} // namespace

QString Fold(QStringView text)
{
    QString folded(text.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(folded.data());
    for (qsizetype i = 0; i < text.size(); ++i)
        out[i] = fold(text[i].unicode());
    return folded;
}

bool Contains(QStringView cell, QStringView foldedText)
{
    const qsizetype n = foldedText.size();
    if (n == 0 || cell.size() < n)
        return false;
    const char16_t *hay = cell.utf16();
    const char16_t *needle = foldedText.utf16();
    const char16_t first = needle[0];
    for (qsizetype i = 0, last = cell.size() - n; i <= last; ++i) {
        if (fold(hay[i]) != first)
            continue;
        qsizetype j = 1;
        while (j < n && fold(hay[i + j]) == needle[j])
            ++j;
        if (j == n)
            return true;
    }
    return false;
}

int FindFrom(const TSongList &songs, int startRow, const QString &text)
{
    const QString folded = Fold(text);
    if (folded.isEmpty())
        return 0;
    const int rows = songs.RowCount();
    // Each cell's text lives in a heap block of its own, and waiting for
    // those blocks is most of the time a search takes: ask for the blocks a
    // few rows ahead while this row is compared.
    constexpr int Ahead = 8;
    for (int r = qMax(1, startRow); r < rows; ++r) {
        if (r + Ahead < rows)
            for (int c = 0; c < TSongList::ColCount; ++c) {
                const QString &later = songs.Cells(c, r + Ahead);
                if (later.size() >= folded.size())
                    __builtin_prefetch(later.constData());
            }
        for (int c = 0; c < TSongList::ColCount; ++c)
            if (Contains(songs.Cells(c, r), folded))
                return r;
    }
    return 0;
}

} // namespace SongSearch
