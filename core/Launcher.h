#pragma once
// Hands a song to the desktop's default-application launcher (xdg-open) and
// reports a failure with the program's result codes. The launcher gets the
// path as its one argument, byte for byte, never through a shell; it runs in
// a session of its own with no pipes to us, so the player it starts outlives
// the program. Nothing waits for it: a launcher that has not ended after a
// short settle time has handed the file on, and how it ends later is its
// player's business.

#include <QByteArray>
#include <QObject>
#include <QString>

class TLauncher final : public QObject
{
    Q_OBJECT
public:
    // How long a launcher may take to fail before the hand-over counts as done.
    static constexpr int SettleMs = 3000;

    explicit TLauncher(QObject *parent = nullptr);
    ~TLauncher() override;

    // The launcher, looked up on PATH when the name has no "/".
    void setProgram(const QString &program) { m_program = program; }

    // Hands path (absolute, raw file-name bytes) to the launcher. A failure
    // found before starting it is reported through failed() before this
    // returns; one found when the launcher ends within SettleMs later on.
    void open(const QByteArray &path);

    // The message text for a result code of 32 or less.
    static QString CodeText(int code);
    // The message text for the launcher's exit status.
    static QString ExitText(int exitCode, bool crashed);

    // Launchers started and not yet ended (for tests).
    int running() const;

Q_SIGNALS:
    void failed(const QString &text, const QByteArray &path);

private:
    QString m_program = QStringLiteral("xdg-open");
};
