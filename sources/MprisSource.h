#pragma once
// Players on the desktop's session bus (MPRIS2: every service named
// org.mpris.MediaPlayer2.*) as a source of plays: a player whose
// PlaybackStatus is Playing or Paused names the file it holds in its
// metadata's xesam:url. Players that come and go are followed; all calls
// are asynchronous, so a player that hangs never holds up the window. With
// no session bus the source stays off and only the debug log category
// discora.sources says so. Answers of the wrong shape (a URL that is not
// file://, another type than the one asked for) count as no answer. A
// sandboxed player names a file the Documents portal lends it by the
// portal's path; TDocumentPortal tells whose file that is.

#include "MprisMetadata.h"
#include "PlaySource.h"

#include <QByteArray>
#include <QDBusMessage>
#include <QHash>
#include <QString>
#include <QVariantMap>

#include <vector>

class TMprisSource final : public TPlaySource
{
    Q_OBJECT
public:
    explicit TMprisSource(QObject *parent = nullptr);

    // Connects to the session bus, when there is one, and asks every player
    // present what it plays.
    void start() override;
    bool isConnected() const { return m_connected; }

    // The files (raw paths, as the players name them: a portal's path too)
    // that players hold now: playing or paused.
    std::vector<QByteArray> heldPaths() const;
    TPlayReport report() const override;

private Q_SLOTS:
    void nameOwnerChanged(const QString &name, const QString &oldOwner, const QString &newOwner);
    void propertiesChanged(const QString &interface, const QVariantMap &values,
        const QStringList &invalidated, const QDBusMessage &message);

private:
    using Player = MprisMetadata::Player;
    void askOwner(const QString &name);
    void fetch(const QString &owner);
    // Takes the Player properties in values into the player of owner.
    void take(const QString &owner, const QVariantMap &values);

    QHash<QString, Player> m_players; // by the player's unique bus name
    bool m_connected = false;
};
