// What a song's file says about itself: real encoded files of every format
// (tests/fixtures/make-audio.sh made them), each field as the tag kinds and
// the programs that wrote them name it, the length, and files that are not
// songs. Every file is read from disk and from its bytes, alike.

#include "SongTags.h"
#include "TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <memory>
#include <sys/stat.h>

using TestSupport::readBytes;
using TestSupport::writeBytes;

Q_DECLARE_METATYPE(SongTags)

namespace
{

// Every field but the length, named, so that a failure says which.
QStringList fields(const SongTags &t)
{
    return { "ok=" + QString::number(t.ok), "artist=" + t.artist, "title=" + t.title, "album=" + t.album,
        "year=" + QString::number(t.year), "originalYear=" + QString::number(t.originalYear),
        "disc=" + QString::number(t.disc), "track=" + QString::number(t.track), "composer=" + t.composer,
        "lyricist=" + t.lyricist, "label=" + t.label, "barcode=" + t.barcode, "lyrics=" + t.lyrics };
}

// song with an APEv2 tag (a footer, no header) of these UTF-8 items at its
// end, as mp3gain and foobar2000 leave one.
QByteArray withApeTag(const QByteArray &song, const QList<std::pair<QByteArray, QByteArray>> &items)
{
    const auto le32 = [](qsizetype v) {
        QByteArray b(4, '\0');
        qToLittleEndian(quint32(v), b.data());
        return b;
    };
    QByteArray body;
    for (const auto &[key, value] : items)
        body += le32(value.size()) + le32(0) + key + '\0' + value;
    return song + body + "APETAGEX" + le32(2000) + le32(body.size() + 32) + le32(items.size()) + le32(0)
        + QByteArray(8, '\0');
}

} // namespace

class tst_SongTags : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void read_data();
    void read();
    void fifoNotWaitedOn();
    void farApart_data();
    void farApart();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_folder; // with a "/" at its end
};

void tst_SongTags::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_folder = QFile::encodeName(m_dir->path()) + '/';
}

void tst_SongTags::cleanup()
{
    // Qt cannot see names that are not UTF-8, so clear the folder ourselves.
    TestSupport::removeTree(m_folder);
    m_dir.reset();
}

