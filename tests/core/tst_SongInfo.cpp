// The song information file: its name, its exact written layout, the lyric
// marker, reading the lyrics and the grid values (also from damaged files),
// and counting a play with every other byte of the file left as it was.

#include "QLXError.h"
#include "SongInfo.h"
#include "TestSupport.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sys/stat.h>

using TestSupport::readBytes;
using TestSupport::writeBytes;

namespace
{

#define SEP "; ******************************************"

// The head of a file the details dialog wrote on 8 December 2026.
const QByteArray WrittenHead = QByteArrayLiteral(SEP "\r\n"
                                                     "; Generated 08-12-2026\r\n"
                                                     "; Do not modify manually.\r\n" SEP "\r\n"
                                                     "\r\n"
                                                     "[Info]\r\n"
                                                     "UsageCount = 12\r\n"
                                                     "Writer     = John Doe\r\n"
                                                     "Playtime   = 03:45\r\n"
                                                     "AlbumName  = Blue\r\n"
                                                     "SongYear   = 1999\r\n"
                                                     "AlbumYear  = 2000\r\n"
                                                     "AlbumCDNum = 0123456789012\r\n"
                                                     "AlbumLabel = Label\r\n");

SongInfo::Details headFields()
{
    SongInfo::Details d;
    d.Writer = QStringLiteral("John Doe");
    d.Playtime = QStringLiteral("03:45");
    d.AlbumName = QStringLiteral("Blue");
    d.SongYear = QStringLiteral("1999");
    d.AlbumYear = QStringLiteral("2000");
    d.AlbumCDNum = QStringLiteral("0123456789012");
    d.AlbumLabel = QStringLiteral("Label");
    return d;
}

QString countError(const QByteArray &path)
{
    try {
        SongInfo::CountPlay(path);
    } catch (const EQLXError &e) {
        return e.message();
    }
    return QString();
}

} // namespace

class tst_SongInfo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void infoFileName_data();
    void infoFileName();
    void infoFilePath_data();
    void infoFilePath();
    void composeFile_data();
    void composeFile();
    void fieldsWithLineBreaks();
    void lyricMarker_data();
    void lyricMarker();
    void readLyrics_data();
    void readLyrics();
    void writeThenRead();
    void countThenSave_data();
    void countThenSave();
    void readGridValues_data();
    void readGridValues();
    void readDamagedFiles_data();
    void readDamagedFiles();
    void loadInfo();
    void countPlay_data();
    void countPlay();
    void countPlayRefused_data();
    void countPlayRefused();
    void countPlayReadOnly_data();
    void countPlayReadOnly();
    void locate_data();
    void locate();
    void countPlayFindsCaseVariant();

private:
    QByteArray path(const QByteArray &name) const { return m_folder + '/' + name; }
    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_folder;
};

void tst_SongInfo::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_folder = QFile::encodeName(m_dir->path());
}

void tst_SongInfo::infoFileName_data()
{
    QTest::addColumn<QByteArray>("mp3");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("artist-title") << QByteArray("Artist-Title.mp3") << QByteArray("Artist-Title.INI");
    QTest::newRow("last-extension-only") << QByteArray("a.b-c.mp3") << QByteArray("a.b-c.INI");
    QTest::newRow("upper-case-extension") << QByteArray("X - Y.MP3") << QByteArray("X - Y.INI");
    QTest::newRow("no-extension") << QByteArray("Song") << QByteArray("Song.INI");
    QTest::newRow("trailing-dot") << QByteArray("Song.") << QByteArray("Song.INI");
    QTest::newRow("folder-dots-ignored") << QByteArray("/music/v1.2/Song") << QByteArray("Song.INI");
    QTest::newRow("non-utf8") << QByteArray("Caf\xE9-\xFF.mp3") << QByteArray("Caf\xE9-\xFF.INI");
}

void tst_SongInfo::infoFileName()
{
    QFETCH(QByteArray, mp3);
    QFETCH(QByteArray, expected);
    QCOMPARE(SongInfo::InfoFileName(mp3), expected);
}

void tst_SongInfo::infoFilePath_data()
{
    QTest::addColumn<QByteArray>("folder");
    QTest::addColumn<QByteArray>("mp3");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("folder") << QByteArray("/ini") << QByteArray("/music/A-B.mp3")
                            << QByteArray("/ini/A-B.INI");
    QTest::newRow("folder-with-slash")
        << QByteArray("/ini/") << QByteArray("A-B.mp3") << QByteArray("/ini/A-B.INI");
    QTest::newRow("empty-folder") << QByteArray() << QByteArray("/music/A-B.mp3") << QByteArray("A-B.INI");
}

void tst_SongInfo::infoFilePath()
{
    QFETCH(QByteArray, folder);
    QFETCH(QByteArray, mp3);
    QFETCH(QByteArray, expected);
    QCOMPARE(SongInfo::InfoFilePath(folder, mp3), expected);
}

