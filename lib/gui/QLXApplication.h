#pragma once
// The application object: its title (the caption of every message box) and
// the one place where an error escaping an event handler is shown, in the
// standard error box, after which the program keeps running.

#include <QApplication>
#include <QFont>
#include <QString>

class TQLXApplication : public QApplication
{
    Q_OBJECT
public:
    TQLXApplication(int &argc, char **argv);

    static TQLXApplication *instance();
    // The application title; message boxes carry it as their caption.
    static QString Title();
    static void setTitle(const QString &title);

    // The error box text: the message with a full stop added when it lacks one.
    static QString ErrorText(const QString &message);
    // Shows the standard error box (stop icon, OK, the title as caption).
    // Boxes asked for while one is showing are queued and shown after it.
    static void ShowException(const QString &message);
    // Shows the error box at once and returns when it is closed (for the
    // last moments of a window, when no event loop will show a queued box).
    static void ShowExceptionNow(const QString &message);
    // Shows the exception being handled as ShowException does: an EQLXError
    // with its message, anything else as well as it can. Only inside a catch.
    static void ShowCurrentException();

    bool notify(QObject *receiver, QEvent *event) override;

private:
    static void showQueued();
};

// Runs action and shows an error escaping it in the error box, as notify
// does for events. For slots that can throw: an exception must not unwind
// through Qt's signal emission, which is not made for it.
template <typename Action> void ShowingErrors(Action &&action)
{
    try {
        action();
    } catch (...) {
        TQLXApplication::ShowCurrentException();
    }
}

// Shows the busy cursor for the whole application while it lives, so that
// an exception cannot leave the hourglass behind.
class TBusyCursor
{
public:
    TBusyCursor();
    ~TBusyCursor();
    TBusyCursor(const TBusyCursor &) = delete;
    TBusyCursor &operator=(const TBusyCursor &) = delete;
};

// The fixed-pitch font the song grid and the text viewers use, at pixelSize
// pixels. Named outright: "monospace" maps here to a font Qt does not report
// as fixed-pitch.
QFont FixedPitchFont(int pixelSize);
// The windows' own font, Arial (or what the system puts in its place), at
// pixelSize pixels.
QFont ArialFont(int pixelSize);
