// What the players beside the sweep cost: the real main window (offscreen)
// over a library made by generate_library, once with no player to ask (no
// session bus, no MPD) and four songs held open by processes the sweep
// sees, and once with three MPRIS players on a private session bus and an
// MPD over TCP connected, playing those four songs. Each phase runs in a child process of its own,
// alternately, and reports the median light scan and the CPU the window uses at rest (its refresh timer and
// folder watch running, as on a desktop).
//
//   bench_sources --lib DIR [--runs R] [--rest S] [--rounds K]
//
// DIR is a library made by generate_library (DIR/music and DIR/info). The
// song information folder is copied first, so the library is left as it
// was; the songs the players play are counted there, in the copy.

#include "BenchLibrary.h"
#include "MpdSource.h"
#include "MprisSource.h"
#include "QLXApplication.h"
#include "ScanControl.h"
#include "UDSCMain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/resource.h>
#include <vector>

namespace
{

double cpuSeconds()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void waitUntil(const std::function<bool()> &done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// One phase, in this process: prints "light-scan-median-ms cpu-percent".
int child(const QString &lib, int runs, int rest, bool players)
{
    QTemporaryDir dir;
    const QString settings = LibraryCopySettings(lib, dir);
    if (settings.isEmpty())
        return 1;

    TfrmMain window(settings);
    window.show();
    window.activateWindow();
    waitUntil([&] { return window.scans() >= 1 && !window.isScanning(); }, 180000);
    if (players) {
        // All four heard from before anything is timed.
        waitUntil(
            [&] {
                return window.scanControl().mpris()->heldPaths().size() == 3
                    && !window.scanControl().mpd()->heldTails().empty();
            },
            30000);
        if (window.scanControl().mpris()->heldPaths().size() != 3
            || window.scanControl().mpd()->heldTails().empty()) {
            std::fprintf(stderr, "bench_sources: the players were not all heard from\n");
            return 1;
        }
    }
    waitUntil([&] { return !window.isScanning(); }, 60000);
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        window.RefreshList(false);
        waitUntil([&] { return !window.isScanning(); }, 60000);
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    const double before = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    // Resting: the event loop sleeps until the timer, the watch or a
    // player wakes it.
    QEventLoop resting;
    QTimer::singleShot(rest * 1000, &resting, &QEventLoop::quit);
    resting.exec();
    const double cpu = (cpuSeconds() - before) / (double(clock.elapsed()) / 1000.0) * 100.0;
    std::printf("%.2f %.3f\n", times[times.size() / 2], cpu);
    return 0;
}

QByteArray silentMp3()
{
    const QByteArray frame = QByteArray("\xff\xfb\x90\xc0", 4) + QByteArray(413, '\0');
    return frame.repeated(2300 * 10); // ten minutes
}

} // namespace

int main(int argc, char **argv)
{
    QString lib;
    int runs = 15, rest = 60, rounds = 2;
    bool isChild = false, players = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--child") == 0)
            isChild = true;
        else if (std::strcmp(argv[i], "--players") == 0)
            players = true;
        else if (i + 1 < argc && std::strcmp(argv[i], "--lib") == 0)
            lib = QString::fromLocal8Bit(argv[++i]);
        else if (i + 1 < argc && std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (i + 1 < argc && std::strcmp(argv[i], "--rest") == 0)
            rest = std::max(1, std::atoi(argv[++i]));
        else if (i + 1 < argc && std::strcmp(argv[i], "--rounds") == 0)
            rounds = std::max(1, std::atoi(argv[++i]));
    }
    if (lib.isEmpty()) {
        std::fprintf(stderr, "usage: bench_sources --lib DIR [--runs R] [--rest S] [--rounds K]\n");
        return 2;
    }
    if (isChild) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        TQLXApplication app(argc, argv);
        return child(lib, runs, rest, players);
    }

