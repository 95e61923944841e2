// A tree library as the grid shows it: real tagged songs of every format
// read, nested and flat, their rows in the order a library is read, Time and
// Year from the song information file where it has them and from the tags
// where not, and a play of a nested song counted into its own file.

#include "Catalogue.h"
#include "FileValues.h"
#include "SongList.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using TestSupport::readBytes;
using TestSupport::writeBytes;

class TestTreeLibrary : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void rows_data();
    void rows();
    void sizesFollowSongs_data();
    void sizesFollowSongs();
    void tagsCached_data();
    void tagsCached();
    void manyTagsReadBehind();
    void tagsShownInRows_data();
    void tagsShownInRows();
    void fillSongInfo_data();
    void fillSongInfo();
    void fillLyrics_data();
    void fillLyrics();
    void fillKilled_data();
    void fillKilled();
    void sameTitleCountedPerSong();
    void folderMoveFollowed_data();
    void folderMoveFollowed();
    void indexFollowsNestedSongs_data();
    void indexFollowsNestedSongs();
    void nestedPlayCounted_data();
    void nestedPlayCounted();

private:
    QStringList shownRows() const;
    // Copies the fixture to path below the music folder.
    void place(const QString &fixture, const QString &path);
    // The songs and song information files of a row of rows_data().
    void placeAll(const QStringList &songs, const QStringList &infoFiles);
    QString music() const { return m_dir->filePath(QStringLiteral("music")); }
    QString info() const { return m_dir->filePath(QStringLiteral("info")); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TSongList> m_songs;
    std::unique_ptr<TCatalogue> m_catalogue;
};

void TestTreeLibrary::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir().mkpath(music()) && QDir().mkpath(info()));
    m_songs = std::make_unique<TSongList>();
    m_catalogue = std::make_unique<TCatalogue>(*m_songs);
    m_catalogue->setFolders(QFile::encodeName(music()), QFile::encodeName(info()), TLibraryKind::Tree);
    m_catalogue->heldSongs().setDelay(std::chrono::milliseconds(0));
}

void TestTreeLibrary::cleanup()
{
    m_catalogue.reset();
    m_songs.reset();
    m_dir.reset();
}

void TestTreeLibrary::place(const QString &fixture, const QString &path)
{
    const QString target = music() + QLatin1Char('/') + path;
    QVERIFY(QDir().mkpath(QFileInfo(target).absolutePath()));
    QVERIFY(QFile::copy(QStringLiteral(AUDIO_FIXTURES "/") + fixture, target));
}

