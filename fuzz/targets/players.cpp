// What MPRIS players and the Documents portal answer, over any bytes. Input:
// lines for a player's PlaybackStatus, its xesam:url and a path a sandboxed
// player holds open; then the portal's answer to Info for that document.

#include "../FuzzCheck.h"

#include "MprisMetadata.h"
#include "PortalPath.h"

#include <QVariantMap>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    InputLines input(data, size);
    const QString status = QString::fromUtf8(input.take());
    const QString url = QString::fromUtf8(input.take());
    const QByteArray held = input.take();
    const QByteArray answer = input.rest();

    // A player's file is a local file:// URL's, and only that.
    const QByteArray file = MprisMetadata::localFile(QVariant(url));
    if (!file.isEmpty())
        FUZZ_CHECK(url.startsWith(QLatin1String("file://")) && url.size() <= MprisMetadata::MaxUrl);
    FUZZ_CHECK(MprisMetadata::localFile(QVariant(url.toUtf8())).isEmpty()); // not a string: no answer

    MprisMetadata::Player player;
    QVariantMap metadata;
    metadata.insert(QStringLiteral("xesam:url"), url);
    MprisMetadata::takeProperties(
        { { QStringLiteral("PlaybackStatus"), status }, { QStringLiteral("Metadata"), metadata } }, player);
    FUZZ_CHECK(player.status == status && player.path == file);
    FUZZ_CHECK(MprisMetadata::holdsFile(player)
        == (!file.isEmpty() && (status == QLatin1String("Playing") || status == QLatin1String("Paused"))));
    // Properties that changed leave the others as they were.
    MprisMetadata::takeProperties(
        { { QStringLiteral("PlaybackStatus"), QStringLiteral("Stopped") } }, player);
    FUZZ_CHECK(player.path == file && !MprisMetadata::holdsFile(player));

    // A document ID is one name in the portal's folder of the path.
    const QByteArray id = PortalDocumentId(held);
    if (!id.isEmpty())
        FUZZ_CHECK(!id.contains('/') && held.contains("/doc/" + id));
    const QByteArray folder = PortalDocumentFolder(answer);
    if (!folder.isNull())
        FUZZ_CHECK(!folder.contains('\0'));
    return 0;
}
