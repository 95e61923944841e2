// The lyrics of a .lrc file as the details dialog shows them (stamps and
// header lines gone, lines in the order they are sung), and finding the
// .lrc file beside a song.

#include "LrcLyrics.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using TestSupport::writeBytes;

class tst_LrcLyrics : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void lrcLyrics_data();
    void lrcLyrics();
    void lrcPathFor_data();
    void lrcPathFor();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_folder; // with a "/" at its end
};

void tst_LrcLyrics::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_folder = QFile::encodeName(m_dir->path()) + '/';
}

void tst_LrcLyrics::cleanup()
{
    // Qt cannot see names that are not UTF-8, so clear the folder ourselves.
    TestSupport::removeTree(m_folder);
    m_dir.reset();
}

void tst_LrcLyrics::lrcLyrics_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    QTest::newRow("stamp-forms") << QByteArray(
        "[00:01]One\n[00:02.5]Two\n[00:03:25]Three\n[01:04.125] Four \n")
                                 << "One\nTwo\nThree\nFour";
    // The chorus is sung twice, after each verse.
    QTest::newRow("several-stamps") << QByteArray("[00:10.00]Verse one\n"
                                                  "[00:20.00][00:40.00]Chorus\n"
                                                  "[00:30.00]Verse two\n")
                                    << "Verse one\nChorus\nVerse two\nChorus";
    QTest::newRow("header-tags") << QByteArray("[ar:Björk]\n[ti:Jóga]\n[al:Homogenic]\n[by:Someone]\n"
                                               "[offset:+500]\n[length: 05:05]\n[re:Tool]\n[ve:1.0]\n"
                                               "[la:is][au:Sjón]\n[00:01.00]Emotional landscapes\n")
                                 << "Emotional landscapes";
    QTest::newRow("near-header-tags") << QByteArray("[00:01.00][Chorus]\n[Chorus]\n[a1:b]\n[00:02.00Open\n")
                                      << "[Chorus]\n[Chorus]\n[a1:b]\n[00:02.00Open";
    QTest::newRow("word-stamps") << QByteArray(
        "[00:01.00]<00:01.00>They <00:01.50>puzzle <00:02:00>me<00:02.50>\n")
                                 << "They puzzle me";
    QTest::newRow("bom") << QByteArray("\xEF\xBB\xBF[00:01.00]Jóga\n") << "Jóga";
    QTest::newRow("windows-1252") << QByteArray("[00:01.00]J\xF3ga\r\n[00:02.00]Bj\xF6rk \x96 1997\r\n")
                                  << "Jóga\nBjörk – 1997";
    static const char utf16le[] = "\xFF\xFE[\0"
                                  "0\0"
                                  "0\0:\0"
                                  "0\0"
                                  "1\0]\0J\0\xF3\0g\0a\0";
    QTest::newRow("utf16le") << QByteArray(utf16le, sizeof utf16le - 1) << "Jóga";
    QTest::newRow("crlf-cr-lf") << QByteArray("[00:01.00]a\r\n[00:02.00]b\r[00:03.00]c\n[00:04.00]d")
                                << "a\nb\nc\nd";
    QTest::newRow("no-stamps") << QByteArray("\r\nFirst line\r\n\r\nThird line\r\n\r\n")
                               << "First line\n\nThird line";
    // A stamp alone is a pause: an empty line; empty lines at the ends go.
    QTest::newRow("stamp-only-lines")
        << QByteArray("[00:00.00]\n[00:01.00]a\n[00:05.00]\n[00:06.00]b\n[00:09.00]\n") << "a\n\nb";
    QTest::newRow("empty") << QByteArray() << QString("");
}

void tst_LrcLyrics::lrcLyrics()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QCOMPARE(LrcLyrics(bytes), expected);
}

void tst_LrcLyrics::lrcPathFor_data()
{
    QTest::addColumn<QByteArray>("song");
    QTest::addColumn<QByteArrayList>("files"); // beside the song; a name ending in "/" is a folder
    QTest::addColumn<QByteArray>("expected"); // "" for none

    QTest::newRow("lower") << QByteArray("Song.mp3") << QByteArrayList { "Song.lrc" }
                           << QByteArray("Song.lrc");
    QTest::newRow("upper") << QByteArray("Song.MP3") << QByteArrayList { "Song.LRC" }
                           << QByteArray("Song.LRC");
    QTest::newRow("both") << QByteArray("Song.flac") << QByteArrayList { "Song.LRC", "Song.lrc" }
                          << QByteArray("Song.lrc");
    QTest::newRow("none") << QByteArray("Song.mp3") << QByteArrayList { "Song.txt", "Song.mp3.lrc" }
                          << QByteArray();
    QTest::newRow("mixed-case-not-found")
        << QByteArray("Song.mp3") << QByteArrayList { "Song.Lrc" } << QByteArray();
    QTest::newRow("folder-not-file") << QByteArray("Song.mp3") << QByteArrayList { "Song.lrc/" }
                                     << QByteArray();
    QTest::newRow("last-extension") << QByteArray("a.b.ogg") << QByteArrayList { "a.b.lrc", "a.lrc" }
                                    << QByteArray("a.b.lrc");
    QTest::newRow("no-extension") << QByteArray("v1.0/Song") << QByteArrayList { "v1.0/Song.lrc", "v1.lrc" }
                                  << QByteArray("v1.0/Song.lrc");
    QTest::newRow("latin1-name") << QByteArray("Bj\xF6rk.opus") << QByteArrayList { "Bj\xF6rk.lrc" }
                                 << QByteArray("Bj\xF6rk.lrc");
}

void tst_LrcLyrics::lrcPathFor()
{
    QFETCH(QByteArray, song);
    QFETCH(QByteArrayList, files);
    QFETCH(QByteArray, expected);

    const QByteArray &folder = m_folder;
    for (const QByteArray &file : files) {
        if (file.contains('/'))
            QVERIFY(QDir().mkpath(QFile::decodeName(folder + file.left(file.lastIndexOf('/')))));
        if (!file.endsWith('/'))
            writeBytes(folder + file, "[00:01.00]a\n");
    }
    QCOMPARE(LrcPathFor(folder + song), expected.isEmpty() ? QByteArray() : folder + expected);
}

QTEST_GUILESS_MAIN(tst_LrcLyrics)
#include "tst_LrcLyrics.moc"
