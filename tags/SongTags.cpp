#include "SongTags.h"

#include "LrcLyrics.h"
#include "TextLines.h"

#include <taglib/apetag.h>
#include <taglib/flacfile.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/speexfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tiostream.h>
#include <taglib/tpropertymap.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// A song file as TagLib reads it, for reading only: an open descriptor read
// with pread() through two small blocks kept in memory. TagLib asks for a
// file in many small reads at a few places (the tags at the start, the first
// frames, the tags and last page at the end), each after a seek; through
// its own FileStream each is a system call or two (and its length a few
// more), which, for a large library, costs more than the parsing itself.
class TSongStream final : public TagLib::IOStream
{
public:
    // Reads the file open as fd (not closed here) of size bytes, named path
    // (kept by the caller while the stream lives).
    TSongStream(int fd, long size, const QByteArray &path);

    TagLib::FileName name() const override;
    // Up to length bytes from the position on, fewer at the end of the file
    // or when the file cannot be read there; the position moves past them.
    TagLib::ByteVector readBlock(unsigned long length) override;
    // Nothing is written: the stream is read-only.
    void writeBlock(const TagLib::ByteVector &) override { }
    void insert(const TagLib::ByteVector &, unsigned long, unsigned long) override { }
    void removeBlock(unsigned long, unsigned long) override { }
    void truncate(long) override { }
    bool readOnly() const override { return true; }
    bool isOpen() const override { return true; }
    // A position before the start is refused (the position stays), as for
    // a file; one past the end reads nothing.
    void seek(long offset, Position p = Beginning) override;
    long tell() const override { return m_position; }
    long length() override { return m_size; }

private:
    // Bytes read for one call to pread(); a larger read goes straight to
    // the file.
    static constexpr long BlockSize = 4 * 1024;
    // A piece of the file read in one go.
    struct Block {
        long start = -1;
        long length = 0;
        char bytes[BlockSize];
    };

    const Block *blockHolding(long start, long length);

    const int m_fd;
    const long m_size;
    const QByteArray &m_path;
    long m_position = 0;
    Block m_blocks[2];
    int m_lastUsed = 0;
};

