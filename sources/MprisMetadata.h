#pragma once
// What an MPRIS2 player's properties say, apart from the bus: its
// PlaybackStatus, and the local file its Metadata's xesam:url names.
// Answers of the wrong shape (a URL that is not file:// or names another
// machine, another type than the one asked for) count as no answer.

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantMap>

namespace MprisMetadata
{

// Longer URLs name no file worth looking up.
constexpr qsizetype MaxUrl = 8192;

// A map from a D-Bus answer: given as a map, or still marshalled. False for
// anything else.
bool toMap(const QVariant &value, QVariantMap &map);

// The local file a file:// URL names, as raw path bytes (percent-escapes
// undone); empty for anything else.
QByteArray localFile(const QVariant &url);

// What a player told of itself so far.
struct Player {
    QString status;
    QByteArray path; // empty: no local file
    bool operator==(const Player &) const = default;
};
// Takes the Player interface's properties in values (all of them, or those
// that changed) into player.
void takeProperties(const QVariantMap &values, Player &player);
// A player holds its file while it plays it or is paused in it.
bool holdsFile(const Player &player);

} // namespace MprisMetadata
