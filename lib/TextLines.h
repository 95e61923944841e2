#pragma once
// Text files as lists of lines, for showing them and for keeping a log of
// bounded length. A line ends at a carriage return, a line feed or the pair
// of them; a break at the very end opens no further line, so an empty file
// has no lines and "a\r\n" has one.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// The lines of text (already decoded), without their line ends.
QStringList SplitTextLines(QStringView text);
// Where the line of bytes that starts at pos ends: the position of its line
// break, or bytes.size() for a last line without one. next is set to the
// start of the following line, past the CR, the LF or the CR LF.
qsizetype LineEnd(QByteArrayView bytes, qsizetype pos, qsizetype &next);
// Number of lines in bytes.
qsizetype CountLines(QByteArrayView bytes);
// The last Keep lines of bytes (all of them when there are fewer), each
// ended by CR LF; other bytes are kept as they are.
QByteArray LastLines(QByteArrayView bytes, qsizetype Keep);

// At most MaxBytes bytes of whole lines: the first ones, or with FromEnd the
// last ones. A single line longer than MaxBytes is cut, never inside a UTF-8
// sequence. Complete tells whether everything was taken.
QByteArray TakeLines(const QByteArray &bytes, qsizetype MaxBytes, bool FromEnd, bool &Complete);

// Reads at most MaxBytes bytes of whole lines from the start of a file,
// without reading the rest of it; false when it cannot be read.
bool ReadHeadOfFile(const QString &FileName, qsizetype MaxBytes, QByteArray &bytes, bool &Complete);
