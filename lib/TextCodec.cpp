#include "TextCodec.h"

#include "CaseFold.h"
#include "TextLines.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <optional>

namespace
{

// One decoder for Windows-1252, made when a text first needs it and used
// for each of its lines.
class Windows1252
{
public:
    QString decode(QByteArrayView bytes)
    {
        if (!m_decoder)
            m_decoder.emplace("windows-1252");
        if (!m_decoder->isValid()) // a Qt built without ICU: Latin-1 is the closest
            return QString::fromLatin1(bytes);
        return m_decoder->decode(bytes);
    }

private:
    std::optional<QStringDecoder> m_decoder;
};

// A U+FEFF at the start of a piece of text is part of it; only whole-file
// readers drop a byte-order mark, and only at the start of the file.
QString decodeUtf8(QByteArrayView bytes, bool &valid)
{
    QStringDecoder utf8(
        QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(bytes);
    valid = !utf8.hasError();
    return text;
}

QString decodeLine(QByteArrayView line, Windows1252 &windows1252)
{
    if (IsAscii(line))
        return QString::fromLatin1(line);
    bool valid = false;
    QString text = decodeUtf8(line, valid);
    return valid ? text : windows1252.decode(line);
}

} // namespace

QString DecodeText(const QByteArray &bytes)
{
    // Most values are plain ASCII; they need neither decoder.
    if (IsAscii(bytes))
        return QString::fromLatin1(bytes);
    bool valid = false;
    QString text = decodeUtf8(bytes, valid);
    if (valid)
        return text;
    // Each line on its own: a line typed in a Windows editor among lines
    // saved as UTF-8 garbles no other line. Line breaks are the same bytes
    // in both encodings, so they are kept as they are.
    Windows1252 windows1252;
    text.clear();
    text.reserve(bytes.size());
    const qsizetype n = bytes.size();
    qsizetype pos = 0;
    while (pos < n) {
        qsizetype next = 0;
        const qsizetype end = LineEnd(bytes, pos, next);
        text += decodeLine(QByteArrayView(bytes).sliced(pos, end - pos), windows1252);
        text += QLatin1StringView(bytes.constData() + end, next - end);
        pos = next;
    }
    return text;
}

QByteArray EncodeText(const QString &text)
{
    return text.toUtf8();
}

QByteArray SkipByteOrderMark(const QByteArray &bytes)
{
    return bytes.startsWith("\xEF\xBB\xBF") ? bytes.sliced(3) : bytes;
}
