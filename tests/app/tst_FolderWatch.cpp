// Live detection of plays: real child processes open songs of the music
// folder while the main window runs with its refresh timer set to an hour,
// so only the folder watch can make the list notice them.

#include "FolderWatch.h"
#include "HeldSongs.h"
#include "LiveWindow.h"
#include "MpdSource.h"
#include "MprisSource.h"
#include "MusicGrid.h"
#include "ScanControl.h"
#include "TestSupport.h"
#include "UDSCMain.h"

#include "MIS_Func.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

using TestSupport::readBytes;
using TestSupport::writeBytes;

namespace
{

// The watch answers in about a second; a busy machine gets more, and an
// hour-long timer cannot stand in for it either way.
constexpr int LiveTimeout = 5000;
const QByteArray InfoBefore = "[Info]\r\nUsageCount = 3\r\nPlaytime = 02:00\r\n";
const QByteArray InfoCounted = "[Info]\r\nUsageCount = 4\r\nPlaytime = 02:00\r\n";

// A player: a child process that opens path itself and keeps it open. With
// sandboxFolder, it runs in a sandbox of its own (bwrap: its own process
// and mount namespace, as Flatpak gives) that sees that folder at inside,
// by default /run/doc/abc, the shape of a document-portal path, and opens
// path there.
class Player
{
public:
    explicit Player(const QString &path, const QString &sandboxFolder = QString(),
        const QString &inside = QStringLiteral("/run/doc/abc"))
    {
        const QStringList holder = { QStringLiteral("sh"), QStringLiteral("-c"),
            QStringLiteral("exec sleep 600 < \"$1\""), QStringLiteral("sh") };
        if (sandboxFolder.isEmpty()) {
            m_process.start(holder[0], holder.mid(1) + QStringList { path });
        } else {
            const QString file = inside + QLatin1Char('/') + QDir(sandboxFolder).relativeFilePath(path);
            m_process.start(QStringLiteral("bwrap"),
                QStringList { "--ro-bind", "/usr", "/usr", "--ro-bind", "/etc", "/etc", "--symlink",
                    "usr/lib", "/lib", "--symlink", "usr/lib64", "/lib64", "--symlink", "usr/bin", "/bin",
                    "--proc", "/proc", "--dev", "/dev", "--tmpfs", "/tmp", "--unshare-pid",
                    "--die-with-parent", "--bind", sandboxFolder, inside }
                    + holder + QStringList { file });
        }
        m_process.waitForStarted();
    }
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    ~Player()
    {
        m_process.kill();
        m_process.waitForFinished();
    }

private:
    QProcess m_process;
};

// A child that opens and closes each of paths, rounds times over; with
// pauseEvery > 0 it rests pause seconds after that many rounds.
QProcess *startOpener(const QStringList &paths, int rounds, int pauseEvery, const QString &pause = "0.3")
{
    auto *process = new QProcess;
    const QString script = QStringLiteral(
        "n=$1; p=$2; s=$3; shift 3; i=0; while [ $i -lt $n ]; do for f in \"$@\"; do : < \"$f\"; done; "
        "i=$((i+1)); if [ $p -gt 0 ] && [ $((i % p)) -eq 0 ]; then sleep $s; fi; done");
    process->start(QStringLiteral("sh"),
        QStringList { QStringLiteral("-c"), script, QStringLiteral("sh"), QString::number(rounds),
            QString::number(pauseEvery), pause }
            + paths);
    process->waitForStarted();
    return process;
}

// A program that reads every song, as an indexer or a backup does: it holds
// each open for a moment, rounds times over.
QProcess *startReader(const QStringList &paths, int rounds, const QString &hold)
{
    auto *process = new QProcess;
    const QString script = QStringLiteral(
        "n=$1; t=$2; shift 2; i=0; while [ $i -lt $n ]; do for f in \"$@\"; do sleep $t < \"$f\"; done; "
        "i=$((i+1)); done");
    process->start(QStringLiteral("sh"),
        QStringList { QStringLiteral("-c"), script, QStringLiteral("sh"), QString::number(rounds), hold }
            + paths);
    process->waitForStarted();
    return process;
}

// A minute of silence as real MPEG frames, for a player that decodes it.
QByteArray silentMp3()
{
    const QByteArray frame = QByteArray("\xff\xfb\x90\xc0", 4) + QByteArray(413, '\0');
    return frame.repeated(2300);
}

// MPD as Debian runs it: as its own user (when the test may start it so),
// with a null output, a queue kept across restarts and the one song song
// of musicFolder in it; reachable on a socket of its own and on a free TCP
// port of localhost. mpc drives it.
class Mpd
{
public:
    Mpd(const QString &dir, const QString &musicFolder, const QString &song)
        : m_dir(dir)
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        m_port = probe.serverPort();
        probe.close();
        QByteArray conf = "music_directory \"" + musicFolder.toUtf8() + "\"\n";
        for (const char *file : { "db_file", "state_file", "log_file" })
            conf += QByteArray(file) + " \"" + dir.toUtf8() + '/' + file + "\"\n";
        conf += "bind_to_address \"" + socket().toUtf8() + "\"\nbind_to_address \"127.0.0.1\"\nport \""
            + QByteArray::number(m_port) + "\"\naudio_output {\n type \"null\"\n name \"null\"\n}\n";
        if (::geteuid() == 0)
            conf += "user \"mpd\"\n";
        writeBytes(dir + "/mpd.conf", conf);
        m_ready = start() && mpc({ "-w", "update" }) && mpc({ "add", song });
    }
    ~Mpd() { stop(); }
    bool ready() const { return m_ready; }
    QString socket() const { return m_dir + "/socket"; }
    quint16 port() const { return m_port; }
    bool start()
    {
        m_process.start(QStringLiteral("mpd"), { "--no-daemon", "--stderr", m_dir + "/mpd.conf" });
        return m_process.waitForStarted() && QTest::qWaitFor([this] { return mpc({ "status" }); }, 10000);
    }
    void stop()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
        m_process.waitForFinished();
    }
    bool mpc(const QStringList &args) const
    {
        QProcess client;
        client.start(QStringLiteral("mpc"), QStringList { "-h", socket() } + args);
        return client.waitForFinished(20000) && client.exitStatus() == QProcess::NormalExit
            && client.exitCode() == 0;
    }

private:
    QString m_dir;
    quint16 m_port = 0;
    QProcess m_process;
    bool m_ready = false;
};

// Something at an MPD address that is not quite MPD: it greets with
// greeting and answers every command with "state: play" and, for
// "currentsong", with answer; config is refused, as over TCP. With a
// password it answers only once given that password. A name that starts
// with "@" is an abstract socket's. An empty greeting: it takes the first
// connection and says nothing on it, and greets the ones after it as MPD.
class FakeMpd : public QObject
{
public:
    FakeMpd(const QString &name, QByteArray greeting, QByteArray answer, QByteArray password)
        : m_greeting(std::move(greeting))
        , m_answer(std::move(answer))
        , m_password(std::move(password))
    {
        if (name.startsWith(QLatin1Char('@')))
            m_server.setSocketOptions(QLocalServer::AbstractNamespaceOption);
        m_server.listen(name.startsWith(QLatin1Char('@')) ? name.mid(1) : name);
        connect(&m_server, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket *client = m_server.nextPendingConnection()) {
                connect(client, &QLocalSocket::disconnected, this, [this] { ++m_hungUp; });
                if (m_greeting.isEmpty()) {
                    m_greeting = "OK MPD 0.23.5\n";
                    continue;
                }
                client->write(m_greeting);
                connect(client, &QLocalSocket::readyRead, client, [this, client] {
                    while (client->canReadLine()) {
                        const QByteArray command = client->readLine().trimmed();
                        if (command.startsWith("password ")) {
                            const bool right = command == "password \"" + m_password + '"';
                            m_password = right ? QByteArray() : m_password;
                            client->write(right ? "OK\n" : "ACK [3@0] {password} incorrect password\n");
                        } else if (!m_password.isEmpty())
                            client->write("ACK [4@0] {" + command + "} you don't have permission\n");
                        else if (command == "config")
                            client->write("ACK [4@0] {config} Command only permitted to local clients\n");
                        else if (command == "status")
                            client->write("state: play\nOK\n");
                        else if (command == "currentsong")
                            client->write(m_answer);
                    }
                });
            }
        });
    }
    // How many connections the other side has closed.
    int hungUp() const { return m_hungUp; }

