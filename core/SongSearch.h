#pragma once
// Finding text in the song list: a cell matches when it contains the text
// with only the letters a to z taken as capitals on both sides; every other
// character must match exactly. Rows are searched top to bottom, each row's
// cells left to right; the header row never.

#include <QString>
#include <QStringView>

class TSongList;

namespace SongSearch
{

// The search text as it is compared: a to z turned into A to Z.
QString Fold(QStringView text);

// True when cell contains foldedText (made by Fold). An empty text matches
// nothing. Allocates nothing.
bool Contains(QStringView cell, QStringView foldedText);

// The first row from startRow on (program numbering; rows below 1 count as
// 1) with a cell containing text, or 0 when there is none.
int FindFrom(const TSongList &songs, int startRow, const QString &text);

} // namespace SongSearch
