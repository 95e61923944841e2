// How long the text viewer takes to show large text files, and how much
// memory it needs: a statistics report of 100,000 songs (about 8 MB), one
// at the viewer's 16 MiB limit, a 200 MB file and a 200 MB file without a
// single line break. Prints one row per file.
//
//   build/bench/bench_viewer [folder for the files, default /tmp]

#include "FQLXLogF.h"
#include "QLXApplication.h"
#include "UQLXMemo.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>

#include <cstdio>
#include <sys/resource.h>

namespace
{

void makeFile(const QString &path, qint64 bytes, int lineLength)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    QByteArray chunk;
    if (lineLength > 0) {
        const QByteArray line = " X " + QByteArray(lineLength - 5, 'a') + "\r\n";
        while (chunk.size() < (1 << 20))
            chunk += line;
    } else {
        chunk = QByteArray(1 << 20, 'b');
    }
    for (qint64 written = 0; written < bytes; written += chunk.size())
        f.write(chunk);
}

long peakRssMb()
{
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss / 1024;
}

} // namespace

int main(int argc, char **argv)
{
    TQLXApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp");
    struct Case {
        const char *name;
        qint64 bytes;
        int lineLength;
    };
    const Case cases[] = {
        { "report-100000-songs", 8 << 20, 80 },
        { "just-over-16MiB", 16 << 20, 80 },
        { "200MB-lines", 200ll << 20, 80 },
        { "200MB-one-line", 200ll << 20, 0 },
    };
    std::printf("%-22s %10s %10s %9s %12s\n", "file", "read ms", "shown ms", "lines", "peak RSS MB");
    for (const Case &c : cases) {
        const QString path = folder + QStringLiteral("/bench_viewer_") + QString::fromLatin1(c.name)
            + QStringLiteral(".txt");
        makeFile(path, c.bytes, c.lineLength);
        QElapsedTimer t;
        t.start();
        TQLXLogFile log;
        log.setViewFile(path);
        const qint64 readMs = t.elapsed();
        TfrmLogFile form;
        form.show();
        form.setLines(log.Lines());
        QCoreApplication::processEvents();
        const qint64 shownMs = t.elapsed();
        std::printf("%-22s %10lld %10lld %9lld %12ld%s\n", c.name, static_cast<long long>(readMs),
            static_cast<long long>(shownMs), static_cast<long long>(log.Lines().size()), peakRssMb(),
            log.LinesComplete() ? "" : "  (cut, warning)");
        QFile::remove(path);
    }
    return 0;
}