private:
    QLocalServer m_server;
    QByteArray m_greeting, m_answer, m_password;
    int m_hungUp = 0;
};

bool rowHasRed(TfrmMain &window, int row)
{
    window.sgrMusic->scrollTo(window.songs().index(row - 1, 1));
    const QRect cell = window.sgrMusic->visualRect(window.songs().index(row - 1, 1));
    const QImage image = window.sgrMusic->viewport()->grab(cell).toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == TMusicCellDelegate::Red)
                return true;
    return false;
}

// Whether the events waiting on an inotify descriptor name the file name.
bool namedInEvents(int inotify, const char *name)
{
    alignas(inotify_event) char buffer[64 * 1024];
    bool named = false;
    ssize_t got;
    while ((got = ::read(inotify, buffer, sizeof buffer)) > 0) {
        for (char *at = buffer; at < buffer + got;) {
            const auto *event = reinterpret_cast<const inotify_event *>(at);
            named = named || (event->len && std::strcmp(event->name, name) == 0);
            at += sizeof(inotify_event) + event->len;
        }
    }
    return named;
}

} // namespace

class TestFolderWatch : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void playNoticedWithoutTimer_data();
    void playNoticedWithoutTimer();
    void stoppedSongLosesLock();
    void mprisPlayers_data();
    void mprisPlayers();
    void portalLentSongs_data();
    void portalLentSongs();
    void realMprisPlayers_data();
    void realMprisPlayers();
    void mpdPlayers_data();
    void mpdPlayers();
    void mpdGarbage_data();
    void mpdGarbage();
    void readersAreNotListeners_data();
    void readersAreNotListeners();
    void heldAtSweeps_data();
    void heldAtSweeps();
    void songOpenedDuringScanSeenAfterIt();
    void burstsGiveBoundedScans_data();
    void burstsGiveBoundedScans();
    void ownWorkRaisesNoScan_data();
    void ownWorkRaisesNoScan();
    void watchSurvivesFolderChanges_data();
    void watchSurvivesFolderChanges();
    void lostEventsScanAndKeepWatching_data();
    void lostEventsScanAndKeepWatching();
    void treeWatchFollowsFolders_data();
    void treeWatchFollowsFolders();
    void quietWhileOwnDialogOpen();
    void renameWhilePausedShownWhenLive();
    void folderChangeMovesWatch();
    void opensLeftOutWhileTreeIsWalked();

private:
    QString music() const { return m_dir->filePath(QStringLiteral("music")); }
    QString song(const QString &name) const { return music() + QLatin1Char('/') + name; }
    void addSongs(const QStringList &names, const QString &infoFolder = QString());
    // One change on disk, paths below the music folder: "song|path",
    // "mkdir|path", "mv|from|to", "rm|path", "link|path|target", "play|path"
    // (a player holds it from now on).
    void change(const QString &step);
    std::unique_ptr<TfrmMain> openWindow();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::vector<std::unique_ptr<Player>> m_players;
    QProcess m_bus; // a session bus of the test's own
};

void TestFolderWatch::initTestCase()
{
    // Players on the bus are asked from the window's first activation on.
    m_bus.start(QStringLiteral("dbus-daemon"), { "--session", "--nofork", "--print-address=1" });
    QVERIFY(m_bus.waitForReadyRead(10000));
    const QByteArray address = m_bus.readLine().trimmed();
    QVERIFY(!address.isEmpty());
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
}

void TestFolderWatch::cleanupTestCase()
{
    m_bus.kill();
    m_bus.waitForFinished();
}

void TestFolderWatch::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir().mkdir(music()));
}

void TestFolderWatch::cleanup()
{
    qunsetenv("MPD_HOST");
    qunsetenv("MPD_PORT");
    m_players.clear();
    m_dir.reset();
}

void TestFolderWatch::addSongs(const QStringList &names, const QString &infoFolder)
{
    // Songs in folders below the music folder call for a tree library.
    bool tree = false;
    for (const QString &name : names) {
        tree = tree || name.contains(QLatin1Char('/'));
        QVERIFY(QDir().mkpath(QFileInfo(song(name)).absolutePath()));
        writeBytes(song(name), QByteArray(1000, '\0'));
    }
    QByteArray settings = "[MP3]\r\nDirectory=" + music().toUtf8() + "\r\n";
    if (!infoFolder.isEmpty())
        settings += "INI_Directory=" + infoFolder.toUtf8() + "\r\n";
    if (tree)
        settings += "Library=Tree\r\n";
    writeBytes(m_dir->filePath(QStringLiteral("discora.INI")), settings);
}

void TestFolderWatch::change(const QString &step)
{
    const QStringList p = step.split(QLatin1Char('|'));
    const QByteArray path = QFile::encodeName(song(p[1]));
    if (p[0] == QLatin1String("song"))
        writeBytes(path, QByteArray(1000, '\0'));
    else if (p[0] == QLatin1String("mkdir"))
        QVERIFY(QDir().mkpath(song(p[1])));
    else if (p[0] == QLatin1String("mv"))
        QVERIFY(::rename(path.constData(), QFile::encodeName(song(p[2])).constData()) == 0);
    else if (p[0] == QLatin1String("rm"))
        QVERIFY(QFile::remove(song(p[1])));
    else if (p[0] == QLatin1String("link"))
        QVERIFY(::symlink(QFile::encodeName(p[2]).constData(), path.constData()) == 0);
    else if (p[0] == QLatin1String("play"))
        m_players.push_back(std::make_unique<Player>(song(p[1])));
    else
        QFAIL(qPrintable(step));
}

std::unique_ptr<TfrmMain> TestFolderWatch::openWindow()
{
    return OpenLiveWindow(m_dir->filePath(QStringLiteral("discora.INI")));
}

void TestFolderWatch::playNoticedWithoutTimer_data()
{
    QTest::addColumn<QStringList>("songs");
    QTest::addColumn<bool>("infoApart");
    QTest::addColumn<QString>("played");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("sandboxed");

    const QStringList two = { "Zandor-Daylight.mp3", "Merel-Lantern.mp3" };
    QTest::newRow("song-information-beside-songs")
        << two << false << "Zandor-Daylight.mp3" << 2 << "Discora 1.5  Zandor - Daylight" << false;
    QTest::newRow("song-information-apart")
        << two << true << "Merel-Lantern.mp3" << 1 << "Discora 1.5  Merel - Lantern" << false;
    QTest::newRow("upper-case-extension")
        << QStringList { "Aurora Bay-Tidal.MP3", "Nightjar-Embers.mp3" } << false << "Aurora Bay-Tidal.MP3"
        << 1 << "Discora 1.5  Aurora Bay - Tidal" << false;
    QStringList many;
    for (int i = 0; i < 30; ++i)
        many << QStringLiteral("Band-Song %1.mp3").arg(i, 2, 10, QLatin1Char('0'));
    QTest::newRow("past-the-first-screen")
        << many << false << "Band-Song 27.mp3" << 28 << "Discora 1.5  Band - Song 27" << false;
    // The player sees the folder at a path of its own: only the descriptor's
    // mount and inode tell it is the song.
    QTest::newRow("sandboxed-player-at-another-path")
        << two << false << "Zandor-Daylight.mp3" << 2 << "Discora 1.5  Zandor - Daylight" << true;
    // A tree library: a song two folders down, of another format than MP3.
    QTest::newRow("tree-song-in-a-subfolder")
        << QStringList { "Merel/Lantern/Merel-Lantern.flac", "Zandor/Daylight/Zandor-Daylight.ogg" } << false
        << "Zandor/Daylight/Zandor-Daylight.ogg" << 2 << "Discora 1.5  Zandor - Daylight" << false;
    // More songs than are read while the window waits, in fewer folders:
    // their opens go unwatched while their tags are read behind it.
    QStringList band;
    for (int i = 0; i < TCatalogue::TagsReadInScan + 100; ++i)
        band << QStringLiteral("Band/Band-Song %1.mp3").arg(i, 3, 10, QLatin1Char('0'));
    QTest::newRow("tree-song-after-tags-read-behind")
        << band + QStringList { "Zandor/Daylight/Zandor-Daylight.ogg" } << false
        << "Zandor/Daylight/Zandor-Daylight.ogg" << int(band.size()) + 1 << "Discora 1.5  Zandor - Daylight"
        << false;
    QTest::newRow("tree-song-in-a-subfolder-sandboxed")
        << QStringList { "Merel/Lantern/Merel-Lantern.flac", "Zandor/Daylight/Zandor-Daylight.ogg" } << true
        << "Zandor/Daylight/Zandor-Daylight.ogg" << 2 << "Discora 1.5  Zandor - Daylight" << true;
}

