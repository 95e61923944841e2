// Song information follows renamed songs: real files renamed with the real
// mv, while the main window runs (its refresh timer set to an hour, so only
// the folder watch can notice) and while it is closed, checked in the grid's
// cells, the files on disk, the status bar and the log of moves.

#include "FolderWatch.h"
#include "LiveWindow.h"
#include "ModalDriver.h"
#include "MovesLog.h"
#include "StatusBar.h"
#include "TestSupport.h"
#include "UDSCMain.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using TestSupport::readBytes;
using TestSupport::writeBytes;

namespace
{

constexpr int LiveTimeout = 10000;
constexpr int BurstSize = 1000;

// A song information file as the details dialog writes it: count, play
// time, lyrics.
QByteArray infoFile(int count, const QString &lyrics)
{
    QByteArray bytes = "; ******************************************\r\n[Info]\r\nUsageCount = "
        + QByteArray::number(count) + "\r\nPlaytime   = 03:15\r\n";
    if (!lyrics.isEmpty())
        bytes += "Lyrics     = " + lyrics.toUtf8() + "\r\n";
    return bytes + "\r\n; ******************************************\r\n\r\nla la la\r\n";
}

// Makes a folder refuse every change, for root too (which writes anywhere
// the permission bits say no): the immutable attribute, else the bits.
bool makeUnwritable(const QString &folder, bool unwritable)
{
    if (::geteuid() == 0) {
        if (QStandardPaths::findExecutable(QStringLiteral("chattr")).isEmpty())
            return false;
        return QProcess::execute(QStringLiteral("chattr"), { unwritable ? "+i" : "-i", folder }) == 0;
    }
    return QFile::setPermissions(folder,
        unwritable ? QFileDevice::ReadOwner | QFileDevice::ExeOwner
                   : QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace

class TestSongMoves : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void songKeepsItsInformation_data();
    void songKeepsItsInformation();

private:
    QString music() const { return m_dir->filePath(QStringLiteral("music")); }
    QString settings() const { return m_dir->filePath(QStringLiteral("discora.INI")); }
    std::unique_ptr<TfrmMain> openWindow();
    void run(const QString &step);
    // "Title|time|count|mark" of the row titled title, or "Title|absent".
    QString row(TfrmMain &window, const QString &title) const;
    bool rowsShow(TfrmMain &window, const QStringList &rows) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_info;
    QString m_unwritable;
};

void TestSongMoves::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir().mkdir(music()));
    QVERIFY(QDir().mkdir(m_dir->filePath(QStringLiteral("elsewhere"))));
}

void TestSongMoves::cleanup()
{
    if (!m_unwritable.isEmpty())
        makeUnwritable(m_unwritable, false);
    m_unwritable.clear();
    m_dir.reset();
}

std::unique_ptr<TfrmMain> TestSongMoves::openWindow()
{
    auto window = OpenLiveWindow(settings());
    QTest::qWait(50); // the status text follows the activation
    return window;
}