void tst_SongTags::read_data()
{
    QTest::addColumn<QByteArray>("fixture"); // copied into a temporary folder, or ""
    QTest::addColumn<QByteArray>("content"); // the file's bytes when there is no fixture
    QTest::addColumn<QByteArray>("name"); // the file's name there
    QTest::addColumn<SongTags>("expected");

    const QByteArray none;
    auto row = [](const char *fixture, const SongTags &expected) {
        QTest::newRow(fixture) << QByteArray(fixture) << QByteArray() << QByteArray(fixture) << expected;
    };
    // artist, title, album, year, original year, disc, track, length (ms),
    // composer, lyricist, label, barcode, lyrics, ok
    // MP3: ID3v2.3 in UTF-16 (year as TYER, TORY), lyrics with CR LF breaks.
    row("mp3-v23-utf16.mp3",
        { "Björk", "Jóga", "Homogenic", 1997, 1996, 1, 3, 1000, "Björk Guðmundsdóttir", "Sjón",
            "One Little Indian", "5016958029829", "Emotional landscapes\nThey puzzle me", true });
    // ID3v2.4 in UTF-8: full dates, lyrics under a description, no barcode.
    row("mp3-v24-utf8.mp3",
        { "Sigur Rós", "Hoppípolla", "Takk...", 2005, 2005, 1, 3, 1000, "Jón Þór Birgisson", "Jónsi", "EMI",
            "TAKK01", "Brosandi\nhendumst í hringi", true });
    row("mp3-id3v1-latin1.mp3",
        { "Björk", "Jóga", "Homogenic", 1997, 0, 0, 3, 1000, {}, {}, {}, {}, {}, true });
    // Two TPE1 and two TXXX:BARCODE frames; lyrics with a description and without.
    row("mp3-duplicates.mp3",
        { "坂本龍一", "戦場のメリークリスマス", {}, 1983, 0, 0, 0, 1000, {}, {}, {}, "4988006123456",
            "Merry Christmas", true });
    row("mp3-no-tags.mp3", { {}, {}, {}, 0, 0, 0, 0, 1000, {}, {}, {}, {}, {}, true });
    row("mp3-partial.mp3", { {}, "Untitled", {}, 0, 0, 0, 7, 1000, {}, {}, {}, {}, {}, true });
    // Two seconds of silence, then noise: the length is the Xing header's.
    row("mp3-vbr.mp3", { "Noise", "Three seconds", {}, 0, 0, 0, 0, 3000, {}, {}, {}, {}, {}, true });
    row("flac-full.flac",
        { "坂本龍一", "Merry Christmas Mr. Lawrence", "Merry Christmas Mr. Lawrence", 1983, 1983, 1, 1, 1000,
            "坂本龍一", "David Bowie", "Virgin", "4988006543210", "First line\n\nThird line", true });
    row("flac-no-tags.flac", { {}, {}, {}, 0, 0, 0, 0, 1000, {}, {}, {}, {}, {}, true });
    // ORGANIZATION, ORIGINALYEAR, CATALOGNUMBER, UNSYNCEDLYRICS.
    row("vorbis-other-keys.ogg",
        { "Sigur Rós", "Glósóli", "Takk...", 2005, 2005, 1, 2, 1000, "Sigur Rós", {}, "EMI", "TAKK02",
            "Hoppípolla\nmeð blóðnasir", true });
    row("vorbis-partial.OGA", { "Björk", "Army of Me", {}, 0, 0, 0, 0, 1000, {}, {}, {}, {}, {}, true });
    row("opus-full.opus",
        { "Björk", "Bachelorette", "Homogenic", 1997, 0, 1, 6, 1000, "Björk", "Sjón", "One Little Indian",
            "5016958029829", "I'm a fountain of blood\nin the shape of a girl", true });
    row("opus-in-ogg.ogg", { "Sigur Rós", "Sæglópur", {}, 0, 0, 0, 0, 1000, {}, {}, {}, {}, {}, true });
    row("flac-in-ogg.oga", { "Björk", "Hunter", {}, 1997, 0, 0, 1, 1000, {}, {}, {}, {}, {}, true });
    row("speex.ogg", { "Björk", "Isobel", {}, 0, 0, 0, 0, 1000, {}, {}, {}, {}, {}, true });
    // Freeform iTunes items; lyrics with CR breaks. TagLib 1.13 maps no
    // original date for MP4.
    row("aac-full.m4a",
        { "Björk", "Hyperballad", "Post", 1995, 0, 1, 3, 1000, "Björk", "Björk", "One Little Indian",
            "5016958022820", "We live on a mountain\nRight at the top", true });
    row("alac-partial.M4A", { "坂本龍一", {}, {}, 0, 0, 0, 0, 1000, {}, {}, {}, {}, {}, true });

    // An APE tag alone: TagLib names its Year, Track and Disc items as it
    // names the ID3v2 frames.
    QTest::newRow("mp3-ape") << none
                             << withApeTag(readBytes(QByteArray(AUDIO_FIXTURES "/mp3-no-tags.mp3")),
                                    { { "Artist", "Björk" }, { "Title", "Isobel" }, { "Year", "1995" },
                                        { "Track", "4/11" }, { "Disc", "2" } })
                             << QByteArray("a.mp3")
                             << SongTags { "Björk", "Isobel", {}, 1995, 0, 2, 4, 1000, {}, {}, {}, {}, {},
                                    true };

    const SongTags flacInOgg { "Björk", "Hunter", {}, 1997, 0, 0, 1, 1000, {}, {}, {}, {}, {}, true };
    QTest::newRow("latin1-file-name")
        << QByteArray("flac-in-ogg.oga") << none << QByteArray("Bj\xF6rk.oga") << flacInOgg;
    QTest::newRow("text-named-mp3") << none << QByteArray("Not an MP3 file at all.\n") << QByteArray("a.mp3")
                                    << SongTags();
    QTest::newRow("mp3-named-ogg") << QByteArray("mp3-v23-utf16.mp3") << none << QByteArray("a.ogg")
                                   << SongTags();
    QTest::newRow("other-extension") << QByteArray("mp3-v23-utf16.mp3") << none << QByteArray("a.wav")
                                     << SongTags();
    QTest::newRow("no-extension") << QByteArray("mp3-v23-utf16.mp3") << none << QByteArray("mp3")
                                  << SongTags();
    QTest::newRow("empty-file") << none << QByteArray("") << QByteArray("a.flac") << SongTags();
    QTest::newRow("missing") << none << none << QByteArray("a.mp3") << SongTags();
}

void tst_SongTags::read()
{
    QFETCH(QByteArray, fixture);
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, name);
    QFETCH(SongTags, expected);

    const QByteArray path = m_folder + name;
    if (!fixture.isEmpty()) {
        content = readBytes(QByteArray(AUDIO_FIXTURES "/") + fixture);
        QVERIFY(!content.isEmpty());
    }
    if (!content.isNull())
        writeBytes(path, content);

    const SongTags fromFile = ReadSongTags(path);
    const SongTags fromBytes = ReadSongTagsFromBytes(content, ExtensionOf(name));
    for (const SongTags &tags : { fromFile, fromBytes }) {
        QCOMPARE(fields(tags), fields(expected));
        // The encoders add a frame or two of padding to what they were given.
        QVERIFY2(qAbs(tags.lengthMs - expected.lengthMs) <= 200, qPrintable(QString::number(tags.lengthMs)));
        if (expected.lengthMs == 0)
            QCOMPARE(tags.lengthMs, 0);
    }
}