void TestFolderWatch::playNoticedWithoutTimer()
{
    QFETCH(QStringList, songs);
    QFETCH(bool, infoApart);
    QFETCH(QString, played);
    QFETCH(int, row);
    QFETCH(QString, caption);
    QFETCH(bool, sandboxed);
    if (sandboxed && QStandardPaths::findExecutable(QStringLiteral("bwrap")).isEmpty())
        QSKIP("bwrap (Debian's bubblewrap) is not installed");

    const QString info = infoApart ? m_dir->filePath(QStringLiteral("info")) : music();
    QVERIFY(QDir().mkpath(info));
    addSongs(songs, infoApart ? info : QString());
    const QString infoFile = info + QLatin1Char('/') + played.section(QLatin1Char('.'), 0, -2) + ".INI";
    QVERIFY(QDir().mkpath(QFileInfo(infoFile).absolutePath()));
    writeBytes(infoFile, InfoBefore);
    // Whoever reads the tag cache beside the settings, from the start on.
    const int cacheReads = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(cacheReads >= 0
        && ::inotify_add_watch(cacheReads, QFile::encodeName(m_dir->path()), IN_CLOSE_NOWRITE) >= 0);
    const auto closeReads = qScopeGuard([cacheReads] { ::close(cacheReads); });
    auto window = openWindow();
    const int activations = window->activations();
    QVERIFY(window->folderWatch()->isWatching());
    QCOMPARE(window->songs().Cells(3, row), QStringLiteral("  0.0"));
    // Tags read behind the window are read, the songs' opens watched again,
    // and the scan that follows is over, before the player starts.
    int read = 0;
    int total = 0;
    QTRY_VERIFY_WITH_TIMEOUT(!window->catalogue().tagProgress(read, total), LiveTimeout);
    // (The word that they are in the cache comes just after.)
    QTest::qWait(200);
    QTRY_VERIFY_WITH_TIMEOUT(window->scanControl().isQuiet(), LiveTimeout);
    // The rows took the tags as they were read, wherever the scan then was:
    // no scan read back the cache this start wrote.
    QVERIFY2(!namedInEvents(cacheReads, "discora.TAG"), "a scan read the tag cache back");

    Player player(song(played), sandboxed ? music() : QString());
    QTest::qWait(200);
    if (sandboxed && !player.isRunning())
        QSKIP("bwrap cannot make a sandbox here (user namespaces not allowed)");
    QTRY_COMPARE_WITH_TIMEOUT(window->songs().Cells(3, row), QStringLiteral("Lock"), LiveTimeout);
    QCOMPARE(window->windowTitle(), caption);
    QCOMPARE(readBytes(infoFile), InfoCounted);
    QCOMPARE(window->songs().Cells(5, row), QStringLiteral("    4"));
    QVERIFY(window->catalogue().isPlayed(row));
    window->sgrMusic->setRow(row == 1 ? 2 : 1);
    QVERIFY(rowHasRed(*window, row));
    // Neither an activation nor the timer did it.
    QCOMPARE(window->activations(), activations);
    QVERIFY(window->tmrRefresh->remainingTime() > 3000 * 1000);
}

void TestFolderWatch::stoppedSongLosesLock()
{
    addSongs({ "Zandor-Daylight.mp3" });
    auto window = openWindow();
    {
        Player player(song(QStringLiteral("Zandor-Daylight.mp3")));
        QTRY_COMPARE_WITH_TIMEOUT(window->songs().Cells(3, 1), QStringLiteral("Lock"), LiveTimeout);
    }
    // The player lets go: the close is noticed too, and the size is back.
    QTRY_COMPARE_WITH_TIMEOUT(window->songs().Cells(3, 1), QStringLiteral("  0.0"), LiveTimeout);
    QCOMPARE(window->songs().Cells(5, 1), QStringLiteral("    1"));
}

void TestFolderWatch::mprisPlayers_data()
{
    // A player on the session bus that does not hold the song open (the
    // sweep cannot see it): only what it reports can make the row "Lock".
    // Which statuses and URLs name a held file is settled on values in
    // tests/sources/tst_MprisMetadata; these rows need the bus.
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("url"); // %S: the song, %O: a file outside the folder
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("playing");

    QTest::newRow("playing") << "Playing"
                             << "file://%S"
                             << "" << true;
    QTest::newRow("paused") << "Paused"
                            << "file://%S"
                            << "" << true;
    QTest::newRow("same-name-outside-the-folder") << "Playing"
                                                  << "file://%O"
                                                  << "" << false;
    QTest::newRow("player-vanishes-when-asked") << "Playing"
                                                << "file://%S"
                                                << "--vanish" << false;
    // The folder at another path (linked, bind-mounted): the same file.
    QTest::newRow("same-file-at-another-path") << "Playing"
                                               << "file://%H"
                                               << "" << true;
    // A sandboxed player names the file the Documents portal lends it.
    QTest::newRow("document-portal") << "Playing"
                                     << "file://%D"
                                     << "--portal=d2f1=%S" << true;
    QTest::newRow("document-portal-another-document") << "Playing"
                                                      << "file://%D"
                                                      << "--portal=77aa=%S" << false;
}

void TestFolderWatch::mprisPlayers()
{
    QFETCH(QString, status);
    QFETCH(QString, url);
    QFETCH(QString, mode);
    QFETCH(bool, playing);

    addSongs({ "Merel-Lantern.mp3", "Zandor-Daylight.mp3" });
    const QString outside = m_dir->filePath(QStringLiteral("Zandor-Daylight.mp3"));
    writeBytes(outside, QByteArray(1000, '\0'));
    const QString played = song(QStringLiteral("Zandor-Daylight.mp3"));
    const QString linked = m_dir->filePath(QStringLiteral("linked/Zandor-Daylight.mp3"));
    QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("linked"))));
    QVERIFY(::link(QFile::encodeName(played).constData(), QFile::encodeName(linked).constData()) == 0);
    const QString lent = QStringLiteral("/run/user/%1/doc/d2f1/Zandor-Daylight.mp3").arg(::getuid());
    const auto place = [&](QString text) {
        return text.replace(QStringLiteral("%S"), played)
            .replace(QStringLiteral("%O"), outside)
            .replace(QStringLiteral("%H"), linked)
            .replace(QStringLiteral("%D"), lent);
    };
    auto window = openWindow();
    QProcess stub;
    stub.start(QStringLiteral(MPRIS_STUB), { QStringLiteral("stub"), status, place(url), place(mode) });
    QVERIFY(stub.waitForReadyRead(10000) || mode == QLatin1String("--vanish"));
    if (playing) {
        QTRY_COMPARE_WITH_TIMEOUT(window->songs().Cells(3, 2), QStringLiteral("Lock"), LiveTimeout);
        QCOMPARE(window->windowTitle(), QStringLiteral("Discora 1.5  Zandor - Daylight"));
        QCOMPARE(window->songs().Cells(5, 2), QStringLiteral("    1"));
    } else {
        WaitQuiet(*window);
        QCOMPARE(window->songs().Cells(3, 2), QStringLiteral("  0.0"));
        QVERIFY(!QFile::exists(song(QStringLiteral("Zandor-Daylight.INI"))));
    }
    // The player goes away: the song is no longer held.
    stub.kill();
    stub.waitForFinished();
    QTRY_COMPARE_WITH_TIMEOUT(window->songs().Cells(3, 2), QStringLiteral("  0.0"), LiveTimeout);
    QCOMPARE(window->songs().Cells(3, 1), QStringLiteral("  0.0"));
}

