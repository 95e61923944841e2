#pragma once
// The Documents portal (org.freedesktop.portal.Documents) as the source of
// where a file lent to a sandboxed player lies on this machine: a sandboxed
// player holds a song under the portal's path (/run/user/UID/doc/ID/name),
// whether it names it over MPRIS or the sweep finds it held. For each
// document a scan could not place the portal, when it runs, is asked once;
// its answer goes into the report and changed() follows, so the next scan
// counts the song. A portal that did not know a document is asked again
// after a while at the soonest. No portal is ever started for us.

#include "PlaySource.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>

class TDocumentPortal final : public TPlaySource
{
    Q_OBJECT
public:
    // How long a document the portal did not know waits before it is asked
    // about again.
    static constexpr qint64 AskAgainAfter = 30000;

    explicit TDocumentPortal(QObject *parent = nullptr);

    void start() override;
    TPlayReport report() const override;
    void unplaced(const std::vector<QByteArray> &documents) override;

private:
    void resolve(const QByteArray &id);

    // The folder on this machine of each document the portal told of, the
    // documents asked about now, and when the portal last had no answer.
    QHash<QByteArray, QByteArray> m_documents;
    QSet<QByteArray> m_asked;
    QHash<QByteArray, qint64> m_unanswered;
    QElapsedTimer m_clock;
    bool m_connected = false;
};