void tst_SongInfo::composeFile_data()
{
    QTest::addColumn<QString>("lyrics");
    QTest::addColumn<QByteArray>("expectedTail"); // everything after WrittenHead

    QTest::newRow("lyrics-trailing-blanks-removed")
        << QStringLiteral("First line  \r\n  Second line\t\x01\r\n\r\nLast")
        << QByteArrayLiteral(
               "Lyrics     = Yes\r\n\r\n" SEP "\r\n\r\nFirst line\r\n  Second line\r\n\r\nLast\r\n");
    QTest::newRow("lf-and-cr-line-ends") << QStringLiteral(
        "a\nb\rc\n") << QByteArrayLiteral("Lyrics     = Yes\r\n\r\n" SEP "\r\n\r\na\r\nb\r\nc\r\n");
    QTest::newRow("empty") << QString() << QByteArrayLiteral("\r\n" SEP "\r\n\r\n");
    QTest::newRow("instrumental") << QStringLiteral("Instrumental")
                                  << QByteArrayLiteral(
                                         "Lyrics     = Instrumental\r\n\r\n" SEP "\r\n\r\nInstrumental\r\n");
    QTest::newRow("instrumental-lower-case")
        << QStringLiteral("instrumental")
        << QByteArrayLiteral("Lyrics     = Instrumental\r\n\r\n" SEP "\r\n\r\ninstrumental\r\n");
    QTest::newRow("instrumentaal") << QStringLiteral("instrumentaal")
                                   << QByteArrayLiteral("Lyrics     = Instrumental\r\n\r\n" SEP
                                                        "\r\n\r\ninstrumentaal\r\n");
    QTest::newRow("instrumental-version")
        << QStringLiteral("INSTRUMENTAL VERSION\r\n")
        << QByteArrayLiteral("Lyrics     = Instrumental\r\n\r\n" SEP "\r\n\r\nINSTRUMENTAL VERSION\r\n");
    QTest::newRow("words-unclear") << QStringLiteral("(Words unclear)\r\nla la")
                                   << QByteArrayLiteral("Lyrics     = (words unclear)\r\n\r\n" SEP
                                                        "\r\n\r\n(Words unclear)\r\nla la\r\n");
    QTest::newRow("only-line-breaks")
        << QStringLiteral("\r\n\r\n") << QByteArrayLiteral("Lyrics     = Yes\r\n\r\n" SEP "\r\n\r\n\r\n\r\n");
    QTest::newRow("only-blanks") << QStringLiteral("   ")
                                 << QByteArrayLiteral("Lyrics     = Yes\r\n\r\n" SEP "\r\n\r\n\r\n");
    QTest::newRow("non-ascii") << QStringLiteral("Café “noir” €")
                               << QByteArrayLiteral(
                                      "Lyrics     = Yes\r\n\r\n" SEP
                                      "\r\n\r\nCaf\xC3\xA9 \xE2\x80\x9Cnoir\xE2\x80\x9D \xE2\x82\xAC\r\n");
}

void tst_SongInfo::composeFile()
{
    QFETCH(QString, lyrics);
    QFETCH(QByteArray, expectedTail);
    const QByteArray written
        = SongInfo::ComposeFile(QStringLiteral("12"), headFields(), lyrics, QDate(2026, 12, 8));
    QCOMPARE(written, WrittenHead + expectedTail);
}

void tst_SongInfo::fieldsWithLineBreaks()
{
    // A line break typed or pasted into a field must not start a new line
    // (or section) in the file.
    SongInfo::Details d;
    d.AlbumName = QStringLiteral("A\r\n[Evil]\nB\rC");
    const QByteArray written = SongInfo::ComposeFile(QStringLiteral("0"), d, QString(), QDate(2001, 3, 5));
    QCOMPARE(written,
        QByteArrayLiteral(SEP "\r\n; Generated 05-03-2001\r\n; Do not modify manually.\r\n" SEP "\r\n\r\n"
                              "[Info]\r\n"
                              "UsageCount = 0\r\n"
                              "Writer     = \r\n"
                              "Playtime   = \r\n"
                              "AlbumName  = A [Evil] B C\r\n"
                              "SongYear   = \r\n"
                              "AlbumYear  = \r\n"
                              "AlbumCDNum = \r\n"
                              "AlbumLabel = \r\n"
                              "\r\n" SEP "\r\n\r\n"));
}

void tst_SongInfo::lyricMarker_data()
{
    QTest::addColumn<QString>("lyrics");
    QTest::addColumn<QString>("expected");

    QTest::newRow("instrumental") << "Instrumental"
                                  << "Lyrics     = Instrumental";
    QTest::newRow("instrumenta-11-chars") << "Instrumenta"
                                          << "Lyrics     = Instrumental";
    QTest::newRow("instrument-10-chars") << "Instrument"
                                         << "Lyrics     = Yes";
    QTest::newRow("mixed-case") << "iNsTrUmEnTaL"
                                << "Lyrics     = Instrumental";
    QTest::newRow("leading-blank") << " Instrumental"
                                   << "Lyrics     = Yes";
    QTest::newRow("dotless-i") << QStringLiteral("ınstrumental") << "Lyrics     = Yes";
    QTest::newRow("words-unclear-any-case") << "(WoRdS uNcLeAr) x"
                                            << "Lyrics     = (words unclear)";
    QTest::newRow("words-unclear-14-chars") << "(words unclear"
                                            << "Lyrics     = Yes";
    QTest::newRow("yes") << "la"
                         << "Lyrics     = Yes";
    QTest::newRow("line-break") << "\n"
                                << "Lyrics     = Yes";
    QTest::newRow("empty") << ""
                           << "";
}