    QCoreApplication app(argc, argv);
    const QString music = lib + QStringLiteral("/music");
    QStringList songs = QDir(music).entryList({ QStringLiteral("*.mp3") }, QDir::Files, QDir::Name);
    if (songs.size() < 4) {
        std::fprintf(stderr, "bench_sources: no library in %s\n", qPrintable(lib));
        return 1;
    }
    QTemporaryDir dir;
    // A session bus of its own, with three players on it.
    QProcess bus;
    bus.start(QStringLiteral("dbus-daemon"),
        { QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1") });
    if (!bus.waitForReadyRead(10000))
        return 1;
    const QByteArray address = bus.readLine().trimmed();
    QProcessEnvironment busEnv = QProcessEnvironment::systemEnvironment();
    busEnv.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromUtf8(address));
    std::vector<std::unique_ptr<QProcess>> stubs;
    for (int i = 0; i < 3; ++i) {
        auto stub = std::make_unique<QProcess>();
        stub->setProcessEnvironment(busEnv);
        stub->start(QStringLiteral(MPRIS_STUB),
            { QStringLiteral("bench%1").arg(i), QStringLiteral("Playing"),
                QStringLiteral("file://") + music + QLatin1Char('/') + songs[i] });
        if (!stub->waitForReadyRead(10000))
            return 1;
        stubs.push_back(std::move(stub));
    }
    // MPD over TCP, playing its own copy of a fourth song.
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    QDir().mkpath(dir.filePath(QStringLiteral("mpd/music")));
    QFile copy(dir.filePath(QStringLiteral("mpd/music/")) + songs[3]);
    if (!copy.open(QIODevice::WriteOnly) || copy.write(silentMp3()) < 0)
        return 1;
    copy.close();
    const QString conf = dir.filePath(QStringLiteral("mpd/mpd.conf"));
    QFile confFile(conf);
    if (!confFile.open(QIODevice::WriteOnly))
        return 1;
    const QByteArray mpdDir = QFile::encodeName(dir.filePath(QStringLiteral("mpd")));
    confFile.write("music_directory \"" + mpdDir + "/music\"\ndb_file \"" + mpdDir + "/db\"\nlog_file \""
        + mpdDir + "/log\"\nbind_to_address \"127.0.0.1\"\nport \"" + QByteArray::number(port)
        + "\"\naudio_output {\n type \"null\"\n name \"null\"\n}\n");
    confFile.close();
    QProcess mpd;
    mpd.start(QStringLiteral("mpd"), { QStringLiteral("--no-daemon"), conf });
    const auto mpc = [port](const QStringList &args) {
        return QProcess::execute(QStringLiteral("mpc"),
                   QStringList { QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                       QString::number(port) }
                       + args)
            == 0;
    };
    QElapsedTimer clock;
    clock.start();
    while (!mpc({ QStringLiteral("-q"), QStringLiteral("status") }) && clock.elapsed() < 15000)
        QThread::msleep(100);
    if (!mpc({ QStringLiteral("-q"), QStringLiteral("-w"), QStringLiteral("update") })
        || !mpc({ QStringLiteral("-q"), QStringLiteral("add"), songs[3] })
        || !mpc({ QStringLiteral("-q"), QStringLiteral("play") })) {
        std::fprintf(stderr, "bench_sources: MPD did not play\n");
        return 1;
    }

    std::printf("%-34s %16s %14s\n", "phase", "light scan (ms)", "CPU at rest");
    std::vector<double> scans[2], cpus[2];
    for (int round = 0; round < rounds; ++round) {
        for (const bool withPlayers : { false, true }) {
            QProcess phase;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
            env.insert(QStringLiteral("MPD_HOST"), dir.filePath(QStringLiteral("no-mpd-here")));
            if (withPlayers) {
                env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromUtf8(address));
                env.insert(QStringLiteral("MPD_HOST"), QStringLiteral("127.0.0.1"));
                env.insert(QStringLiteral("MPD_PORT"), QString::number(port));
            }
            // Today's way for comparison: the same four songs held open by
            // processes the sweep sees.
            std::vector<std::unique_ptr<QProcess>> holders;
            for (int i = 0; i < 4 && !withPlayers; ++i) {
                auto holder = std::make_unique<QProcess>();
                holder->start(QStringLiteral("sh"),
                    { QStringLiteral("-c"), QStringLiteral("exec sleep 100000 < \"$1\""),
                        QStringLiteral("sh"), music + QLatin1Char('/') + songs[i] });
                holder->waitForStarted();
                holders.push_back(std::move(holder));
            }
            phase.setProcessEnvironment(env);
            phase.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            QStringList args { QStringLiteral("--child"), QStringLiteral("--lib"), lib,
                QStringLiteral("--runs"), QString::number(runs), QStringLiteral("--rest"),
                QString::number(rest) };
            if (withPlayers)
                args << QStringLiteral("--players");
            phase.start(QCoreApplication::applicationFilePath(), args);
            phase.waitForFinished(-1);
            for (auto &holder : holders) {
                holder->kill();
                holder->waitForFinished();
            }
            double scan = 0, cpu = 0;
            if (phase.exitCode() != 0
                || std::sscanf(phase.readAll().constData(), "%lf %lf", &scan, &cpu) != 2) {
                std::fprintf(stderr, "bench_sources: a phase failed\n");
                return 1;
            }
            scans[withPlayers].push_back(scan);
            cpus[withPlayers].push_back(cpu);
            std::printf("%-34s %16.2f %13.2f%%\n",
                withPlayers ? "3 MPRIS players + MPD connected" : "no bus, no MPD; 4 songs held open", scan,
                cpu);
            std::fflush(stdout);
        }
    }
    for (auto &stub : stubs) {
        stub->kill();
        stub->waitForFinished();
    }
    mpd.terminate();
    mpd.waitForFinished();
    bus.kill();
    bus.waitForFinished();
    return 0;
}
