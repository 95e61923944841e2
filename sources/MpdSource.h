#pragma once
// The Music Player Daemon as a source of plays. MPD usually runs as a user
// of its own, so the sweep of /proc cannot see the files it holds: it is
// asked instead. One connection is held, waiting in "idle player"; on each
// change "status" and "currentsong" say what it plays. The address is
// MPD_HOST/MPD_PORT when set (a host name, a socket path, "@name" for an
// abstract socket, each optionally "password@..."), else the first of
// $XDG_RUNTIME_DIR/mpd/socket, /run/mpd/socket and localhost:6600 that
// answers. A lost connection is tried again, soon at first and then every
// two seconds; nothing ever waits for MPD on the window's thread. Without
// an MPD the source is quiet: only the debug log category discora.sources
// says so.

#include "MpdProtocol.h"
#include "PlaySource.h"

#include <QByteArray>
#include <QString>
#include <QTimer>

#include <deque>
#include <vector>

class QIODevice;

class TMpdSource final : public TPlaySource
{
    Q_OBJECT
public:
    // The longest wait between two attempts to reach MPD, and the longest
    // line of an answer taken (a longer one drops the connection).
    static constexpr int MaxRetry = 2000;
    static constexpr qsizetype MaxLine = MpdProtocol::MaxLine;
    // How long a connection may take to be made and greeted.
    static constexpr int GreetingTimeout = 5000;

    explicit TMpdSource(QObject *parent = nullptr);
    ~TMpdSource() override;

    // Starts reaching MPD; it is looked for from then on.
    void start() override;
    // True while connected to an MPD that greeted us.
    bool isConnected() const { return m_greeted; }

    // The file MPD holds now, playing or paused, as a path on this machine:
    // its music folder is known (a local socket) or it plays a file by its
    // own path. Empty when it holds none.
    std::vector<QByteArray> heldPaths() const;
    // The same when only the path relative to MPD's music folder is known
    // (over TCP MPD does not tell where that folder is).
    std::vector<QByteArray> heldTails() const;
    TPlayReport report() const override;

private:
    void tryNext();
    void retryLater();
    void dropConnection(const char *why);
    template <typename Socket> void follow(Socket *socket);
    void readAnswers();
    // Takes one line of an answer; false when it dropped the connection.
    bool takeLine(const QByteArray &line);
    void send(const QByteArray &command);
    void answered(const QByteArray &command, bool ok);
    void query();
    void setHeld(const MpdProtocol::Held &held);

    std::vector<MpdProtocol::Address> m_addresses;
    size_t m_next = 0; // the address to try next
    bool m_local = false;
    QIODevice *m_socket = nullptr;
    QByteArray m_password;
    QTimer m_retry;
    QTimer m_deadline;
    int m_retryDelay = 0;
    bool m_greeted = false;
    bool m_started = false;

    // Commands sent and not yet answered, in order, and what the first of
    // them has answered so far.
    std::deque<QByteArray> m_pending;
    QByteArray m_buffer;
    MpdProtocol::Answers m_answers;

    // What is held: a path (tail = false) or a path below MPD's music folder.
    MpdProtocol::Held m_held;
};
