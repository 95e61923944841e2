#pragma once
// The texts of the song list's cells and of the totals under it: how a file
// name splits into artist and title, and how sizes and times are written.
// Numbers use "," for thousands and "." for decimals, times ":".

#include <QString>

namespace CellText
{

// "Artist-Title.mp3" -> "Artist": the text before the first "-", or "".
QString ArtistPart(const QString &fileName);
// "Artist-Title.mp3" -> "Title": after the first "-", cut before its first ".".
QString TitlePart(const QString &fileName);

// value with one decimal and thousands separators, padded to at least
// width characters ("%<width>.1n").
QString FormatOneDecimal(double value, int width);
// Size cell: bytes in MB, right-justified to 5 (its last 5 characters when longer).
QString SizeCell(qint64 bytes);
// Total size label: "    0.0 MB"; a longer number keeps its last 7 characters.
QString SizeTotal(double bytes);
// Total time label: "hh:nn hr", hours of the day (a total of 25:10 shows 01:10).
QString TimeTotal(double days);
// Time cell: the play time as read ("00:00" right-justified to 6), or
// "No INI" when it trims to "00:00".
QString TimeCell(const QString &playTime);
// Reads "00:" + trimmed play time as a time of day (minutes and seconds
// below 60); false for anything else ("??:??", "61:00").
bool ParsePlayTime(const QString &trimmedPlayTime, double &days);

} // namespace CellText
