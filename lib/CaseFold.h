#pragma once
// File and key names compared without regard to letter case, on their raw
// bytes. Plain ASCII names (nearly all) fold byte by byte without decoding;
// a name that is valid UTF-8 folds through Unicode case folding; a name that
// is not valid UTF-8 folds its ASCII letters only and keeps its other bytes.
// The folded form of a UTF-8 name is UTF-8 again, so byte order of folded
// names is code point order.

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

// Whether every byte (every character) is below 0x80; true for an empty text.
bool IsAscii(QByteArrayView bytes);
bool IsAscii(QStringView text);
inline char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
}
QByteArray FoldCase(QByteArrayView name);
// A hash of FoldCase(name), computed without allocating for ASCII names.
quint64 FoldedHash(QByteArrayView name);
bool SameIgnoringCase(QByteArrayView a, QByteArrayView b);