void TestFolderWatch::portalLentSongs_data()
{
    // A sandboxed player holds the song through the Documents portal, which
    // is not on the bus as a player: procfs names the portal's file (here a
    // copy, as the portal's own files have inodes of their own), and only
    // the portal's answer names the song.
    QTest::addColumn<QString>("lent"); // the document the portal knows: ID=PATH
    QTest::addColumn<bool>("playing");

    QTest::newRow("portal-knows-the-document") << "d2f1=%S" << true;
    QTest::newRow("portal-knows-another-document") << "77aa=%S" << false;
}

void TestFolderWatch::portalLentSongs()
{
    QFETCH(QString, lent);
    QFETCH(bool, playing);
    if (QStandardPaths::findExecutable(QStringLiteral("bwrap")).isEmpty())
        QSKIP("bwrap (Debian's bubblewrap) is not installed");

    addSongs({ "Merel-Lantern.mp3", "Zandor-Daylight.mp3" });
    const QString copies = m_dir->filePath(QStringLiteral("lent"));
    QVERIFY(QDir().mkpath(copies));
    writeBytes(copies + "/Zandor-Daylight.mp3", QByteArray(1000, '\0'));
    auto window = openWindow();
    // Stands in for the portal only: as a player it plays nothing.
    QProcess portal;
    portal.start(QStringLiteral(MPRIS_STUB),
        { QStringLiteral("stub"), QStringLiteral("Stopped"), QString(),
            "--portal="
                + QString(lent).replace(QStringLiteral("%S"), song(QStringLiteral("Zandor-Daylight.mp3"))) });
    QVERIFY(portal.waitForReadyRead(10000));
    // The player holds the copy, at the path the portal lends it under.
    Player player(
        copies + "/Zandor-Daylight.mp3", copies, QStringLiteral("/run/user/%1/doc/d2f1").arg(::getuid()));
    QTest::qWait(200);
    if (!player.isRunning())
        QSKIP("bwrap cannot make a sandbox here (user namespaces not allowed)");
    if (playing) {
        QTRY_COMPARE_WITH_TIMEOUT(window->songs().Cells(3, 2), QStringLiteral("Lock"), LiveTimeout);
        QCOMPARE(window->songs().Cells(5, 2), QStringLiteral("    1"));
    } else {
        // A scan sees the lent file: the portal, asked, does not place it.
        const int before = window->scans();
        window->RefreshList(false);
        QTRY_VERIFY(window->scans() > before);
        WaitQuiet(*window);
        QCOMPARE(window->songs().Cells(3, 2), QStringLiteral("  0.0"));
    }
    portal.kill();
    portal.waitForFinished();
}

void TestFolderWatch::realMprisPlayers_data()
{
    // Real mpv with its MPRIS plugin on the test's own session bus. The
    // sweep sees mpv too, so what counts here is what the players report.
    QTest::addColumn<QStringList>("players"); // a song per mpv; "+" first: started paused
    QTest::addColumn<int>("killed"); // how many of them are killed while playing

    QTest::newRow("one-playing") << QStringList { "Zandor-Daylight.mp3" } << 0;
    QTest::newRow("one-paused") << QStringList { "+Zandor-Daylight.mp3" } << 0;
    QTest::newRow("two-at-once") << QStringList { "Zandor-Daylight.mp3", "Merel-Lantern.mp3" } << 0;
    QTest::newRow("one-of-two-killed") << QStringList { "Merel-Lantern.mp3", "Zandor-Daylight.mp3" } << 1;
}

void TestFolderWatch::realMprisPlayers()
{
    QFETCH(QStringList, players);
    QFETCH(int, killed);
    const QString plugin = QStringLiteral("/usr/lib/mpv-mpris/mpris.so");
    if (QStandardPaths::findExecutable(QStringLiteral("mpv")).isEmpty() || !QFile::exists(plugin))
        QSKIP("mpv and its MPRIS plugin (Debian's mpv and mpv-mpris) are not installed");

    addSongs({ "Merel-Lantern.mp3" });
    writeBytes(song(QStringLiteral("Merel-Lantern.mp3")), silentMp3());
    writeBytes(song(QStringLiteral("Zandor-Daylight.mp3")), silentMp3());
    auto window = openWindow();
    QTRY_VERIFY_WITH_TIMEOUT(window->scanControl().mpris()->isConnected(), LiveTimeout);
    std::vector<std::unique_ptr<QProcess>> mpvs;
    std::vector<QByteArray> expected;
    for (QString name : players) {
        const bool paused = name.startsWith(QLatin1Char('+'));
        if (paused)
            name.remove(0, 1);
        auto mpv = std::make_unique<QProcess>();
        mpv->start(QStringLiteral("mpv"),
            { "--no-config", "--script=" + plugin, "--ao=null", "--vo=null", "--loop-file=inf",
                paused ? "--pause" : "--no-pause", song(name) });
        QVERIFY(mpv->waitForStarted());
        mpvs.push_back(std::move(mpv));
        expected.push_back(QFile::encodeName(song(name)));
    }
    for (int i = 0; i < killed; ++i) {
        // Seen playing first, then gone without a word.
        QTRY_VERIFY_WITH_TIMEOUT(window->scanControl().mpris()->heldPaths().size() == expected.size(), 20000);
        mpvs[size_t(i)]->kill();
        mpvs[size_t(i)]->waitForFinished();
        expected.erase(expected.begin());
    }
    const auto held = [&] {
        std::vector<QByteArray> paths = window->scanControl().mpris()->heldPaths();
        std::sort(paths.begin(), paths.end());
        return paths;
    };
    std::sort(expected.begin(), expected.end());
    QTRY_COMPARE_WITH_TIMEOUT(held(), expected, 20000);
    for (const auto &mpv : mpvs) {
        mpv->kill();
        mpv->waitForFinished();
    }
    QTRY_VERIFY_WITH_TIMEOUT(held().empty(), LiveTimeout);
}

void TestFolderWatch::mpdPlayers_data()
{
    // MPD plays its own copy of the song: the sweep finds that copy held,
    // never the listed song. Only what MPD reports can make the row "Lock".
    QTest::addColumn<bool>("tcp"); // else MPD's own socket
    QTest::addColumn<QStringList>("steps"); // mpc commands; "lock": wait for it; "restart": MPD
    QTest::addColumn<bool>("lock");
    QTest::addColumn<QString>("count");
    // The song played, below the music folder and MPD's alike.
    QTest::addColumn<QString>("name");

    const QString flat = QStringLiteral("Zandor-Daylight.mp3");
    // Over TCP MPD names the song below its music folder only: that names
    // the listed song with the same ending.
    QTest::newRow("tcp-playing") << true << QStringList { "play" } << true << "    1" << flat;
    QTest::newRow("tcp-paused") << true << QStringList { "play", "pause" } << true << "    1" << flat;
    QTest::newRow("tcp-stopped") << true << QStringList { "play", "stop" } << false << "    0" << flat;
    QTest::newRow("tcp-mpd-restarted")
        << true << QStringList { "play", "lock", "restart", "play" } << true << "    1" << flat;
    // A tree library: MPD names the song by its folders too.
    QTest::newRow("tcp-tree-song-in-a-subfolder") << true << QStringList { "play" } << true << "    1"
                                                  << "Zandor/Daylight (2001)/Zandor-Daylight.mp3";
    // On its socket MPD says where its music folder is: its copy is another
    // file than the song.
    QTest::newRow("socket-another-copy") << false << QStringList { "play" } << false << "    0" << flat;
}

