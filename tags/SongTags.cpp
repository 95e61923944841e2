#include "SongTags.h"

#include "LrcLyrics.h"
#include "TextLines.h"

#include <taglib/flacfile.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/speexfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/tfilestream.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

enum class Format { None, Mp3, Flac, Ogg, Opus, Mp4 };

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

Format formatOf(QByteArrayView extension)
{
    static constexpr struct {
        const char *extension;
        Format format;
    } formats[] = { { "mp3", Format::Mp3 }, { "flac", Format::Flac }, { "ogg", Format::Ogg },
        { "oga", Format::Ogg }, { "opus", Format::Opus }, { "m4a", Format::Mp4 } };
    for (const auto &f : formats) {
        if (extension.compare(QByteArrayView(f.extension), Qt::CaseInsensitive) == 0)
            return f.format;
    }
    return Format::None;
}

// Audio properties at TagLib's Average accuracy, its default. In TagLib 1.13
// none of these formats reads more for Average than for Fast: the length
// comes from headers in every case (the Xing or VBRI header's frame count of
// an MP3, else its size over the first frame's bitrate; FLAC's STREAMINFO;
// the last Ogg page's position; MP4's media header). Accurate is where a
// TagLib may read through the whole file, which a first start over 100,000
// songs cannot afford.
constexpr auto Accuracy = TagLib::AudioProperties::Average;

std::unique_ptr<TagLib::File> openAs(Format format, TagLib::IOStream *stream)
{
    using namespace TagLib;
    switch (format) {
    case Format::Mp3:
        return std::make_unique<MPEG::File>(stream, ID3v2::FrameFactory::instance(), true, Accuracy);
    case Format::Flac:
        return std::make_unique<FLAC::File>(stream, ID3v2::FrameFactory::instance(), true, Accuracy);
    case Format::Opus:
        return std::make_unique<Ogg::Opus::File>(stream, true, Accuracy);
    case Format::Mp4:
        return std::make_unique<MP4::File>(stream, true, Accuracy);
    case Format::Ogg:
        // The extension names the container; its first page names the codec.
        if (Ogg::Vorbis::File::isSupported(stream))
            return std::make_unique<Ogg::Vorbis::File>(stream, true, Accuracy);
        if (Ogg::Opus::File::isSupported(stream))
            return std::make_unique<Ogg::Opus::File>(stream, true, Accuracy);
        if (Ogg::FLAC::File::isSupported(stream))
            return std::make_unique<Ogg::FLAC::File>(stream, true, Accuracy);
        if (Ogg::Speex::File::isSupported(stream))
            return std::make_unique<Ogg::Speex::File>(stream, true, Accuracy);
        return nullptr;
    case Format::None:
        break;
    }
    return nullptr;
}

QString toQString(const TagLib::String &s)
{
    return QString::fromStdString(s.to8Bit(true));
}

// The first non-blank value of the first key that has one. A key with
// several values (duplicate frames, or one frame with several strings)
// gives its first.
QString firstValue(const TagLib::PropertyMap &map, std::initializer_list<const char *> keys)
{
    for (const char *key : keys) {
        const auto found = map.find(key);
        if (found == map.end())
            continue;
        for (const TagLib::String &value : found->second) {
            const QString text = toQString(value).trimmed();
            if (!text.isEmpty())
                return text;
        }
    }
    return QString();
}

// "1995-06-13" -> 1995: the first four digits in a row, 0 when there are none.
int yearOf(const QString &date)
{
    qsizetype run = 0;
    for (qsizetype i = 0; i < date.size(); ++i) {
        run = isDigit(date[i]) ? run + 1 : 0;
        if (run == 4)
            return date.mid(i - 3, 4).toInt();
    }
    return 0;
}

// "3/12" -> 3, "03" -> 3; 0 for no number ("A1", "", "/12").
int leadingNumber(const QString &text)
{
    qsizetype digits = 0;
    while (digits < text.size() && isDigit(text[digits]))
        ++digits;
    bool ok = false;
    const int n = text.left(digits).toInt(&ok);
    return ok ? n : 0;
}

// ID3v2 lyrics under a description are "LYRICS:<description>": taken when
// there are none without one.
QString describedLyrics(const TagLib::PropertyMap &map)
{
    for (const auto &[key, values] : map) {
        if (key.startsWith("LYRICS:") && !values.isEmpty())
            return toQString(values.front());
    }
    return QString();
}

SongTags read(TagLib::IOStream *stream, QByteArrayView extension)
{
    SongTags tags;
    const std::unique_ptr<TagLib::File> file = openAs(formatOf(extension), stream);
    if (!file || !file->isValid())
        return tags;
    // TagLib takes any bytes named .mp3 for an MP3 file; without a frame in
    // them it finds no sample rate.
    if (const TagLib::AudioProperties *audio = file->audioProperties(); audio && audio->sampleRate() > 0) {
        tags.ok = true;
        tags.lengthMs = qMax(0, audio->lengthInMilliseconds());
    }

    // TagLib's property map gives every format's tags under one set of names
    // (ID3v2 TPUB is LABEL, MP4 ©wrt is COMPOSER, ID3v2.3 TYER is DATE, a
    // TXXX frame is its description, ...); keys written differently by
    // different programs are tried in turn.
    const TagLib::PropertyMap map = file->properties();
    tags.artist = firstValue(map, { "ARTIST" });
    tags.title = firstValue(map, { "TITLE" });
    tags.album = firstValue(map, { "ALBUM" });
    tags.year = yearOf(firstValue(map, { "DATE" }));
    tags.originalYear = yearOf(firstValue(map, { "ORIGINALDATE", "ORIGINALYEAR" }));
    tags.disc = leadingNumber(firstValue(map, { "DISCNUMBER" }));
    tags.track = leadingNumber(firstValue(map, { "TRACKNUMBER" }));
    tags.composer = firstValue(map, { "COMPOSER" });
    tags.lyricist = firstValue(map, { "LYRICIST" });
    tags.label = firstValue(map, { "LABEL", "ORGANIZATION" });
    tags.barcode = firstValue(map, { "BARCODE", "CATALOGNUMBER" });
    QString lyrics = firstValue(map, { "LYRICS", "UNSYNCEDLYRICS" });
    if (lyrics.isEmpty())
        lyrics = describedLyrics(map);
    tags.lyrics = LyricsText(SplitTextLines(lyrics));
    return tags;
}

} // namespace

bool IsSongExtension(QByteArrayView extension)
{
    return formatOf(extension) != Format::None;
}

QByteArrayView ExtensionOf(QByteArrayView path)
{
    const qsizetype dot = path.lastIndexOf('.');
    if (dot < 0 || path.indexOf('/', dot) >= 0)
        return QByteArrayView();
    return path.sliced(dot + 1);
}

SongTags ReadSongTags(const QByteArray &path)
{
    const QByteArrayView extension = ExtensionOf(path);
    if (!IsSongExtension(extension))
        return SongTags();
    // Opened without blocking (a FIFO named like a song must not stop a
    // scan), and only a regular file is read.
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return SongTags();
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return SongTags();
    }
    // The stream owns the descriptor once it is open.
    TagLib::FileStream stream(fd, true);
    if (!stream.isOpen()) {
        ::close(fd);
        return SongTags();
    }
    return read(&stream, extension);
}

SongTags ReadSongTagsFromBytes(const QByteArray &bytes, QByteArrayView extension)
{
    TagLib::ByteVectorStream stream(TagLib::ByteVector(bytes.constData(), uint(bytes.size())));
    return read(&stream, extension);
}
