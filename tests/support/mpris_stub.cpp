// A player on the session bus for the tests, as MPRIS2 players present
// themselves: org.mpris.MediaPlayer2.NAME at /org/mpris/MediaPlayer2, whose
// org.mpris.MediaPlayer2.Player properties give STATUS and a Metadata map
// with xesam:url URL. It opens no file. With --url-as-int the URL goes out
// as a number, and with --metadata-as-string the Metadata as a string: a
// player that answers with the wrong types.
//
//   mpris_stub NAME STATUS URL [--url-as-int | --metadata-as-string]

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>

#include <cstdio>

namespace
{

class Player final : public QDBusVirtualObject
{
public:
    Player(QString status, QString url, QString mode)
        : m_status(std::move(status))
        , m_url(std::move(url))
        , m_mode(std::move(mode))
    {
    }
    QString introspect(const QString &) const override { return QString(); }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.interface() != QLatin1String("org.freedesktop.DBus.Properties")
            || message.member() != QLatin1String("GetAll"))
            return false;
        QVariantMap metadata;
        metadata.insert(QStringLiteral("xesam:url"),
            m_mode == QLatin1String("--url-as-int") ? QVariant(42) : QVariant(m_url));
        QVariantMap values;
        values.insert(QStringLiteral("PlaybackStatus"), m_status);
        values.insert(QStringLiteral("Metadata"),
            m_mode == QLatin1String("--metadata-as-string") ? QVariant(m_url) : QVariant(metadata));
        connection.send(message.createReply(QVariant(values)));
        return true;
    }

private:
    QString m_status, m_url, m_mode;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: mpris_stub NAME STATUS URL [--url-as-int | --metadata-as-string]\n");
        return 2;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    Player player(args[2], args[3], args.value(4));
    if (!bus.registerVirtualObject(QStringLiteral("/org/mpris/MediaPlayer2"), &player)
        || !bus.registerService(QStringLiteral("org.mpris.MediaPlayer2.") + args[1])) {
        std::fprintf(stderr, "mpris_stub: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
