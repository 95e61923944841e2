// The system information behind the version message: the kernel version
// taken apart, the texts of every index and the four lines of the message.

#include "QLXSysInfo.h"
#include "TestSupport.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSysInfo : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void kernelRelease_data();
    void kernelRelease();
    void getInfo_data();
    void getInfo();
    void versionInformation();
    void runningSystem();
};

void TestSysInfo::kernelRelease_data()
{
    QTest::addColumn<QString>("release");
    QTest::addColumn<QString>("fullText"); // index 7, name "Linux"

    QTest::newRow("debian") << "6.1.0-18-amd64"
                            << "Linux (6.1 Build 0)";
    QTest::newRow("patch-level") << "5.15.133.1-microsoft-standard-WSL2"
                                 << "Linux (5.15 Build 133)";
    QTest::newRow("two-parts") << "6.8"
                               << "Linux (6.8 Build 0)";
    QTest::newRow("rc") << "6.10.0-rc3"
                        << "Linux (6.10 Build 0)";
    QTest::newRow("old-kernel") << "3.10.0-1160.el7.x86_64"
                                << "Linux (3.10 Build 0)";
    QTest::newRow("not-a-version") << "unknown"
                                   << "Linux (0.0 Build 0)";
    QTest::newRow("empty") << ""
                           << "Linux (0.0 Build 0)";
    QTest::newRow("beyond-a-byte") << "300.1.70000"
                                   << "Linux (255.1 Build 70000)";
}

void TestSysInfo::kernelRelease()
{
    QFETCH(QString, release);
    QFETCH(QString, fullText);
    const TQLXSysInfo info(release, QStringLiteral("Linux"), QString());
    QCOMPARE(info.GetInfo(7), fullText);
}

void TestSysInfo::getInfo_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");

    QTest::newRow("1-major") << 1 << "5";
    QTest::newRow("2-minor") << 2 << "15";
    QTest::newRow("3-no-dos") << 3 << "0";
    QTest::newRow("4-no-dos") << 4 << "0";
    QTest::newRow("5-build") << 5 << "133";
    QTest::newRow("6-name") << 6 << "Debian GNU/Linux 12 (bookworm)";
    QTest::newRow("7-full") << 7 << "Debian GNU/Linux 12 (bookworm) (5.15 Build 133)";
    QTest::newRow("8-bits") << 8 << QString::number(sizeof(void *) * 8) + " bits";
    QTest::newRow("10-exe-date") << 10 << "14-01-2001 13:05";
    QTest::newRow("0-empty") << 0 << "";
    QTest::newRow("11-empty") << 11 << "";
    QTest::newRow("negative-empty") << -1 << "";
}

void TestSysInfo::getInfo()
{
    QFETCH(int, index);
    QFETCH(QString, text);
    QTemporaryDir dir;
    const QString exe = dir.filePath(QStringLiteral("discora"));
    TestSupport::writeBytes(exe, "binary");
    QFile f(exe);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(
        f.setFileTime(QDateTime(QDate(2001, 1, 14), QTime(13, 5, 40)), QFileDevice::FileModificationTime));
    f.close();
    const TQLXSysInfo info(
        QStringLiteral("5.15.133-x"), QStringLiteral("Debian GNU/Linux 12 (bookworm)"), exe);
    QCOMPARE(info.GetInfo(index), text);
}

void TestSysInfo::versionInformation()
{
    const TQLXSysInfo info(QStringLiteral("6.1.0-18-amd64"), QStringLiteral("Debian GNU/Linux 12 (bookworm)"),
        QStringLiteral("/nonexistent/x"));
    const QStringList lines = info.VersionInformation().split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 4);
#if defined(__GNUC__) && !defined(__clang__)
    QCOMPARE(lines[0],
        QStringLiteral("Compiler: GCC ") + QStringLiteral(__VERSION__).section(u' ', 0, 0) + " ("
            + QString::number(sizeof(void *) * 8) + " bits)");
#endif
    QCOMPARE(lines[1], QStringLiteral("System: Debian GNU/Linux 12 (bookworm) (6.1 Build 0)"));
    // An unreadable program file shows the earliest date.
    QCOMPARE(lines[2], QStringLiteral("Executable: 01-01-1900 00:00"));
    QCOMPARE(lines[3], QStringLiteral("QLX-Library: 5.1.00 31-01-2002"));
}

void TestSysInfo::runningSystem()
{
    // The running kernel, as the system itself reports it.
    QFile release(QStringLiteral("/proc/sys/kernel/osrelease"));
    QVERIFY(release.open(QIODevice::ReadOnly));
    const QString version = QString::fromLatin1(release.readAll().trimmed());
    const TQLXSysInfo info;
    QCOMPARE(info.GetInfo(1) + "." + info.GetInfo(2), version.section(u'.', 0, 1));
    // The distribution's name and version as /etc/os-release gives them.
    QFile osRelease(QStringLiteral("/etc/os-release"));
    if (osRelease.open(QIODevice::ReadOnly)) {
        QString id, versionId;
        for (const QByteArray &line : osRelease.readAll().split('\n')) {
            if (line.startsWith("ID="))
                id = QString::fromUtf8(line.mid(3)).remove(u'"');
            if (line.startsWith("VERSION_ID="))
                versionId = QString::fromUtf8(line.mid(11)).remove(u'"');
        }
        if (id == "debian" && versionId == "12")
            QCOMPARE(info.GetInfo(6), QStringLiteral("Debian 12"));
    }
    QVERIFY(!info.GetInfo(6).isEmpty());
    QVERIFY2(info.GetInfo(10) != QStringLiteral("01-01-1900 00:00"), "the test program's own date");
}

QTEST_GUILESS_MAIN(TestSysInfo)
#include "tst_QLXSysInfo.moc"