void tst_SongInfo::lyricMarker()
{
    QFETCH(QString, lyrics);
    QFETCH(QString, expected);
    QCOMPARE(SongInfo::LyricMarkerLine(lyrics), expected);
}

void tst_SongInfo::readLyrics_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("expected");

    const QByteArray tail = QByteArrayLiteral("\r\n" SEP "\r\n\r\n");
    QTest::newRow("written-layout") << QByteArray(
        WrittenHead + "Lyrics     = Yes\r\n" + tail + "First line\r\n  Second line\r\n\r\nLast\r\n")
                                    << QStringList { QStringLiteral("First line"),
                                           QStringLiteral("  Second line"), QString(),
                                           QStringLiteral("Last") };
    QTest::newRow("no-marker") << QByteArray(WrittenHead + tail) << QStringList();
    QTest::newRow("album-lyrics-of-love") << QByteArrayLiteral(
        "[Info]\r\nAlbumName  = Lyrics of Love\r\nSongYear   = 1999\r\n\r\n" SEP "\r\n\r\n")
                                          << QStringList();
    QTest::newRow("album-lyrics-of-love-then-marker")
        << QByteArrayLiteral("[Info]\r\nAlbumName  = Lyrics of Love\r\nSongYear   = 1999\r\n"
                             "Lyrics     = Yes\r\n\r\n" SEP "\r\n\r\nla\r\n")
        << QStringList { QStringLiteral("la") };
    QTest::newRow("writer-named-lyrics")
        << QByteArrayLiteral("[Info]\r\nWriter = Lyrics Man\r\nAlbumLabel = x\r\n") << QStringList();
    QTest::newRow("marker-without-blanks")
        << QByteArrayLiteral("[Info]\r\nLyrics=Yes\r\nla\r\n") << QStringList { QStringLiteral("la") };
    QTest::newRow("marker-other-case-is-no-marker")
        << QByteArrayLiteral("[Info]\r\nlyrics = Yes\r\nla\r\n") << QStringList();
    QTest::newRow("lyrics-without-equals-is-no-marker")
        << QByteArrayLiteral("[Info]\r\nLyrics\r\nla\r\n") << QStringList();
    QTest::newRow("lyric-line-like-marker-kept")
        << QByteArrayLiteral("Lyrics = Yes\r\n\r\n" SEP "\r\nLyrics = again\r\n")
        << QStringList { QStringLiteral("Lyrics = again") };
    QTest::newRow("leading-empty-lines-lost")
        << QByteArrayLiteral("Lyrics = Yes\r\n\r\n" SEP "\r\n\r\n\r\n\r\nla\r\n\r\n")
        << QStringList { QStringLiteral("la"), QString() };
    QTest::newRow("only-line-breaks")
        << QByteArrayLiteral("Lyrics = Yes\r\n\r\n" SEP "\r\n\r\n\r\n\r\n") << QStringList();
    QTest::newRow("separator-inside-lyrics-kept")
        << QByteArrayLiteral("Lyrics = Yes\r\n\r\n" SEP "\r\n\r\nla\r\n" SEP "\r\n")
        << QStringList { QStringLiteral("la"), QStringLiteral(SEP) };
    QTest::newRow("lf-only") << QByteArrayLiteral("[Info]\nLyrics = Yes\n\n" SEP "\n\na\nb\n")
                             << QStringList { QStringLiteral("a"), QStringLiteral("b") };
    QTest::newRow("cr-only") << QByteArrayLiteral("[Info]\rLyrics = Yes\r\r" SEP "\r\ra\rb")
                             << QStringList { QStringLiteral("a"), QStringLiteral("b") };
    QTest::newRow("windows-1252") << QByteArrayLiteral("[Info]\r\nLyrics = Yes\r\n\r\nCaf\xE9 \x80\r\n")
                                  << QStringList { QStringLiteral("Café €") };
    QTest::newRow("counted-without-info-section") << QByteArrayLiteral(
        "Lyrics = Yes\r\n\r\n" SEP "\r\n\r\nla\r\n[Info]\r\nUsageCount=1\r\nPlaytime=??:??\r\n")
                                                  << QStringList { QStringLiteral("la") };
    QTest::newRow("section-headers-inside-lyrics-kept")
        << QByteArray(
               WrittenHead + "Lyrics     = Yes\r\n" + tail + "[Chorus]\r\nla\r\n[Info]\r\nUsageCount=1\r\n")
        << QStringList { QStringLiteral("[Chorus]"), QStringLiteral("la"), QStringLiteral("[Info]"),
               QStringLiteral("UsageCount=1") };
    QTest::newRow("empty-file") << QByteArray() << QStringList();
}