void TestFolderWatch::mpdPlayers()
{
    QFETCH(bool, tcp);
    QFETCH(QStringList, steps);
    QFETCH(bool, lock);
    QFETCH(QString, count);
    QFETCH(QString, name);
    if (QStandardPaths::findExecutable(QStringLiteral("mpd")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("mpc")).isEmpty())
        QSKIP("mpd and mpc (Debian's mpd and mpc) are not installed");

    const QString folder = name.left(name.lastIndexOf(QLatin1Char('/')) + 1);
    addSongs({ folder + "Merel-Lantern.mp3", name });
    QVERIFY(QFile::setPermissions(m_dir->path(), QFile::Permissions(0x7755)));
    const QString mpdDir = m_dir->filePath(QStringLiteral("mpd"));
    QVERIFY(QDir().mkpath(mpdDir + "/music/" + folder));
    QVERIFY(QFile::setPermissions(mpdDir, QFile::Permissions(0x7777)));
    writeBytes(mpdDir + "/music/" + name, silentMp3());
    Mpd mpd(mpdDir, mpdDir + "/music", name);
    QVERIFY2(mpd.ready(), "MPD did not start; see its log");
    qputenv("MPD_HOST", tcp ? "127.0.0.1" : mpd.socket().toUtf8());
    qputenv("MPD_PORT", QByteArray::number(mpd.port()));
    auto window = openWindow();
    QTRY_VERIFY_WITH_TIMEOUT(window->scanControl().mpd()->isConnected(), LiveTimeout);

    for (const QString &step : steps) {
        if (step == QLatin1String("lock")) {
            QTRY_COMPARE_WITH_TIMEOUT(window->songs().Cells(3, 2), QStringLiteral("Lock"), LiveTimeout);
        } else if (step == QLatin1String("restart")) {
            mpd.stop();
            QTRY_COMPARE_WITH_TIMEOUT(window->songs().Cells(3, 2), QStringLiteral("  0.0"), LiveTimeout);
            QVERIFY(mpd.start());
        } else {
            QVERIFY2(mpd.mpc({ step }), qPrintable(step));
        }
    }
    if (lock) {
        QTRY_COMPARE_WITH_TIMEOUT(window->songs().Cells(3, 2), QStringLiteral("Lock"), LiveTimeout);
        QCOMPARE(window->windowTitle(), QStringLiteral("Discora 1.5  Zandor - Daylight"));
    } else {
        WaitQuiet(*window);
        QCOMPARE(window->songs().Cells(3, 2), QStringLiteral("  0.0"));
    }
    QCOMPARE(window->songs().Cells(5, 2), count);
    QCOMPARE(window->songs().Cells(3, 1), QStringLiteral("  0.0"));
    // Counted in the song's own song information file, beside it.
    const QByteArray info = readBytes(song(name.section(QLatin1Char('.'), 0, -2) + ".INI"));
    QCOMPARE(info, lock ? QByteArray("[Info]\r\nUsageCount=1\r\nPlaytime=??:??\r\n") : QByteArray());
}

void TestFolderWatch::mpdGarbage_data()
{
    QTest::addColumn<QString>("host"); // MPD_HOST; %P: the fake's socket
    QTest::addColumn<QByteArray>("password"); // the fake's, if any
    QTest::addColumn<QByteArray>("greeting"); // empty: silent on the first connection
    QTest::addColumn<QByteArray>("answer"); // to "currentsong"
    QTest::addColumn<bool>("lock");
    QTest::addColumn<bool>("hungUp"); // the program closes a connection to the fake

    const QByteArray greeting = "OK MPD 0.23.5\n";
    const auto playing = [](const QByteArray &file) { return "file: " + file + "\nOK\n"; };
    const QByteArray song = playing("Zandor-Daylight.mp3");
    // The rows that count show the fake is heard at all, as MPD_HOST names it.
    // How MPD_HOST is read and which files count (no streams) is settled on
    // bytes in tests/sources/tst_MpdProtocol; these rows need the socket.
    QTest::newRow("well-formed") << "%P" << QByteArray() << greeting << song << true << false;
    QTest::newRow("password-given") << "secret@%P" << QByteArray("secret") << greeting << song << true
                                    << false;
    QTest::newRow("abstract-socket") << "@discora-test-fake-mpd" << QByteArray() << greeting << song << true
                                     << false;
    QTest::newRow("password-wrong") << "wrong@%P" << QByteArray("secret") << greeting << song << false
                                    << false;
    QTest::newRow("not-mpd") << "%P" << QByteArray() << QByteArray("HTTP/1.0 400 Bad Request\n") << song
                             << false << true;
    QTest::newRow("endless-line") << "%P" << QByteArray() << greeting
                                  << playing(QByteArray(200 * 1024, 'a') + "/Zandor-Daylight.mp3") << false
                                  << true;
    // A line that never ends must not grow without bound either.
    QTest::newRow("unfinished-line") << "%P" << QByteArray() << greeting
                                     << "file: " + QByteArray(200 * 1024, 'a') << false << true;
    QTest::newRow("answers-out-of-turn") << "%P" << QByteArray() << greeting + "OK\nOK\n"
                                         << song << false << true;
    // Something that takes the connection and never greets keeps MPD from
    // being heard only for a while: the program gives up on it and tries
    // again.
    QTest::newRow("silent-at-first") << "%P" << QByteArray() << QByteArray() << song << true << true;
}

void TestFolderWatch::mpdGarbage()
{
    QFETCH(QString, host);
    QFETCH(QByteArray, password);
    QFETCH(QByteArray, greeting);
    QFETCH(QByteArray, answer);
    QFETCH(bool, lock);
    QFETCH(bool, hungUp);

    addSongs({ "Merel-Lantern.mp3", "Zandor-Daylight.mp3" });
    const QString path = m_dir->filePath(QStringLiteral("fake-mpd"));
    host.replace(QStringLiteral("%P"), path);
    // The fake listens where MPD_HOST points, past any "password@".
    const qsizetype at = host.indexOf(QLatin1Char('@'));
    FakeMpd fake(at > 0 ? host.mid(at + 1) : host, greeting, answer, password);
    qputenv("MPD_HOST", host.toUtf8());
    auto window = openWindow();
    if (lock) {
        QTRY_COMPARE_WITH_TIMEOUT(window->songs().Cells(3, 2), QStringLiteral("Lock"),
            LiveTimeout + (greeting.isEmpty() ? TMpdSource::GreetingTimeout : 0));
    } else {
        // What the fake said is heard before the program hangs up.
        if (hungUp)
            QTRY_VERIFY_WITH_TIMEOUT(fake.hungUp() > 0, LiveTimeout);
        WaitQuiet(*window);
        QCOMPARE(window->songs().Cells(3, 2), QStringLiteral("  0.0"));
        QVERIFY(window->scanControl().mpd()->heldTails().empty());
    }
    if (hungUp)
        QTRY_VERIFY_WITH_TIMEOUT(fake.hungUp() > 0, LiveTimeout);
    else
        QCOMPARE(fake.hungUp(), 0);
}

void TestFolderWatch::readersAreNotListeners_data()
{
    QTest::addColumn<QString>("hold");
    QTest::addColumn<int>("rounds");
    QTest::addColumn<bool>("player");

    // A song held at one scan but closed at the next a second later was
    // read, not played: the reader holds each song for a fifth of a second.
    QTest::newRow("indexer-reads-every-song") << "0.2" << 3 << false;
    QTest::newRow("indexer-beside-a-player") << "0.2" << 3 << true;
    QTest::newRow("backup-reads-every-song-slowly") << "0.6" << 1 << false;
}

void TestFolderWatch::readersAreNotListeners()
{
    QFETCH(QString, hold);
    QFETCH(int, rounds);
    QFETCH(bool, player);

    QStringList names;
    for (int i = 0; i < 8; ++i)
        names << QStringLiteral("Band-Song %1.mp3").arg(i);
    addSongs(names);
    auto window = openWindow();
    QStringList paths;
    for (const QString &name : names)
        paths << song(name);
    std::unique_ptr<QProcess> reader(startReader(paths, rounds, hold));
    std::unique_ptr<Player> listener;
    if (player)
        listener = std::make_unique<Player>(song(names[5]));
    if (player)
        QTRY_COMPARE_WITH_TIMEOUT(window->songs().Cells(3, 6), QStringLiteral("Lock"), LiveTimeout);
    QTRY_VERIFY_WITH_TIMEOUT(reader->state() == QProcess::NotRunning, 120000);
    WaitQuiet(*window);
    QVERIFY2(window->scans() >= 3, "the reader's opens raised no scans");
    for (int r = 1; r <= names.size(); ++r) {
        const bool played = player && r == 6;
        QCOMPARE(window->songs().Cells(3, r), played ? QStringLiteral("Lock") : QStringLiteral("  0.0"));
        QCOMPARE(window->songs().Cells(5, r), played ? QStringLiteral("    1") : QStringLiteral("    0"));
        QCOMPARE(QFile::exists(song(names[r - 1]).chopped(4) + ".INI"), played);
    }
    QCOMPARE(window->catalogue().playedList().count(), player ? 1 : 0);
    QCOMPARE(window->windowTitle(),
        player ? QStringLiteral("Discora 1.5  Band - Song 5") : QStringLiteral("Discora 1.5"));
}

