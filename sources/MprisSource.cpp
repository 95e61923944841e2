#include "MprisSource.h"

#include "SourcesLog.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

Q_LOGGING_CATEGORY(lcSources, "discora.sources", QtInfoMsg)

namespace
{

const QString Prefix = QStringLiteral("org.mpris.MediaPlayer2.");
const QString ObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString PlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString BusService = QStringLiteral("org.freedesktop.DBus");

} // namespace

TMprisSource::TMprisSource(QObject *parent)
    : TPlaySource(parent)
{
}

void TMprisSource::start()
{
    // Without an address Qt would try to start a bus of its own (X11
    // autolaunch); a desktop without one has no players to ask either.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        qCDebug(lcSources, "MPRIS: no session bus (DBUS_SESSION_BUS_ADDRESS is not set)");
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCDebug(lcSources, "MPRIS: cannot reach the session bus: %s", qPrintable(bus.lastError().message()));
        return;
    }
    m_connected = true;
    bus.connect(BusService, QStringLiteral("/org/freedesktop/DBus"), BusService,
        QStringLiteral("NameOwnerChanged"), this, SLOT(nameOwnerChanged(QString, QString, QString)));
    bus.connect(QString(), ObjectPath, PropertiesInterface, QStringLiteral("PropertiesChanged"), this,
        SLOT(propertiesChanged(QString, QVariantMap, QStringList, QDBusMessage)));
    QDBusMessage list = QDBusMessage::createMethodCall(
        BusService, QStringLiteral("/org/freedesktop/DBus"), BusService, QStringLiteral("ListNames"));
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(list), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        const QDBusPendingReply<QStringList> reply = *call;
        if (reply.isError())
            return;
        for (const QString &name : reply.value())
            if (name.startsWith(Prefix))
                askOwner(name);
    });
    qCDebug(lcSources, "MPRIS: watching the session bus for players");
}

void TMprisSource::askOwner(const QString &name)
{
    QDBusMessage ask = QDBusMessage::createMethodCall(
        BusService, QStringLiteral("/org/freedesktop/DBus"), BusService, QStringLiteral("GetNameOwner"));
    ask << name;
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(ask), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        const QDBusPendingReply<QString> reply = *call;
        if (!reply.isError())
            fetch(reply.value());
    });
}

void TMprisSource::fetch(const QString &owner)
{
    QDBusMessage get
        = QDBusMessage::createMethodCall(owner, ObjectPath, PropertiesInterface, QStringLiteral("GetAll"));
    get << PlayerInterface;
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(get), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, owner](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        const QDBusMessage reply = call->reply();
        QVariantMap values;
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1
            || !MprisMetadata::toMap(reply.arguments().first(), values))
            return;
        take(owner, values);
    });
}

void TMprisSource::take(const QString &owner, const QVariantMap &values)
{
    Player &player = m_players[owner];
    const Player before = player;
    MprisMetadata::takeProperties(values, player);
    if (player.status != before.status || player.path != before.path)
        Q_EMIT changed();
}

void TMprisSource::nameOwnerChanged(const QString &name, const QString &oldOwner, const QString &newOwner)
{
    if (!name.startsWith(Prefix))
        return;
    if (!oldOwner.isEmpty() && m_players.remove(oldOwner) > 0)
        Q_EMIT changed();
    if (!newOwner.isEmpty())
        fetch(newOwner);
}

void TMprisSource::propertiesChanged(const QString &interface, const QVariantMap &values,
    const QStringList &invalidated, const QDBusMessage &message)
{
    if (interface != PlayerInterface)
        return;
    // A player that only says a value changed is asked for them all.
    if (!invalidated.isEmpty() || !m_players.contains(message.service()))
        fetch(message.service());
    else
        take(message.service(), values);
}

std::vector<QByteArray> TMprisSource::heldPaths() const
{
    std::vector<QByteArray> paths;
    for (const Player &player : m_players)
        if (MprisMetadata::holdsFile(player))
            paths.push_back(player.path);
    return paths;
}

TPlayReport TMprisSource::report() const
{
    TPlayReport report;
    report.paths = heldPaths();
    return report;
}
