#include "MpdSource.h"

#include "SourcesLog.h"

#include <QLocalSocket>
#include <QTcpSocket>

#include <algorithm>
#include <utility>

namespace
{

constexpr int FirstRetry = 250;

} // namespace

TMpdSource::TMpdSource(QObject *parent)
    : TPlaySource(parent)
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

void TMpdSource::start()
{
    if (m_started)
        return;
    m_started = true;
    m_addresses = MpdProtocol::addresses(qEnvironmentVariable("MPD_HOST"), qEnvironmentVariable("MPD_PORT"),
        qEnvironmentVariable("XDG_RUNTIME_DIR"));
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
    const MpdProtocol::Address &address = m_addresses[m_next++];
    m_local = !address.path.isEmpty();
    m_password = address.password;
    m_greeted = false;
    m_pending.clear();
    m_buffer.clear();
    m_answers.musicFolder.clear();
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
        setHeld(MpdProtocol::Held());
        // MPD restarting: soon, then less often.
        m_retryDelay = 0;
        retryLater();
        return;
    }
    tryNext();
}

void TMpdSource::send(const QByteArray &command)
{
    m_pending.push_back(MpdProtocol::commandName(command));
    m_socket->write(command + '\n');
}

void TMpdSource::query()
{
    m_answers.state.clear();
    m_answers.file.clear();
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
    QByteArray line;
    for (;;) {
        const bool greeting = !m_greeted;
        const MpdProtocol::LineCut cut = MpdProtocol::nextLine(m_buffer, from, line);
        if (cut == MpdProtocol::LineCut::TooLong) {
            dropConnection("an answer line too long");
            return;
        }
        if (cut == MpdProtocol::LineCut::Partial)
            break;
        if (!takeLine(line) || m_socket != socket)
            return; // the connection was dropped
        // Whatever came with the greeting came before we asked anything.
        if (greeting && from < m_buffer.size()) {
            dropConnection("answers before any question");
            return;
        }
    }
    m_buffer.remove(0, from);
}

bool TMpdSource::takeLine(const QByteArray &line)
{
    if (!m_greeted) {
        if (!MpdProtocol::isGreeting(line)) {
            dropConnection("not MPD");
            return false;
        }
        m_greeted = true;
        m_deadline.stop();
        m_retryDelay = 0;
        qCDebug(lcSources, "MPD: connected (%s)", line.constData());
        if (!m_password.isEmpty())
            send("password " + MpdProtocol::quoted(m_password));
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
    const MpdProtocol::LineKind kind = MpdProtocol::lineKind(line);
    if (kind != MpdProtocol::LineKind::Data) {
        const QByteArray done = command;
        m_pending.pop_front();
        answered(done, kind == MpdProtocol::LineKind::Ok);
        return m_socket != nullptr;
    }
    MpdProtocol::takeAnswerLine(command, line, m_answers);
    return true;
}

void TMpdSource::answered(const QByteArray &command, bool ok)
{
    if (command == "config" && !ok) {
        m_answers.musicFolder.clear();
    } else if (command == "currentsong") {
        // "status" came just before: the two answers say what is held.
        setHeld(MpdProtocol::heldFile(
            m_answers.state, ok ? m_answers.file : QByteArray(), m_answers.musicFolder));
    } else if (command == "idle") {
        // Whatever changed, "status" and "currentsong" tell what is held now.
        query();
    }
    if (command == "status" && !ok)
        m_answers.state.clear();
}

void TMpdSource::setHeld(const MpdProtocol::Held &held)
{
    if (held == m_held)
        return;
    m_held = held;
    qCDebug(lcSources, "MPD: holds %s%s", held.path.isEmpty() ? "nothing" : held.path.constData(),
        held.tail ? " (below its music folder)" : "");
    Q_EMIT changed();
}

std::vector<QByteArray> TMpdSource::heldPaths() const
{
    if (m_held.path.isEmpty() || m_held.tail)
        return {};
    return { m_held.path };
}

std::vector<QByteArray> TMpdSource::heldTails() const
{
    if (m_held.path.isEmpty() || !m_held.tail)
        return {};
    return { m_held.path };
}

TPlayReport TMpdSource::report() const
{
    TPlayReport report;
    report.paths = heldPaths();
    report.tails = heldTails();
    return report;
}