void tst_SongInfo::readLyrics()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, expected);
    QCOMPARE(SongInfo::ReadLyrics(content), expected);
}

void tst_SongInfo::writeThenRead()
{
    const QByteArray file = path("Artist-Title.INI");
    SongInfo::Details d = headFields();
    d.AlbumName = QStringLiteral("  Blue  ");
    d.Writer = QStringLiteral("Müller");
    SongInfo::WriteSongInfo(
        file, QStringLiteral("3"), d, QStringLiteral("\r\nWriter = not me\r\nla  "), QDate(2026, 12, 8));

    const SongInfo::Details back = SongInfo::LoadInfo(file);
    QCOMPARE(back.Writer, QStringLiteral("Müller"));
    QCOMPARE(back.AlbumName, QStringLiteral("Blue"));
    QCOMPARE(back.UsageCount, QStringLiteral("3"));
    QCOMPARE(back.AlbumLabel, QStringLiteral("Label"));
    QCOMPARE(SongInfo::ReadLyrics(readBytes(file)),
        (QStringList { QStringLiteral("Writer = not me"), QStringLiteral("la") }));
    const SongInfo::GridValues grid = SongInfo::ReadSongInfo(file);
    QCOMPARE(grid.playTime, QStringLiteral(" 03:45"));
    QCOMPARE(grid.lyricsMark, QChar(u'V'));
}

void tst_SongInfo::countThenSave_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("saved"); // after a count and a Save of what the dialog shows

    const QByteArray tail = QByteArrayLiteral("\r\n" SEP "\r\n\r\n");
    const QByteArray head13 = QByteArray(WrittenHead).replace("UsageCount = 12", "UsageCount = 13");
    QTest::newRow("lyrics-without-info-section")
        << QByteArray("Lyrics     = Yes\r\n" + tail + "la\r\n")
        << QByteArray(QByteArray(WrittenHead.first(WrittenHead.indexOf("UsageCount"))) + "UsageCount = 1\r\n"
               + "Writer     = \r\nPlaytime   = ??:??\r\nAlbumName  = \r\nSongYear   = \r\nAlbumYear  = \r\n"
               + "AlbumCDNum = \r\nAlbumLabel = \r\nLyrics     = Yes\r\n" + tail + "la\r\n");
    QTest::newRow("utf8-and-cp1252-lyric-lines")
        << QByteArray(WrittenHead + "Lyrics     = Yes\r\n" + tail + "D\xC3\xA9j\xC3\xA0 vu\r\ncaf\xE9\r\n")
        << QByteArray(head13 + "Lyrics     = Yes\r\n" + tail + "D\xC3\xA9j\xC3\xA0 vu\r\ncaf\xC3\xA9\r\n");
}

// What the grid, the details dialog and its Save make of a file once a play
// has been counted in it: the same count, and no line of the count's in the
// lyrics.
void tst_SongInfo::countThenSave()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, saved);
    const QByteArray file = path("Artist-Title.INI");
    writeBytes(file, before);
    const QString count = SongInfo::CountPlay(file);
    const SongInfo::Details shown = SongInfo::LoadInfo(file);
    QCOMPARE(SongInfo::ReadSongInfo(file).usageCount, count);
    QCOMPARE(shown.UsageCount, count);
    SongInfo::WriteSongInfo(file, shown.UsageCount, shown,
        SongInfo::ReadLyrics(readBytes(file)).join(QStringLiteral("\r\n")), QDate(2026, 12, 8));
    QCOMPARE(readBytes(file), saved);
    QCOMPARE(SongInfo::ReadSongInfo(file).usageCount, count);
}

