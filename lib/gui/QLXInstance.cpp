#include "QLXInstance.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QWidget>

#include <sys/un.h>
#include <unistd.h>

namespace
{

const QByteArray RaiseRequest = QByteArrayLiteral("raise\n");
const QString InstancePrefix = QStringLiteral("Check Instance ");

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
            QLocalServer::removeServer(socketPath);
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
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // One request per connection; whatever else arrives is ignored.
            if (socket->property("answered").toBool())
                return;
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > RaiseRequest.size())
                    socket->abort();
                return;
            }
            socket->setProperty("answered", true);
            if (socket->readLine(64) == RaiseRequest)
                Q_EMIT raiseRequested();
        });
        if (socket->canReadLine())
            Q_EMIT socket->readyRead();
    }
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
