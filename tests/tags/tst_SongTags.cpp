// What a song's file says about itself: real encoded files of every format
// (tests/fixtures/make-audio.sh made them), each field as the tag kinds and
// the programs that wrote them name it, the length, and files that are not
// songs. Every file is read from disk and from its bytes, alike.

#include "SongTags.h"
#include "TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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

QTEST_GUILESS_MAIN(tst_SongTags)
#include "tst_SongTags.moc"