void TestFolderWatch::heldAtSweeps_data()
{
    // Whether a song is "held" open or "closed" at each scan, the watch
    // resting so that no other scan looks; "wait": the confirmation delay
    // passes. A song counts as played once held at two scans that far
    // apart, and at every scan between them.
    QTest::addColumn<QStringList>("scans");
    QTest::addColumn<bool>("counted");

    QTest::newRow("held-a-while") << QStringList { "held", "wait", "held" } << true;
    QTest::newRow("held-then-closed") << QStringList { "held", "wait", "closed" } << false;
    // A reader that opens the song again later, as an indexer does.
    QTest::newRow("closed-between") << QStringList { "held", "closed", "wait", "held" } << false;
    QTest::newRow("closed-between-then-held-a-while")
        << QStringList { "held", "closed", "wait", "held", "wait", "held" } << true;
}

void TestFolderWatch::heldAtSweeps()
{
    QFETCH(QStringList, scans);
    QFETCH(bool, counted);

    addSongs({ "A-One.mp3", "B-Two.mp3" });
    auto window = openWindow();
    window->scanControl().setPaused(true);
    std::unique_ptr<TestSupport::FileHolder> holder;
    for (const QString &step : scans) {
        if (step == QLatin1String("wait")) {
            QTest::qWait(int(THeldSongs::DefaultDelay.count()) + 100);
            continue;
        }
        if (step == QLatin1String("closed"))
            holder.reset();
        else if (!holder)
            holder = std::make_unique<TestSupport::FileHolder>(song(QStringLiteral("B-Two.mp3")));
        QVERIFY(!holder || holder->isRunning());
        const int before = window->scans();
        window->RefreshList(false);
        QTRY_VERIFY(window->scans() > before && !window->isScanning());
    }
    QCOMPARE(window->songs().Cells(5, 2), counted ? QStringLiteral("    1") : QStringLiteral("    0"));
    QCOMPARE(QFile::exists(song(QStringLiteral("B-Two.INI"))), counted);
    QCOMPARE(window->songs().Cells(5, 1), QStringLiteral("    0"));
}

void TestFolderWatch::songOpenedDuringScanSeenAfterIt()
{
    QStringList names;
    for (int i = 0; i < 25; ++i)
        names << QStringLiteral("Band-Song %1.mp3").arg(i, 2, 10, QLatin1Char('0'));
    addSongs(names);
    auto window = openWindow();

    // The player starts while a full scan yields after its first rows, too
    // late for that scan to see the first song held: a scan right after it
    // must, though the watch may not start one inside it.
    std::unique_ptr<Player> player;
    bool scanningWhenHeld = false;
    QTimer::singleShot(0, window.get(), [&] {
        player = std::make_unique<Player>(song(names[0]));
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 600) {
            QCoreApplication::processEvents();
            QThread::msleep(20);
        }
        scanningWhenHeld = window->isScanning();
    });
    window->RefreshList(true);
    QVERIFY(player);
    QVERIFY(scanningWhenHeld);
    QTRY_COMPARE_WITH_TIMEOUT(window->songs().Cells(3, 1), QStringLiteral("Lock"), LiveTimeout);
}

void TestFolderWatch::burstsGiveBoundedScans_data()
{
    QTest::addColumn<QStringList>("opened");
    QTest::addColumn<int>("rounds");
    QTest::addColumn<int>("pauseEvery");
    QTest::addColumn<QString>("pause");
    QTest::addColumn<bool>("scans");
    // Scans that must have started before the opener ended.
    QTest::addColumn<int>("scansWhileRunning");

    QTest::newRow("one-song-1000-times-at-once")
        << QStringList { "A-One.mp3" } << 1000 << 0 << "0" << true << 0;
    QTest::newRow("one-song-1000-times-over-seconds")
        << QStringList { "A-One.mp3" } << 1000 << 100 << "0.3" << true << 0;
    QTest::newRow("indexer-reads-every-song")
        << QStringList { "A-One.mp3", "B-Two.mp3", "C-Three.MP3", "D-Four.mp3" } << 250 << 25 << "0.3" << true
        << 0;
    // Opens closer together than the watch waits for a burst to settle, for
    // seconds on end: the scans must not wait for the stream to stop.
    QTest::newRow("steady-stream-of-opens") << QStringList { "A-One.mp3" } << 400 << 1 << "0.01" << true << 2;
    QTest::newRow("song-information-files-only")
        << QStringList { "A-One.INI", "B-Two.ini" } << 500 << 50 << "0.3" << false << 0;
    QTest::newRow("other-files-only") << QStringList { ".hidden.mp3", "cover.jpg", "A-One.mp3.part", "mp3" }
                                      << 250 << 25 << "0.3" << false << 0;
}

void TestFolderWatch::burstsGiveBoundedScans()
{
    QFETCH(QStringList, opened);
    QFETCH(int, rounds);
    QFETCH(int, pauseEvery);
    QFETCH(QString, pause);
    QFETCH(bool, scans);
    QFETCH(int, scansWhileRunning);

    addSongs({ "A-One.mp3", "B-Two.mp3", "C-Three.MP3", "D-Four.mp3" });
    QStringList paths;
    for (const QString &name : opened) {
        if (!QFile::exists(song(name)))
            writeBytes(song(name), "x");
        paths << song(name);
    }
    auto window = openWindow();
    const int before = window->scans();
    const int requestedBefore = window->scanControl().scansRequested();
    const int activations = window->activations() + window->deactivations();

    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<QProcess> opener(startOpener(paths, rounds, pauseEvery, pause));
    int ranWhileRunning = -1;
    connect(opener.get(), &QProcess::finished, this, [&] { ranWhileRunning = window->scans() - before; });
    QTRY_VERIFY_WITH_TIMEOUT(opener->state() == QProcess::NotRunning, 120000);
    QCOMPARE(opener->exitCode(), 0);
    QTRY_VERIFY(ranWhileRunning >= 0);
    QVERIFY2(ranWhileRunning >= scansWhileRunning,
        qPrintable(QStringLiteral("%1 scans in %2 ms of opens").arg(ranWhileRunning).arg(clock.elapsed())));
    WaitQuiet(*window);
    const int ran = window->scans() - before;
    // Scans the watch asks for start a second apart at least (others, such
    // as the one that shows what the index of songs moved, are not its).
    const int requested = window->scanControl().scansRequested() - requestedBefore;
    const int bound = int(clock.elapsed() / window->scanControl().timing().minInterval) + 1;
    if (scans) {
        QVERIFY2(ran >= 1, "no scan after the burst");
        QVERIFY2(requested <= bound,
            qPrintable(QStringLiteral("%1 scans asked for in %2 ms").arg(requested).arg(clock.elapsed())));
    } else {
        // Who asked for a scan, should one run: the watch, a player or a
        // confirming look at a song held (asked for), or the window won or
        // lost the focus.
        QVERIFY2(ran == 0,
            qPrintable(QStringLiteral("%1 scans, %2 asked for, %3 changes of focus")
                           .arg(ran)
                           .arg(requested)
                           .arg(window->activations() + window->deactivations() - activations)));
    }
    QCOMPARE(window->songs().Cells(3, 1), QStringLiteral("  0.0"));
}

void TestFolderWatch::ownWorkRaisesNoScan_data()
{
    QTest::addColumn<QString>("work");
    QTest::addColumn<int>("scans");

    // A full scan reads every song information file beside the songs.
    QTest::newRow("refresh-reads-song-information") << "refresh" << 1;
    // A light scan reads the playing song's information and counts the play.
    QTest::newRow("counting-a-play-writes-song-information") << "count" << 1;
    // Saving details writes one file beside the songs.
    QTest::newRow("details-saved") << "save" << 0;
}

