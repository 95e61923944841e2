#include "MpdSource.h"

#include "SourcesLog.h"

#include <QLocalSocket>
#include <QTcpSocket>

#include <algorithm>
#include <utility>

namespace
{

constexpr int FirstRetry = 250;

// A value for a command line: MPD's quoting.
QByteArray quoted(const QByteArray &value)
{
    QByteArray out = "\"";
    for (const char c : value) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + '"';
}

// The value of a "key: value" line for key, or a null array.
QByteArray valueOf(const QByteArray &line, const char *key)
{
    const qsizetype length = qsizetype(qstrlen(key));
    if (line.size() < length + 2 || !line.startsWith(key) || line[length] != ':' || line[length + 1] != ' ')
        return QByteArray();
    return line.mid(length + 2);
}

} // namespace

TMpdSource::TMpdSource(QObject *parent)
    : QObject(parent)
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &TMpdSource::tryNext);
    // A host that takes the connection and says nothing is no MPD.
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] { dropConnection("no greeting"); });
}

TMpdSource::~TMpdSource()
{
    if (m_socket)
        m_socket->disconnect(this);
}

std::vector<TMpdSource::Address> TMpdSource::addresses()
{
    std::vector<Address> result;
    bool portOk = false;
    const uint port = qEnvironmentVariable("MPD_PORT").toUInt(&portOk);
    const quint16 tcpPort = portOk && port > 0 && port < 65536 ? quint16(port) : quint16(6600);
    QString host = qEnvironmentVariable("MPD_HOST");
    if (!host.isEmpty()) {
        Address address;
        // "password@host"; a leading "@" names an abstract socket.
        const qsizetype at = host.indexOf(QLatin1Char('@'));
        if (at > 0) {
            address.password = host.left(at).toUtf8();
            host = host.mid(at + 1);
        }
        if (host.startsWith(QLatin1Char('/'))) {
            address.path = host;
        } else if (host.startsWith(QLatin1Char('@')) && host.size() > 1) {
            address.path = host.mid(1);
            address.abstract = true;
        } else {
            address.host = host;
            address.port = tcpPort;
        }
        if (!address.path.isEmpty() || !address.host.isEmpty())
            result.push_back(address);
        return result;
    }
    const auto socket = [&result](const QString &path) {
        Address address;
        address.path = path;
        result.push_back(address);
    };
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.startsWith(QLatin1Char('/')))
        socket(runtime + QStringLiteral("/mpd/socket"));
    socket(QStringLiteral("/run/mpd/socket"));
    Address tcp;
    tcp.host = QStringLiteral("localhost");
    tcp.port = tcpPort;
    result.push_back(tcp);
    return result;
}

void TMpdSource::start()
{
    if (m_started)
        return;
    m_started = true;
    m_addresses = addresses();
    m_next = 0;
    tryNext();
}

template <typename Socket> void TMpdSource::follow(Socket *socket)
{
    m_socket = socket;
    connect(socket, &Socket::readyRead, this, &TMpdSource::readAnswers);
    connect(socket, &Socket::disconnected, this, [this, socket] {
        if (m_socket == socket)
            dropConnection("closed by MPD");
    });
    connect(socket, &Socket::errorOccurred, this, [this, socket] {
        if (m_socket == socket)
            dropConnection(qPrintable(socket->errorString()));
    });
    m_deadline.start(GreetingTimeout);
}

void TMpdSource::tryNext()
{
    if (m_next >= m_addresses.size()) {
        if (m_retryDelay == 0)
            qCDebug(lcSources, "MPD: none answers; trying again every %d ms at most", MaxRetry);
        retryLater();
        return;
    }
    const Address &address = m_addresses[m_next++];
    m_local = !address.path.isEmpty();
    m_password = address.password;
    m_greeted = false;
    m_pending.clear();
    m_buffer.clear();
    m_musicFolder.clear();
    if (m_local) {
        auto *socket = new QLocalSocket(this);
        if (address.abstract)
            socket->setSocketOptions(QLocalSocket::AbstractNamespaceOption);
        follow(socket);
        socket->connectToServer(address.path);
    } else {
        auto *socket = new QTcpSocket(this);
        follow(socket);
        socket->connectToHost(address.host, address.port);
    }
}

void TMpdSource::retryLater()
{
    m_next = 0;
    m_retryDelay = std::clamp(m_retryDelay * 2, FirstRetry, MaxRetry);
    m_retry.start(m_retryDelay);
}