// One step of the user's: "mv|from|to" (the real mv; names in the music
// folder, "../elsewhere/x" outside it), "cp|from|to", "rm|name", "song|name"
// (a new song file), "burst" (BurstSize songs renamed by one shell loop),
// "rewrite|name" (other bytes of the same size written into the same file, as
// when a new file is given a deleted song's inode), "grow|name" (bytes added,
// its modification time set back), "aside|from|to" (an information file
// renamed), "mkdir|folder" (a folder below the music folder).
void TestSongMoves::run(const QString &step)
{
    const QStringList p = step.split(QLatin1Char('|'));
    QProcess process;
    process.setWorkingDirectory(music());
    if (p[0] == "rewrite" || p[0] == "grow") {
        const QByteArray path = QFile::encodeName(music() + QLatin1Char('/') + p[1]);
        struct stat before;
        QVERIFY(::stat(path.constData(), &before) == 0);
        QFile file(QFile::decodeName(path));
        QVERIFY(file.open(p[0] == "grow" ? QIODevice::Append : QIODevice::WriteOnly));
        file.write(QByteArray(p[0] == "grow" ? 10 : qsizetype(before.st_size), 'r'));
        file.close();
        if (p[0] == "grow") {
            const struct timespec times[2] = { before.st_atim, before.st_mtim };
            QVERIFY(::utimensat(AT_FDCWD, path.constData(), times, 0) == 0);
        }
        return;
    }
    if (p[0] == "aside") {
        QVERIFY(QFile::rename(m_info + QLatin1Char('/') + p[1], m_info + QLatin1Char('/') + p[2]));
        return;
    }
    if (p[0] == "mkdir") {
        QVERIFY(QDir(music()).mkpath(p[1]));
        return;
    }
    if (p[0] == "mv" || p[0] == "cp") {
        process.start(QStringLiteral("/bin/") + p[0], { QStringLiteral("--"), p[1], p[2] });
    } else if (p[0] == "rm") {
        process.start(QStringLiteral("/bin/rm"), { QStringLiteral("--"), p[1] });
    } else if (p[0] == "song") {
        writeBytes(music() + QLatin1Char('/') + p[1], QByteArray(3000, 'n'));
        return;
    } else if (p[0] == "burst") {
        process.start(QStringLiteral("sh"),
            { QStringLiteral("-c"),
                QStringLiteral(
                    "for f in Band-Song*.mp3; do /bin/mv -- \"$f\" \"${f%.mp3} (live).mp3\"; done") });
    }
    // The window goes on handling events meanwhile, as it does while the
    // user renames songs.
    QVERIFY2(process.waitForStarted(), qPrintable(step));
    QVERIFY2(
        QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 60000), qPrintable(step));
    QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0, qPrintable(step));
}

QString TestSongMoves::row(TfrmMain &window, const QString &title) const
{
    for (int r = 1; r < window.songs().RowCount(); ++r) {
        if (window.songs().Cells(1, r) == title)
            return QStringList { title, window.songs().Cells(2, r), window.songs().Cells(5, r),
                window.songs().Cells(6, r) }
                .join(QLatin1Char('|'));
    }
    return title + QStringLiteral("|absent");
}

bool TestSongMoves::rowsShow(TfrmMain &window, const QStringList &rows) const
{
    for (const QString &expected : rows)
        if (row(window, expected.section(QLatin1Char('|'), 0, 0)) != expected)
            return false;
    return true;
}

