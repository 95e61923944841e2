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
// portal's path; the portal, when it runs, tells whose file that is.

#include "MprisMetadata.h"

#include <QByteArray>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariantMap>

#include <vector>

class TMprisSource final : public QObject
{
    Q_OBJECT
public:
    explicit TMprisSource(QObject *parent = nullptr);

    // Connects to the session bus, when there is one, and asks every player
    // present what it plays.
    void start();
    bool isConnected() const { return m_connected; }

    // The files (raw paths, as the players name them: a portal's path too)
    // that players hold now: playing or paused.
    std::vector<QByteArray> heldPaths() const;

    // Asks the Documents portal, when it runs, where the document id it
    // lends to sandboxes lies; changed() follows the answer. A document the
    // portal did not know is asked about again after a while at the soonest.
    void resolveDocument(const QByteArray &id);
    // The folder on this machine of each document the portal told of.
    const QHash<QByteArray, QByteArray> &documentFolders() const { return m_documents; }

Q_SIGNALS:
    // What the players hold may have changed.
    void changed();

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
    // The folder on this machine of each document the portal named, the
    // documents asked about now, and when the portal last had no answer.
    QHash<QByteArray, QByteArray> m_documents;
    QSet<QByteArray> m_asked;
    QHash<QByteArray, qint64> m_unanswered;
    QElapsedTimer m_clock;
    bool m_connected = false;
};
