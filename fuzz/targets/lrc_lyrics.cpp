// The plain lyrics of a .lrc file over any bytes. Input: the file's bytes.
// The lyrics come as lines separated by "\n" with no blanks at their ends
// and no empty line at either end, and a file's line breaks (CR LF or LF)
// change nothing.

#include "../FuzzCheck.h"

#include "LrcLyrics.h"

#include <QStringList>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString lyrics = LrcLyrics(bytes);

    FUZZ_CHECK(!lyrics.contains(u'\r'));
    FUZZ_CHECK(LyricsText(lyrics.split(u'\n')) == lyrics);
    const QStringList lines = lyrics.split(u'\n');
    FUZZ_CHECK(lyrics.isEmpty() || (!lines.constFirst().isEmpty() && !lines.constLast().isEmpty()));
    for (const QString &line : lines)
        FUZZ_CHECK(line.isEmpty() || !line.back().isSpace());

    // UTF-16 text has its breaks in two bytes; and "\r\r\n" (two breaks)
    // would become "\r\n" (one).
    if (!bytes.startsWith("\xFF\xFE") && !bytes.startsWith("\xFE\xFF") && !bytes.contains("\r\r")) {
        QByteArray lf = bytes;
        FUZZ_CHECK(LrcLyrics(lf.replace("\r\n", "\n")) == lyrics);
    }
    return 0;
}
