// The single-instance guard with real processes: this test program, started
// again with "--instance-helper", runs the guard like the program does and
// reports on its standard output what it became ("first", "second",
// "unguarded") and each request to come to the front ("raise"). Copies of
// it under chosen file names stand for copies of the program.

#include "QLXInstance.h"
#include "TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <memory>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace
{

int runHelper(int argc, char *argv[])
{
    // A desktop session's usual limit on open files, whatever the test runs under.
    rlimit files;
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur > 1024) {
        files.rlim_cur = 1024;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
    QApplication app(argc, argv);
    TQLXInstanceGuard guard;
    const TQLXInstanceGuard::TOutcome outcome = guard.Start();
    QFile out;
    out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
    const char *words[] = { "first\n", "second\n", "unguarded\n" };
    out.write(words[outcome]);
    if (outcome == TQLXInstanceGuard::Second)
        return 0;
    QObject::connect(&guard, &TQLXInstanceGuard::raiseRequested, [&] { out.write("raise\n"); });
    // Runs until its standard input closes (the test ends it) or it is killed.
    QSocketNotifier stdinClosed(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&stdinClosed, &QSocketNotifier::activated, [&] {
        char c;
        if (::read(STDIN_FILENO, &c, 1) <= 0)
            app.quit();
    });
    return app.exec();
}

// One copy of the helper, started under the program file name given.
class Copy
{
public:
    Copy(const QString &program, const QProcessEnvironment &env)
    {
        m_process.setProgram(program);
        m_process.setArguments({ QStringLiteral("--instance-helper"), QStringLiteral("-platform"),
            QStringLiteral("offscreen") });
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~Copy()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.closeWriteChannel();
            if (!m_process.waitForFinished(5000)) {
                m_process.kill();
                m_process.waitForFinished();
            }
        }
    }
    void start() { m_process.start(); }
    QProcess &process() { return m_process; }
    // Every word it has written so far.
    QStringList words()
    {
        m_output += m_process.readAllStandardOutput();
        return QString::fromLatin1(m_output).split(u'\n', Qt::SkipEmptyParts);
    }
    QString outcome()
    {
        const QStringList w = words();
        return w.isEmpty() ? QString() : w.first();
    }
    int raises() { return int(words().count(QStringLiteral("raise"))); }

private:
    QProcess m_process;
    QByteArray m_output;
};

// Raw connections to a copy's channel, as any local program can make them;
// closed when it goes out of scope.
struct LocalClients {
    std::vector<int> fds;
    ~LocalClients()
    {
        for (const int fd : fds)
            ::close(fd);
    }
    // Connects once more, waiting a while when the channel's queue is full.
    bool connectTo(const QString &socketPath)
    {
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(socketPath).constData(), sizeof address.sun_path);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const timeval patience = { 10, 0 };
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
            ::close(fd);
            return false;
        }
        fds.push_back(fd);
        return true;
    }
    // Sends bytes on the newest connection, times over; true when the other
    // side closed it before all was sent.
    bool sendUntilClosed(const QByteArray &bytes, int times)
    {
        for (int i = 0; i < times; ++i) {
            for (qsizetype done = 0; done < bytes.size();) {
                const ssize_t n
                    = ::send(fds.back(), bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
                if (n <= 0)
                    return errno == EPIPE || errno == ECONNRESET;
                done += n;
            }
        }
        return false;
    }
};

// The resident memory of process pid in KiB (0 when it cannot be read).
qint64 residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
    return text.mid(text.indexOf("VmRSS:") + 6).trimmed().split(' ').first().toLongLong();
}

} // namespace

class TestInstanceGuard : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void copies_data();
    void copies();
    void staleChannel_data();
    void staleChannel();
    void startedTogether();
    void channelPrivateToUser();
    void otherUserNeitherBlocksNorRaises();
    void channelBlockedRunsUnguarded();
    void longNameStillGuarded();
    void channelName_data();
    void channelName();

private:
    // A copy of this test program named name in its own folder sub.
    QString programCopy(const QString &sub, const QString &name);
    // The channel of "discora" in the runtime folder, without extension.
    QString channel() const;
    std::unique_ptr<QTemporaryDir> m_dir;
    QProcessEnvironment m_env;
};