void tst_SongInfo::readGridValues_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("playTime");
    QTest::addColumn<QString>("mark");
    QTest::addColumn<QString>("year");
    QTest::addColumn<QString>("count");

    QTest::newRow("missing") << QByteArray() << " 00:00"
                             << " "
                             << ""
                             << "0";
    QTest::newRow("written-file") << QByteArray(WrittenHead + "Lyrics     = Yes\r\n") << " 03:45"
                                  << "V"
                                  << "1999"
                                  << "12";
    QTest::newRow("instrumental") << QByteArrayLiteral("[Info]\r\nLyrics=Instrumental\r\n") << " 00:00"
                                  << "I"
                                  << ""
                                  << "0";
    QTest::newRow("words-unclear") << QByteArrayLiteral("[Info]\r\nLyrics = (words unclear) \r\n") << " 00:00"
                                   << "X"
                                   << ""
                                   << "0";
    QTest::newRow("yes-lower-case") << QByteArrayLiteral("[Info]\r\nLyrics = yes\r\n") << " 00:00"
                                    << " "
                                    << ""
                                    << "0";
    QTest::newRow("lyrics-no") << QByteArrayLiteral("[Info]\r\nLyrics = No\r\n") << " 00:00"
                               << " "
                               << ""
                               << "0";
    QTest::newRow("playtime-empty") << QByteArrayLiteral("[Info]\r\nPlaytime   = \r\n") << "      "
                                    << " "
                                    << ""
                                    << "0";
    QTest::newRow("playtime-7-chars") << QByteArrayLiteral("[Info]\r\nPlaytime=1:03:45\r\n") << ":03:45"
                                      << " "
                                      << ""
                                      << "0";
    QTest::newRow("playtime-unknown") << QByteArrayLiteral("[Info]\r\nPlaytime=??:??\r\n") << " ??:??"
                                      << " "
                                      << ""
                                      << "0";
    QTest::newRow("year-long") << QByteArrayLiteral("[Info]\r\nSongYear = 1999-2001\r\n") << " 00:00"
                               << " "
                               << "1999"
                               << "0";
    QTest::newRow("year-short") << QByteArrayLiteral("[Info]\r\nSongYear = 99\r\n") << " 00:00"
                                << " "
                                << "99"
                                << "0";
    QTest::newRow("count-empty") << QByteArrayLiteral("[Info]\r\nUsageCount = \r\n") << " 00:00"
                                 << " "
                                 << ""
                                 << "0";
    QTest::newRow("count-control-chars")
        << QByteArrayLiteral("[Info]\r\nUsageCount = \x01 5 \x02\r\n") << " 00:00"
        << " "
        << ""
        << "5";
    QTest::newRow("count-not-a-number-shown-as-is")
        << QByteArrayLiteral("[Info]\r\nUsageCount = x\r\n") << " 00:00"
        << " "
        << ""
        << "x";
    QTest::newRow("keys-other-case") << QByteArrayLiteral(
        "[INFO]\r\nplaytime=01:02\r\nLYRICS=Yes\r\nsongyear=2001\r\nusagecount=4\r\n")
                                     << " 01:02"
                                     << "V"
                                     << "2001"
                                     << "4";
    QTest::newRow("section-twice") << QByteArrayLiteral(
        "[Info]\r\nUsageCount=1\r\n[Info]\r\nUsageCount=2\r\nSongYear=2002\r\n")
                                   << " 00:00"
                                   << " "
                                   << ""
                                   << "1";
    QTest::newRow("no-section") << QByteArrayLiteral("UsageCount=1\r\nPlaytime=01:00\r\n") << " 00:00"
                                << " "
                                << ""
                                << "0";
    QTest::newRow("cr-only") << QByteArrayLiteral("[Info]\rPlaytime = 02:00\rUsageCount = 3\r") << " 02:00"
                             << " "
                             << ""
                             << "3";
    QTest::newRow("bom") << QByteArrayLiteral("\xEF\xBB\xBF[Info]\r\nUsageCount = 3\r\n") << " 00:00"
                         << " "
                         << ""
                         << "3";
    QTest::newRow("windows-1252") << QByteArrayLiteral("[Info]\r\nSongYear = \xB4"
                                                       "99\r\nPlaytime = 3\xB4"
                                                       "45\r\n")
                                  << QStringLiteral("  3´45") << " " << QStringLiteral("´99") << "0";
    QTest::newRow("lyric-line-does-not-count")
        << QByteArray(WrittenHead + "Lyrics     = Yes\r\n\r\n" SEP "\r\n\r\nUsageCount = 99\r\n") << " 03:45"
        << "V"
        << "1999"
        << "12";
}

void tst_SongInfo::readGridValues()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, playTime);
    QFETCH(QString, mark);
    QFETCH(QString, year);
    QFETCH(QString, count);
    const SongInfo::GridValues grid = SongInfo::ReadGridValues(content);
    QCOMPARE(grid.playTime, playTime);
    QCOMPARE(QString(grid.lyricsMark), mark);
    QCOMPARE(grid.songYear, year);
    QCOMPARE(grid.usageCount, count);
}

void tst_SongInfo::readDamagedFiles_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<QString>("playTime");
    QTest::addColumn<QString>("count");

    QTest::newRow("missing-file") << QByteArray("missing") << " 00:00"
                                  << "0";
    QTest::newRow("empty-file") << QByteArray("empty") << " 00:00"
                                << "0";
    QTest::newRow("folder-instead-of-file") << QByteArray("folder") << " 00:00"
                                            << "0";
    QTest::newRow("binary") << QByteArray("binary") << ""
                            << "";
    QTest::newRow("50-mb") << QByteArray("50mb") << " 04:00"
                           << "7";
}

