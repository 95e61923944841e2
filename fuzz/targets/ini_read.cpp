// The INI reader over any bytes. Input: a section name line, a key name line,
// then the file's bytes. Every way of reading the key must agree, and a value
// never exceeds ProfileFile::MaxValueLength.

#include "../FuzzCheck.h"

#include "ProfileFile.h"
#include "TextCodec.h"

#include <QStringList>

namespace
{

// What reading makes of a value's bytes: decoded, then cut at the limit,
// never inside a surrogate pair.
QString cut(QString text)
{
    if (text.size() > ProfileFile::MaxValueLength)
        text.truncate(text[ProfileFile::MaxValueLength - 1].isHighSurrogate()
                ? ProfileFile::MaxValueLength - 1
                : ProfileFile::MaxValueLength);
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    InputLines input(data, size);
    const QString section = QString::fromUtf8(input.take());
    const QString key = QString::fromUtf8(input.take());
    const QByteArray content = input.rest();
    const QString other = QStringLiteral("Other");

    QStringList values;
    ProfileFile::readSection(content, section, { key, other }, values);
    FUZZ_CHECK(values.size() == 2);
    // Two defaults tell a missing key from any value the file holds.
    const QString read = ProfileFile::readString(content, section, key, QStringLiteral("\x01"));
    const QString readAgain = ProfileFile::readString(content, section, key, QStringLiteral("\x02"));
    if (values[0].isNull()) {
        FUZZ_CHECK(read == QStringLiteral("\x01") && readAgain == QStringLiteral("\x02"));
    } else {
        FUZZ_CHECK(read == values[0] && readAgain == values[0]);
        FUZZ_CHECK(read.size() <= ProfileFile::MaxValueLength);
    }

    QStringList prepared;
    ProfileFile::SectionReader(section, { key, other }).read(content, prepared);
    FUZZ_CHECK(prepared == values);
    FUZZ_CHECK(prepared[0].isNull() == values[0].isNull());

    // The raw bytes are the same value, only not decoded and not cut.
    const QByteArray bytes = ProfileFile::readBytes(content, section, key);
    FUZZ_CHECK(bytes.isNull() == values[0].isNull());
    if (!bytes.isNull() && bytes.size() <= 4 * ProfileFile::MaxValueLength)
        FUZZ_CHECK(cut(DecodeText(bytes)) == values[0]);

    const qsizetype line = ProfileFile::sectionLine(content, section);
    FUZZ_CHECK(line >= -1);
    if (line < 0)
        FUZZ_CHECK(values[0].isNull() && values[1].isNull());
    return 0;
}
