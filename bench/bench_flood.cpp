// The window while another program reads every song of the folder, as a
// desktop indexer or a backup does: the real main window (offscreen) over a
// library made by generate_library, with `find MUSIC -type f -exec cat {} +`
// running in a loop beside it. Reports how long the window's event loop was
// kept from handling events, how long the about dialog took to open, how
// many songs were wrongly counted as played, and how long a real play (a
// child holding one song open, started half-way) took to show as "Lock".
//
//   bench_flood --lib DIR [--seconds S]
//
// DIR is a library made by generate_library (DIR/music and DIR/info). The
// song information folder is copied first, so the library is left as it was.

#include "BenchLibrary.h"
#include "QLXApplication.h"
#include "ScanControl.h"
#include "UDSCMain.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

} // namespace

int main(int argc, char **argv)
{
    QString lib;
    int seconds = 30;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--lib") == 0)
            lib = QString::fromLocal8Bit(argv[++i]);
        else if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::max(4, std::atoi(argv[++i]));
    }
    if (lib.isEmpty()) {
        std::fprintf(stderr, "usage: bench_flood --lib DIR [--seconds S]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TQLXApplication app(argc, argv);
    QTemporaryDir dir;
    const QString music = lib + QStringLiteral("/music");
    const QString settings = LibraryCopySettings(lib, dir);
    if (settings.isEmpty())
        return 1;

    TfrmMain window(settings);
    window.show();
    window.activateWindow();
    QElapsedTimer clock;
    clock.start();
    while ((window.scans() < 1 || window.isScanning()) && clock.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const int songs = window.songs().RowCount() - 1;
    if (songs < 2) {
        std::fprintf(stderr, "bench_flood: no songs in %s\n", qPrintable(music));
        return 1;
    }
    // Let the first scan's follow-ups pass.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const int scansBefore = window.scans();

    QProcess reader;
    reader.start(QStringLiteral("sh"),
        { QStringLiteral("-c"),
            QStringLiteral("while :; do find \"$1\" -type f -name '*.mp3' -exec cat {} + >/dev/null; done"),
            QStringLiteral("sh"), music });
    reader.waitForStarted();

    // The event loop's gaps: a 10 ms timer that notes how late it comes.
    std::vector<double> gaps;
    QElapsedTimer tick;
    tick.start();
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        gaps.push_back(double(tick.nsecsElapsed()) / 1e6);
        tick.restart();
    });
    ticker.start(10);

    // Every three seconds the about dialog is opened (its opening makes the
    // main window inactive, which scans) and closed once it shows.
    std::vector<double> aboutMs;
    QTimer opener;
    QObject::connect(&opener, &QTimer::timeout, [&] {
        QElapsedTimer shown;
        shown.start();
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (modal && modal->isVisible()) {
                aboutMs.push_back(double(shown.nsecsElapsed()) / 1e6);
                modal->reject();
            }
        });
        poll.start(1);
        window.ButtonsClick(window.spbAbout);
        window.activateWindow(); // offscreen, nothing hands the focus back
        tick.restart(); // the time spent in the dialog is not a stall
    });
    opener.start(3000);

    // Half-way a player starts on the song in the middle of the list.
    const int playedRow = songs / 2;
    const QString playedName = QString::fromUtf8(window.catalogue().BuildSelectedFile(playedRow));
    QProcess player;
    double playShownMs = -1;
    QElapsedTimer sincePlay;
    QElapsedTimer run;
    run.start();
    while (run.elapsed() < qint64(seconds) * 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (player.state() == QProcess::NotRunning && run.elapsed() >= qint64(seconds) * 500) {
            player.start(QStringLiteral("sh"),
                { QStringLiteral("-c"), QStringLiteral("exec sleep 600 < \"$1\""), QStringLiteral("sh"),
                    music + QLatin1Char('/') + playedName });
            player.waitForStarted();
            sincePlay.start();
        }
        if (playShownMs < 0 && sincePlay.isValid()
            && window.songs().Cells(3, playedRow) == QLatin1String("Lock"))
            playShownMs = double(sincePlay.nsecsElapsed()) / 1e6;
    }
    ticker.stop();
    opener.stop();
    reader.kill();
    reader.waitForFinished();
    QProcess::execute(QStringLiteral("pkill"), { QStringLiteral("-f"), QStringLiteral("cat ") + music });
    player.kill();
    player.waitForFinished();

    int counted = 0;
    for (int r = 1; r <= songs; ++r)
        if (r != playedRow && window.songs().Cells(3, r) == QLatin1String("Lock"))
            ++counted;
    const qsizetype played = window.catalogue().playedList().count();
    std::printf("%d s of a reader of every song beside the window, %d songs, %d scans\n", seconds, songs,
        window.scans() - scansBefore);
    std::printf("  event loop kept waiting    median %7.1f ms  99th %7.1f ms  worst %7.1f ms\n",
        percentile(gaps, 0.5), percentile(gaps, 0.99), percentile(gaps, 1.0));
    std::printf("  about dialog shown after   median %7.1f ms  worst %7.1f ms  (%zu times)\n",
        percentile(aboutMs, 0.5), percentile(aboutMs, 1.0), aboutMs.size());
    std::printf("  songs counted as played    %lld (the player's song included), %d others shown \"Lock\"\n",
        static_cast<long long>(played), counted);
    std::printf("  the player's song \"Lock\" after %.0f ms\n", playShownMs);
    std::printf("  (window activated %d times, deactivated %d times; watch %s)\n", window.activations(),
        window.deactivations(), window.scanControl().isPaused() ? "paused" : "live");
    return 0;
}