void tst_SongInfo::readDamagedFiles()
{
    QFETCH(QByteArray, kind);
    QFETCH(QString, playTime);
    QFETCH(QString, count);
    const QByteArray file = path("Song.INI");
    if (kind == "empty") {
        writeBytes(file, QByteArray());
    } else if (kind == "folder") {
        QCOMPARE(::mkdir(file.constData(), 0755), 0);
    } else if (kind == "binary") {
        QRandomGenerator rng(4711);
        QByteArray noise(1 << 20, Qt::Uninitialized);
        for (char &c : noise)
            c = char(rng.bounded(256));
        writeBytes(file, QByteArray("[Info]\r\n" + noise));
    } else if (kind == "50mb") {
        QByteArray lyrics;
        for (int i = 0; i < 2400000; ++i)
            lyrics += "la la = la [la] ; la\r\n";
        writeBytes(
            file, QByteArray("[Info]\r\nPlaytime = 04:00\r\nUsageCount = 7\r\nLyrics = Yes\r\n" + lyrics));
    }
    const SongInfo::GridValues grid = SongInfo::ReadSongInfo(file);
    QCOMPARE(grid.playTime.size(), 6);
    QVERIFY(!grid.usageCount.isEmpty());
    QVERIFY(grid.songYear.size() <= 4);
    if (!playTime.isEmpty()) {
        QCOMPARE(grid.playTime, playTime);
        QCOMPARE(grid.usageCount, count);
    }
    if (kind == "50mb")
        QCOMPARE(SongInfo::ReadLyrics(readBytes(file)).size(), 2400000);
}

void tst_SongInfo::loadInfo()
{
    const QByteArray file = path("Song.INI");
    writeBytes(
        file, QByteArrayLiteral("[info]\r\nwriter = M\xFCller \r\nPlaytime=\"03:00\"\r\nAlbumName=\r\n"));
    const SongInfo::Details d = SongInfo::LoadInfo(file);
    QCOMPARE(d.Writer, QStringLiteral("Müller"));
    QCOMPARE(d.Playtime, QStringLiteral("03:00"));
    QCOMPARE(d.AlbumName, QString());
    QCOMPARE(d.SongYear, QString());
    QCOMPARE(d.UsageCount, QString());
    const SongInfo::Details none = SongInfo::LoadInfo(path("Missing.INI"));
    QCOMPARE(none.Writer, QString());
    QVERIFY(!none.Writer.isNull()); // empty text, as for a key without value
}

