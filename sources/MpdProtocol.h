#pragma once
// What MPD's protocol says, apart from any connection: where MPD is
// reached (MPD_HOST, MPD_PORT), how an answer is cut into lines and where
// it ends, what the answers to "status", "currentsong" and "config" tell,
// and which file that makes MPD hold. Bytes in, values out: the socket
// that carries them is TMpdSource's.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <vector>

namespace MpdProtocol
{

// The longest line of an answer taken; a longer one means the other end is
// no MPD worth listening to.
constexpr qsizetype MaxLine = 64 * 1024;
constexpr quint16 DefaultPort = 6600;

struct Address {
    QString path; // a local socket, or empty for TCP
    bool abstract = false; // path names a socket of the abstract namespace
    QString host;
    quint16 port = DefaultPort;
    QByteArray password;
};

// The addresses to try in turn, from the values of MPD_HOST, MPD_PORT and
// XDG_RUNTIME_DIR (empty when unset). MPD_HOST names the one address: a
// host, a socket path or "@name" for an abstract socket, each optionally
// "password@..."; without it MPD's usual socket in the runtime folder, the
// system's socket and localhost, on MPD_PORT when that is a port number.
std::vector<Address> addresses(const QString &host, const QString &port, const QString &runtimeDir);

// A value for a command line, in MPD's quoting.
QByteArray quoted(const QByteArray &value);
// What an answer to command belongs to: the command's first word.
QByteArray commandName(const QByteArray &command);

enum class LineCut {
    Line, // line holds the next line, from moved past it
    Partial, // the rest of buffer is no whole line yet
    TooLong, // a line longer than maxLine, whole or not
};
// Cuts the line of buffer that starts at from (without its "\n").
LineCut nextLine(QByteArrayView buffer, qsizetype &from, QByteArray &line, qsizetype maxLine = MaxLine);

// The first line MPD sends on a new connection: "OK MPD <version>".
bool isGreeting(const QByteArray &line);
enum class LineKind {
    Ok, // "OK": the answer is complete
    Ack, // "ACK [error@list] {command} message": the command failed
    Data, // a line of the answer
};
LineKind lineKind(const QByteArray &line);

// What the answers to "status", "currentsong" and "config" told: MPD's
// state ("play", "pause", "stop"), the file it holds (a path below its
// music folder, its own path, or a stream's URL) and its music folder.
struct Answers {
    QByteArray state, file, musicFolder;
};
// Takes line, a line of the answer to command, into answers when it is
// one of these; any other line changes nothing.
void takeAnswerLine(const QByteArray &command, const QByteArray &line, Answers &answers);

// The file MPD holds, from its state and the file of "currentsong" (and
// its music folder, when it said where that is): a path on this machine,
// or (tail) only the path below the music folder. Empty when MPD is
// stopped, plays no file or plays a stream.
struct Held {
    QByteArray path;
    bool tail = false;
    bool operator==(const Held &) const = default;
};
Held heldFile(const QByteArray &state, const QByteArray &file, const QByteArray &musicFolder);

} // namespace MpdProtocol