void TMpdSource::dropConnection(const char *why)
{
    QIODevice *socket = std::exchange(m_socket, nullptr);
    if (!socket)
        return;
    m_deadline.stop();
    socket->disconnect(this);
    socket->deleteLater();
    const bool wasGreeted = std::exchange(m_greeted, false);
    m_pending.clear();
    m_buffer.clear();
    if (wasGreeted) {
        qCDebug(lcSources, "MPD: connection lost (%s)", why);
        setHeld(QByteArray(), QByteArray());
        // MPD restarting: soon, then less often.
        m_retryDelay = 0;
        retryLater();
        return;
    }
    tryNext();
}

void TMpdSource::send(const QByteArray &command)
{
    const qsizetype blank = command.indexOf(' ');
    m_pending.push_back(blank < 0 ? command : command.left(blank));
    m_socket->write(command + '\n');
}

void TMpdSource::query()
{
    m_answerState.clear();
    m_answerFile.clear();
    send("status");
    send("currentsong");
    send("idle player");
}

void TMpdSource::readAnswers()
{
    QIODevice *socket = m_socket;
    if (!socket)
        return;
    m_buffer += socket->readAll();
    qsizetype from = 0;
    for (;;) {
        const qsizetype end = m_buffer.indexOf('\n', from);
        if (end < 0)
            break;
        if (end - from > MaxLine) {
            dropConnection("an answer line too long");
            return;
        }
        const bool greeting = !m_greeted;
        const QByteArray line = m_buffer.mid(from, end - from);
        from = end + 1;
        if (!takeLine(line) || m_socket != socket)
            return; // the connection was dropped
        // Whatever came with the greeting came before we asked anything.
        if (greeting && from < m_buffer.size()) {
            dropConnection("answers before any question");
            return;
        }
    }
    m_buffer.remove(0, from);
    if (m_buffer.size() > MaxLine)
        dropConnection("an answer line too long");
}

bool TMpdSource::takeLine(const QByteArray &line)
{
    if (!m_greeted) {
        if (!line.startsWith("OK MPD ")) {
            dropConnection("not MPD");
            return false;
        }
        m_greeted = true;
        m_deadline.stop();
        m_retryDelay = 0;
        qCDebug(lcSources, "MPD: connected (%s)", line.constData());
        if (!m_password.isEmpty())
            send("password " + quoted(m_password));
        // Only a client on the local socket may ask where MPD's music is.
        if (m_local)
            send("config");
        query();
        return true;
    }
    if (m_pending.empty()) {
        dropConnection("an answer nobody asked for");
        return false;
    }
    const QByteArray &command = m_pending.front();
    const bool ok = line == "OK";
    if (ok || line.startsWith("ACK ")) {
        const QByteArray done = command;
        m_pending.pop_front();
        answered(done, ok);
        return m_socket != nullptr;
    }
    if (command == "status") {
        if (const QByteArray state = valueOf(line, "state"); !state.isNull())
            m_answerState = state;
    } else if (command == "currentsong") {
        if (const QByteArray file = valueOf(line, "file"); !file.isNull())
            m_answerFile = file;
    } else if (command == "config") {
        if (const QByteArray folder = valueOf(line, "music_directory"); !folder.isNull())
            m_musicFolder = folder;
    }
    return true;
}

void TMpdSource::answered(const QByteArray &command, bool ok)
{
    if (command == "config" && !ok) {
        m_musicFolder.clear();
    } else if (command == "currentsong") {
        // "status" came just before: the two answers say what is held.
        setHeld(ok ? m_answerFile : QByteArray(), m_answerState);
    } else if (command == "idle") {
        // Whatever changed, "status" and "currentsong" tell what is held now.
        query();
    }
    if (command == "status" && !ok)
        m_answerState.clear();
}

void TMpdSource::setHeld(QByteArray file, QByteArray state)
{
    QByteArray path;
    bool tail = false;
    // Streams ("http://...") are no files; nor is anything stopped.
    if ((state == "play" || state == "pause") && !file.isEmpty() && !file.contains("://")) {
        if (file.startsWith('/')) {
            path = file;
        } else if (m_musicFolder.startsWith('/')) {
            path = m_musicFolder + (m_musicFolder.endsWith('/') ? "" : "/") + file;
        } else {
            path = file;
            tail = true;
        }
    }
    if (path == m_heldPath && tail == m_heldIsTail)
        return;
    m_heldPath = path;
    m_heldIsTail = tail;
    qCDebug(lcSources, "MPD: holds %s%s", path.isEmpty() ? "nothing" : path.constData(),
        tail ? " (below its music folder)" : "");
    Q_EMIT changed();
}

std::vector<QByteArray> TMpdSource::heldPaths() const
{
    if (m_heldPath.isEmpty() || m_heldIsTail)
        return {};
    return { m_heldPath };
}

std::vector<QByteArray> TMpdSource::heldTails() const
{
    if (m_heldPath.isEmpty() || !m_heldIsTail)
        return {};
    return { m_heldPath };
}
