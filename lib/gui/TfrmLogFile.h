#pragma once
// The text viewer window of TQLXLogFile: a read-only text area over a bar
// with Print, Clear and Close. Created for one showing; closes with 1 (Close,
// Enter, Esc) or 4 (Clear confirmed).

#include "UQLXComp.h"

#include <QDateTime>
#include <QDialog>
#include <QStringList>

#include <functional>
#include <memory>

class QFrame;
class QPrinter;
class QPushButton;
class TQLXMemo;

// Sender is about to print; the handler allows it by setting Continue.
using TLogFileNotifyEvent = std::function<void(QObject *Sender, bool &Continue)>;
// Gives the printer to print on; throws EQLXError when there is none.
using TPrinterSource = std::function<std::unique_ptr<QPrinter>()>;

class TfrmLogFile : public QDialog
{
    Q_OBJECT
public:
    // Outer sizes, frame included.
    static constexpr int DesignWidth = 468;
    static constexpr int DesignHeight = 314;
    static constexpr int MinSize = 210;
    static constexpr int ResultClear = 4;

    explicit TfrmLogFile(QWidget *parent = nullptr);
    ~TfrmLogFile() override;

    TQLXMemo *imeText;
    QFrame *pnlText;
    QFrame *pnlBottom;
    QFrame *pnlButtons;
    QPushButton *bbtPrint;
    QPushButton *bbtClear;
    QPushButton *bbtClose;

    TLogFileNotifyEvent PrintEvent;
    TOnHelpEvent HelpEvent;
    QString FileName; // printed in the header line
    TPrinterSource PrinterSource; // unset: the system's default printer

    // Puts lines into the text area; they are also what Print prints.
    void setLines(const QStringList &Lines);
    const QStringList &lines() const { return m_lines; }

    // Prints the lines on printer: the file name and date on top of the
    // first page, then one line per row of an "X" height at x = 100, starting
    // at row 4 of each page, a new page once a row reaches 6 rows above the
    // bottom of the page. Throws EQLXError when the printer cannot start.
    void PrintTo(QPrinter &printer, const QDateTime &now) const;
    // The system's default printer; throws EQLXError("No default printer").
    static std::unique_ptr<QPrinter> DefaultPrinter();

    // Close, Enter and Esc give 1.
    void reject() override;

protected:
    void resizeEvent(QResizeEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void bbtPrintClick();
    void bbtClearClick();

    QStringList m_lines;
};