void TestTreeLibrary::rows_data()
{
    // "fixture=path below the music folder", and song information files
    // "path below the information folder=content" (or "name->folder": a link
    // in the information folder to that folder beside it).
    QTest::addColumn<QStringList>("songs");
    QTest::addColumn<QStringList>("infoFiles");
    // Each row: "Artist|Title|Time|Year|Count", the grid's cells trimmed.
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("totalTime");

    // Artist, then album year (the original year where the tags give one),
    // album, disc, track; each format read; a top-level song beside them.
    QTest::newRow("tagged-nested-and-flat")
        << QStringList { "mp3-v23-utf16.mp3=Björk/Homogenic (1997)/03 Jóga.mp3",
               "opus-full.opus=Björk/Homogenic (1997)/06 Bachelorette.opus",
               "aac-full.m4a=Björk/Post/03 Hyperballad.m4a", "flac-full.flac=坂本龍一/01 Merry.flac",
               "vorbis-other-keys.ogg=Sigur Rós/Takk/02 Glósóli.ogg",
               "mp3-v24-utf8.mp3=The B-52's - Love Shack.mp3" }
        << QStringList {}
        << QStringList { "Björk|Hyperballad|00:01|1995|0", "|Jóga|00:01|1997|0", "|Bachelorette|00:01|1997|0",
               "Sigur Rós|Glósóli|00:01|2005|0", "|Hoppípolla|00:01|2005|0",
               "坂本龍一|Merry Christmas Mr. Lawrence|00:01|1983|0" }
        << "00:00 hr";
    // Tags missing: the file name split as a folder library splits it, else
    // the name itself as the title.
    QTest::newRow("names-where-tags-are-missing")
        << QStringList { "mp3-no-tags.mp3=Zandor-Daylight.mp3", "flac-no-tags.flac=Live/Untitled take.flac",
               "mp3-partial.mp3=Merel-Lantern.mp3" }
        << QStringList {}
        << QStringList { "|Untitled take|00:01||0", "Merel|Untitled|00:01||0", "Zandor|Daylight|00:01||0" }
        << "00:00 hr";
    // "Artist - Title.mp3" without tags joins the artist's tagged songs.
    QTest::newRow("name-split-around-blanks")
        << QStringList { "mp3-no-tags.mp3=Björk - Isobel.mp3",
               "mp3-v23-utf16.mp3=Björk/Homogenic (1997)/03 Jóga.mp3" }
        << QStringList {} << QStringList { "Björk|Isobel|00:01||0", "|Jóga|00:01|1997|0" } << "00:00 hr";
    // The song information file's values win; a nested song's file is its
    // path below the information folder, a top-level song's the folder
    // library's name in any letter case.
    QTest::newRow("song-information-wins")
        << QStringList { "aac-full.m4a=Björk/Post/03 Hyperballad.m4a",
               "mp3-v24-utf8.mp3=Sigur Ros-Hoppipolla.mp3", "flac-full.flac=Other/03 Hyperballad.flac" }
        << QStringList { "Björk/Post/03 Hyperballad.INI=[Info]\r\nPlaytime=05:21\r\nSongYear=1996\r\n"
                         "UsageCount=7\r\n",
               "sigur ros-hoppipolla.ini=[Info]\r\nPlaytime=04:28\r\nUsageCount=2\r\n" }
        << QStringList { "Björk|Hyperballad|05:21|1996|7", "Sigur Rós|Hoppípolla|04:28|2005|2",
               "坂本龍一|Merry Christmas Mr. Lawrence|00:01|1983|0" }
        << "00:09 hr";
    // Keys the details dialog saved empty are no values of their own.
    QTest::newRow("empty-keys-show-the-file's")
        << QStringList { "aac-full.m4a=Björk/Post/03 Hyperballad.m4a" }
        << QStringList { "Björk/Post/03 Hyperballad.INI=[Info]\r\nUsageCount = 4\r\nPlaytime   = \r\n"
                         "SongYear   = \r\n" }
        << QStringList { "Björk|Hyperballad|00:01|1995|4" } << "00:00 hr";
    // One artist in two letter cases is one artist to the order (the
    // titles decide), and two runs to the Artist column.
    QTest::newRow("artist-in-two-letter-cases")
        << QStringList { "mp3-no-tags.mp3=Zandor-Beta.mp3", "mp3-no-tags.mp3=zandor-Alpha.mp3",
               "mp3-no-tags.mp3=Zebra-Gamma.mp3" }
        << QStringList {}
        << QStringList { "zandor|Alpha|00:01||0", "Zandor|Beta|00:01||0", "Zebra|Gamma|00:01||0" }
        << "00:00 hr";
    // Two albums of one artist and one year: the album's name decides (a
    // song without an album first), before disc and track.
    QTest::newRow("albums-of-one-year-by-name")
        << QStringList { "opus-full.opus=Björk/Homogenic/06 Bachelorette.opus",
               "mp3-id3v1-latin1.mp3=Björk/Homogenic/03 Jóga.mp3", "flac-in-ogg.oga=Björk/Hunter.oga" }
        << QStringList {}
        << QStringList { "Björk|Hunter|00:01|1997|0", "|Jóga|00:01|1997|0", "|Bachelorette|00:01|1997|0" }
        << "00:00 hr";
    // The song the file names put first goes last by its tags, with its
    // own Time and Year; the other one's come from its tags.
    QTest::newRow("own-values-on-a-song-the-tags-move")
        << QStringList { "mp3-v24-utf8.mp3=A-First.mp3", "aac-full.m4a=Z-Last.m4a" }
        << QStringList { "A-First.INI=[Info]\r\nPlaytime=02:00\r\nSongYear=1999\r\n" }
        << QStringList { "Björk|Hyperballad|00:01|1995|0", "Sigur Rós|Hoppípolla|02:00|1999|0" }
        << "00:02 hr";
    // The artist's folder of the information folder is a link elsewhere.
    QTest::newRow("information-through-a-linked-folder")
        << QStringList { "aac-full.m4a=Björk/Post/03 Hyperballad.m4a" }
        << QStringList { "Björk->elsewhere", "Björk/Post/03 Hyperballad.INI=[Info]\r\nUsageCount=7\r\n" }
        << QStringList { "Björk|Hyperballad|00:01|1995|7" } << "00:00 hr";
}

void TestTreeLibrary::rows()
{
    QFETCH(QStringList, songs);
    QFETCH(QStringList, infoFiles);
    QFETCH(QStringList, expected);
    QFETCH(QString, totalTime);

    placeAll(songs, infoFiles);
    QCOMPARE(m_catalogue->RefreshList(true), QStringList());
    QCOMPARE(shownRows(), expected);
    QCOMPARE(m_catalogue->timeCaption(), totalTime);
    // The details dialog of each row edits the song's own file: a nested
    // song's at its path below the information folder, the last row's too.
    for (int r = 1; r < m_songs->RowCount(); ++r) {
        const QString song = QFile::decodeName(m_catalogue->files().rawName(r - 1).toByteArray());
        const QString nested = song.contains(u'/')
            ? info() + u'/' + song.left(song.lastIndexOf(u'.')) + QStringLiteral(".INI")
            : QString();
        QCOMPARE(QFile::decodeName(m_catalogue->nestedInfoPath(r)), nested);
    }
}

void TestTreeLibrary::placeAll(const QStringList &songs, const QStringList &infoFiles)
{
    for (const QString &song : songs)
        place(song.section(QLatin1Char('='), 0, 0), song.section(QLatin1Char('='), 1));
    for (const QString &file : infoFiles) {
        if (file.contains(QStringLiteral("->"))) {
            const QString target = m_dir->filePath(file.section(QStringLiteral("->"), 1));
            QVERIFY(QDir().mkpath(target));
            QVERIFY(
                QFile::link(target, info() + QLatin1Char('/') + file.section(QStringLiteral("->"), 0, 0)));
            continue;
        }
        const QString path = info() + QLatin1Char('/') + file.section(QLatin1Char('='), 0, 0);
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        writeBytes(path, file.section(QLatin1Char('='), 1).toUtf8());
    }
}