void TestInstanceGuard::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    const QString runtime = m_dir->filePath(QStringLiteral("runtime"));
    QVERIFY(QDir().mkdir(runtime));
    QVERIFY(QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    m_env = QProcessEnvironment::systemEnvironment();
    m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
}

void TestInstanceGuard::cleanup()
{
    m_dir.reset();
}

QString TestInstanceGuard::programCopy(const QString &sub, const QString &name)
{
    const QString folder = m_dir->filePath(sub);
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + name;
    if (!QFile::exists(path) && !QFile::copy(QCoreApplication::applicationFilePath(), path))
        qWarning("cannot copy the test program to %s", qPrintable(path));
    return path;
}

QString TestInstanceGuard::channel() const
{
    return m_dir->filePath(QStringLiteral("runtime/Check Instance DISCORA ")) + QString::number(::getuid());
}

void TestInstanceGuard::copies_data()
{
    // The first copy is "a/discora"; the second is started while it runs,
    // after other local programs did what "others" says on its channel.
    QTest::addColumn<QString>("secondPath"); // folder/name
    QTest::addColumn<QString>("others");
    QTest::addColumn<QString>("secondOutcome");
    QTest::addColumn<int>("raisesOfFirst");

    QTest::newRow("same-file") << "a/discora"
                               << ""
                               << "second" << 1;
    QTest::newRow("same-name-other-folder") << "b/discora"
                                            << ""
                                            << "second" << 1;
    QTest::newRow("same-name-other-case") << "b/DISCORA"
                                          << ""
                                          << "second" << 1;
    QTest::newRow("other-name") << "a/discora2"
                                << ""
                                << "first" << 0;
    QTest::newRow("name-with-extension") << "a/discora.bin"
                                         << ""
                                         << "first" << 0;
    // More silent connections than a desktop process may have files open.
    QTest::newRow("1100-idle-connections-held") << "a/discora"
                                                << "idle"
                                                << "second" << 1;
    // A raise request followed by 256 MB: the request counts, the rest must
    // not end up in the first copy's memory.
    QTest::newRow("request-then-256-MB") << "a/discora"
                                         << "flood"
                                         << "second" << 2;
}

