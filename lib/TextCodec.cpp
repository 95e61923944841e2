#include "TextCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace
{

bool isAscii(const QByteArray &bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

QString decodeWindows1252(const QByteArray &bytes)
{
    QStringDecoder decoder("windows-1252");
    if (!decoder.isValid()) // a Qt built without ICU: Latin-1 is the closest
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

} // namespace

QString DecodeText(const QByteArray &bytes)
{
    // Most values are plain ASCII; they need neither decoder.
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    // A U+FEFF at the start of a piece of text is part of it; only whole-file
    // readers drop a byte-order mark, and only at the start of the file.
    QStringDecoder utf8(
        QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return decodeWindows1252(bytes);
}

QByteArray EncodeText(const QString &text)
{
    return text.toUtf8();
}

QByteArray SkipByteOrderMark(const QByteArray &bytes)
{
    return bytes.startsWith("\xEF\xBB\xBF") ? bytes.sliced(3) : bytes;
}