// Reads length bytes at start into to, as many as the file holds there.
long readAt(int fd, char *to, long length, long start)
{
    long done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, to + done, size_t(length - done), off_t(start + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

TSongStream::TSongStream(int fd, long size, const QByteArray &path)
    : m_fd(fd)
    , m_size(size)
    , m_path(path)
{
}

TagLib::FileName TSongStream::name() const
{
    return m_path.constData();
}

const TSongStream::Block *TSongStream::blockHolding(long start, long length)
{
    for (int b = 0; b < 2; ++b) {
        const Block &block = m_blocks[b];
        if (block.start >= 0 && start >= block.start && start + length <= block.start + block.length) {
            m_lastUsed = b;
            return &block;
        }
    }
    if (length > BlockSize)
        return nullptr;
    // Near the end the block reaches back from it: the tags there are read
    // from the end backwards.
    Block &block = m_blocks[1 - m_lastUsed];
    block.start = std::max(0L, std::min(start, m_size - BlockSize));
    block.length = readAt(m_fd, block.bytes, std::min(BlockSize, m_size - block.start), block.start);
    m_lastUsed = 1 - m_lastUsed;
    return &block;
}

TagLib::ByteVector TSongStream::readBlock(unsigned long length)
{
    if (length == 0 || m_position >= m_size)
        return TagLib::ByteVector();
    const long wanted
        = long(std::min<unsigned long>(length, static_cast<unsigned long>(m_size - m_position)));
    if (const Block *block = blockHolding(m_position, wanted)) {
        const long from = m_position - block->start;
        const long count = std::clamp(block->length - from, 0L, wanted);
        m_position += count;
        return TagLib::ByteVector(block->bytes + from, static_cast<unsigned int>(count));
    }
    TagLib::ByteVector bytes(static_cast<unsigned int>(wanted));
    bytes.resize(static_cast<unsigned int>(readAt(m_fd, bytes.data(), wanted, m_position)));
    m_position += long(bytes.size());
    return bytes;
}

void TSongStream::seek(long offset, Position p)
{
    const long base = p == Beginning ? 0 : p == Current ? m_position : m_size;
    if (base + offset >= 0)
        m_position = base + offset;
}

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

// The keys read, in TagLib's property names.
enum Key {
    Artist,
    Title,
    Album,
    Date,
    OriginalDate,
    OriginalYear,
    DiscNumber,
    TrackNumber,
    Composer,
    Lyricist,
    Label,
    Organization,
    Barcode,
    CatalogNumber,
    Lyrics,
    UnsyncedLyrics,
    Keys
};
constexpr const char *KeyNames[Keys] = { "ARTIST", "TITLE", "ALBUM", "DATE", "ORIGINALDATE", "ORIGINALYEAR",
    "DISCNUMBER", "TRACKNUMBER", "COMPOSER", "LYRICIST", "LABEL", "ORGANIZATION", "BARCODE", "CATALOGNUMBER",
    "LYRICS", "UNSYNCEDLYRICS" };

// The values a song's tag gives for the keys read, as TagLib's property map
// gives them (each key's values in the tag's order), and the lyrics stored
// under a description ("LYRICS:<description>"), by key.
struct TagValues {
    TagLib::StringList values[Keys];
    TagLib::SimplePropertyMap describedLyrics;

    void add(Key key, const TagLib::StringList &more) { values[key].append(more); }
    // What the keys named like TagLib's (upper case) hold in map.
    void takeFrom(const TagLib::SimplePropertyMap &map)
    {
        for (const auto &[name, list] : map) {
            if (name.startsWith("LYRICS:"))
                describedLyrics.insert(name, list);
            else if (const int key = keyNamed(name); key < Keys)
                values[key] = list;
        }
    }
    static int keyNamed(const TagLib::String &name)
    {
        int key = 0;
        while (key < Keys && name != KeyNames[key])
            ++key;
        return key;
    }
};

// An ID3v2 tag's frames as TagLib's property map names them: a text frame
// by its kind (TPE1 is ARTIST, TPUB is LABEL, TDRC is DATE: TagLib makes
// the year frames of older tags into TDRC as it reads them, ...), a TXXX
// frame by its description in upper case, a USLT frame as LYRICS, or
// LYRICS:<description> when it has one other than that. Asked directly,
// the frames the list does not show cost nothing.
void takeId3v2(const TagLib::ID3v2::Tag &tag, TagValues &to)
{
    static constexpr struct {
        const char *id;
        Key key;
    } textFrames[] = { { "TPE1", Artist }, { "TIT2", Title }, { "TALB", Album }, { "TDRC", Date },
        { "TDOR", OriginalDate }, { "TPOS", DiscNumber }, { "TRCK", TrackNumber }, { "TCOM", Composer },
        { "TEXT", Lyricist }, { "TPUB", Label } };
    using namespace TagLib::ID3v2;
    for (const Frame *frame : tag.frameList()) {
        const TagLib::ByteVector &id = frame->frameID();
        if (id == "TXXX") {
            const auto *user = dynamic_cast<const UserTextIdentificationFrame *>(frame);
            if (!user)
                continue;
            const TagLib::String name = user->description().upper();
            TagLib::StringList values = user->fieldList();
            if (values.isEmpty())
                continue;
            values.erase(values.begin()); // the description
            if (name.startsWith("LYRICS:"))
                to.describedLyrics[name].append(values);
            else if (const int key = TagValues::keyNamed(name); key < Keys)
                to.add(Key(key), values);
        } else if (id == "USLT") {
            const auto *lyrics = dynamic_cast<const UnsynchronizedLyricsFrame *>(frame);
            if (!lyrics)
                continue;
            const TagLib::String description = lyrics->description().upper();
            if (description.isEmpty() || description == "LYRICS")
                to.add(Lyrics, lyrics->text());
            else
                to.describedLyrics["LYRICS:" + description].append(lyrics->text());
        } else if (const auto *text = dynamic_cast<const TextIdentificationFrame *>(frame)) {
            for (const auto &f : textFrames) {
                if (id == f.id) {
                    to.add(f.key, text->fieldList());
                    break;
                }
            }
        }
    }
}

// The tag TagLib's property map is made of: of several in one file, the
// first that is not empty (MP3: ID3v2, APE, ID3v1; FLAC: Xiph comment,
// ID3v2, ID3v1). ID3v2 tags and Xiph comments are read directly; the rare
// others through their property maps.
TagValues tagValues(TagLib::File &file)
{
    TagValues values;
    TagLib::Tag *tags[3] = { nullptr, nullptr, nullptr };
    if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(&file)) {
        tags[0] = mpeg->ID3v2Tag();
        tags[1] = mpeg->APETag();
        tags[2] = mpeg->ID3v1Tag();
    } else if (auto *flac = dynamic_cast<TagLib::FLAC::File *>(&file)) {
        tags[0] = flac->xiphComment();
        tags[1] = flac->ID3v2Tag();
        tags[2] = flac->ID3v1Tag();
    } else if (auto *xiph = dynamic_cast<TagLib::Ogg::XiphComment *>(file.tag())) {
        tags[0] = xiph;
    } else {
        values.takeFrom(file.properties());
        return values;
    }
    const auto first = std::find_if(
        std::begin(tags), std::end(tags), [](const TagLib::Tag *t) { return t && !t->isEmpty(); });
    if (first == std::end(tags))
        return values;
    if (const auto *id3v2 = dynamic_cast<const TagLib::ID3v2::Tag *>(*first))
        takeId3v2(*id3v2, values);
    else if (const auto *xiph = dynamic_cast<const TagLib::Ogg::XiphComment *>(*first))
        values.takeFrom(xiph->fieldListMap());
    // (Tag::properties() is no virtual function in TagLib 1.13: each kind
    // is asked as itself.)
    else if (const auto *ape = dynamic_cast<const TagLib::APE::Tag *>(*first))
        values.takeFrom(ape->properties());
    else if (const auto *id3v1 = dynamic_cast<const TagLib::ID3v1::Tag *>(*first))
        values.takeFrom(id3v1->properties());
    return values;
}

// The first non-blank value of the first key that has one. A key with
// several values (duplicate frames, or one frame with several strings)
// gives its first.
QString firstValue(const TagValues &tag, std::initializer_list<Key> keys)
{
    for (const Key key : keys) {
        for (const TagLib::String &value : tag.values[key]) {
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
// there are none without one, the first by that name.
QString describedLyrics(const TagValues &tag)
{
    for (const auto &[key, values] : tag.describedLyrics) {
        if (!values.isEmpty())
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

    // Every format's tags under TagLib's property names (ID3v2 TPUB is
    // LABEL, MP4 ©wrt is COMPOSER, ID3v2.3 TYER is DATE, a TXXX frame is its
    // description, ...); keys written differently by different programs
    // are tried in turn.
    const TagValues map = tagValues(*file);
    tags.artist = firstValue(map, { Artist });
    tags.title = firstValue(map, { Title });
    tags.album = firstValue(map, { Album });
    tags.year = yearOf(firstValue(map, { Date }));
    tags.originalYear = yearOf(firstValue(map, { OriginalDate, OriginalYear }));
    tags.disc = leadingNumber(firstValue(map, { DiscNumber }));
    tags.track = leadingNumber(firstValue(map, { TrackNumber }));
    tags.composer = firstValue(map, { Composer });
    tags.lyricist = firstValue(map, { Lyricist });
    tags.label = firstValue(map, { Label, Organization });
    tags.barcode = firstValue(map, { Barcode, CatalogNumber });
    QString lyrics = firstValue(map, { Lyrics, UnsyncedLyrics });
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
    return ReadSongTagsAt(AT_FDCWD, path);
}

SongTags ReadSongTagsAt(int folderFd, const QByteArray &path, qint64 size)
{
    const QByteArrayView extension = ExtensionOf(path);
    if (!IsSongExtension(extension))
        return SongTags();
    // Opened without blocking (a FIFO named like a song must not stop a
    // scan), and only a regular file is read. (Where the listing saw one, a
    // file put in its place since reads as no song: a FIFO or folder gives
    // no bytes to a pread().)
    const int fd = ::openat(folderFd, path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return SongTags();
    if (size < 0) {
        struct stat st;
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return SongTags();
        }
        size = st.st_size;
    }
    TSongStream stream(fd, long(size), path);
    SongTags tags = read(&stream, extension);
    ::close(fd);
    return tags;
}

SongTags ReadSongTagsFromBytes(const QByteArray &bytes, QByteArrayView extension)
{
    TagLib::ByteVectorStream stream(TagLib::ByteVector(bytes.constData(), uint(bytes.size())));
    return read(&stream, extension);
}