void TestFolderWatch::ownWorkRaisesNoScan()
{
    QFETCH(QString, work);
    QFETCH(int, scans);

    const QStringList names = { "A-One.mp3", "B-Two.mp3", "C-Three.mp3" };
    addSongs(names);
    for (const QString &name : names)
        writeBytes(song(name.chopped(4) + ".INI"), InfoBefore);
    std::unique_ptr<Player> player;
    if (work == QLatin1String("count"))
        player = std::make_unique<Player>(song(QStringLiteral("B-Two.mp3")));
    // Give the player's own open time to pass before the watch begins.
    QTest::qWait(300);
    auto window = openWindow();
    WaitQuiet(*window);
    const int before = window->scans();

    if (work == QLatin1String("refresh")) {
        window->ButtonsClick(window->spbRefresh);
    } else if (work == QLatin1String("count")) {
        // The first scan counted it already; forget that so this one writes.
        window->catalogue().playedList() = TPlayedList();
        window->RefreshList(false);
        // The files are probed on another thread: the window goes on
        // handling events meanwhile, and takes the results after.
        QVERIFY(window->isScanning());
        QTRY_VERIFY(!window->isScanning());
        QCOMPARE(readBytes(song(QStringLiteral("B-Two.INI"))),
            QByteArray("[Info]\r\nUsageCount = 5\r\nPlaytime = 02:00\r\n"));
    } else {
        IniWriteString(QStringLiteral("Info"), QStringLiteral("Writer"), QStringLiteral("M. de Vries"),
            song(QStringLiteral("C-Three.INI")));
        QVERIFY(readBytes(song(QStringLiteral("C-Three.INI"))).contains("Writer=M. de Vries"));
    }
    WaitQuiet(*window);
    QCOMPARE(window->scans() - before, scans);
}

void TestFolderWatch::watchSurvivesFolderChanges_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("renamed-away-and-back") << "rename";
    QTest::newRow("removed-and-made-again") << "remove";
    QTest::newRow("replaced-by-another-folder") << "replace";
    // Back after a while, with other sizes and a song already playing, and
    // no event from inside it: only the watch's own return can show that.
    QTest::newRow("gone-and-back-changed") << "return";
}

void TestFolderWatch::watchSurvivesFolderChanges()
{
    QFETCH(QString, change);

    addSongs({ "A-One.mp3", "B-Two.mp3" });
    auto window = openWindow();
    const QString away = m_dir->filePath(QStringLiteral("away"));
    if (change == QLatin1String("rename")) {
        QVERIFY(QDir().rename(music(), away));
        QTest::qWait(1500);
        QVERIFY(QDir().rename(away, music()));
    } else if (change == QLatin1String("remove")) {
        QVERIFY(QDir(music()).removeRecursively());
        QTest::qWait(1500);
        QVERIFY(QDir().mkdir(music()));
        writeBytes(song(QStringLiteral("A-One.mp3")), QByteArray(1000, '\0'));
        writeBytes(song(QStringLiteral("B-Two.mp3")), QByteArray(1000, '\0'));
    } else if (change == QLatin1String("return")) {
        QVERIFY(QDir().rename(music(), away));
        QTest::qWait(1500);
        const QString other = m_dir->filePath(QStringLiteral("other"));
        QVERIFY(QDir().mkdir(other));
        writeBytes(other + QStringLiteral("/A-One.mp3"), QByteArray(2 * 1048576, '\0'));
        writeBytes(other + QStringLiteral("/B-Two.mp3"), QByteArray(1000, '\0'));
        Player player(other + QStringLiteral("/B-Two.mp3"));
        QTest::qWait(1500);
        QVERIFY(QDir().rename(other, music()));
        QTRY_COMPARE_WITH_TIMEOUT(window->songs().Cells(3, 1), QStringLiteral("  2.0"), LiveTimeout);
        QTRY_COMPARE_WITH_TIMEOUT(window->songs().Cells(3, 2), QStringLiteral("Lock"), LiveTimeout);
        QCOMPARE(window->windowTitle(), QStringLiteral("Discora 1.5  B - Two"));
        return;
    } else {
        const QString other = m_dir->filePath(QStringLiteral("other"));
        QVERIFY(QDir().mkdir(other));
        writeBytes(other + QStringLiteral("/A-One.mp3"), QByteArray(1000, '\0'));
        writeBytes(other + QStringLiteral("/B-Two.mp3"), QByteArray(1000, '\0'));
        QVERIFY(QDir().rename(music(), away));
        QVERIFY(QDir().rename(other, music()));
    }
    QTRY_VERIFY_WITH_TIMEOUT(window->folderWatch()->isWatching(), LiveTimeout);
    QTRY_COMPARE_WITH_TIMEOUT(window->songs().Cells(3, 2), QStringLiteral("  0.0"), LiveTimeout);
    // Let the scans the change itself raised pass.
    WaitQuiet(*window);

    Player player(song(QStringLiteral("B-Two.mp3")));
    QTRY_COMPARE_WITH_TIMEOUT(window->songs().Cells(3, 2), QStringLiteral("Lock"), LiveTimeout);
    QCOMPARE(window->windowTitle(), QStringLiteral("Discora 1.5  B - Two"));
}

void TestFolderWatch::lostEventsScanAndKeepWatching_data()
{
    QTest::addColumn<QString>("opened");
    QTest::addColumn<bool>("beyondHeld");

    // More events than the kernel queues, of a song information file (a
    // backup, or the program's own full scan, reading them): nothing acts on
    // them, none is lost, and no scan is made for them.
    QTest::newRow("information-file-beyond-the-kernels-queue") << "A-One.INI" << false;
    // More events of a song than the watch holds for the window: lost, the
    // watch is set up anew and a scan looks.
    QTest::newRow("song-beyond-what-is-held") << "A-One.mp3" << true;
}

void TestFolderWatch::lostEventsScanAndKeepWatching()
{
    QFETCH(QString, opened);
    QFETCH(bool, beyondHeld);
    addSongs({ "A-One.mp3", "B-Two.mp3" });
    writeBytes(song(QStringLiteral("A-One.INI")), InfoBefore);
    auto window = openWindow();
    WaitQuiet(*window);
    const int before = window->scans();
    const int gaps = window->folderWatch()->gaps();

    // While the window handles nothing: an open and a close a round, each
    // event 32 bytes with this name.
    bool ok = false;
    const int queued = readBytes(QByteArray("/proc/sys/fs/inotify/max_queued_events")).trimmed().toInt(&ok);
    QVERIFY(ok && queued > 0);
    // When the opener ends, up to a kernel's queue of events may still wait
    // for the watch's reader: beyond what is held by that much more.
    const int rounds = beyondHeld ? int(TFolderWatch::MostHeld / 64) + queued / 2 + 1000 : queued / 2 + 1000;
    std::unique_ptr<QProcess> opener(startOpener({ song(opened) }, rounds, 0));
    QVERIFY(opener->waitForFinished(300000));
    // The reader takes in what is left while the window still handles nothing.
    QThread::msleep(500);

    if (beyondHeld) {
        QTRY_VERIFY_WITH_TIMEOUT(window->folderWatch()->gaps() > gaps, LiveTimeout);
        QTRY_VERIFY_WITH_TIMEOUT(window->scans() > before, LiveTimeout);
    } else {
        WaitQuiet(*window);
        QCOMPARE(window->folderWatch()->gaps(), gaps);
        QCOMPARE(window->scans(), before);
    }
    QVERIFY(window->folderWatch()->isWatching());
    WaitQuiet(*window);
    Player player(song(QStringLiteral("B-Two.mp3")));
    QTRY_COMPARE_WITH_TIMEOUT(window->songs().Cells(3, 2), QStringLiteral("Lock"), LiveTimeout);
}

