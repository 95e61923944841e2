#pragma once
// What the main window shows when a scan ends. After a full scan: the artist
// list, the total time and size, the number of songs in the status bar and
// what the scan moved (which goes into the moves log too). After any scan:
// one box for all its failures, so a folder of broken files does not bury
// the user in boxes.

#include <QObject>
#include <QStringList>

class QComboBox;
class TBoxLabel;
class TCatalogue;
class TMainStatus;
class TMovesLog;

class TScanResults final : public QObject
{
    Q_OBJECT
public:
    // The failures the box lists; more are counted on a line of their own.
    static constexpr int MaxShown = 10;

    // Where the results go: the artist list, the totals, the status bar's
    // texts and the moves log; the catalogue holds them.
    struct Parts {
        QComboBox *cbxArtist;
        TBoxLabel *bxlTime;
        TBoxLabel *bxlSize;
        TCatalogue *catalogue;
        TMainStatus *status;
        TMovesLog *movesLog;
    };

    TScanResults(const Parts &parts, QObject *parent);

    void scanEnded(bool full, const QStringList &errors);

    // The error box's text: the first MaxShown failures, one a line (as
    // TQLXApplication::ErrorText words them), then "(N more)".
    static QString errorsText(const QStringList &errors);
    // Shows errorsText in the error box; nothing for no failures.
    static void showErrors(const QStringList &errors);

private:
    Parts m_parts;
};