void tst_SongInfo::countPlay_data()
{
    QTest::addColumn<QByteArray>("before"); // null: no file
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QString>("count");

    const QByteArray lyrics
        = QByteArrayLiteral("Lyrics     = Yes\r\n\r\n" SEP "\r\n\r\nPlaytime = \r\nUsageCount = x\r\n");
    QTest::newRow("dialog-file-only-count-line")
        << QByteArray(WrittenHead + lyrics)
        << QByteArray(QByteArray(WrittenHead).replace("UsageCount = 12", "UsageCount = 13") + lyrics) << "13";
    QTest::newRow("playtime-empty")
        << QByteArrayLiteral("[Info]\r\nUsageCount = 2\r\nPlaytime   = \r\nAlbumName  = x\r\n")
        << QByteArrayLiteral("[Info]\r\nUsageCount = 3\r\nPlaytime   = ??:??\r\nAlbumName  = x\r\n") << "3";
    QTest::newRow("playtime-blank") << QByteArrayLiteral("[Info]\r\nUsageCount = 2\r\nPlaytime   =   \r\n")
                                    << QByteArrayLiteral(
                                           "[Info]\r\nUsageCount = 3\r\nPlaytime   =   ??:??\r\n")
                                    << "3";
    QTest::newRow("playtime-missing")
        << QByteArrayLiteral("[Info]\r\nUsageCount = 2\r\nWriter = w\r\n\r\n; x\r\n\r\nla\r\n")
        << QByteArrayLiteral(
               "[Info]\r\nUsageCount = 3\r\nWriter = w\r\nPlaytime=??:??\r\n\r\n; x\r\n\r\nla\r\n")
        << "3";
    QTest::newRow("playtime-present-untouched")
        << QByteArrayLiteral("[Info]\r\nUsageCount=0\r\nPlaytime=??:??\r\n")
        << QByteArrayLiteral("[Info]\r\nUsageCount=1\r\nPlaytime=??:??\r\n") << "1";
    QTest::newRow("count-empty") << QByteArrayLiteral("[Info]\r\nUsageCount = \r\nPlaytime = 01:00\r\n")
                                 << QByteArrayLiteral("[Info]\r\nUsageCount = 1\r\nPlaytime = 01:00\r\n")
                                 << "1";
    QTest::newRow("count-missing") << QByteArrayLiteral("[Info]\r\nPlaytime = 01:00\r\n")
                                   << QByteArrayLiteral("[Info]\r\nPlaytime = 01:00\r\nUsageCount=1\r\n")
                                   << "1";
    QTest::newRow("count-blanks-and-controls")
        << QByteArrayLiteral("[Info]\r\nUsageCount = \t7\x01 \r\nPlaytime=1\r\n")
        << QByteArrayLiteral("[Info]\r\nUsageCount = \t8\r\nPlaytime=1\r\n") << "8";
    QTest::newRow("count-plus-sign") << QByteArrayLiteral("[Info]\r\nUsageCount=+4\r\nPlaytime=1\r\n")
                                     << QByteArrayLiteral("[Info]\r\nUsageCount=5\r\nPlaytime=1\r\n") << "5";
    QTest::newRow("count-max-minus-one")
        << QByteArrayLiteral("[Info]\r\nUsageCount=2147483646\r\nPlaytime=1\r\n")
        << QByteArrayLiteral("[Info]\r\nUsageCount=2147483647\r\nPlaytime=1\r\n") << "2147483647";
    QTest::newRow("keys-other-case") << QByteArrayLiteral("[INFO]\r\nusagecount = 2\r\nplaytime = 01:00\r\n")
                                     << QByteArrayLiteral("[INFO]\r\nusagecount = 3\r\nplaytime = 01:00\r\n")
                                     << "3";
    QTest::newRow("lf-file") << QByteArrayLiteral("[Info]\nUsageCount = 2\n")
                             << QByteArrayLiteral("[Info]\nUsageCount = 3\nPlaytime=??:??\n") << "3";
    QTest::newRow("cp1252-bytes-kept")
        << QByteArrayLiteral("[Info]\r\nUsageCount = 1\r\nWriter = M\xFCller\r\nPlaytime = 2\xB4"
                             "00\r\n")
        << QByteArrayLiteral("[Info]\r\nUsageCount = 2\r\nWriter = M\xFCller\r\nPlaytime = 2\xB4"
                             "00\r\n")
        << "2";
    QTest::newRow("missing-file") << QByteArray()
                                  << QByteArrayLiteral("[Info]\r\nUsageCount=1\r\nPlaytime=??:??\r\n") << "1";
    QTest::newRow("empty-file") << QByteArray("")
                                << QByteArrayLiteral("[Info]\r\nUsageCount=1\r\nPlaytime=??:??\r\n") << "1";
    QTest::newRow("no-info-section") << QByteArrayLiteral(
        "; note") << QByteArrayLiteral("; note\r\n[Info]\r\nUsageCount=1\r\nPlaytime=??:??\r\n")
                                     << "1";
    QTest::newRow("marker-among-keys")
        << QByteArrayLiteral("[Info]\r\nWriter=x\r\nLyrics=Yes\r\n\r\nla la\r\n")
        << QByteArrayLiteral(
               "[Info]\r\nPlaytime=??:??\r\nUsageCount=1\r\nWriter=x\r\nLyrics=Yes\r\n\r\nla la\r\n")
        << "1";
    QTest::newRow("marker-among-keys-lf-count-present")
        << QByteArrayLiteral("[Info]\nLyrics=Yes\nUsageCount=4\nla\n")
        << QByteArrayLiteral("[Info]\nPlaytime=??:??\nLyrics=Yes\nUsageCount=5\nla\n") << "5";
    QTest::newRow("bom") << QByteArrayLiteral("\xEF\xBB\xBF[Info]\r\nUsageCount=1\r\nPlaytime=1\r\n")
                         << QByteArrayLiteral("\xEF\xBB\xBF[Info]\r\nUsageCount=2\r\nPlaytime=1\r\n") << "2";
}

void tst_SongInfo::countPlay()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(QString, count);
    const QByteArray file = path("Artist-Title.INI");
    if (!before.isNull())
        writeBytes(file, before);
    QCOMPARE(SongInfo::CountPlay(file), count);
    QCOMPARE(readBytes(file), after);
}

void tst_SongInfo::countPlayRefused_data()
{
    QTest::addColumn<QByteArray>("count");
    QTest::addColumn<QString>("message");

    QTest::newRow("letter") << QByteArray("x") << "'x' is not a valid integer value";
    QTest::newRow("trailing-letter") << QByteArray(" 5x ") << "'5x' is not a valid integer value";
    QTest::newRow("inner-blank") << QByteArray("1 2") << "'1 2' is not a valid integer value";
    QTest::newRow("decimal") << QByteArray("1.5") << "'1.5' is not a valid integer value";
    QTest::newRow("two-signs") << QByteArray("--1") << "'--1' is not a valid integer value";
    QTest::newRow("beyond-32-bits") << QByteArray("99999999999")
                                    << "'99999999999' is not a valid integer value";
    QTest::newRow("max-would-overflow")
        << QByteArray("2147483647") << "'2147483648' is not a valid integer value";
}

void tst_SongInfo::countPlayRefused()
{
    QFETCH(QByteArray, count);
    QFETCH(QString, message);
    const QByteArray file = path("Song.INI");
    const QByteArray before = "[Info]\r\nUsageCount = " + count + "\r\nPlaytime = \r\n";
    writeBytes(file, before);
    QCOMPARE(countError(file), message);
    QCOMPARE(readBytes(file), before);
}

void tst_SongInfo::countPlayReadOnly_data()
{
    QTest::addColumn<int>("fileMode"); // -1: no file
    QTest::addColumn<int>("folderMode");

    QTest::newRow("read-only-folder") << 0644 << 0555;
    QTest::newRow("read-only-folder-no-file") << -1 << 0555;
    QTest::newRow("read-only-file") << 0444 << 0755;
}

