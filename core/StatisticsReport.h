#pragma once
// The statistics report: how many songs the grid lists, how many of them
// have no lyrics, unclear lyrics or are instrumental, and the songs without
// lyrics or with unclear ones, sorted. Built from the grid's cells (the last
// full scan), not from the song information files.

#include <QByteArray>
#include <QCollator>
#include <QString>
#include <QStringList>

class TSongList;

namespace StatisticsReport
{

// The report's lines, without line ends: an empty line, the four counter
// lines, an empty line, then one line per song without lyrics (mark " ") or
// with unclear lyrics ("X"), sorted with collator.
QStringList Lines(const TSongList &grid, const QCollator &collator);
// The same with the user's locale, ignoring letter case.
QStringList Lines(const TSongList &grid);
// The lines as the file holds them: UTF-8, every line ended by CR LF.
QByteArray FileBytes(const QStringList &lines);
// The report beside the program: its last extension replaced by ".TXT", or
// ".TXT" appended when the name has none.
QString PathFor(const QString &programPath);
// Builds the report and replaces the file at path whole and atomically.
// Throws EQLXError("Unable to write to <path>") and leaves the old report
// as it was when the file cannot be written.
void Write(const QString &path, const TSongList &grid);

} // namespace StatisticsReport