void TestInstanceGuard::copies()
{
    QFETCH(QString, secondPath);
    QFETCH(QString, others);
    QFETCH(QString, secondOutcome);
    QFETCH(int, raisesOfFirst);

    Copy first(programCopy(QStringLiteral("a"), QStringLiteral("discora")), m_env);
    first.start();
    QTRY_COMPARE_WITH_TIMEOUT(first.outcome(), QStringLiteral("first"), 30000);
    const qint64 residentBefore = residentKiB(first.process().processId());

    LocalClients clients;
    const QString socket = channel() + QStringLiteral(".socket");
    if (others == "idle") {
        for (int i = 0; i < 1100; ++i)
            clients.connectTo(socket);
    } else if (others == "flood") {
        QVERIFY(clients.connectTo(socket));
        // Its request answered, the connection is closed.
        QVERIFY(
            clients.sendUntilClosed(QByteArrayLiteral("raise\n") + QByteArray(1024 * 1024 - 6, 'x'), 256));
    }

    Copy second(programCopy(secondPath.section(u'/', 0, 0), secondPath.section(u'/', 1)), m_env);
    second.start();
    QTRY_COMPARE_WITH_TIMEOUT(second.outcome(), secondOutcome, 30000);
    if (secondOutcome == "second") {
        // It ends by itself, successfully.
        QTRY_COMPARE_WITH_TIMEOUT(second.process().state(), QProcess::NotRunning, 30000);
        QCOMPARE(second.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.process().exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(first.raises(), raisesOfFirst, 30000);
    } else {
        // Runs alongside; give a wrongly sent request time to arrive.
        QTest::qWait(500);
        QCOMPARE(second.process().state(), QProcess::Running);
        QCOMPARE(first.raises(), raisesOfFirst);
    }
    QCOMPARE(first.process().state(), QProcess::Running);
    // What others sent did not pile up in the first copy.
    const qint64 residentAfter = residentKiB(first.process().processId());
    QVERIFY2(residentBefore > 0 && residentAfter - residentBefore < 64 * 1024,
        qPrintable(QStringLiteral("%1 KiB -> %2 KiB").arg(residentBefore).arg(residentAfter)));
}

void TestInstanceGuard::staleChannel_data()
{
    // What is left at the channel's paths when a copy starts; no copy runs
    // unless the row says so.
    QTest::addColumn<QString>("leftover");
    QTest::addColumn<QString>("outcome");

    QTest::newRow("copy-killed") << "killed"
                                 << "first";
    // A crash or a full disk while the lock file was written.
    QTest::newRow("lock-empty") << "empty-lock"
                                << "first";
    QTest::newRow("lock-garbled") << "garbled-lock"
                                  << "first";
    QTest::newRow("lock-empty-long-ago") << "old-empty-lock"
                                         << "first";
    // A copy starting this moment has made its lock file and not yet said
    // in it who it is: that lock is not taken from it. Nobody answers on it
    // either, so the copy waits, then runs on by itself.
    QTest::newRow("lock-being-made") << "lock-being-made"
                                     << "unguarded";
    // A running copy's lock stays its own, whatever became of its contents.
    QTest::newRow("lock-of-running-copy-emptied") << "running-copy-emptied-lock"
                                                  << "second";
    QTest::newRow("socket-path-a-folder") << "socket-folder"
                                          << "first";
    QTest::newRow("socket-path-a-fifo") << "socket-fifo"
                                        << "first";
    QTest::newRow("socket-path-a-dangling-link") << "socket-dangling-link"
                                                 << "first";
}

void TestInstanceGuard::staleChannel()
{
    QFETCH(QString, leftover);
    QFETCH(QString, outcome);

    const QString program = programCopy(QStringLiteral("a"), QStringLiteral("discora"));
    const QString lock = channel() + QStringLiteral(".lock");
    const QString socket = channel() + QStringLiteral(".socket");
    const QByteArray socketName = QFile::encodeName(socket);
    std::unique_ptr<Copy> running;
    QTimer beingMade;
    if (leftover == "killed") {
        Copy crashed(program, m_env);
        crashed.start();
        QTRY_COMPARE_WITH_TIMEOUT(crashed.outcome(), QStringLiteral("first"), 30000);
        ::kill(pid_t(crashed.process().processId()), SIGKILL);
        QTRY_COMPARE_WITH_TIMEOUT(crashed.process().state(), QProcess::NotRunning, 30000);
        // Lock file and socket are left behind.
        QVERIFY(QFile::exists(lock));
        QVERIFY(QFile::exists(socket));
    } else if (leftover == "empty-lock") {
        TestSupport::writeBytes(lock, QByteArray());
    } else if (leftover == "garbled-lock") {
        TestSupport::writeBytes(lock, QByteArray("\xff\xfe\0not a lock\n", 16));
    } else if (leftover == "old-empty-lock") {
        TestSupport::writeBytes(lock, QByteArray());
        const timeval hourAgo[2] = { { ::time(nullptr) - 3600, 0 }, { ::time(nullptr) - 3600, 0 } };
        QVERIFY(::utimes(QFile::encodeName(lock).constData(), hourAgo) == 0);
    } else if (leftover == "lock-being-made") {
        // Made just now, for as long as the next copy takes to start.
        TestSupport::writeBytes(lock, QByteArray());
        connect(&beingMade, &QTimer::timeout, this,
            [&] { ::utimes(QFile::encodeName(lock).constData(), nullptr); });
        beingMade.start(100);
    } else if (leftover == "running-copy-emptied-lock") {
        running = std::make_unique<Copy>(program, m_env);
        running->start();
        QTRY_COMPARE_WITH_TIMEOUT(running->outcome(), QStringLiteral("first"), 30000);
        // Emptied long ago, as far as its time says.
        QVERIFY(::truncate(QFile::encodeName(lock).constData(), 0) == 0);
        const timeval hourAgo[2] = { { ::time(nullptr) - 3600, 0 }, { ::time(nullptr) - 3600, 0 } };
        QVERIFY(::utimes(QFile::encodeName(lock).constData(), hourAgo) == 0);
    } else if (leftover == "socket-folder") {
        QVERIFY(QDir().mkpath(socket + QStringLiteral("/inside")));
        TestSupport::writeBytes(socket + QStringLiteral("/inside/file"), "x");
    } else if (leftover == "socket-fifo") {
        QVERIFY(::mkfifo(socketName.constData(), 0600) == 0);
    } else if (leftover == "socket-dangling-link") {
        QVERIFY(::symlink("/nonexistent/discora.socket", socketName.constData()) == 0);
    }

    Copy next(program, m_env);
    next.start();
    QTRY_COMPARE_WITH_TIMEOUT(next.outcome(), outcome, 30000);
    if (running) {
        QTRY_COMPARE_WITH_TIMEOUT(running->raises(), 1, 30000);
        return;
    }
    if (beingMade.isActive()) {
        // The lock is still its maker's.
        QVERIFY(QFileInfo(lock).isFile());
        QCOMPARE(QFileInfo(lock).size(), 0);
        return;
    }
    // And it is a working first copy: a later one hands over to it.
    Copy later(program, m_env);
    later.start();
    QTRY_COMPARE_WITH_TIMEOUT(later.outcome(), QStringLiteral("second"), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(next.raises(), 1, 30000);
}

void TestInstanceGuard::startedTogether()
{
    const QString program = programCopy(QStringLiteral("a"), QStringLiteral("discora"));
    constexpr int N = 6;
    std::vector<std::unique_ptr<Copy>> copies;
    for (int i = 0; i < N; ++i)
        copies.push_back(std::make_unique<Copy>(program, m_env));
    for (auto &c : copies)
        c->start();
    for (auto &c : copies)
        QTRY_VERIFY_WITH_TIMEOUT(!c->outcome().isEmpty(), 60000);
    int firsts = 0, seconds = 0;
    Copy *running = nullptr;
    for (auto &c : copies) {
        if (c->outcome() == "first") {
            ++firsts;
            running = c.get();
        } else if (c->outcome() == "second") {
            ++seconds;
            QTRY_COMPARE_WITH_TIMEOUT(c->process().state(), QProcess::NotRunning, 30000);
            QCOMPARE(c->process().exitStatus(), QProcess::NormalExit);
            QCOMPARE(c->process().exitCode(), 0);
        }
    }
    QCOMPARE(firsts, 1);
    QCOMPARE(seconds, N - 1);
    QTRY_COMPARE_WITH_TIMEOUT(running->raises(), N - 1, 30000);
}

void TestInstanceGuard::channelPrivateToUser()
{
    Copy first(programCopy(QStringLiteral("a"), QStringLiteral("discora")), m_env);
    first.start();
    QTRY_COMPARE_WITH_TIMEOUT(first.outcome(), QStringLiteral("first"), 30000);
    const QString channel
        = m_dir->filePath(QStringLiteral("runtime/Check Instance DISCORA ")) + QString::number(::getuid());
    for (const QString &suffix : { QStringLiteral(".socket"), QStringLiteral(".lock") }) {
        struct stat st;
        QVERIFY(::stat(QFile::encodeName(channel + suffix).constData(), &st) == 0);
        QCOMPARE(st.st_uid, ::getuid());
        QVERIFY2((st.st_mode & 0077) == 0 || suffix == ".lock", qPrintable(QString::number(st.st_mode, 8)));
    }
    // The folder around it is the user's alone.
    struct stat folder;
    QVERIFY(::stat(QFile::encodeName(m_dir->filePath(QStringLiteral("runtime"))).constData(), &folder) == 0);
    QCOMPARE(int(folder.st_mode & 0777), 0700);
}

void TestInstanceGuard::otherUserNeitherBlocksNorRaises()
{
    if (::geteuid() != 0)
        QSKIP("starting a copy as another user needs root");
    const passwd *nobody = ::getpwnam("nobody");
    if (!nobody)
        QSKIP("no user 'nobody'");
    // Ours runs first; "nobody" starts the same program file.
    QVERIFY(::chmod(QFile::encodeName(m_dir->path()).constData(), 0755) == 0);
    const QString program = programCopy(QStringLiteral("a"), QStringLiteral("discora"));
    QVERIFY(::chmod(QFile::encodeName(m_dir->filePath(QStringLiteral("a"))).constData(), 0755) == 0);
    Copy ours(program, m_env);
    ours.start();
    QTRY_COMPARE_WITH_TIMEOUT(ours.outcome(), QStringLiteral("first"), 30000);

    // The other user's runtime folder is its own; it is not told ours.
    const QString theirRuntime = m_dir->filePath(QStringLiteral("runtime-nobody"));
    QVERIFY(QDir().mkdir(theirRuntime));
    QVERIFY(::chown(QFile::encodeName(theirRuntime).constData(), nobody->pw_uid, nobody->pw_gid) == 0);
    QVERIFY(::chmod(QFile::encodeName(theirRuntime).constData(), 0700) == 0);
    QProcessEnvironment env = m_env;
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), theirRuntime);
    env.insert(QStringLiteral("HOME"), theirRuntime);
    Copy theirs(QStringLiteral("setpriv"), env);
    theirs.process().setArguments({ QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
        QStringLiteral("--clear-groups"), program, QStringLiteral("--instance-helper"),
        QStringLiteral("-platform"), QStringLiteral("offscreen") });
    theirs.start();
    QTRY_COMPARE_WITH_TIMEOUT(theirs.outcome(), QStringLiteral("first"), 30000);
    QTest::qWait(500);
    QCOMPARE(ours.raises(), 0);

    // Pointed at our runtime folder, that user can neither list it nor
    // reach our socket: it does not become a second copy of ours.
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir->filePath(QStringLiteral("runtime")));
    Copy intruder(QStringLiteral("setpriv"), env);
    intruder.process().setArguments(theirs.process().arguments());
    intruder.start();
    QTRY_VERIFY_WITH_TIMEOUT(!intruder.outcome().isEmpty(), 30000);
    QVERIFY(intruder.outcome() != "second");
    QTest::qWait(500);
    QCOMPARE(ours.raises(), 0);
}

