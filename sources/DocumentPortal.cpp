#include "DocumentPortal.h"

#include "PortalPath.h"
#include "SourcesLog.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>

namespace
{
const QString DocumentsService = QStringLiteral("org.freedesktop.portal.Documents");
}

TDocumentPortal::TDocumentPortal(QObject *parent)
    : TPlaySource(parent)
{
    m_clock.start();
}

void TDocumentPortal::start()
{
    // As for the players: without an address Qt would try to start a bus.
    m_connected = !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")
        && QDBusConnection::sessionBus().isConnected();
}

TPlayReport TDocumentPortal::report() const
{
    TPlayReport report;
    report.documents = m_documents;
    return report;
}

void TDocumentPortal::unplaced(const std::vector<QByteArray> &documents)
{
    for (const QByteArray &id : documents)
        resolve(id);
}

void TDocumentPortal::resolve(const QByteArray &id)
{
    // A portal that did not know the document is not asked again at once:
    // a sandboxed player holding it is seen at every scan.
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
