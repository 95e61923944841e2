// A player on the session bus for the tests, as MPRIS2 players present
// themselves: org.mpris.MediaPlayer2.NAME at /org/mpris/MediaPlayer2, whose
// org.mpris.MediaPlayer2.Player properties give STATUS and a Metadata map
// with xesam:url URL. It opens no file. With --url-as-int the URL goes out
// as a number, and with --metadata-as-string the Metadata as a string: a
// player that answers with the wrong types; with --vanish it leaves the bus
// when asked, without an answer. With --portal=ID=PATH it also stands in
// for the Documents portal, which lends sandboxes the file at PATH as
// document ID.
//
//   mpris_stub NAME STATUS URL [--url-as-int | --metadata-as-string | --vanish | --portal=ID=PATH]

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QDBusVirtualObject>

#include <cstdio>
#include <cstdlib>
#include <memory>

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
        if (m_mode == QLatin1String("--vanish"))
            std::exit(0);
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

// The Documents portal's Info(id): the lent file's own path and the
// applications it is lent to.
class Documents final : public QDBusVirtualObject
{
public:
    Documents(QString id, QByteArray path)
        : m_id(std::move(id))
        , m_path(std::move(path))
    {
    }
    QString introspect(const QString &) const override { return QString(); }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.member() != QLatin1String("Info"))
            return false;
        if (message.arguments().value(0).toString() != m_id) {
            connection.send(message.createErrorReply(
                QStringLiteral("org.freedesktop.portal.Error.NotFound"), QStringLiteral("no such document")));
            return true;
        }
        QMap<QString, QStringList> apps;
        apps.insert(QStringLiteral("io.mpv.Mpv"), { QStringLiteral("read") });
        connection.send(
            message.createReply(QVariantList { QVariant(m_path + '\0'), QVariant::fromValue(apps) }));
        return true;
    }

private:
    QString m_id;
    QByteArray m_path;
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
    std::unique_ptr<Documents> documents;
    if (args.value(4).startsWith(QLatin1String("--portal="))) {
        qDBusRegisterMetaType<QMap<QString, QStringList>>();
        const QStringList lent = args[4].mid(9).split(QLatin1Char('='));
        documents = std::make_unique<Documents>(lent.value(0), lent.value(1).toUtf8());
        if (!bus.registerVirtualObject(QStringLiteral("/org/freedesktop/portal/documents"), documents.get())
            || !bus.registerService(QStringLiteral("org.freedesktop.portal.Documents"))) {
            std::fprintf(stderr, "mpris_stub: %s\n", qPrintable(bus.lastError().message()));
            return 1;
        }
    }
    if (!bus.registerVirtualObject(QStringLiteral("/org/mpris/MediaPlayer2"), &player)
        || !bus.registerService(QStringLiteral("org.mpris.MediaPlayer2.") + args[1])) {
        std::fprintf(stderr, "mpris_stub: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