void TestInstanceGuard::channelBlockedRunsUnguarded()
{
    // A folder stands where the lock file would go: both copies run, and
    // neither says a word about it on the screen.
    const QString channel
        = m_dir->filePath(QStringLiteral("runtime/Check Instance DISCORA ")) + QString::number(::getuid());
    QVERIFY(QDir().mkdir(channel + QStringLiteral(".lock")));
    const QString program = programCopy(QStringLiteral("a"), QStringLiteral("discora"));
    Copy one(program, m_env);
    one.start();
    QTRY_COMPARE_WITH_TIMEOUT(one.outcome(), QStringLiteral("unguarded"), 30000);
    Copy two(program, m_env);
    two.start();
    QTRY_COMPARE_WITH_TIMEOUT(two.outcome(), QStringLiteral("unguarded"), 30000);
    QCOMPARE(one.process().state(), QProcess::Running);
    QCOMPARE(two.process().state(), QProcess::Running);
}

void TestInstanceGuard::longNameStillGuarded()
{
    // Too long for a socket path as it stands.
    const QString name = QString(120, u'n');
    Copy first(programCopy(QStringLiteral("a"), name), m_env);
    first.start();
    QTRY_COMPARE_WITH_TIMEOUT(first.outcome(), QStringLiteral("first"), 30000);
    Copy other(programCopy(QStringLiteral("a"), name + u'x'), m_env);
    other.start();
    QTRY_COMPARE_WITH_TIMEOUT(other.outcome(), QStringLiteral("first"), 30000);
    Copy second(programCopy(QStringLiteral("b"), name), m_env);
    second.start();
    QTRY_COMPARE_WITH_TIMEOUT(second.outcome(), QStringLiteral("second"), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(first.raises(), 1, 30000);
    QCOMPARE(other.raises(), 0);
}

void TestInstanceGuard::channelName_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "/usr/local/bin/discora"
                           << "Check Instance DISCORA";
    QTest::newRow("upper-cased") << "/opt/Discora.Bin"
                                 << "Check Instance DISCORA.BIN";
    QTest::newRow("folder-ignored") << "/home/me/v1.5/discora"
                                    << "Check Instance DISCORA";
}

void TestInstanceGuard::channelName()
{
    QFETCH(QString, program);
    QFETCH(QString, name);
    QCOMPARE(TQLXInstanceGuard::InstanceName(program), name);
}

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--instance-helper") == 0)
        return runHelper(argc, argv);
    QApplication app(argc, argv);
    TestInstanceGuard test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_QLXInstance.moc"