void TestSongMoves::songKeepsItsInformation_data()
{
    QTest::addColumn<bool>("running"); // the steps while the window runs, or while it is closed
    QTest::addColumn<bool>("infoApart"); // song information in a folder of its own
    QTest::addColumn<QStringList>("songs"); // "New.mp3=Old.mp3": a second name of Old.mp3
    QTest::addColumn<QStringList>("infos"); // "Name.INI|count|lyrics"
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("watchShows"); // running: the watch's own scan shows it, no Refresh
    QTest::addColumn<QStringList>("rows"); // "Title|time|count|mark" or "Title|absent"
    QTest::addColumn<QStringList>(
        "files"); // "New.INI<Old.INI": New.INI holds Old.INI's bytes; "-X.INI": gone
    QTest::addColumn<QString>("status"); // "": the status bar says nothing of moves
    QTest::addColumn<QStringList>("log"); // lines the log ends with, newest last; none: no log

    const QStringList two = { "Zandor-Daylight.mp3", "Merel-Lantern.mp3" };
    const QStringList daylight = { "Zandor-Daylight.INI|7|Yes" };
    const QString live = "mv|Zandor-Daylight.mp3|Zandor-Daylight (live).mp3";
    const QString one = "Song information moved for 1 song.";

    QTest::newRow("renamed-while-running")
        << true << false << two << daylight << QStringList { live } << true
        << QStringList { "Daylight (live)| 03:15|    7|V", "Daylight|absent", "Lantern|No INI|    0| " }
        << QStringList { "Zandor-Daylight (live).INI<Zandor-Daylight.INI", "-Zandor-Daylight.INI" } << one
        << QStringList { "Zandor-Daylight.INI -> Zandor-Daylight (live).INI", one };
    // Not listed by any scan yet, so only the watch knows which song it is.
    QTest::newRow("new-song-renamed-while-running")
        << true << true << QStringList { "Merel-Lantern.mp3" } << daylight
        << QStringList { "song|Zandor-Daylight.mp3", live } << true
        << QStringList { "Daylight (live)| 03:15|    7|V", "Daylight|absent" }
        << QStringList { "Zandor-Daylight (live).INI<Zandor-Daylight.INI", "-Zandor-Daylight.INI" } << one
        << QStringList { "Zandor-Daylight.INI -> Zandor-Daylight (live).INI", one };
    QTest::newRow("renamed-while-closed")
        << false << false << two << daylight << QStringList { live } << false
        << QStringList { "Daylight (live)| 03:15|    7|V", "Daylight|absent" }
        << QStringList { "Zandor-Daylight (live).INI<Zandor-Daylight.INI", "-Zandor-Daylight.INI" } << one
        << QStringList { "Zandor-Daylight.INI -> Zandor-Daylight (live).INI", one };
    QTest::newRow("renamed-while-closed-information-apart")
        << false << true << two << daylight << QStringList { live } << false
        << QStringList { "Daylight (live)| 03:15|    7|V" }
        << QStringList { "Zandor-Daylight (live).INI<Zandor-Daylight.INI", "-Zandor-Daylight.INI" } << one
        << QStringList { "Zandor-Daylight.INI -> Zandor-Daylight (live).INI", one };
    QTest::newRow("case-only-rename")
        << true << false << QStringList { "zandor-daylight.mp3" }
        << QStringList { "zandor-daylight.INI|5|Instrumental" }
        << QStringList { "mv|zandor-daylight.mp3|Zandor-Daylight.mp3" } << true
        << QStringList { "Daylight| 03:15|    5|I" }
        << QStringList { "Zandor-Daylight.INI<zandor-daylight.INI", "-zandor-daylight.INI" } << one
        << QStringList { "zandor-daylight.INI -> Zandor-Daylight.INI", one };
    // The file found for the renamed song in another letter case is the
    // other song's own: it stays with that song.
    QTest::newRow("another-songs-file-in-another-case")
        << true << false << QStringList { "Zandor-Daylight.mp3", "zandor-daylight.mp3" } << daylight
        << QStringList { "mv|zandor-daylight.mp3|Nightjar-Embers.mp3" } << true
        << QStringList { "Daylight| 03:15|    7|V", "Embers|No INI|    0| " }
        << QStringList { "Zandor-Daylight.INI<Zandor-Daylight.INI", "-Nightjar-Embers.INI" } << ""
        << QStringList {};
    // The old information file was found in another letter case, as the
    // scan finds it.
    QTest::newRow("information-in-other-case-renamed-while-closed")
        << false << false << two << QStringList { "zandor-DAYLIGHT.ini|4|Yes" } << QStringList { live }
        << false << QStringList { "Daylight (live)| 03:15|    4|V" }
        << QStringList { "Zandor-Daylight (live).INI<zandor-DAYLIGHT.ini", "-zandor-DAYLIGHT.ini" } << one
        << QStringList { "zandor-DAYLIGHT.ini -> Zandor-Daylight (live).INI", one };
    const QString kept = "Song information not moved for 1 song (double-click for the log).";
    QTest::newRow("renamed-onto-a-song-with-information")
        << true << false << QStringList { "Zandor-Daylight.mp3", "Zandor-Dawn.mp3" }
        << QStringList { "Zandor-Daylight.INI|7|Yes", "Zandor-Dawn.INI|2|" }
        << QStringList { "mv|Zandor-Daylight.mp3|Zandor-Dawn.mp3" } << true
        << QStringList { "Dawn| 03:15|    2| ", "Daylight|absent" }
        << QStringList { "Zandor-Daylight.INI<Zandor-Daylight.INI", "Zandor-Dawn.INI<Zandor-Dawn.INI" }
        << kept
        << QStringList { "Kept both: Zandor-Daylight.INI stays, Zandor-Dawn.INI is the information of "
                         "Zandor-Dawn.mp3 already",
               kept };
    QTest::newRow("renamed-onto-a-name-with-information-while-closed")
        << false << false << QStringList { "Zandor-Daylight.mp3" }
        << QStringList { "Zandor-Daylight.INI|7|Yes", "zandor-dawn.ini|2|" }
        << QStringList { "mv|Zandor-Daylight.mp3|Zandor-Dawn.mp3" } << false
        << QStringList { "Dawn| 03:15|    2| " }
        << QStringList { "Zandor-Daylight.INI<Zandor-Daylight.INI", "zandor-dawn.ini<zandor-dawn.ini",
               "-Zandor-Dawn.INI" }
        << kept
        << QStringList { "Kept both: Zandor-Daylight.INI stays, zandor-dawn.ini is the information of "
                         "Zandor-Dawn.mp3 already",
               kept };
    QTest::newRow("burst-of-1000-renames")
        << true << false << QStringList {} << QStringList {} << QStringList { "burst" } << true
        << QStringList {} << QStringList {} << "Song information moved for 1000 songs."
        << QStringList { "Song information moved for 1000 songs." };
    // Another file (a copy: another inode) under the new name is another
    // song as far as anyone can tell.
    QTest::newRow("copied-and-old-removed-while-closed")
        << false << false << two << daylight
        << QStringList { "cp|Zandor-Daylight.mp3|Zandor-Daylight (live).mp3", "rm|Zandor-Daylight.mp3" }
        << false << QStringList { "Daylight (live)|No INI|    0| " }
        << QStringList { "Zandor-Daylight.INI<Zandor-Daylight.INI", "-Zandor-Daylight (live).INI" } << ""
        << QStringList {};
    // The old name holds another file now: its information stays its own.
    QTest::newRow("song-replaced-under-its-old-name-while-closed")
        << false << false << two << daylight << QStringList { live, "song|Zandor-Daylight.mp3" } << false
        << QStringList { "Daylight (live)|No INI|    0| ", "Daylight| 03:15|    7|V" }
        << QStringList { "Zandor-Daylight.INI<Zandor-Daylight.INI", "-Zandor-Daylight (live).INI" } << ""
        << QStringList {};
    QTest::newRow("moved-out-of-the-folder")
        << true << false << two << daylight << QStringList { "mv|Zandor-Daylight.mp3|../elsewhere/" } << false
        << QStringList { "Daylight|absent" }
        << QStringList { "Zandor-Daylight.INI<Zandor-Daylight.INI", "-../elsewhere/Zandor-Daylight.INI" }
        << "" << QStringList {};
    QTest::newRow("moved-out-or-deleted-while-closed")
        << false << false << two << daylight
        << QStringList { "mv|Zandor-Daylight.mp3|../elsewhere/", "rm|Merel-Lantern.mp3" } << false
        << QStringList { "Daylight|absent", "Lantern|absent" }
        << QStringList { "Zandor-Daylight.INI<Zandor-Daylight.INI" } << "" << QStringList {};
    // A file of the same size that the file system gave the inode of a song
    // deleted meanwhile is another song; so is the song rewritten by a tag
    // editor while the program was closed.
    const QStringList notFollowed
        = { "Zandor-Daylight.INI<Zandor-Daylight.INI", "-Zandor-Daylight (live).INI" };
    QTest::newRow("another-file-on-the-old-inode-while-closed")
        << false << false << two << daylight << QStringList { "rewrite|Zandor-Daylight.mp3", live } << false
        << QStringList { "Daylight (live)|No INI|    0| " } << notFollowed << "" << QStringList {};
    QTest::newRow("grown-keeping-its-time-while-closed")
        << false << false << two << daylight << QStringList { "grow|Zandor-Daylight.mp3", live } << false
        << QStringList { "Daylight (live)|No INI|    0| " } << notFollowed << "" << QStringList {};
    // Which of the two names' information is the song's? Neither moves.
    QTest::newRow("two-names-of-one-file-renamed-while-closed")
        << false << false << QStringList { "Zandor-Daylight.mp3", "Zandor-Dawn.mp3=Zandor-Daylight.mp3" }
        << QStringList { "Zandor-Daylight.INI|7|Yes", "Zandor-Dawn.INI|2|" }
        << QStringList { "mv|Zandor-Daylight.mp3|Nightjar-Embers.mp3", "rm|Zandor-Dawn.mp3" } << false
        << QStringList { "Embers|No INI|    0| " }
        << QStringList { "Zandor-Daylight.INI<Zandor-Daylight.INI", "Zandor-Dawn.INI<Zandor-Dawn.INI" } << ""
        << QStringList {};
    // Two songs that exchanged their names through a third: each one's
    // information goes with it, nothing is overwritten on the way.
    const QString two_moved = "Song information moved for 2 songs.";
    QTest::newRow("swapped-while-closed")
        << false << true << two << QStringList { "Zandor-Daylight.INI|7|Yes", "Merel-Lantern.INI|3|" }
        << QStringList { "mv|Zandor-Daylight.mp3|swap", "mv|Merel-Lantern.mp3|Zandor-Daylight.mp3",
               "mv|swap|Merel-Lantern.mp3" }
        << false << QStringList { "Daylight| 03:15|    3| ", "Lantern| 03:15|    7|V" }
        << QStringList { "Merel-Lantern.INI<Zandor-Daylight.INI", "Zandor-Daylight.INI<Merel-Lantern.INI",
               "-.discora-move.Merel-Lantern.INI", "-.discora-move.Zandor-Daylight.INI" }
        << two_moved
        << QStringList { "Zandor-Daylight.INI -> Merel-Lantern.INI",
               "Merel-Lantern.INI -> Zandor-Daylight.INI", two_moved };
    // Three in a ring, one of them in another letter case.
    const QString three_moved = "Song information moved for 3 songs.";
    QTest::newRow("three-exchanged-names-while-closed")
        << false << false << QStringList { "A-One.mp3", "B-Two.mp3", "C-Three.mp3" }
        << QStringList { "A-One.INI|1|", "b-two.ini|2|", "C-Three.INI|3|" }
        << QStringList { "mv|A-One.mp3|swap", "mv|C-Three.mp3|A-One.mp3", "mv|B-Two.mp3|C-Three.mp3",
               "mv|swap|B-Two.mp3" }
        << false << QStringList { "One| 03:15|    3| ", "Two| 03:15|    1| ", "Three| 03:15|    2| " }
        << QStringList { "B-Two.INI<A-One.INI", "C-Three.INI<b-two.ini", "A-One.INI<C-Three.INI",
               "-b-two.ini" }
        << three_moved
        << QStringList { "C-Three.INI -> A-One.INI", "A-One.INI -> B-Two.INI", "b-two.ini -> C-Three.INI",
               three_moved };
    // Set aside by an exchange that was cut short: it goes where it was going.
    QTest::newRow("exchange-cut-short")
        << false << false << two << QStringList { "Merel-Lantern.INI|3|" }
        << QStringList { "aside|Merel-Lantern.INI|.discora-move.Merel-Lantern.INI" } << false
        << QStringList { "Lantern| 03:15|    3| " }
        << QStringList { "Merel-Lantern.INI<Merel-Lantern.INI", "-.discora-move.Merel-Lantern.INI" } << one
        << QStringList { ".discora-move.Merel-Lantern.INI -> Merel-Lantern.INI", one };
    // A tree library: songs in folders, each with its information file at
    // its own path below the information folder. The rows look the same
    // before and after: the files tell (while running, the renames were
    // followed as they came: the full scan's index only tries again what
    // failed). The status said so before the Refresh that shows the rows.
    const QStringList album = { "Zandor/Day/Zandor-Daylight.mp3", "Zandor/Day/Zandor-Dawn.mp3" };
    const QStringList albumInfo = { "Zandor/Day/Zandor-Daylight.INI|7|Yes", "Zandor/Day/Zandor-Dawn.INI|2|" };
    QTest::newRow("tree-song-moved-to-another-folder-while-running")
        << true << true << album << albumInfo
        << QStringList { "mkdir|Zandor/Live", "mv|Zandor/Day/Zandor-Daylight.mp3|Zandor/Live/" } << false
        << QStringList { "Daylight| 03:15|    7|V", "Dawn| 03:15|    2| " }
        << QStringList { "Zandor/Live/Zandor-Daylight.INI<Zandor/Day/Zandor-Daylight.INI",
               "-Zandor/Day/Zandor-Daylight.INI", "Zandor/Day/Zandor-Dawn.INI<Zandor/Day/Zandor-Dawn.INI" }
        << "" << QStringList { "Zandor/Day/Zandor-Daylight.INI -> Zandor/Live/Zandor-Daylight.INI", one };
    // The album's folder renamed: every song in it moved at once.
    const QString both = "Song information moved for 2 songs.";
    QTest::newRow("tree-folder-renamed-while-running")
        << true << true << album << albumInfo << QStringList { "mv|Zandor/Day|Zandor/Day (2001)" } << false
        << QStringList { "Daylight| 03:15|    7|V", "Dawn| 03:15|    2| " }
        << QStringList { "Zandor/Day (2001)/Zandor-Daylight.INI<Zandor/Day/Zandor-Daylight.INI",
               "Zandor/Day (2001)/Zandor-Dawn.INI<Zandor/Day/Zandor-Dawn.INI",
               "-Zandor/Day/Zandor-Daylight.INI" }
        << ""
        << QStringList { "Zandor/Day/Zandor-Dawn.INI -> Zandor/Day (2001)/Zandor-Dawn.INI",
               "Zandor/Day/Zandor-Daylight.INI -> Zandor/Day (2001)/Zandor-Daylight.INI", both };
    // From a folder to the top, and a folder renamed, while closed: the
    // index knows each song again by its file.
    QTest::newRow("tree-songs-moved-while-closed")
        << false << true << album << albumInfo
        << QStringList { "mv|Zandor/Day/Zandor-Daylight.mp3|.", "mv|Zandor/Day|Zandor/Dawn" } << false
        << QStringList { "Daylight| 03:15|    7|V", "Dawn| 03:15|    2| " }
        << QStringList { "Zandor-Daylight.INI<Zandor/Day/Zandor-Daylight.INI",
               "Zandor/Dawn/Zandor-Dawn.INI<Zandor/Day/Zandor-Dawn.INI", "-Zandor/Day/Zandor-Dawn.INI" }
        << both
        << QStringList { "Zandor/Day/Zandor-Dawn.INI -> Zandor/Dawn/Zandor-Dawn.INI",
               "Zandor/Day/Zandor-Daylight.INI -> Zandor-Daylight.INI", both };
    // Two songs of two folders that exchanged their places; and a file set
    // aside on its way below the top when the program was stopped.
    QTest::newRow("tree-songs-swapped-while-closed")
        << false << true << QStringList { "A/One/A-One.mp3", "B/Two/B-Two.mp3" }
        << QStringList { "A/One/A-One.INI|1|", "B/Two/B-Two.INI|2|" }
        << QStringList { "mv|A/One/A-One.mp3|swap.mp3", "mv|B/Two/B-Two.mp3|A/One/A-One.mp3",
               "mv|swap.mp3|B/Two/B-Two.mp3" }
        << false << QStringList { "One| 03:15|    2| ", "Two| 03:15|    1| " }
        << QStringList { "A/One/A-One.INI<B/Two/B-Two.INI", "B/Two/B-Two.INI<A/One/A-One.INI",
               "-.discora-move..A%2FOne%2FA-One.INI", "-.discora-move..B%2FTwo%2FB-Two.INI" }
        << both
        << QStringList { "B/Two/B-Two.INI -> A/One/A-One.INI", "A/One/A-One.INI -> B/Two/B-Two.INI", both };
    QTest::newRow("tree-exchange-cut-short")
        << false << false << QStringList { "B/Two/B-Two.mp3" } << QStringList { "B/Two/B-Two.INI|3|" }
        << QStringList { "aside|B/Two/B-Two.INI|.discora-move..B%2FTwo%2FB-Two.INI" } << false
        << QStringList { "Two| 03:15|    3| " }
        << QStringList { "B/Two/B-Two.INI<B/Two/B-Two.INI", "-.discora-move..B%2FTwo%2FB-Two.INI" } << one
        << QStringList { ".discora-move..B%2FTwo%2FB-Two.INI -> B/Two/B-Two.INI", one };
    const QString failed = "Song information not moved for 1 song (double-click for the log).";
    QTest::newRow("information-folder-unwritable")
        << true << true << two << daylight << QStringList { "lock", live } << true
        << QStringList { "Daylight (live)|No INI|    0| " }
        << QStringList { "Zandor-Daylight.INI<Zandor-Daylight.INI", "-Zandor-Daylight (live).INI" } << failed
        << QStringList { "Not moved: Zandor-Daylight.INI -> Zandor-Daylight (live).INI", failed };
}