// Each row's Size is its own song's, however far the order of the tags
// moved it from the listing's.
void TestTreeLibrary::sizesFollowSongs_data()
{
    // "fixture=path below the music folder=its size in MiB".
    QTest::addColumn<QStringList>("songs");
    QTest::addColumn<QStringList>("expected"); // "Title|Size", in row order

    QTest::newRow("listing-order-kept") << QStringList {
        "mp3-v23-utf16.mp3=a/x.mp3=1", "mp3-v24-utf8.mp3=b/y.mp3=2", "mp3-duplicates.mp3=c/z.mp3=3"
    } << QStringList { "Jóga|1.0", "Hoppípolla|2.0", "戦場のメリークリスマス|3.0" };
    QTest::newRow("listing-order-reversed") << QStringList {
        "mp3-duplicates.mp3=a/x.mp3=1", "mp3-v24-utf8.mp3=b/y.mp3=2", "mp3-v23-utf16.mp3=c/z.mp3=3"
    } << QStringList { "Jóga|3.0", "Hoppípolla|2.0", "戦場のメリークリスマス|1.0" };
}

void TestTreeLibrary::sizesFollowSongs()
{
    QFETCH(QStringList, songs);
    QFETCH(QStringList, expected);

    for (const QString &song : songs) {
        const QStringList parts = song.split(QLatin1Char('='));
        place(parts[0], parts[1]);
        // Zeros after the song make it that many MiB in all.
        const QString path = music() + QLatin1Char('/') + parts[1];
        const QByteArray bytes = readBytes(path);
        writeBytes(path, bytes + QByteArray(parts[2].toInt() * 1048576 - bytes.size(), '\0'));
    }
    QCOMPARE(m_catalogue->RefreshList(true), QStringList());
    QStringList shown;
    for (int r = 1; r < m_songs->RowCount(); ++r)
        shown << m_songs->Cells(TSongList::ColTitle, r).trimmed() + QLatin1Char('|')
                + m_songs->Cells(TSongList::ColSize, r).trimmed();
    QCOMPARE(shown, expected);
}

QStringList TestTreeLibrary::shownRows() const
{
    QStringList shown;
    for (int r = 1; r < m_songs->RowCount(); ++r) {
        QStringList cells;
        for (const int c : { TSongList::ColArtist, TSongList::ColTitle, TSongList::ColTime,
                 TSongList::ColYear, TSongList::ColCount_ })
            cells << m_songs->Cells(c, r).trimmed();
        shown << cells.join(QLatin1Char('|'));
    }
    return shown;
}

void TestTreeLibrary::tagsCached_data()
{
    // Between two runs: what changed, how many audio files the second run
    // opens, and the first row it shows.
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("opened");
    QTest::addColumn<QString>("first");

    const QString joga = "Björk|Jóga|00:01|1997|0";
    QTest::newRow("nothing") << "" << 0 << joga;
    // Other bytes of the same size, the time set back: the cache is read,
    // not the file.
    QTest::newRow("bytes-changed-time-kept") << "garble" << 0 << joga;
    QTest::newRow("rewritten-by-a-tag-editor") << "retag" << 1 << "Noise|Three seconds|00:03||0";
    QTest::newRow("song-added") << "add" << 1 << joga;
    QTest::newRow("song-removed") << "remove" << 0 << "Sigur Rós|Hoppípolla|00:01|2005|0";
    // A time before 1970 (a camera's or an old archive's): read again once,
    // then from the cache.
    QTest::newRow("dated-before-1970") << "old" << 1 << joga;
    QTest::newRow("cache-garbled") << "cache" << 2 << joga;
    QTest::newRow("cache-of-another-version") << "version" << 2 << joga;
}

void TestTreeLibrary::tagsCached()
{
    QFETCH(QString, change);
    QFETCH(int, opened);
    QFETCH(QString, first);

    const QByteArray cache = QFile::encodeName(m_dir->filePath(QStringLiteral("discora.TAG")));
    const QString joga = music() + QStringLiteral("/Björk/Homogenic/03 Jóga.mp3");
    place(QStringLiteral("mp3-v23-utf16.mp3"), QStringLiteral("Björk/Homogenic/03 Jóga.mp3"));
    place(QStringLiteral("mp3-v24-utf8.mp3"), QStringLiteral("Sigur Rós - Hoppípolla.mp3"));
    m_catalogue->setTagCachePath(cache);
    QCOMPARE(m_catalogue->RefreshList(true), QStringList());
    QCOMPARE(m_catalogue->tagsOpened(), 2);

    QFile song(joga);
    if (change == QLatin1String("garble")) {
        struct stat before;
        QVERIFY(::stat(QFile::encodeName(joga).constData(), &before) == 0);
        QVERIFY(song.open(QIODevice::ReadWrite));
        QVERIFY(song.write(QByteArray(int(song.size()), 'x')) == song.size());
        song.close();
        const struct timespec times[2] = { before.st_atim, before.st_mtim };
        QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(joga).constData(), times, 0) == 0);
    } else if (change == QLatin1String("retag")) {
        QVERIFY(song.remove());
        place(QStringLiteral("mp3-vbr.mp3"), QStringLiteral("Björk/Homogenic/03 Jóga.mp3"));
    } else if (change == QLatin1String("add")) {
        place(QStringLiteral("flac-full.flac"), QStringLiteral("坂本龍一/01 Merry.flac"));
    } else if (change == QLatin1String("remove")) {
        QVERIFY(song.remove());
    } else if (change == QLatin1String("old")) {
        const struct timespec times[2] = { { 0, UTIME_OMIT }, { -86399, 5 } };
        QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(joga).constData(), times, 0) == 0);
    } else if (change == QLatin1String("cache")) {
        writeBytes(QFile::decodeName(cache), "Discora tag cache 1\n1\t2\n\\x\n");
    } else if (change == QLatin1String("version")) {
        QByteArray bytes = readBytes(QFile::decodeName(cache));
        writeBytes(QFile::decodeName(cache), bytes.replace("cache 1", "cache 0"));
    }
    // As the next run of the program finds it.
    m_catalogue = std::make_unique<TCatalogue>(*m_songs);
    m_catalogue->setFolders(QFile::encodeName(music()), QFile::encodeName(info()), TLibraryKind::Tree);
    m_catalogue->setTagCachePath(cache);
    QCOMPARE(m_catalogue->RefreshList(true), QStringList());
    QCOMPARE(m_catalogue->tagsOpened(), opened);
    QCOMPARE(shownRows().value(0), first);
    // What the second run wrote serves a third as it is.
    m_catalogue->RefreshList(true);
    QCOMPARE(m_catalogue->tagsOpened(), 0);
}

