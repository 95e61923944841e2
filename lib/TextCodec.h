#pragma once
// Text of files on disk: written as UTF-8 without a byte-order mark; read as
// UTF-8 when the bytes are valid UTF-8 (a BOM is dropped), else as
// Windows-1252, the code page of files that came from Windows.

#include <QByteArray>
#include <QString>

QString DecodeText(const QByteArray &bytes);
QByteArray EncodeText(const QString &text);
