#include "MprisMetadata.h"

#include <QDBusArgument>
#include <QFile>
#include <QUrl>

namespace MprisMetadata
{

bool toMap(const QVariant &value, QVariantMap &map)
{
    if (value.metaType() == QMetaType::fromType<QVariantMap>()) {
        map = value.toMap();
        return true;
    }
    if (value.metaType() != QMetaType::fromType<QDBusArgument>())
        return false;
    const QDBusArgument argument = value.value<QDBusArgument>();
    if (argument.currentType() != QDBusArgument::MapType)
        return false;
    argument >> map;
    return true;
}

QByteArray localFile(const QVariant &value)
{
    if (value.metaType() != QMetaType::fromType<QString>())
        return QByteArray();
    const QString text = value.toString();
    if (text.size() > MaxUrl || !text.startsWith(QLatin1String("file://")))
        return QByteArray();
    const QUrl url(text);
    return url.isValid() && url.isLocalFile() ? QFile::encodeName(url.toLocalFile()) : QByteArray();
}

void takeProperties(const QVariantMap &values, Player &player)
{
    const auto status = values.constFind(QStringLiteral("PlaybackStatus"));
    if (status != values.constEnd())
        player.status = status->metaType() == QMetaType::fromType<QString>() ? status->toString() : QString();
    const auto metadata = values.constFind(QStringLiteral("Metadata"));
    if (metadata != values.constEnd()) {
        QVariantMap map;
        player.path
            = toMap(*metadata, map) ? localFile(map.value(QStringLiteral("xesam:url"))) : QByteArray();
    }
}

bool holdsFile(const Player &player)
{
    return !player.path.isEmpty()
        && (player.status == QLatin1String("Playing") || player.status == QLatin1String("Paused"));
}

} // namespace MprisMetadata
