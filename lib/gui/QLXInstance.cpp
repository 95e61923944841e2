#include "QLXInstance.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{

const QByteArray RaiseRequest = QByteArrayLiteral("raise\n");
const QString InstancePrefix = QStringLiteral("Check Instance ");

// A connection that has not sent its request by then is dropped.
constexpr int RequestWaitMs = 5000;
// Connections served at once; beyond that the oldest is dropped, so that
// idle clients can neither use up the files a process may open nor keep a
// second copy's request waiting.
constexpr qsizetype MaxOpenRequests = 64;
// A live copy fills its lock file right after making it.
constexpr qint64 LockFillMs = 1000;

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

qint64 msSinceChange(const struct stat &st)
{
    return QDateTime::currentMSecsSinceEpoch()
        - (qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000);
}

// Removes a lock file that does not say which process made it (empty, or
// garbled by a crash or a full disk while it was written) when no running
// copy holds it: a copy holds a lock on its file from the moment it made it
// until it ends. A file only just made is left to its maker a moment longer.
bool removeBrokenLock(const QString &lockPath)
{
    const QByteArray path = QFile::encodeName(lockPath);
    struct stat before;
    if (::lstat(path.constData(), &before) != 0 || !S_ISREG(before.st_mode))
        return false;
    // Our own file in our own folder: a mode that shuts us out is no reason
    // to keep it.
    if (::access(path.constData(), R_OK) != 0 && before.st_uid == ::geteuid())
        ::chmod(path.constData(), 0600);
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return false;
    bool removed = false;
    struct stat held;
    if (::fstat(fd, &held) == 0 && sameFile(held, before) && qAbs(msSinceChange(held)) > LockFillMs
        && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        struct stat now;
        removed
            = ::lstat(path.constData(), &now) == 0 && sameFile(now, held) && ::unlink(path.constData()) == 0;
    }
    ::close(fd);
    return removed;
}

// Whether folder is the user's alone, so that whatever lies in it was put
// there by this user's programs.
bool isPrivateFolder(const QString &folder)
{
    struct stat st;
    return ::lstat(QFile::encodeName(folder).constData(), &st) == 0 && S_ISDIR(st.st_mode)
        && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

// Clears the socket's path of whatever an earlier run left there: a socket,
// but also a folder, a FIFO, a file or a link (never followed).
void clearSocketPath(const QString &socketPath)
{
    if (!isPrivateFolder(QFileInfo(socketPath).path())) {
        QLocalServer::removeServer(socketPath);
        return;
    }
    const QByteArray path = QFile::encodeName(socketPath);
    struct stat st;
    if (::lstat(path.constData(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode))
        QDir(socketPath).removeRecursively();
    else
        ::unlink(path.constData());
}

} // namespace

TQLXInstanceGuard::TQLXInstanceGuard(QObject *parent)
    : QObject(parent)
{
    connect(this, &TQLXInstanceGuard::raiseRequested, this, &TQLXInstanceGuard::bringToFront);
}

TQLXInstanceGuard::~TQLXInstanceGuard()
{
    if (m_server)
        m_server->close();
}

QString TQLXInstanceGuard::InstanceName(const QString &programPath)
{
    return InstancePrefix + QFileInfo(programPath).fileName().toUpper();
}

QString TQLXInstanceGuard::ChannelPath(const QString &programPath)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        return QString();
    const QString name = InstanceName(programPath);
    const QString uid = QString::number(::getuid());
    QString path = folder + QLatin1Char('/') + name + QLatin1Char(' ') + uid;
    // A socket's path has room for 107 bytes: a long name is replaced by a
    // digest of it, which still tells different names apart.
    constexpr qsizetype SocketRoom = sizeof(sockaddr_un::sun_path) - 1;
    if (QFile::encodeName(path + QStringLiteral(".socket")).size() > SocketRoom) {
        const QByteArray digest
            = QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
        path = folder + QLatin1Char('/') + InstancePrefix + QString::fromLatin1(digest) + QLatin1Char(' ')
            + uid;
    }
    return path;
}

TQLXInstanceGuard::TOutcome TQLXInstanceGuard::Start(const QString &programPath, int waitMs)
{
    const QString program = programPath.isEmpty() ? QCoreApplication::applicationFilePath() : programPath;
    const QString channel = ChannelPath(program);
    if (channel.isEmpty())
        return Unguarded;
    const QString socketPath = channel + QStringLiteral(".socket");

    QElapsedTimer waited;
    waited.start();
    for (;;) {
        auto lock = std::make_unique<QLockFile>(channel + QStringLiteral(".lock"));
        // Only a lock whose holder is gone counts as stale, however old.
        lock->setStaleLockTime(0);
        if (lock->tryLock(0)) {
            // Only the lock's holder may replace the socket: a successful
            // listen() alone could have taken over a live copy's socket.
            clearSocketPath(socketPath);
            auto *server = new QLocalServer(this);
            server->setSocketOptions(QLocalServer::UserAccessOption);
            if (!server->listen(socketPath)) {
                delete server;
                return Unguarded;
            }
            m_lock = std::move(lock);
            m_server = server;
            connect(m_server, &QLocalServer::newConnection, this, &TQLXInstanceGuard::acceptRequests);
            return First;
        }
        if (lock->error() != QLockFile::LockFailedError)
            return Unguarded;
        // A lock that names no process is stale as soon as nobody holds it.
        if (!lock->getLockInfo(nullptr, nullptr, nullptr) && removeBrokenLock(lock->fileName()))
            continue;

        // Another copy holds the lock; it listens once it has started.
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(500)) {
            socket.write(RaiseRequest);
            socket.waitForBytesWritten(2000);
            socket.disconnectFromServer();
            if (socket.state() != QLocalSocket::UnconnectedState)
                socket.waitForDisconnected(2000);
            return Second;
        }
        // Nobody answers on a lock that is not stale: the channel is broken,
        // and a copy that cannot hand over runs on by itself.
        if (waited.elapsed() > waitMs)
            return Unguarded;
        QThread::msleep(50);
    }
}

void TQLXInstanceGuard::acceptRequests()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        // A request's worth is all a connection may bring into memory.
        socket->setReadBufferSize(RaiseRequest.size());
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { serve(socket, false); });
        QTimer::singleShot(RequestWaitMs, socket, [socket] { socket->abort(); });
        m_open.removeAll(nullptr);
        m_open.append(socket);
        while (m_open.size() > MaxOpenRequests) {
            QLocalSocket *oldest = m_open.takeFirst();
            if (oldest) {
                oldest->waitForReadyRead(0);
                serve(oldest, true);
            }
        }
        serve(socket, false);
    }
}

void TQLXInstanceGuard::serve(QLocalSocket *socket, bool last)
{
    // One request per connection; it is answered and the connection closed.
    if (!last && !socket->canReadLine() && socket->bytesAvailable() < RaiseRequest.size())
        return;
    const bool raise = socket->canReadLine() && socket->read(RaiseRequest.size()) == RaiseRequest;
    socket->abort();
    if (raise)
        Q_EMIT raiseRequested();
}

void TQLXInstanceGuard::bringToFront()
{
    QApplication::beep();
    QWidget *w = m_mainWindow;
    if (!w)
        return;
    if (w->windowState() & Qt::WindowMinimized)
        w->setWindowState((w->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    w->show();
    w->raise();
    w->activateWindow();
}
