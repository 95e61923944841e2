#pragma once
// The single-instance guard: one copy of the program per user and per
// executable file name. A second copy asks the running one to come to the
// front and ends before it creates any window; the running copy beeps,
// restores its main window when minimised and raises it.
//
// The channel lives in the user's runtime folder (private to the user): a
// lock file decides which copy is first (a lock left by a crashed copy, or
// one that names no process at all, is taken over as soon as no running
// copy holds it) and a local socket, readable by the user alone, carries the
// request. Whatever stands at the socket's path is cleared by the lock's
// holder. A connection brings one short request and is closed; a silent one
// is dropped after a few seconds, and the oldest one when too many are open,
// so other local programs cannot keep a second copy from being heard. When
// neither lock nor socket can be made, the program runs on without the
// guard.

#include <QList>
#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;
class QWidget;

class TQLXInstanceGuard final : public QObject
{
    Q_OBJECT
public:
    enum TOutcome {
        First, // this copy runs and listens for requests
        Second, // another copy runs and has been asked to come to the front
        Unguarded, // no channel could be made; this copy runs on regardless
    };

    explicit TQLXInstanceGuard(QObject *parent = nullptr);
    ~TQLXInstanceGuard() override;

    // "Check Instance " followed by the executable's file name in upper case.
    static QString InstanceName(const QString &programPath);
    // The channel's path without extension: the runtime folder, the instance
    // name and the user id; empty when there is no runtime folder.
    static QString ChannelPath(const QString &programPath);

    // Decides for the program file programPath (the running executable when
    // empty). While another copy holds the lock, waits up to waitMs for it
    // to answer; a lock nobody answers on counts as a broken channel.
    TOutcome Start(const QString &programPath = QString(), int waitMs = 5000);

    // The window that a request restores and raises.
    void setMainWindow(QWidget *window) { m_mainWindow = window; }

Q_SIGNALS:
    // A second copy asked this one to come to the front.
    void raiseRequested();

private:
    void acceptRequests();
    // Answers socket's request once it has come in (or, when last, with
    // whatever has come in), then closes the connection.
    void serve(QLocalSocket *socket, bool last);
    void bringToFront();

    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    // The connections whose request is still awaited, oldest first.
    QList<QPointer<QLocalSocket>> m_open;
    QPointer<QWidget> m_mainWindow;
};