void TestFolderWatch::treeWatchFollowsFolders_data()
{
    // A tree library (Merel/Lantern/Merel-Lantern.flac and
    // Zandor/Zandor-Daylight.mp3), changed while the window runs with its
    // refresh timer at an hour: only the watch can make the list follow.
    QTest::addColumn<QStringList>("before"); // changes before the start
    QTest::addColumn<QStringList>("steps"); // changes while it runs
    QTest::addColumn<QStringList>("rows"); // "Artist|Title|Size|Count", trimmed

    const QString merel = "Merel|Lantern|0.0|0";
    const QStringList outside = { "mkdir|../Nightjar", "song|../Nightjar/Nightjar-Embers.ogg" };
    const QStringList nightjarPlayed = { merel, "Nightjar|Embers|Lock|1", "Zandor|Daylight|0.0|0" };
    QTest::newRow("song-added-to-a-subfolder")
        << QStringList {} << QStringList { "song|Merel/Lantern/Merel-Dusk.opus" }
        << QStringList { "Merel|Dusk|0.0|0", "|Lantern|0.0|0", "Zandor|Daylight|0.0|0" };
    QTest::newRow("song-removed-from-a-subfolder")
        << QStringList {} << QStringList { "rm|Zandor/Zandor-Daylight.mp3" } << QStringList { merel };
    QTest::newRow("song-moved-out-of-the-tree")
        << QStringList {} << QStringList { "mv|Zandor/Zandor-Daylight.mp3|../Zandor-Daylight.mp3" }
        << QStringList { merel };
    QTest::newRow("song-renamed-in-a-subfolder")
        << QStringList {} << QStringList { "mv|Zandor/Zandor-Daylight.mp3|Zandor/Zandor-Dawn.mp3" }
        << QStringList { merel, "Zandor|Dawn|0.0|0" };
    // Played under its new path: the list must have the folder's new name.
    QTest::newRow("folder-renamed-then-song-played")
        << QStringList {}
        << QStringList { "mv|Zandor|Zandor (1999)", "play|Zandor (1999)/Zandor-Daylight.mp3" }
        << QStringList { merel, "Zandor|Daylight|Lock|1" };
    // The song written as soon as its folder is: listed, its play noticed.
    QTest::newRow("song-in-a-folder-made-after-the-start")
        << QStringList {}
        << QStringList { "mkdir|Nightjar/Embers", "song|Nightjar/Embers/Nightjar-Embers.ogg",
               "play|Nightjar/Embers/Nightjar-Embers.ogg" }
        << nightjarPlayed;
    QTest::newRow("folder-of-songs-moved-in")
        << outside << QStringList { "mv|../Nightjar|Nightjar", "play|Nightjar/Nightjar-Embers.ogg" }
        << nightjarPlayed;
    QTest::newRow("song-in-a-linked-folder")
        << outside + QStringList { "link|Nightjar|../Nightjar" }
        << QStringList { "play|../Nightjar/Nightjar-Embers.ogg" } << nightjarPlayed;
    // At the top a rename is followed as in a folder library: the song
    // information goes along.
    QTest::newRow("song-at-the-top-renamed-keeps-its-information")
        << QStringList { "mv|Zandor/Zandor-Daylight.mp3|Zandor-Daylight.mp3" }
        << QStringList { "mv|Zandor-Daylight.mp3|Zandor-Dawn.mp3" }
        << QStringList { merel, "Zandor|Dawn|0.0|3" };
}

void TestFolderWatch::treeWatchFollowsFolders()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, rows);

    addSongs({ "Merel/Lantern/Merel-Lantern.flac", "Zandor/Zandor-Daylight.mp3" });
    writeBytes(song(QStringLiteral("Zandor-Daylight.INI")), InfoBefore);
    for (const QString &step : before)
        change(step);
    auto window = openWindow();
    WaitQuiet(*window);
    const int activations = window->activations();
    for (const QString &step : steps)
        change(step);
    const auto shown = [&] {
        QStringList shown;
        for (int r = 1; r < window->songs().RowCount(); ++r) {
            QStringList cells;
            for (const int c :
                { TSongList::ColArtist, TSongList::ColTitle, TSongList::ColSize, TSongList::ColCount_ })
                cells << window->songs().Cells(c, r).trimmed();
            shown << cells.join(QLatin1Char('|'));
        }
        return shown;
    };
    QTRY_COMPARE_WITH_TIMEOUT(shown(), rows, LiveTimeout);
    QCOMPARE(window->activations(), activations);
    QVERIFY(window->tmrRefresh->remainingTime() > 3000 * 1000);
}

void TestFolderWatch::quietWhileOwnDialogOpen()
{
    addSongs({ "A-One.mp3" });
    auto window = openWindow();
    // While a dialog of ours has the focus the list stays as it is (the
    // timer stops too); coming back to the main window catches up.
    QString sizeWhileOpen;
    std::unique_ptr<Player> player;
    QTimer::singleShot(50, this, [&] {
        player = std::make_unique<Player>(song(QStringLiteral("A-One.mp3")));
        WaitQuiet(*window);
        sizeWhileOpen = window->songs().Cells(3, 1);
        if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            dialog->accept();
    });
    QDialog dialog(window.get());
    dialog.exec();
    QCOMPARE(sizeWhileOpen, QStringLiteral("  0.0"));
    window->activateWindow();
    QTRY_COMPARE_WITH_TIMEOUT(window->songs().Cells(3, 1), QStringLiteral("Lock"), LiveTimeout);
}

void TestFolderWatch::renameWhilePausedShownWhenLive()
{
    // While the program's focus is elsewhere a rename moves the song's
    // information at once, but nothing is scanned; going live again shows
    // the new name, which only a full scan can.
    addSongs({ "A-One.mp3", "B-Two.mp3" });
    writeBytes(song(QStringLiteral("B-Two.INI")), InfoBefore);
    auto window = openWindow();
    window->scanControl().setPaused(true);
    WaitQuiet(*window);
    QVERIFY(QFile::rename(song(QStringLiteral("B-Two.mp3")), song(QStringLiteral("C-Three.mp3"))));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(song(QStringLiteral("C-Three.INI"))), LiveTimeout);
    WaitQuiet(*window);
    QCOMPARE(window->songs().Cells(1, 2), QStringLiteral("Two"));
    window->scanControl().setPaused(false);
    QTRY_COMPARE_WITH_TIMEOUT(window->songs().Cells(1, 2), QStringLiteral("Three"), LiveTimeout);
    QCOMPARE(window->songs().Cells(5, 2), QStringLiteral("    3"));
}

void TestFolderWatch::folderChangeMovesWatch()
{
    // Another music folder in the settings: the old one is no longer
    // watched, the new one is.
    const QString first = m_dir->filePath(QStringLiteral("first"));
    const QString second = m_dir->filePath(QStringLiteral("second"));
    QVERIFY(QDir().mkdir(first) && QDir().mkdir(second));
    writeBytes(first + QStringLiteral("/A-One.mp3"), "x");
    writeBytes(second + QStringLiteral("/B-Two.mp3"), "x");
    int touched = 0;
    TFolderWatch watch;
    connect(&watch, &TFolderWatch::touched, this, [&] { ++touched; });
    watch.setFolder(QFile::encodeName(first));
    watch.setFolder(QFile::encodeName(second));
    QVERIFY(watch.isWatching());

    // The watch reads its events as they come: no settling to wait for.
    std::unique_ptr<QProcess> old(startOpener({ first + QStringLiteral("/A-One.mp3") }, 5, 0));
    QVERIFY(old->waitForFinished());
    QTest::qWait(300);
    QCOMPARE(touched, 0);
    std::unique_ptr<QProcess> opener(startOpener({ second + QStringLiteral("/B-Two.mp3") }, 5, 0));
    QTRY_VERIFY_WITH_TIMEOUT(touched >= 1, LiveTimeout);
}

void TestFolderWatch::opensLeftOutWhileTreeIsWalked()
{
    // The songs' opens left out while the watch still walks a large tree:
    // the folders it watched before are asked again, those after take the
    // new mask, so opens of its songs bring nothing, even before the walk
    // is taken.
    QStringList songs;
    for (int i = 0; i < 3000; ++i)
        songs << QStringLiteral("Band/Album %1/A-Song.mp3").arg(i);
    addSongs(songs);
    int touched = 0;
    TFolderWatch watch;
    connect(&watch, &TFolderWatch::touched, this, [&] { ++touched; });
    watch.setTree(true);
    watch.setFolder(QFile::encodeName(music()));
    // The folder watched, and the walk below it under way (past its first
    // folders; a walk not started yet takes the new mask from the first).
    QVERIFY(watch.isWatching());
    QThread::msleep(5);
    watch.watchOpens(false);
    // (Later than the walk on a slow machine: folders not watched yet bring
    // nothing either.)
    QThread::msleep(2000);
    for (const QString &name : songs)
        QVERIFY(QFile(song(name)).open(QIODevice::ReadOnly));
    QTRY_VERIFY_WITH_TIMEOUT(watch.watchesEveryFolder(), LiveTimeout);
    QTest::qWait(500);
    QCOMPARE(touched, 0);
    QCOMPARE(watch.folderCount(), 3002);
}

QTEST_MAIN(TestFolderWatch)
#include "tst_FolderWatch.moc"
