#include "MprisSource.h"

#include "PortalPath.h"
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
const QString DocumentsService = QStringLiteral("org.freedesktop.portal.Documents");

} // namespace

TMprisSource::TMprisSource(QObject *parent)
    : QObject(parent)
{
    m_clock.start();
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
    if (const QByteArray id = PortalDocumentId(player.path); !id.isEmpty())
        resolveDocument(id);
    if (player.status != before.status || player.path != before.path)
        Q_EMIT changed();
}

void TMprisSource::resolveDocument(const QByteArray &id)
{
    // A portal that did not know the document is not asked again at once:
    // a sandboxed player holding it is seen at every scan.
    constexpr qint64 AskAgainAfter = 30000;
    if (!m_connected || m_documents.contains(id) || m_asked.contains(id)
        || (m_unanswered.contains(id) && m_clock.elapsed() - m_unanswered.value(id) < AskAgainAfter))
        return;
    m_asked.insert(id);
    QDBusMessage info = QDBusMessage::createMethodCall(DocumentsService,
        QStringLiteral("/org/freedesktop/portal/documents"), DocumentsService, QStringLiteral("Info"));
    info << QString::fromUtf8(id);
    // Only a portal that runs answers: none is started for us.
    info.setAutoStartService(false);
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(info), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, id](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        m_asked.remove(id);
        const QDBusMessage reply = call->reply();
        const QVariant path = reply.arguments().value(0);
        if (reply.type() != QDBusMessage::ReplyMessage
            || path.metaType() != QMetaType::fromType<QByteArray>()) {
            qCDebug(lcSources, "Documents portal: no answer for %s: %s", id.constData(),
                qPrintable(reply.errorMessage()));
            m_unanswered.insert(id, m_clock.elapsed());
            return;
        }
        // The document's own path on this machine, NUL-ended; a file lent
        // by the portal shows as ID/its name, a folder as ID/its name/...
        const QByteArray folder = PortalDocumentFolder(path.toByteArray());
        if (folder.isNull())
            return;
        m_documents.insert(id, folder);
        Q_EMIT changed();
    });
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
