#pragma once
// Text of files on disk: written as UTF-8 without a byte-order mark; read
// line by line, each line as UTF-8 when its bytes are valid UTF-8, else as
// Windows-1252, the code page of files that came from Windows (so a file of
// either kind reads whole, and one that has both reads right line for line).
// Line breaks stay as they are. DecodeText keeps a leading U+FEFF: it is
// a character of the text it was given; whoever decodes a whole file drops
// the byte-order mark at its start (SkipByteOrderMark).

#include <QByteArray>
#include <QString>

QString DecodeText(const QByteArray &bytes);
// bytes without a UTF-8 byte-order mark at the start.
QByteArray SkipByteOrderMark(const QByteArray &bytes);
QByteArray EncodeText(const QString &text);