void TestSongMoves::songKeepsItsInformation()
{
    QFETCH(bool, running);
    QFETCH(bool, infoApart);
    QFETCH(QStringList, songs);
    QFETCH(QStringList, infos);
    QFETCH(QStringList, steps);
    QFETCH(bool, watchShows);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, files);
    QFETCH(QString, status);
    QFETCH(QStringList, log);

    m_info = infoApart ? m_dir->filePath(QStringLiteral("info")) : music();
    QVERIFY(QDir().mkpath(m_info));
    const bool burst = steps == QStringList { "burst" };
    if (burst) {
        for (int i = 0; i < BurstSize; ++i) {
            const QString name = QStringLiteral("Band-Song %1").arg(i, 4, 10, QLatin1Char('0'));
            songs << name + ".mp3";
            infos << name + ".INI|" + QString::number(i) + "|Yes";
            rows << "Song "
                    + QStringLiteral("%1 (live)| 03:15|%2|V").arg(i, 4, 10, QLatin1Char('0')).arg(i, 5);
        }
        rows << "Song 0000|absent"
             << "Song 0999|absent";
    }
    // Songs in folders below the music folder: a tree library.
    const bool tree = !songs.filter(QStringLiteral("/")).isEmpty();
    for (const QString &name : songs) {
        const QString path = music() + QLatin1Char('/') + name.section(u'=', 0, 0);
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        if (name.contains(u'='))
            QVERIFY(::link(QFile::encodeName(music() + QLatin1Char('/') + name.section(u'=', 1)).constData(),
                        QFile::encodeName(path).constData())
                == 0);
        else
            writeBytes(path, QByteArray(1000 + name.size(), 's'));
    }
    QHash<QString, QByteArray> before;
    for (const QString &info : infos) {
        const QStringList p = info.split(QLatin1Char('|'));
        before[p[0]] = infoFile(p[1].toInt(), p[2]);
        QVERIFY(QDir().mkpath(QFileInfo(m_info + QLatin1Char('/') + p[0]).absolutePath()));
        writeBytes(m_info + QLatin1Char('/') + p[0], before[p[0]]);
    }
    QByteArray settingsBytes = "[MP3]\r\nDirectory=" + music().toUtf8() + "\r\n";
    if (infoApart)
        settingsBytes += "INI_Directory=" + m_info.toUtf8() + "\r\n";
    if (tree)
        settingsBytes += "Library=Tree\r\n";
    writeBytes(settings(), settingsBytes);

    BoxWatcher boxes;
    auto window = openWindow();
    QVERIFY(window->folderWatch()->isWatching());
    if (!running)
        window.reset();
    const int scansBefore = running ? window->scans() : 0;
    QElapsedTimer clock;
    clock.start();
    for (const QString &step : steps) {
        if (step == "lock") {
            QVERIFY2(makeUnwritable(m_info, true), "cannot make the information folder unwritable");
            m_unwritable = m_info;
            continue;
        }
        run(step);
    }
    if (!running) {
        window = openWindow();
    } else if (watchShows) {
        // Shown by the scan the watch asks for: no Refresh, no timer.
        const bool shown
            = QTest::qWaitFor([&] { return rowsShow(*window, rows) && window->scanControl().isQuiet(); },
                burst ? 120000 : LiveTimeout);
        if (burst)
            qInfo("%d renames followed and shown in %lld ms, with %d scans", BurstSize,
                qint64(clock.elapsed()), window->scans() - scansBefore);
        QVERIFY(shown);
        // The program's own renames of song information files raise no
        // scan of their own.
        // (An error box takes the focus and gives it back: two scans.)
        const int scansShown = window->scans();
        WaitQuiet(*window);
        if (m_unwritable.isEmpty())
            QCOMPARE(window->scans(), scansShown);
    } else {
        WaitQuiet(*window);
        window->RefreshList(true);
        QTRY_VERIFY(window->isSettled());
        QTest::qWait(50);
    }

    for (const QString &expected : rows)
        QCOMPARE(row(*window, expected.section(QLatin1Char('|'), 0, 0)), expected);
    if (burst) {
        // Every file followed its song, and the scans came in a few, not one
        // per rename.
        for (int i = 0; i < BurstSize; ++i) {
            const QString name = m_info + QStringLiteral("/Band-Song %1").arg(i, 4, 10, QLatin1Char('0'));
            QCOMPARE(readBytes(name + " (live).INI"), before[QFileInfo(name).fileName() + ".INI"]);
            QVERIFY(!QFile::exists(name + ".INI"));
        }
        QVERIFY2(
            window->scans() - scansBefore <= 20, qPrintable(QString::number(window->scans() - scansBefore)));
    }
    for (const QString &file : files) {
        if (file.startsWith(u'-')) {
            QVERIFY2(!QFile::exists(m_info + QLatin1Char('/') + file.mid(1)), qPrintable(file));
            continue;
        }
        const QString now = file.section(u'<', 0, 0);
        QCOMPARE(readBytes(m_info + QLatin1Char('/') + now), before[file.section(u'<', 1)]);
    }
    const QString panel = window->stbStatus->Panels[0]->text();
    if (status.isEmpty())
        QVERIFY2(!panel.contains("Song information"), qPrintable(panel));
    else
        QCOMPARE(panel, QLatin1Char(' ') + status);

    const QString logPath = window->movesLog()->logPath();
    QCOMPARE(logPath, m_dir->filePath(QStringLiteral("discora.LOG")));
    if (burst) {
        // The scans that showed the burst logged every move.
        const QByteArray bytes = readBytes(logPath);
        QCOMPARE(bytes.count(" (live).INI\r\n"), BurstSize);
        QVERIFY(bytes.endsWith(" songs.\r\n"));
    } else if (log.isEmpty()) {
        QVERIFY(!QFile::exists(logPath));
    } else {
        const QStringList lines = QString::fromUtf8(readBytes(logPath)).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.last(), QString()); // every line ends in CR LF
        QVERIFY(lines.size() > log.size());
        const QString today = QDate::currentDate().toString(QStringLiteral("dd-MM-yyyy"));
        for (qsizetype i = 0; i < log.size(); ++i) {
            const QString line = lines[lines.size() - 1 - log.size() + i];
            QCOMPARE(line.left(12), QLatin1Char(' ') + today + QLatin1Char(' '));
            QVERIFY2(line.mid(18).startsWith(log[i]), qPrintable(line));
        }
    }

    if (!m_unwritable.isEmpty()) {
        // The failure reached the error box; once the folder takes changes
        // again, the next full scan moves the file after all.
        QCOMPARE(boxes.texts.size(), 1);
        QVERIFY2(boxes.texts[0].startsWith("Discora 1.5 | Unable to move " + m_info
                     + "/Zandor-Daylight.INI to Zandor-Daylight (live).INI: "),
            qPrintable(boxes.texts[0]));
        QVERIFY(makeUnwritable(m_info, false));
        m_unwritable.clear();
        window->RefreshList(true);
        QTRY_VERIFY(window->isSettled());
        QCOMPARE(row(*window, "Daylight (live)"), QStringLiteral("Daylight (live)| 03:15|    7|V"));
        QCOMPARE(readBytes(m_info + "/Zandor-Daylight (live).INI"), before["Zandor-Daylight.INI"]);
        QVERIFY(!QFile::exists(m_info + "/Zandor-Daylight.INI"));
    } else {
        QCOMPARE(boxes.texts, QStringList());
    }
}

QTEST_MAIN(TestSongMoves)
#include "tst_SongMoves.moc"