// A named pipe called like a song (no program writes to it) must not stop
// a scan: without a writer, opening it to read would wait for one.
void tst_SongTags::fifoNotWaitedOn()
{
    const QByteArray path = m_folder + "pipe.mp3";
    QCOMPARE(::mkfifo(path.constData(), 0600), 0);
    QCOMPARE(ReadSongTags(path).ok, false);
}

namespace
{

// The fixture with pad zero bytes put in at place: "tag" inside its ID3v2
// tag (the tag's size grown by as much), "block" as a FLAC padding block
// after STREAMINFO, "end" at the end of the file, "before-id3v1" before the
// ID3v1 tag at its end.
QByteArray spread(QByteArray bytes, const QByteArray &place, int pad)
{
    const QByteArray zeros(pad, '\0');
    if (place == "tag") {
        // The size after the header, seven bits a byte.
        int size = 0;
        for (int i = 6; i < 10; ++i)
            size = size << 7 | (bytes[i] & 0x7f);
        bytes.insert(10 + size, zeros);
        size += pad;
        for (int i = 9; i >= 6; --i, size >>= 7)
            bytes[i] = char(size & 0x7f);
    } else if (place == "block") {
        // "fLaC", then STREAMINFO: a 4-byte header and 34 bytes.
        const char header[] = { 0x01, char(pad >> 16), char(pad >> 8 & 0xff), char(pad & 0xff) };
        bytes.insert(4 + 4 + 34, QByteArray(header, 4) + zeros);
    } else if (place == "end") {
        bytes.append(zeros);
    } else if (place == "before-id3v1") {
        bytes.insert(bytes.size() - 128, zeros);
    }
    return bytes;
}

} // namespace

// A song whose tags, frames and pages lie far apart in its file (a large
// tag or picture, a long stream between the start and the tags at the
// end) reads as the same bytes read at once do.
void tst_SongTags::farApart_data()
{
    QTest::addColumn<QByteArray>("fixture");
    QTest::addColumn<QByteArray>("place"); // see spread()
    QTest::addColumn<int>("pad");
    QTest::addColumn<QString>("artist");
    QTest::addColumn<QString>("title");

    QTest::newRow("id3v2-tag-of-100k")
        << QByteArray("mp3-v24-utf8.mp3") << QByteArray("tag") << 100000 << "Sigur Rós"
        << "Hoppípolla";
    QTest::newRow("id3v2-tag-ends-in-second-block")
        << QByteArray("mp3-v23-utf16.mp3") << QByteArray("tag") << 3000 << "Björk"
        << "Jóga";
    QTest::newRow("id3v1-after-a-megabyte")
        << QByteArray("mp3-id3v1-latin1.mp3") << QByteArray("before-id3v1") << (1 << 20) << "Björk"
        << "Jóga";
    QTest::newRow("flac-padding-of-70k")
        << QByteArray("flac-full.flac") << QByteArray("block") << 70000 << "坂本龍一"
        << "Merry Christmas Mr. Lawrence";
    QTest::newRow("ogg-last-page-before-64k")
        << QByteArray("vorbis-partial.OGA") << QByteArray("end") << 65536 << "Björk"
        << "Army of Me";
}

void tst_SongTags::farApart()
{
    QFETCH(QByteArray, fixture);
    QFETCH(QByteArray, place);
    QFETCH(int, pad);
    QFETCH(QString, artist);
    QFETCH(QString, title);

    const QByteArray content = spread(readBytes(QByteArray(AUDIO_FIXTURES "/") + fixture), place, pad);
    const QByteArray path = m_folder + fixture;
    writeBytes(path, content);
    const SongTags fromFile = ReadSongTags(path);
    QCOMPARE(fromFile.artist, artist);
    QCOMPARE(fromFile.title, title);
    QVERIFY2(qAbs(fromFile.lengthMs - 1000) <= 200, qPrintable(QString::number(fromFile.lengthMs)));
    QCOMPARE(fields(fromFile), fields(ReadSongTagsFromBytes(content, ExtensionOf(fixture))));
    QCOMPARE(fromFile.lengthMs, ReadSongTagsFromBytes(content, ExtensionOf(fixture)).lengthMs);
}

QTEST_GUILESS_MAIN(tst_SongTags)
#include "tst_SongTags.moc"
