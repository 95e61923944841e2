// Text read from disk: decoding (UTF-8, else Windows-1252 line by line) and
// the line routines. Input: a parameters line (two numbers, a byte limit and
// a line count, taken modulo the text's size), then the text's bytes.

#include "../FuzzCheck.h"

#include "TextCodec.h"
#include "TextLines.h"

#include <QStringDecoder>
#include <QStringList>

namespace
{

bool validUtf8(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    // decode() decodes only when its result is made a QString.
    const QString decoded = utf8.decode(bytes);
    Q_UNUSED(decoded);
    return !utf8.hasError();
}

bool isBreak(char c)
{
    return c == '\r' || c == '\n';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    InputLines input(data, size);
    const QList<QByteArray> numbers = input.take().split(' ');
    const QByteArray bytes = input.rest();
    const qsizetype n = bytes.size();
    const qsizetype maxBytes = numbers.size() > 0 ? qAbs(numbers[0].toLongLong()) % (n + 2) : n;
    const qsizetype keep = numbers.size() > 1 ? qAbs(numbers[1].toLongLong()) % (n + 2) : 1;

    // Decoding keeps every line break where it was and loses no line.
    const QString text = DecodeText(bytes);
    const qsizetype lines = CountLines(bytes);
    FUZZ_CHECK(SplitTextLines(text).size() == lines);
    FUZZ_CHECK(text.count(u'\r') == bytes.count('\r') && text.count(u'\n') == bytes.count('\n'));
    if (validUtf8(bytes))
        FUZZ_CHECK(EncodeText(text) == bytes);
    FUZZ_CHECK(DecodeText(EncodeText(text)) == text);
    const QByteArray body = SkipByteOrderMark(bytes);
    FUZZ_CHECK(body.size() == n || (body.size() == n - 3 && bytes.startsWith("\xEF\xBB\xBF")));

    // LineEnd walks the lines CountLines counts, always forward.
    qsizetype pos = 0;
    qsizetype walked = 0;
    while (pos < n) {
        qsizetype next = 0;
        const qsizetype end = LineEnd(bytes, pos, next);
        FUZZ_CHECK(end >= pos && next > pos && next >= end && next <= n && next - end <= 2);
        for (qsizetype i = pos; i < end; ++i)
            FUZZ_CHECK(!isBreak(bytes[i]));
        pos = next;
        ++walked;
    }
    FUZZ_CHECK(walked == lines);

    const QByteArray last = LastLines(bytes, keep);
    FUZZ_CHECK(CountLines(last) == qMin(keep, lines));
    FUZZ_CHECK(last.isEmpty() || last.endsWith("\r\n"));

    for (const bool fromEnd : { false, true }) {
        bool complete = false;
        const QByteArray taken = TakeLines(bytes, maxBytes, fromEnd, complete);
        FUZZ_CHECK(complete == (n <= maxBytes));
        if (complete) {
            FUZZ_CHECK(taken == bytes);
        } else {
            FUZZ_CHECK(taken.size() <= maxBytes);
            FUZZ_CHECK(fromEnd ? bytes.endsWith(taken) : bytes.startsWith(taken));
        }
        // A cut never splits a UTF-8 sequence of valid text.
        if (validUtf8(bytes))
            FUZZ_CHECK(validUtf8(taken));
    }
    return 0;
}
