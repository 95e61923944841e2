#include "MpdProtocol.h"

namespace MpdProtocol
{

namespace
{

// The value of a "key: value" line for key, or a null array.
QByteArray valueOf(const QByteArray &line, const char *key)
{
    const qsizetype length = qsizetype(qstrlen(key));
    if (line.size() < length + 2 || !line.startsWith(key) || line[length] != ':' || line[length + 1] != ' ')
        return QByteArray();
    return line.mid(length + 2);
}

} // namespace

std::vector<Address> addresses(const QString &hostValue, const QString &portValue, const QString &runtimeDir)
{
    std::vector<Address> result;
    bool portOk = false;
    const uint port = portValue.toUInt(&portOk);
    const quint16 tcpPort = portOk && port > 0 && port < 65536 ? quint16(port) : DefaultPort;
    QString host = hostValue;
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
    if (runtimeDir.startsWith(QLatin1Char('/')))
        socket(runtimeDir + QStringLiteral("/mpd/socket"));
    socket(QStringLiteral("/run/mpd/socket"));
    Address tcp;
    tcp.host = QStringLiteral("localhost");
    tcp.port = tcpPort;
    result.push_back(tcp);
    return result;
}

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

QByteArray commandName(const QByteArray &command)
{
    const qsizetype blank = command.indexOf(' ');
    return blank < 0 ? command : command.left(blank);
}

LineCut nextLine(QByteArrayView buffer, qsizetype &from, QByteArray &line, qsizetype maxLine)
{
    const qsizetype end = buffer.indexOf('\n', from);
    if (end < 0)
        return buffer.size() - from > maxLine ? LineCut::TooLong : LineCut::Partial;
    if (end - from > maxLine)
        return LineCut::TooLong;
    line = buffer.sliced(from, end - from).toByteArray();
    from = end + 1;
    return LineCut::Line;
}

bool isGreeting(const QByteArray &line)
{
    return line.startsWith("OK MPD ");
}

LineKind lineKind(const QByteArray &line)
{
    if (line == "OK")
        return LineKind::Ok;
    if (line.startsWith("ACK "))
        return LineKind::Ack;
    return LineKind::Data;
}

void takeAnswerLine(const QByteArray &command, const QByteArray &line, Answers &answers)
{
    QByteArray *field = nullptr;
    const char *key = nullptr;
    if (command == "status") {
        field = &answers.state;
        key = "state";
    } else if (command == "currentsong") {
        field = &answers.file;
        key = "file";
    } else if (command == "config") {
        field = &answers.musicFolder;
        key = "music_directory";
    } else {
        return;
    }
    if (const QByteArray value = valueOf(line, key); !value.isNull())
        *field = value;
}

Held heldFile(const QByteArray &state, const QByteArray &file, const QByteArray &musicFolder)
{
    Held held;
    // Streams ("http://...") are no files; nor is anything stopped.
    if ((state != "play" && state != "pause") || file.isEmpty() || file.contains("://"))
        return held;
    if (file.startsWith('/')) {
        held.path = file;
    } else if (musicFolder.startsWith('/')) {
        held.path = musicFolder + (musicFolder.endsWith('/') ? "" : "/") + file;
    } else {
        held.path = file;
        held.tail = true;
    }
    return held;
}

} // namespace MpdProtocol
