// Where the system refuses inotify (its limits reached, a file system
// without it), the program runs on its refresh timer as before and tells
// no one but the debug log. The refusal is real: the test runs in a user
// namespace of its own, whose inotify limits it sets to zero; the limits of
// the rest of the machine are not touched.

#include "FolderWatch.h"
#include "LiveWindow.h"
#include "TestSupport.h"
#include "UDSCMain.h"

#include <QApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

using TestSupport::writeBytes;

namespace
{

bool writeFile(const char *path, const QByteArray &text)
{
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, text.constData(), size_t(text.size())) == text.size();
    ::close(fd);
    return ok;
}

// Must run before the process has a second thread. Returns why it could
// not, or "" once this process is root of a user namespace of its own.
QString enterOwnUserNamespace()
{
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER) != 0)
        return QStringLiteral("no user namespace: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    if (!writeFile("/proc/self/uid_map", "0 " + QByteArray::number(uid) + " 1")
        || !writeFile("/proc/self/setgroups", "deny")
        || !writeFile("/proc/self/gid_map", "0 " + QByteArray::number(gid) + " 1"))
        return QStringLiteral("cannot map ids in the user namespace");
    return QString();
}

// Sets one of the user namespace's inotify limits (/proc/sys/user/NAME)
// while it lives, and puts the old value back.
class Limit
{
public:
    Limit(const QByteArray &name, const QByteArray &value)
        : m_path("/proc/sys/user/" + name)
        , m_old(TestSupport::readBytes(m_path).trimmed())
        , m_set(writeFile(m_path.constData(), value))
    {
    }
    ~Limit() { writeFile(m_path.constData(), m_old); }
    bool isSet() const { return m_set; }

private:
    const QByteArray m_path, m_old;
    const bool m_set;
};

QStringList watchLog;

void collectWatchLog(QtMsgType, const QMessageLogContext &context, const QString &message)
{
    if (context.category && std::strcmp(context.category, "discora.watch") == 0)
        watchLog << message;
}

} // namespace

class TestFolderWatchRefused : public QObject
{
    Q_OBJECT
public:
    explicit TestFolderWatchRefused(QString notRefusable)
        : m_notRefusable(std::move(notRefusable))
    {
    }

private Q_SLOTS:
    void timerStillFindsPlays_data();
    void timerStillFindsPlays();
    void renamesInUnwatchedFoldersFollowed();

private:
    QString m_notRefusable;
};

void TestFolderWatchRefused::timerStillFindsPlays_data()
{
    QTest::addColumn<QByteArray>("limit");
    QTest::addColumn<QString>("logged");
    QTest::newRow("no inotify instance") << QByteArray("max_inotify_instances") << "inotify unavailable";
    QTest::newRow("no watch") << QByteArray("max_inotify_watches") << "cannot watch";
}

void TestFolderWatchRefused::timerStillFindsPlays()
{
    QFETCH(QByteArray, limit);
    QFETCH(QString, logged);
    if (!m_notRefusable.isEmpty())
        QSKIP(qPrintable(m_notRefusable));
    const Limit none(limit, "0");
    QVERIFY(none.isSet());

    QTemporaryDir dir;
    const QString music = dir.filePath(QStringLiteral("music"));
    QVERIFY(QDir().mkdir(music));
    writeBytes(music + QStringLiteral("/A-One.mp3"), QByteArray(1000, '\0'));
    writeBytes(music + QStringLiteral("/B-Two.mp3"), QByteArray(1000, '\0'));
    writeBytes(dir.filePath(QStringLiteral("discora.INI")), "[MP3]\r\nDirectory=" + music.toUtf8() + "\r\n");

    watchLog.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectWatchLog);
    QLoggingCategory::setFilterRules(QStringLiteral("discora.watch.debug=true"));
    TfrmMain window(dir.filePath(QStringLiteral("discora.INI")));
    window.tmrRefresh->setInterval(300);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTRY_VERIFY(window.scans() >= 1 && !window.isScanning());
    QCOMPARE(window.songs().RowCount(), 3);

    // Only the debug log hears of it: no window but the main one.
    QTRY_VERIFY(watchLog.filter(logged).size() == 1);
    for (QWidget *widget : QApplication::topLevelWidgets())
        QVERIFY2(widget == &window || !widget->isVisible(), qPrintable(widget->objectName()));
    QVERIFY(!window.folderWatch()->isWatching());

    // The timer finds the song a player opens, as it always did.
    TestSupport::FileHolder player(music + QStringLiteral("/B-Two.mp3"));
    QTRY_COMPARE_WITH_TIMEOUT(window.songs().Cells(TSongList::ColSize, 2), QStringLiteral("Lock"), 10000);
    QCOMPARE(window.windowTitle(), QStringLiteral("Discora 1.5  B - Two"));
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);
}

// A tree of more folders than the system gives watches: songs renamed in
// the folders left unwatched keep their information all the same, through
// the index of the full scan after.
void TestFolderWatchRefused::renamesInUnwatchedFoldersFollowed()
{
    if (!m_notRefusable.isEmpty())
        QSKIP(qPrintable(m_notRefusable));
    // The music folder and one folder below it.
    const Limit two("max_inotify_watches", "2");
    QVERIFY(two.isSet());

    QTemporaryDir dir;
    const QString music = dir.filePath(QStringLiteral("music"));
    const QString info = dir.filePath(QStringLiteral("info"));
    const QStringList artists = { "Merel", "Nightjar", "Zandor" };
    for (const QString &artist : artists) {
        QVERIFY(QDir().mkpath(music + u'/' + artist) && QDir().mkpath(info + u'/' + artist));
        writeBytes(music + u'/' + artist + QStringLiteral("/Song.mp3"), QByteArray(1000, '\0'));
        writeBytes(info + u'/' + artist + QStringLiteral("/Song.INI"), "[Info]\r\nUsageCount=5\r\n");
    }
    writeBytes(dir.filePath(QStringLiteral("discora.INI")),
        "[MP3]\r\nDirectory=" + music.toUtf8() + "\r\nINI_Directory=" + info.toUtf8()
            + "\r\nLibrary=Tree\r\n");
    auto window = OpenLiveWindow(dir.filePath(QStringLiteral("discora.INI")));
    QVERIFY(window->folderWatch()->isWatching());
    QTRY_VERIFY(!window->folderWatch()->watchesEveryFolder());
    window->RefreshList(true);
    WaitQuiet(*window);

    for (const QString &artist : artists)
        QVERIFY(QFile::rename(music + u'/' + artist + QStringLiteral("/Song.mp3"),
            music + u'/' + artist + QStringLiteral("/Song (live).mp3")));
    WaitQuiet(*window);
    window->RefreshList(true);
    WaitQuiet(*window);
    for (const QString &artist : artists) {
        QCOMPARE(TestSupport::readBytes(info + u'/' + artist + QStringLiteral("/Song (live).INI")),
            QByteArray("[Info]\r\nUsageCount=5\r\n"));
        QVERIFY(!QFile::exists(info + u'/' + artist + QStringLiteral("/Song.INI")));
    }
}

int main(int argc, char **argv)
{
    // Before QApplication starts any thread.
    const QString notRefusable = enterOwnUserNamespace();
    QApplication app(argc, argv);
    TestFolderWatchRefused test(notRefusable);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_FolderWatchRefused.moc"