void tst_SongInfo::countPlayReadOnly()
{
    QFETCH(int, fileMode);
    QFETCH(int, folderMode);
    QCOMPARE(::mkdir(path("ini").constData(), 0755), 0);
    const QByteArray file = path("ini/Song.INI");
    const QByteArray before = QByteArrayLiteral("[Info]\r\nUsageCount = 1\r\n");
    if (fileMode >= 0) {
        writeBytes(file, before);
        QCOMPARE(::chmod(file.constData(), mode_t(fileMode)), 0);
    }
    QCOMPARE(::chmod(path("ini").constData(), mode_t(folderMode)), 0);
    const QString error = countError(file);
    ::chmod(path("ini").constData(), 0755);
    QCOMPARE(error, QStringLiteral("Unable to write to ") + QString::fromUtf8(file));
    if (fileMode >= 0)
        QCOMPARE(readBytes(file), before);
    else
        QVERIFY(!TestSupport::exists(file));
}

void tst_SongInfo::locate_data()
{
    QTest::addColumn<QList<QByteArray>>("files");
    QTest::addColumn<QByteArray>("mp3");
    QTest::addColumn<QByteArray>("expected");

    using L = QList<QByteArray>;
    QTest::newRow("exact") << L { "Artist-Title.INI" } << QByteArray("Artist-Title.mp3")
                           << QByteArray("Artist-Title.INI");
    QTest::newRow("lower-case-variant")
        << L { "artist-title.ini" } << QByteArray("Artist-Title.mp3") << QByteArray("artist-title.ini");
    QTest::newRow("exact-beats-variant") << L { "artist-title.ini", "Artist-Title.INI", "ARTIST-TITLE.INI" }
                                         << QByteArray("Artist-Title.mp3") << QByteArray("Artist-Title.INI");
    QTest::newRow("two-variants-smallest-wins")
        << L { "artist-title.ini", "ARTIST-title.Ini" } << QByteArray("Artist-Title.mp3")
        << QByteArray("ARTIST-title.Ini");
    QTest::newRow("none") << L { "Other.INI", "Artist-Title.mp3" } << QByteArray("Artist-Title.mp3")
                          << QByteArray("Artist-Title.INI");
    QTest::newRow("near-miss") << L { "Artist-Title2.ini", "Artist-Titl.ini" }
                               << QByteArray("Artist-Title.mp3") << QByteArray("Artist-Title.INI");
    QTest::newRow("utf8-letters") << L { "caf\xC3\xA9-\xC3\xA9t\xC3\xA9.ini" }
                                  << QByteArray("CAF\xC3\x89-\xC3\x89T\xC3\x89.mp3")
                                  << QByteArray("caf\xC3\xA9-\xC3\xA9t\xC3\xA9.ini");
    QTest::newRow("non-utf8-name") << L { "caf\xE9-x.ini" } << QByteArray("CAF\xE9-X.mp3")
                                   << QByteArray("caf\xE9-x.ini");
    QTest::newRow("folder-is-no-file")
        << L { "<dir>artist-title.ini" } << QByteArray("Artist-Title.mp3") << QByteArray("Artist-Title.INI");
}

void tst_SongInfo::locate()
{
    QFETCH(QList<QByteArray>, files);
    QFETCH(QByteArray, mp3);
    QFETCH(QByteArray, expected);
    for (const QByteArray &name : files) {
        if (name.startsWith("<dir>"))
            QCOMPARE(::mkdir(path(name.mid(5)).constData(), 0755), 0);
        else
            writeBytes(path(name), QByteArrayLiteral("[Info]\r\n"));
    }
    SongInfo::Locator locator(m_folder);
    locator.index();
    QCOMPARE(locator.locate(mp3), path(expected));
    QCOMPARE(SongInfo::LocateInfoFile(m_folder, mp3), path(expected));
}

void tst_SongInfo::countPlayFindsCaseVariant()
{
    writeBytes(
        path("artist-title.ini"), QByteArrayLiteral("[Info]\r\nUsageCount = 4\r\nPlaytime = 02:00\r\n"));
    const QByteArray file = SongInfo::LocateInfoFile(m_folder, "Artist-Title.mp3");
    QCOMPARE(SongInfo::CountPlay(file), QStringLiteral("5"));
    QCOMPARE(readBytes(path("artist-title.ini")),
        QByteArrayLiteral("[Info]\r\nUsageCount = 5\r\nPlaytime = 02:00\r\n"));
    QVERIFY(!TestSupport::exists(path("Artist-Title.INI")));
    // A missing folder lists nothing; the file to create is the ".INI" name.
    SongInfo::Locator missing(path("nowhere"));
    missing.index();
    QCOMPARE(missing.locate("Artist-Title.mp3"), path("nowhere/Artist-Title.INI"));
}

QTEST_GUILESS_MAIN(tst_SongInfo)
#include "tst_SongInfo.moc"
