// A song file's tags over any bytes, read through TagLib as a scan reads a
// file on disk. Input: one byte whose value modulo 6 picks the extension
// ('0' mp3, '1' flac, '2' ogg, '3' oga, '4' opus, '5' m4a), then the
// file's bytes. Whatever TagLib makes of them, what we hand on keeps its
// promises.

#include "../FuzzCheck.h"

#include "SongTags.h"

namespace
{

bool trimmed(const QString &text)
{
    return text.isEmpty() || (!text.front().isSpace() && !text.back().isSpace());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    static const char *const extensions[] = { "mp3", "flac", "ogg", "oga", "opus", "m4a" };
    const char *extension = extensions[data[0] % 6];
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    const SongTags tags = ReadSongTagsFromBytes(bytes, extension);

    FUZZ_CHECK(tags.lengthMs >= 0 && (tags.ok || tags.lengthMs == 0));
    FUZZ_CHECK(tags.year >= 0 && tags.year <= 9999 && tags.originalYear >= 0 && tags.originalYear <= 9999);
    FUZZ_CHECK(tags.disc >= 0 && tags.track >= 0);
    for (const QString *text : { &tags.artist, &tags.title, &tags.album, &tags.composer, &tags.lyricist,
             &tags.label, &tags.barcode })
        FUZZ_CHECK(trimmed(*text));
    // Lyrics: lines separated by "\n" alone, none empty at either end.
    FUZZ_CHECK(!tags.lyrics.contains(u'\r'));
    FUZZ_CHECK(!tags.lyrics.startsWith(u'\n') && !tags.lyrics.endsWith(u'\n'));
    return 0;
}