void TestTreeLibrary::manyTagsReadBehind()
{
    // More songs to read than a scan reads while the window waits: their
    // names stand in, the tags are read on a thread of their own into the
    // cache, and the full scan after that shows them without opening a song.
    const int songs = TCatalogue::TagsReadInScan + 1;
    place(QStringLiteral("mp3-v23-utf16.mp3"), QStringLiteral("Björk/Homogenic/Jóga 0000.mp3"));
    const QByteArray first = QFile::encodeName(music() + QStringLiteral("/Björk/Homogenic/Jóga 0000.mp3"));
    for (int i = 1; i < songs; ++i) {
        const QByteArray copy = QFile::encodeName(
            music() + QStringLiteral("/Björk/Homogenic/Jóga %1.mp3").arg(i, 4, 10, QLatin1Char('0')));
        QVERIFY(::link(first.constData(), copy.constData()) == 0);
    }
    std::atomic<int> done { 0 };
    m_catalogue->setTagCachePath(QFile::encodeName(m_dir->filePath(QStringLiteral("discora.TAG"))));
    m_catalogue->setTagsDone([&done] { ++done; });
    QCOMPARE(m_catalogue->RefreshList(true), QStringList());
    QCOMPARE(m_catalogue->tagsOpened(), 0);
    QCOMPARE(shownRows().value(0), QStringLiteral("|Jóga 0000|No INI||0"));
    // A full scan while they are read (the watch saw songs come): names
    // stand in again, and the reading goes on, neither waited for nor sent
    // off a second time.
    QCOMPARE(m_catalogue->RefreshList(true), QStringList());
    QCOMPARE(m_catalogue->tagsOpened(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(done.load(), 1, 60000);
    int read = 0;
    int total = 0;
    QVERIFY(!m_catalogue->tagProgress(read, total));
    QCOMPARE(m_catalogue->RefreshList(true), QStringList());
    QCOMPARE(m_catalogue->tagsOpened(), 0);
    QCOMPARE(shownRows().value(0), QStringLiteral("Björk|Jóga|00:01|1997|0"));
    QCOMPARE(shownRows().size(), songs);
    QCOMPARE(done.load(), 1);
}

// Every situation of rows(), beside more songs than a scan reads while the
// window waits: the tags read behind the scan go straight into its rows,
// which show what the scan that reads them shows, each row still the song
// of its own file.
void TestTreeLibrary::tagsShownInRows_data()
{
    rows_data();
}

void TestTreeLibrary::tagsShownInRows()
{
    QFETCH(QStringList, songs);
    QFETCH(QStringList, infoFiles);
    QFETCH(QStringList, expected);
    QFETCH(QString, totalTime);

    placeAll(songs, infoFiles);
    // Empty files after every tagged song: no length, no year.
    const int fillers = TCatalogue::TagsReadInScan + 1;
    for (int i = 0; i < fillers; ++i)
        writeBytes(
            music() + QStringLiteral("/～-Filler %1.mp3").arg(i, 3, 10, QLatin1Char('0')), QByteArray());
    std::atomic<int> done { 0 };
    m_catalogue->setTagCachePath(QFile::encodeName(m_dir->filePath(QStringLiteral("discora.TAG"))));
    m_catalogue->setTagsDone([&done] { ++done; });
    QCOMPARE(m_catalogue->RefreshList(true), QStringList());
    QCOMPARE(m_catalogue->tagsOpened(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(done.load(), 1, 60000);

    const std::optional<QStringList> errors = m_catalogue->showReadTags();
    QVERIFY(errors.has_value());
    QCOMPARE(*errors, QStringList());
    const QStringList shown = shownRows();
    QCOMPARE(shown.mid(0, expected.size()), expected);
    QCOMPARE(shown.size(), expected.size() + fillers);
    QCOMPARE(shown.value(expected.size()), QStringLiteral("～|Filler 000|No INI||0"));
    QCOMPARE(shown.last(), QStringLiteral("|Filler 500|No INI||0"));
    QCOMPARE(m_catalogue->timeCaption(), totalTime);
    QStringList artists;
    for (const QString &row : expected)
        if (!row.section(QLatin1Char('|'), 0, 0).isEmpty())
            artists << row.section(QLatin1Char('|'), 0, 0);
    QCOMPARE(m_catalogue->artistList(), artists << QStringLiteral("～"));
    // Shown once: a second call has nothing to show.
    QVERIFY(!m_catalogue->showReadTags().has_value());

    // The full scan after it reads the cache and shows each file's song in
    // the same row.
    QHash<QByteArray, QString> rowOf;
    for (int r = 1; r < m_songs->RowCount(); ++r)
        rowOf.insert(
            m_catalogue->files().rawName(r - 1).toByteArray(), QString::number(r) + u'|' + shown[r - 1]);
    QCOMPARE(m_catalogue->RefreshList(true), QStringList());
    QCOMPARE(m_catalogue->tagsOpened(), 0);
    for (int r = 1; r < m_songs->RowCount(); ++r)
        QCOMPARE(rowOf.value(m_catalogue->files().rawName(r - 1).toByteArray()),
            QString::number(r) + u'|' + shownRows()[r - 1]);
}

void TestTreeLibrary::fillSongInfo_data()
{
    // What the song's file holds goes into the empty keys of its song
    // information file (null: none yet); the keys written, and lines the
    // file must then hold ("=" lines of the layout the details dialog saves).
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QStringList>("written");
    QTest::addColumn<QByteArrayList>("lines");

    QTest::newRow("no-file-made-in-the-dialog's-layout")
        << "mp3-v23-utf16.mp3" << QByteArray() << QStringList { "" }
        << QByteArrayList { "UsageCount = ", "Writer     = Björk Guðmundsdóttir", "Playtime   = 00:01",
               "AlbumName  = Homogenic", "SongYear   = 1997", "AlbumYear  = 1996",
               "AlbumCDNum = 5016958029829", "AlbumLabel = One Little Indian", "Emotional landscapes",
               "They puzzle me" };
    // Typed values, the count, a comment and the lyrics stay byte for byte.
    QTest::newRow("empty-keys-filled-the-rest-kept")
        << "mp3-v23-utf16.mp3"
        << QByteArray("[Info]\r\nUsageCount = 3\r\nWriter = Me\r\nAlbumName=\r\nSongYear=  \r\n; mine\r\n")
        << QStringList { "Playtime", "AlbumName", "SongYear", "AlbumYear", "AlbumCDNum", "AlbumLabel" }
        << QByteArrayList { "UsageCount = 3", "Writer = Me", "AlbumName=Homogenic", "SongYear=  1997",
               "; mine", "Playtime=00:01", "AlbumLabel=One Little Indian" };
    QTest::newRow("nothing-empty-nothing-written")
        << "mp3-no-tags.mp3" << QByteArray("[Info]\r\nPlaytime=03:00\r\n") << QStringList {}
        << QByteArrayList { "Playtime=03:00" };
}

void TestTreeLibrary::fillSongInfo()
{
    QFETCH(QString, fixture);
    QFETCH(QByteArray, before);
    QFETCH(QStringList, written);
    QFETCH(QByteArrayList, lines);

    place(fixture, QStringLiteral("Björk/Homogenic/03 Jóga.mp3"));
    const QString infoFile = info() + QStringLiteral("/Björk/Homogenic/03 Jóga.INI");
    if (!before.isNull()) {
        QVERIFY(QDir().mkpath(QFileInfo(infoFile).absolutePath()));
        writeBytes(infoFile, before);
    }
    const TFileValues values
        = FileValuesOf(QFile::encodeName(music() + QStringLiteral("/Björk/Homogenic/03 Jóga.mp3")));
    QCOMPARE(FillSongInfo(QFile::encodeName(infoFile), values, QDate(2026, 12, 9)), written);
    const QByteArray after = readBytes(infoFile);
    for (const QByteArray &line : lines)
        QVERIFY2(after.contains(line + "\r\n"), line.constData());
    if (written.isEmpty())
        QCOMPARE(after, before);
}

void TestTreeLibrary::fillLyrics_data()
{
    // A song without tags and a .lrc file beside it: its song information
    // file before, the written keys, and the whole file after.
    QTest::addColumn<QByteArray>("lrc");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QStringList>("written");
    QTest::addColumn<QByteArray>("after");

    const QByteArray sep = "; ******************************************";
    const QByteArray words = "[00:01.00]Emotional landscapes  \n[00:05.00]They puzzle me\n";
    const QByteArray head = sep + "\r\n; Generated 01-02-2026\r\n; Do not modify manually.\r\n" + sep
        + "\r\n\r\n[Info]\r\nUsageCount = 2\r\nWriter     = Me\r\nPlaytime   = 03:00\r\nAlbumName  = \r\n"
          "SongYear   = \r\nAlbumYear  = \r\nAlbumCDNum = \r\nAlbumLabel = \r\n";
    // What the details dialog saved without lyrics: the marker after the
    // last key, the words after its separator, trailing blanks dropped.
    QTest::newRow("dialog's-file-without-lyrics")
        << words << head + "\r\n" + sep + "\r\n\r\n"
        << QStringList { "Lyrics" }
        << head + "Lyrics     = Yes\r\n\r\n" + sep + "\r\n\r\nEmotional landscapes\r\nThey puzzle me\r\n";
    // A file of keys alone gets the key, then the marker after it and the
    // whole lyrics block.
    QTest::newRow("keys-only-file") << words << QByteArray("[Info]\r\nUsageCount=1\r\n")
                                    << QStringList { "Playtime", "Lyrics" }
                                    << "[Info]\r\nUsageCount=1\r\nPlaytime=00:01\r\nLyrics     = Yes\r\n\r\n"
            + sep + "\r\n\r\nEmotional landscapes\r\nThey puzzle me\r\n";
    // The mark follows the words as the dialog chooses it.
    QTest::newRow("instrumental") << QByteArray("[00:00.00]instrumental version\n")
                                  << QByteArray("[Info]\r\nPlaytime=03:00\r\n") << QStringList { "Lyrics" }
                                  << "[Info]\r\nPlaytime=03:00\r\nLyrics     = Instrumental\r\n\r\n" + sep
            + "\r\n\r\ninstrumental version\r\n";
    // Lyrics there, a marker alone, or words without their marker: never
    // replaced nor added to.
    const QByteArray typed = head + "Lyrics     = Yes\r\n\r\n" + sep + "\r\n\r\nTyped words\r\n";
    QTest::newRow("lyrics-there-kept") << words << typed << QStringList {} << typed;
    QTest::newRow("marker-alone-kept")
        << words << QByteArray("[Info]\r\nPlaytime=03:00\r\nLyrics = Instrumental\r\n") << QStringList {}
        << QByteArray("[Info]\r\nPlaytime=03:00\r\nLyrics = Instrumental\r\n");
    const QByteArray unmarked = head + "\r\n" + sep + "\r\n\r\nTyped words\r\n";
    QTest::newRow("words-without-marker-kept") << words << unmarked << QStringList {} << unmarked;
    // The empty file the details dialog leaves when it opens and is
    // cancelled: made whole, as for a song without one.
    QTest::newRow("empty-file-made-whole")
        << words << QByteArray("") << QStringList { "" }
        << sep + "\r\n; Generated 09-12-2026\r\n; Do not modify manually.\r\n" + sep
            + "\r\n\r\n[Info]\r\nUsageCount = \r\nWriter     = \r\nPlaytime   = 00:01\r\nAlbumName  = \r\n"
              "SongYear   = \r\nAlbumYear  = \r\nAlbumCDNum = \r\nAlbumLabel = \r\nLyrics     = Yes\r\n\r\n"
            + sep + "\r\n\r\nEmotional landscapes\r\nThey puzzle me\r\n";
}

void TestTreeLibrary::fillLyrics()
{
    QFETCH(QByteArray, lrc);
    QFETCH(QByteArray, before);
    QFETCH(QStringList, written);
    QFETCH(QByteArray, after);

    place(QStringLiteral("mp3-no-tags.mp3"), QStringLiteral("Zed/Loose End.mp3"));
    writeBytes(music() + QStringLiteral("/Zed/Loose End.lrc"), lrc);
    const QString infoFile = info() + QStringLiteral("/Zed/Loose End.INI");
    QVERIFY(QDir().mkpath(info() + QStringLiteral("/Zed")));
    writeBytes(infoFile, before);
    const TFileValues values
        = FileValuesOf(QFile::encodeName(music() + QStringLiteral("/Zed/Loose End.mp3")));
    QCOMPARE(FillSongInfo(QFile::encodeName(infoFile), values, QDate(2026, 12, 9)), written);
    QCOMPARE(readBytes(infoFile), after);
}

void TestTreeLibrary::fillKilled_data()
{
    // Many songs' information files before (null: none) and after filling,
    // the song's long lyrics aside: each write is large enough for a kill to
    // land inside one.
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");

    const QByteArray sep = "; ******************************************";
    QTest::newRow("files-made") << QByteArray()
                                << sep + "\r\n; Generated 09-12-2026\r\n; Do not modify manually.\r\n" + sep
            + "\r\n\r\n[Info]\r\nUsageCount = \r\nWriter     = \r\nPlaytime   = 00:01\r\nAlbumName  = \r\n"
              "SongYear   = \r\nAlbumYear  = \r\nAlbumCDNum = \r\nAlbumLabel = \r\nLyrics     = Yes\r\n\r\n"
            + sep + "\r\n\r\n";
    QTest::newRow("key-and-lyrics-added")
        << QByteArray("[Info]\r\nUsageCount=1\r\n")
        << "[Info]\r\nUsageCount=1\r\nPlaytime=00:01\r\nLyrics     = Yes\r\n\r\n" + sep + "\r\n\r\n";
}

void TestTreeLibrary::fillKilled()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);

    // A process filling the files one after another is killed seven times
    // on its way, then run to the end: after each kill every file is as it
    // was or complete, and the last run completes them all.
    constexpr int Songs = 120;
    constexpr int Kills = 7;
    place(QStringLiteral("mp3-no-tags.mp3"), QStringLiteral("Loose End.mp3"));
    QByteArray lrc;
    for (int i = 0; i < 5000; ++i) {
        const QByteArray line = "Line " + QByteArray::number(i) + " of the words that go on for a while";
        lrc += QStringLiteral("[00:%1.%2]")
                   .arg(i / 100, 2, 10, QLatin1Char('0'))
                   .arg(i % 100, 2, 10, QLatin1Char('0'))
                   .toLatin1()
            + line + '\n';
        after += line + "\r\n";
    }
    writeBytes(music() + QStringLiteral("/Loose End.lrc"), lrc);
    const auto file
        = [&](int n) { return info() + QLatin1Char('/') + QString::number(n) + QStringLiteral(".INI"); };
    // A missing file, told apart from an empty one.
    const QByteArray was = before.isNull() ? QByteArrayLiteral("(none)") : before;
    const auto bytesOf
        = [&](int n) { return QFile::exists(file(n)) ? readBytes(file(n)) : QByteArrayLiteral("(none)"); };
    for (int n = 0; n < Songs; ++n) {
        if (!before.isNull())
            writeBytes(file(n), before);
    }
    const QStringList args { music() + QStringLiteral("/Loose End.mp3"), info(), QString::number(Songs),
        QStringLiteral("2026-12-09") };
    for (int round = 1; round <= Kills + 1; ++round) {
        // The file it is killed at, as it was before the start.
        const QByteArray past = QFile::encodeName(file(round * Songs / (Kills + 1)));
        struct stat first;
        const bool existed = ::stat(past.constData(), &first) == 0;
        const auto changed = [&] {
            struct stat st;
            const bool exists = ::stat(past.constData(), &st) == 0;
            return exists != existed
                || (exists && (st.st_ino != first.st_ino || st.st_size != first.st_size));
        };
        QProcess filler;
        filler.start(QStringLiteral(FILL_SONGS), args);
        QVERIFY(filler.waitForStarted());
        if (round > Kills) {
            QVERIFY(filler.waitForFinished(300000));
            QCOMPARE(filler.exitCode(), 0);
        } else {
            // Watched without a pause, so that the kill follows the first
            // sign of a change to that file.
            bool ended = false;
            for (int spins = 1; !changed() && !ended; ++spins)
                ended = spins % 4096 == 0 && filler.waitForFinished(0);
            QVERIFY2(!ended, "the filling ended before the kill");
            ::kill(pid_t(filler.processId()), SIGKILL);
            QVERIFY(filler.waitForFinished());
        }
        int complete = 0;
        for (int n = 0; n < Songs; ++n) {
            const QByteArray now = bytesOf(n);
            QVERIFY2(now == was || now == after,
                qPrintable(QStringLiteral("round %1, %2.INI: %3 bytes").arg(round).arg(n).arg(now.size())));
            complete += now == after ? 1 : 0;
        }
        QVERIFY(complete > (round <= Kills ? round * Songs / (Kills + 1) : Songs - 1));
    }
}

void TestTreeLibrary::folderMoveFollowed_data()
{
    // Whether the list was read again between the folder's move and the
    // watch's report of it.
    QTest::addColumn<bool>("listedAfter");
    QTest::newRow("list-from-before-the-move") << false;
    QTest::newRow("list-already-shows-the-move") << true;
}

void TestTreeLibrary::folderMoveFollowed()
{
    QFETCH(bool, listedAfter);
    place(QStringLiteral("aac-full.m4a"), QStringLiteral("Björk/Post (1995)/03 Hyperballad.m4a"));
    QVERIFY(QDir().mkpath(info() + QStringLiteral("/Björk/Post (1995)")));
    writeBytes(
        info() + QStringLiteral("/Björk/Post (1995)/03 Hyperballad.INI"), "[Info]\r\nUsageCount=3\r\n");
    QCOMPARE(m_catalogue->RefreshList(true), QStringList());
    QVERIFY(QDir(music()).rename(QStringLiteral("Björk/Post (1995)"), QStringLiteral("Björk/Post")));
    if (listedAfter)
        QCOMPARE(m_catalogue->RefreshList(true), QStringList());
    m_catalogue->followRenames({ { QByteArray("Björk/Post (1995)/"), QByteArray("Björk/Post/") } });
    QCOMPARE(readBytes(info() + QStringLiteral("/Björk/Post/03 Hyperballad.INI")),
        QByteArray("[Info]\r\nUsageCount=3\r\n"));
    QVERIFY(!QFile::exists(info() + QStringLiteral("/Björk/Post (1995)/03 Hyperballad.INI")));
}

void TestTreeLibrary::indexFollowsNestedSongs_data()
{
    QTest::addColumn<bool>("ownFile"); // the nested song has an information file
    QTest::newRow("with-its-own-file") << true;
    QTest::newRow("without-a-file") << false;
}

void TestTreeLibrary::indexFollowsNestedSongs()
{
    QFETCH(bool, ownFile);
    // The index of listed songs follows a song renamed below the top while
    // the program was closed by its own path's information file: the file
    // of the same name at the top of the information folder is another
    // song's and stays where it is.
    const QByteArray index = QFile::encodeName(m_dir->filePath(QStringLiteral("discora.IDX")));
    place(QStringLiteral("mp3-v23-utf16.mp3"), QStringLiteral("Björk/Homogenic/Jóga.mp3"));
    writeBytes(info() + QStringLiteral("/Jóga.INI"), "[Info]\r\nUsageCount=9\r\n");
    QVERIFY(QDir().mkpath(info() + QStringLiteral("/Björk/Homogenic")));
    if (ownFile)
        writeBytes(info() + QStringLiteral("/Björk/Homogenic/Jóga.INI"), "[Info]\r\nUsageCount=4\r\n");
    for (int run = 0; run < 2; ++run) {
        m_catalogue = std::make_unique<TCatalogue>(*m_songs);
        m_catalogue->setFolders(QFile::encodeName(music()), QFile::encodeName(info()), TLibraryKind::Tree);
        m_catalogue->setIndexPath(index);
        QCOMPARE(m_catalogue->RefreshList(true), QStringList());
        m_catalogue->waitForIndex();
        if (run == 0)
            QVERIFY(QFile::rename(music() + QStringLiteral("/Björk/Homogenic/Jóga.mp3"),
                music() + QStringLiteral("/Björk/Homogenic/Joga.mp3")));
    }
    m_catalogue->RefreshList(true);
    m_catalogue->waitForIndex();
    QCOMPARE(readBytes(info() + QStringLiteral("/Jóga.INI")), QByteArray("[Info]\r\nUsageCount=9\r\n"));
    QVERIFY(!QFile::exists(info() + QStringLiteral("/Joga.INI")));
    QVERIFY(!QFile::exists(info() + QStringLiteral("/Björk/Homogenic/Jóga.INI")));
    QCOMPARE(readBytes(info() + QStringLiteral("/Björk/Homogenic/Joga.INI")),
        ownFile ? QByteArray("[Info]\r\nUsageCount=4\r\n") : QByteArray());
}

void TestTreeLibrary::sameTitleCountedPerSong()
{
    // Two songs of one title in two albums: each play of each counts once.
    place(QStringLiteral("aac-full.m4a"), QStringLiteral("Björk/Post/03 Hyperballad.m4a"));
    place(QStringLiteral("aac-full.m4a"), QStringLiteral("Björk/Live/03 Hyperballad.m4a"));
    QCOMPARE(m_catalogue->RefreshList(true), QStringList());
    for (const QString &album : { QStringLiteral("Post"), QStringLiteral("Live"), QStringLiteral("Post") }) {
        TestSupport::FileHolder player(music() + QStringLiteral("/Björk/%1/03 Hyperballad.m4a").arg(album));
        QVERIFY(player.isRunning());
        QCOMPARE(m_catalogue->RefreshList(false), QStringList());
    }
    for (const QString &album : { QStringLiteral("Post"), QStringLiteral("Live") })
        QVERIFY(readBytes(info() + QStringLiteral("/Björk/%1/03 Hyperballad.INI").arg(album))
                    .startsWith("[Info]\r\nUsageCount=1\r\n"));
    QVERIFY(m_catalogue->isPlayed(1) && m_catalogue->isPlayed(2));
    // A third of that title, listed after them (the last row now): its play
    // counts too.
    place(QStringLiteral("aac-full.m4a"), QStringLiteral("Björk/Zed/03 Hyperballad.m4a"));
    QCOMPARE(m_catalogue->RefreshList(true), QStringList());
    QVERIFY(!m_catalogue->isPlayed(3));
    {
        TestSupport::FileHolder player(music() + QStringLiteral("/Björk/Zed/03 Hyperballad.m4a"));
        QVERIFY(player.isRunning());
        QCOMPARE(m_catalogue->RefreshList(false), QStringList());
    }
    QVERIFY(readBytes(info() + QStringLiteral("/Björk/Zed/03 Hyperballad.INI"))
                .startsWith("[Info]\r\nUsageCount=1\r\n"));
}

void TestTreeLibrary::nestedPlayCounted_data()
{
    // Held open by a player, or named by MPD below its music folder (the
    // same folder): counted into the song's own information file, made with
    // its folders, with the song's real length as its Playtime.
    QTest::addColumn<bool>("mpd");
    QTest::newRow("held-open") << false;
    QTest::newRow("mpd-path-below-its-folder") << true;
}

void TestTreeLibrary::nestedPlayCounted()
{
    QFETCH(bool, mpd);
    place(QStringLiteral("aac-full.m4a"), QStringLiteral("Björk/Post/03 Hyperballad.m4a"));
    place(QStringLiteral("mp3-v23-utf16.mp3"), QStringLiteral("Björk/Homogenic/03 Hyperballad.mp3"));
    QCOMPARE(m_catalogue->RefreshList(true), QStringList());
    std::unique_ptr<TestSupport::FileHolder> player;
    if (mpd) {
        m_catalogue->setPlaySources([] {
            TPlayInput input;
            input.reported.tails = { QByteArray("Björk/Post/03 Hyperballad.m4a") };
            return input;
        });
    } else {
        player = std::make_unique<TestSupport::FileHolder>(
            music() + QStringLiteral("/Björk/Post/03 Hyperballad.m4a"));
        QVERIFY(player->isRunning());
    }
    QCOMPARE(m_catalogue->RefreshList(false), QStringList());
    QCOMPARE(readBytes(info() + QStringLiteral("/Björk/Post/03 Hyperballad.INI")),
        QByteArray("[Info]\r\nUsageCount=1\r\nPlaytime=00:01\r\n"));
    QVERIFY(!QFile::exists(info() + QStringLiteral("/Björk/Homogenic/03 Hyperballad.INI")));
    QVERIFY(!QFile::exists(info() + QStringLiteral("/03 Hyperballad.INI")));
}

QTEST_MAIN(TestTreeLibrary)
#include "tst_TreeLibrary.moc"
