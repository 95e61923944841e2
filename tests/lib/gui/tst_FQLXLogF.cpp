// The log-file component and its viewer as a user meets them: the log file
// on disk (entries, trimming, clearing), what the viewer shows and which
// buttons it offers, the Clear question, the remembered geometry in the INI
// file, the keys, the "too large" warning, and printing read back from a PDF.

#include "FQLXLogF.h"
#include "MSG_Func.h"
#include "QLXApplication.h"
#include "QLXError.h"
#include "TestSupport.h"
#include "TextLines.h"
#include "UQLXMemo.h"

#include <QMessageBox>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using TestSupport::readBytes;
using TestSupport::writeBytes;

namespace
{

const QString kHeader = u" Date       Time  Action"_s;
const QString kRuler = u" ---------- ----- ----------------------------------------"_s;
// The offscreen screen is 800 x 800: the window at its first 468 x 314, centred.
const QPoint kCentred(166, 243);

// "entry 001" .. "entry <count>", each ended by lineEnd.
QByteArray entries(int first, int last, const QByteArray &lineEnd)
{
    QByteArray bytes;
    for (int i = first; i <= last; ++i)
        bytes += QByteArray("entry ") + QByteArray::number(i).rightJustified(3, '0') + lineEnd;
    return bytes;
}

// Calls step with the topmost modal window every 10 ms while it lives.
class ModalDriver
{
public:
    explicit ModalDriver(std::function<void(QWidget *)> step)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [step] {
            if (QWidget *w = QApplication::activeModalWidget())
                step(w);
        });
        m_timer.start(10);
    }

private:
    QTimer m_timer;
};

TfrmLogFile *viewer(QWidget *w)
{
    return qobject_cast<TfrmLogFile *>(w);
}

TMsgWindow *message(QWidget *w)
{
    return qobject_cast<TMsgWindow *>(w);
}

// The page count and the non-empty lines of page n (blanks trimmed) of a PDF.
int pdfPages(const QString &pdf)
{
    QProcess p;
    p.start(u"pdfinfo"_s, { pdf });
    p.waitForFinished(60000);
    const QRegularExpression re(u"^Pages:\\s+(\\d+)"_s, QRegularExpression::MultilineOption);
    return re.match(QString::fromUtf8(p.readAllStandardOutput())).captured(1).toInt();
}

QStringList pdfPage(const QString &pdf, int n)
{
    QProcess p;
    p.start(u"pdftotext"_s,
        { u"-layout"_s, u"-f"_s, QString::number(n), u"-l"_s, QString::number(n), pdf, u"-"_s });
    p.waitForFinished(60000);
    QStringList lines;
    for (const QString &line : QString::fromUtf8(p.readAllStandardOutput()).split(u'\n')) {
        const QString t = line.trimmed().remove(u'\f');
        if (!t.isEmpty())
            lines << t;
    }
    return lines;
}

// The words of page n, one string per printed row: "row|col:word col:word",
// where a row is 9 dots high and a column 4.8 dots wide (Liberation Mono at
// 8 points and 72 dots per inch), counted from x = 100.
QStringList pdfRows(const QString &pdf, int n)
{
    QProcess p;
    p.start(u"pdftotext"_s,
        { u"-bbox"_s, u"-f"_s, QString::number(n), u"-l"_s, QString::number(n), pdf, u"-"_s });
    p.waitForFinished(60000);
    const QRegularExpression re(u"<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\"[^>]*>([^<]*)</word>"_s);
    QMap<int, QString> rows;
    auto it = re.globalMatch(QString::fromUtf8(p.readAllStandardOutput()));
    while (it.hasNext()) {
        const auto m = it.next();
        const int row = int(m.captured(2).toDouble() / 9);
        const int col = qRound((m.captured(1).toDouble() - 100) / 4.8);
        QString &text = rows[row];
        text += (text.isEmpty() ? QString::number(row) + u'|' : u" "_s) + QString::number(col) + u':'
            + m.captured(3);
    }
    return rows.values();
}

// A PDF printer on an A4 page without margins at 72 dots per inch, on which
// the default font (Courier New 8 points, Liberation Mono here) is 9 dots
// high: the page is 842 dots high and rows 4 to 88 take lines.
std::unique_ptr<QPrinter> pdfPrinter(const QString &path)
{
    auto printer = std::make_unique<QPrinter>();
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(path);
    printer->setResolution(72);
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    return printer;
}

} // namespace

class TestLogFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void trimming_data();
    void trimming();
    void trimFailureKeepsFile();
    void display_data();
    void display();
    void takingFiles_data();
    void takingFiles();
    void section_data();
    void section();
    void addAndClear();
    void appendAfterLastLineWithoutBreak();
    void viewerButtons_data();
    void viewerButtons();
    void clearQuestion_data();
    void clearQuestion();
    void geometry_data();
    void geometry();
    void geometryWriteProtected();
    void keys_data();
    void keys();
    void tooLarge_data();
    void tooLarge();
    void printGate_data();
    void printGate();
    void printLayout_data();
    void printLayout();
    void printPixelFont_data();
    void printPixelFont();
    void noDefaultPrinter();
    void printError_data();
    void printError();

private:
    QTemporaryDir m_dir;
};

void TestLogFile::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestLogFile::trimming_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("maxRecords");
    QTest::addColumn<int>("kept"); // lines on disk afterwards; 0: file untouched
    QTest::addColumn<QString>("newest");

    QTest::newRow("275-of-250-left-alone") << 275 << 250 << 0 << "entry 275";
    QTest::newRow("276-of-250-cut-to-last-250") << 276 << 250 << 250 << "entry 276";
    QTest::newRow("max-0-means-250") << 276 << 0 << 250 << "entry 276";
    QTest::newRow("max-negative-means-250") << 276 << -3 << 250 << "entry 276";
    QTest::newRow("11-of-10-left-alone") << 11 << 10 << 0 << "entry 011";
    QTest::newRow("12-of-10-cut-to-10") << 12 << 10 << 10 << "entry 012";
}

void TestLogFile::trimming()
{
    QFETCH(int, lines);
    QFETCH(int, maxRecords);
    QFETCH(int, kept);
    QFETCH(QString, newest);

    const QString path = m_dir.filePath(u"trim.log"_s);
    // Lines ended by LF only: a file that is not rewritten keeps them.
    const QByteArray before = entries(1, lines, "\n");
    writeBytes(path, before);
    TQLXLogFile log;
    log.setMaxRecords(maxRecords);
    log.setLogFile(path);

    const QByteArray after = readBytes(path);
    if (kept == 0)
        QCOMPARE(after, before);
    else
        QCOMPARE(after, entries(lines - kept + 1, lines, "\r\n"));
    const int shown = kept ? kept : lines;
    QCOMPARE(log.Lines().size(), shown + 4);
    QCOMPARE(log.Lines().at(3), newest);
}

void TestLogFile::trimFailureKeepsFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"long.log"_s);
    const QByteArray before = entries(1, 276, "\r\n");
    writeBytes(path, before);
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0555) == 0);
    TQLXLogFile log;
    QVERIFY_THROWS_EXCEPTION(EQLXError, log.setLogFile(path));
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    QCOMPARE(readBytes(path), before);
}

void TestLogFile::display_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("viewMode");
    QTest::addColumn<bool>("reverse");
    QTest::addColumn<QStringList>("lines");

    const QByteArray three(
        " 01-02-2003 04:05 first\r\n 01-02-2003 04:06 second\r\n 01-02-2003 04:07 third\r\n");
    QTest::newRow("empty-log") << QByteArray() << false << true
                               << QStringList { "", kHeader, kRuler, kRuler };
    QTest::newRow("log-newest-first") << three << false << true
                                      << QStringList { "", kHeader, kRuler, " 01-02-2003 04:07 third",
                                             " 01-02-2003 04:06 second", " 01-02-2003 04:05 first", kRuler };
    QTest::newRow("log-in-file-order") << three << false << false
                                       << QStringList { "", kHeader, kRuler, " 01-02-2003 04:05 first",
                                              " 01-02-2003 04:06 second", " 01-02-2003 04:07 third", kRuler };
    QTest::newRow("view-lines-unchanged")
        << QByteArray("b\r\n\r\n  a\tx\rlast") << true << true << QStringList { "b", "", "  a\tx", "last" };
    QTest::newRow("view-ignores-reverse")
        << QByteArray("1\n2\n") << true << false << QStringList { "1", "2" };
    QTest::newRow("view-windows-1252")
        << QByteArray("caf\xe9\r\n") << true << true << QStringList { u"caf\u00e9"_s };
}

void TestLogFile::display()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, viewMode);
    QFETCH(bool, reverse);
    QFETCH(QStringList, lines);

    const QString path = m_dir.filePath(u"display.txt"_s);
    writeBytes(path, content);
    TQLXLogFile log;
    if (viewMode)
        log.setViewFile(path);
    else
        log.setLogFile(path);
    log.setLogReverse(reverse);
    QCOMPARE(log.Lines(), lines);
    QCOMPARE(log.ViewMode(), viewMode);
    QCOMPARE(readBytes(path), content);
}

void TestLogFile::takingFiles_data()
{
    QTest::addColumn<QString>("name"); // relative to a fresh folder; "" stays empty
    QTest::addColumn<bool>("asLog");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<QString>("created"); // the file that exists afterwards

    QTest::newRow("log-created-with-folders") << "a/b/new.log" << true << true << "a/b/new.log";
    QTest::newRow("log-blank-name-ignored") << " \t " << true << false << "";
    QTest::newRow("log-name-is-folder-ignored") << "dir" << true << false << "";
    QTest::newRow("view-missing-ignored") << "missing.txt" << false << false << "";
    QTest::newRow("view-folder-ignored") << "dir" << false << false << "";
    QTest::newRow("view-existing-taken") << "old.txt" << false << true << "old.txt";
}

void TestLogFile::takingFiles()
{
    QFETCH(QString, name);
    QFETCH(bool, asLog);
    QFETCH(bool, taken);
    QFETCH(QString, created);

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(u"dir"_s));
    writeBytes(dir.filePath(u"old.txt"_s), "old\r\n");
    writeBytes(dir.filePath(u"before.log"_s), "x\r\n");
    const QString path = name.trimmed().isEmpty() ? name : dir.filePath(name);

    TQLXLogFile log;
    log.setObjectName(u"ilo"_s);
    log.setLogFile(dir.filePath(u"before.log"_s));
    if (asLog)
        log.setLogFile(path);
    else
        log.setViewFile(path);

    if (taken) {
        QCOMPARE(asLog ? log.LogFile() : log.ViewFile(), path);
        QCOMPARE(asLog ? log.ViewFile() : log.LogFile(), QString());
        QCOMPARE(log.ViewMode(), !asLog);
        QVERIFY(QFileInfo(dir.filePath(created)).isFile());
    } else {
        QCOMPARE(log.LogFile(), dir.filePath(u"before.log"_s));
        QCOMPARE(log.ViewMode(), false);
        QCOMPARE(log.SettingsSection(), u"LogFile-ilo"_s);
        QCOMPARE(log.Lines().at(3), u"x"_s);
    }
}

void TestLogFile::section_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("mode"); // none, log, view
    QTest::addColumn<QString>("section");

    QTest::newRow("before-any-file") << "iloViewer"
                                     << "none"
                                     << "LogFile";
    QTest::newRow("view-iloViewer-18-chars") << "iloViewer"
                                             << "view"
                                             << "ViewFile-iloViewer";
    QTest::newRow("view-cut-at-20") << "iloSongInformation"
                                    << "view"
                                    << "ViewFile-iloSongInfo";
    QTest::newRow("log-cut-at-20") << "iloProgramActivity"
                                   << "log"
                                   << "LogFile-iloProgramAc";
    QTest::newRow("log-exactly-20") << "ilo45678901"
                                    << "log"
                                    << "LogFile-ilo45678901";
    QTest::newRow("unnamed-view") << ""
                                  << "view"
                                  << "ViewFile-";
}

void TestLogFile::section()
{
    QFETCH(QString, name);
    QFETCH(QString, mode);
    QFETCH(QString, section);

    const QString path = m_dir.filePath(u"section.txt"_s);
    writeBytes(path, "x\r\n");
    TQLXLogFile log;
    log.setObjectName(name);
    if (mode == "log")
        log.setLogFile(path);
    else if (mode == "view")
        log.setViewFile(path);
    QCOMPARE(log.SettingsSection(), section);
}

void TestLogFile::addAndClear()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"activity.log"_s);
    writeBytes(path, " 01-01-2020 10:00 started\r\n");
    TQLXLogFile log;
    log.setLogFile(path);
    QVERIFY(log.AddEntry(u"Song played: \u00e9t\u00e9"_s));

    const QRegularExpression entry(u"^ \\d\\d-\\d\\d-\\d{4} \\d\\d:\\d\\d Song played: \u00e9t\u00e9\r\n$"_s);
    const QByteArray bytes = readBytes(path);
    QVERIFY(bytes.startsWith(" 01-01-2020 10:00 started\r\n"));
    QVERIFY2(entry.match(QString::fromUtf8(bytes.mid(27))).hasMatch(), bytes.constData());
    QCOMPARE(log.Lines().size(), 6);
    QVERIFY(log.Lines().at(3).endsWith(u"Song played: \u00e9t\u00e9"_s));

    log.ClearLog();
    const QRegularExpression cleared(u"^ \\d\\d-\\d\\d-\\d{4} \\d\\d:\\d\\d Logfile cleared\\.\r\n$"_s);
    QVERIFY2(cleared.match(QString::fromUtf8(readBytes(path))).hasMatch(), readBytes(path).constData());
    QCOMPARE(log.Lines().size(), 5);

    // While the log file is missing nothing is written.
    QVERIFY(QFile::remove(path));
    QVERIFY(!log.AddEntry(u"lost"_s));
    log.ClearLog();
    QVERIFY(!QFileInfo::exists(path));
}

void TestLogFile::appendAfterLastLineWithoutBreak()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"activity.log"_s);
    writeBytes(path, " 01-01-2020 10:00 no line end");
    TQLXLogFile log;
    log.setLogFile(path);
    log.AddEntry(u"next"_s);
    const QByteArray bytes = readBytes(path);
    QVERIFY2(bytes.startsWith(" 01-01-2020 10:00 no line end\r\n "), bytes.constData());
    QVERIFY(bytes.endsWith(" next\r\n"));
    QCOMPARE(log.Lines().size(), 6);
}

void TestLogFile::viewerButtons_data()
{
    QTest::addColumn<bool>("viewMode");
    QTest::addColumn<bool>("showPrint");
    QTest::addColumn<bool>("showClear");
    QTest::addColumn<bool>("printShown");
    QTest::addColumn<bool>("clearShown");

    QTest::newRow("log-both") << false << true << true << true << true;
    QTest::newRow("log-no-print") << false << false << true << false << true;
    QTest::newRow("log-no-clear") << false << true << false << true << false;
    QTest::newRow("view-never-clear") << true << true << true << true << false;
    QTest::newRow("view-no-print") << true << false << true << false << false;
}

void TestLogFile::viewerButtons()
{
    QFETCH(bool, viewMode);
    QFETCH(bool, showPrint);
    QFETCH(bool, showClear);
    QFETCH(bool, printShown);
    QFETCH(bool, clearShown);

    const QString path = m_dir.filePath(u"buttons.txt"_s);
    writeBytes(path, " 01-02-2003 04:05 one\r\n");
    TQLXLogFile log;
    viewMode ? log.setViewFile(path) : log.setLogFile(path);
    log.setCaption(u"Statistics"_s);
    log.ShowPrintBtn = showPrint;
    log.ShowClearBtn = showClear;

    // Read while shown, compared once closed: a failed check must not leave
    // the window up.
    QString seen;
    QList<bool> state;
    QString text;
    QWidget *focused = nullptr;
    QPushButton *close = nullptr;
    ModalDriver driver([&](QWidget *w) {
        TfrmLogFile *form = viewer(w);
        if (!form || !form->isVisible())
            return;
        seen = form->windowTitle();
        state = { form->bbtPrint->isVisible(), form->bbtPrint->isEnabled(), form->bbtClear->isVisible(),
            form->bbtClose->isVisible(), form->imeText->isReadOnly() };
        text = form->imeText->toPlainText();
        focused = form->focusWidget();
        close = form->bbtClose;
        form->bbtClose->click();
    });
    log.Execute();
    QCOMPARE(state, QList<bool>({ printShown, printShown, clearShown, true, true }));
    const QStringList shown = viewMode ? QStringList { " 01-02-2003 04:05 one" }
                                       : QStringList { "", kHeader, kRuler, " 01-02-2003 04:05 one", kRuler };
    QCOMPARE(text, shown.join(u'\n'));
    QCOMPARE(focused, close);
    QCOMPARE(seen, u"Statistics"_s);
}

void TestLogFile::clearQuestion_data()
{
    QTest::addColumn<QString>("answer"); // yes, no, esc
    QTest::addColumn<bool>("cleared");

    QTest::newRow("yes-clears-and-shows-again") << "yes" << true;
    QTest::newRow("no-leaves-log") << "no" << false;
    QTest::newRow("esc-leaves-log") << "esc" << false;
}

void TestLogFile::clearQuestion()
{
    QFETCH(QString, answer);
    QFETCH(bool, cleared);

    const QString path = m_dir.filePath(u"clear.log"_s);
    const QByteArray before = entries(1, 5, "\r\n");
    writeBytes(path, before);
    TQLXLogFile log;
    log.setLogFile(path);

    int showings = 0;
    bool asked = false;
    QStringList question;
    QStringList secondShowing;
    bool clearEnabledAfter = true;
    bool openAfterAnswer = false;
    ModalDriver driver([&](QWidget *w) {
        if (TMsgWindow *msg = message(w)) {
            question = QStringList { msg->windowTitle(), msg->message() };
            asked = true;
            if (answer == "yes")
                msg->button(mbYes)->click();
            else if (answer == "no")
                msg->button(mbNo)->click();
            else
                QTest::keyClick(msg, Qt::Key_Escape);
            return;
        }
        TfrmLogFile *form = viewer(w);
        if (!form || !form->isVisible())
            return;
        if (!asked) {
            ++showings;
            // Queued: the question runs its own loop inside this click, and
            // the timer that drives us does not fire again while we are in it.
            QMetaObject::invokeMethod(form->bbtClear, &QPushButton::click, Qt::QueuedConnection);
            return;
        }
        if (cleared && showings == 1) {
            ++showings;
            secondShowing = form->lines();
            clearEnabledAfter = form->bbtClear->isEnabled();
            form->bbtClose->click();
        } else if (!cleared && showings == 1) {
            ++showings;
            openAfterAnswer = form->isVisible();
            form->bbtClose->click();
        }
    });
    log.Execute();

    QCOMPARE(question,
        QStringList({ "Clear logfile", "The logfile will be cleared.\r\nDo you want to continue?" }));
    QCOMPARE(showings, 2);
    if (cleared) {
        QCOMPARE(secondShowing.size(), 5);
        QVERIFY(secondShowing.at(3).endsWith(u" Logfile cleared."_s));
        QCOMPARE(clearEnabledAfter, false);
        QCOMPARE(CountLines(readBytes(path)), 1);
    } else {
        QCOMPARE(openAfterAnswer, true);
        QCOMPARE(readBytes(path), before);
    }
}

void TestLogFile::geometry_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QRect>("shown"); // position and outer size while shown
    QTest::addColumn<QByteArray>("written");

    const QByteArray other("[Other]\r\nKey=1\r\n");
    QTest::newRow("stored-geometry-used")
        << other + "[ViewFile-iloViewer]\r\nTop=50\r\nLeft=60\r\nHeight=300\r\nWidth=400\r\n"
        << QRect(60, 50, 400, 300)
        << other + "[ViewFile-iloViewer]\r\nTop=50\r\nLeft=60\r\nHeight=300\r\nWidth=400\r\n";
    QTest::newRow("missing-section-centred-and-added")
        << other << QRect(kCentred, QSize(468, 314))
        << other + "[ViewFile-iloViewer]\r\nTop=243\r\nLeft=166\r\nHeight=314\r\nWidth=468\r\n";
    QTest::newRow("bad-top-centred")
        << QByteArray("[ViewFile-iloViewer]\nTop=abc\nLeft=10\nHeight=300\nWidth=400\n")
        << QRect(kCentred, QSize(468, 314))
        << QByteArray("[ViewFile-iloViewer]\nTop=243\nLeft=166\nHeight=314\nWidth=468\n");
    // A size applied before the bad value stays; the position is centred.
    QTest::newRow("bad-width-keeps-height")
        << QByteArray("[ViewFile-iloViewer]\nTop=5\nLeft=6\nHeight=300\nWidth= 4x\n")
        << QRect(kCentred, QSize(468, 300))
        << QByteArray("[ViewFile-iloViewer]\nTop=243\nLeft=166\nHeight=300\nWidth= 468\n");
    QTest::newRow("small-size-raised-to-210")
        << QByteArray("[ViewFile-iloViewer]\nTop=5\nLeft=6\nHeight=100\nWidth=209\n") << QRect(6, 5, 210, 210)
        << QByteArray("[ViewFile-iloViewer]\nTop=5\nLeft=6\nHeight=210\nWidth=210\n");
}

void TestLogFile::geometry()
{
    QFETCH(QByteArray, ini);
    QFETCH(QRect, shown);
    QFETCH(QByteArray, written);

    QTemporaryDir dir;
    const QString iniPath = dir.filePath(u"discora.INI"_s);
    writeBytes(iniPath, ini);
    const QString path = dir.filePath(u"report.TXT"_s);
    writeBytes(path, "report\r\n");
    TQLXLogFile log;
    log.setObjectName(u"iloViewer"_s);
    log.INIFile = iniPath;
    log.setViewFile(path);

    QRect seen;
    ModalDriver driver([&](QWidget *w) {
        TfrmLogFile *form = viewer(w);
        if (!form || !form->isVisible())
            return;
        seen = form->frameGeometry();
        form->bbtClose->click();
    });
    log.Execute();
    QCOMPARE(seen, shown);
    QCOMPARE(readBytes(iniPath), written);
}

void TestLogFile::geometryWriteProtected()
{
    QTemporaryDir dir;
    const QString iniPath = dir.filePath(u"discora.INI"_s);
    const QByteArray ini("[ViewFile-iloViewer]\r\nTop=1\r\n");
    writeBytes(iniPath, ini);
    QVERIFY(::chmod(QFile::encodeName(iniPath).constData(), 0444) == 0);
    const QString path = dir.filePath(u"report.TXT"_s);
    writeBytes(path, "report\r\n");
    TQLXLogFile log;
    log.setObjectName(u"iloViewer"_s);
    log.INIFile = iniPath;
    log.setViewFile(path);

    QStringList info;
    ModalDriver driver([&](QWidget *w) {
        if (TMsgWindow *msg = message(w)) {
            info = QStringList { msg->windowTitle(), msg->message() };
            msg->button(mbOK)->click();
        } else if (TfrmLogFile *form = viewer(w); form && form->isVisible()) {
            form->bbtClose->click();
        }
    });
    log.Execute();
    QCOMPARE(info, QStringList({ "Writeprotection", u"Can\u00B4t save the settings in "_s + iniPath }));
    QCOMPARE(readBytes(iniPath), ini);
}

void TestLogFile::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("focus"); // memo, close or print
    QTest::addColumn<bool>("withHelp");
    QTest::addColumn<QStringList>("helpCalls");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<int>("prints"); // times the print gate was asked

    QTest::newRow("esc-closes") << int(Qt::Key_Escape) << "memo" << false << QStringList {} << true << 0;
    QTest::newRow("enter-in-text-closes")
        << int(Qt::Key_Return) << "memo" << false << QStringList {} << true << 0;
    QTest::newRow("enter-on-close-closes")
        << int(Qt::Key_Return) << "close" << false << QStringList {} << true << 0;
    QTest::newRow("f1-in-text-asks-help")
        << int(Qt::Key_F1) << "memo" << true << QStringList { "Statistics" } << false << 0;
    QTest::newRow("f1-on-button-asks-help-once")
        << int(Qt::Key_F1) << "close" << true << QStringList { "Statistics" } << false << 0;
    QTest::newRow("f1-without-help-does-nothing")
        << int(Qt::Key_F1) << "memo" << false << QStringList {} << false << 0;
    QTest::newRow("enter-on-print-prints")
        << int(Qt::Key_Return) << "print" << false << QStringList {} << false << 1;
    QTest::newRow("enter-on-print-with-numpad")
        << int(Qt::Key_Enter) << "print" << false << QStringList {} << false << 1;
}

void TestLogFile::keys()
{
    QFETCH(int, key);
    QFETCH(QString, focus);
    QFETCH(bool, withHelp);
    QFETCH(QStringList, helpCalls);
    QFETCH(bool, closes);
    QFETCH(int, prints);

    const QString path = m_dir.filePath(u"keys.txt"_s);
    writeBytes(path, "text\r\n");
    TQLXLogFile log;
    log.setViewFile(path);
    log.setCaption(u"Statistics"_s);
    QStringList calls;
    if (withHelp)
        log.OnHelp = [&](QObject *sender, const QString &caption) {
            QVERIFY(viewer(qobject_cast<QWidget *>(sender)));
            calls << caption;
        };
    int printAsked = 0;
    log.OnPrint = [&](QObject *, bool &Continue) {
        ++printAsked;
        Continue = false;
    };

    int ticks = 0;
    bool closedByKey = false;
    ModalDriver driver([&](QWidget *w) {
        TfrmLogFile *form = viewer(w);
        if (!form || !form->isVisible())
            return;
        if (ticks++ == 0) {
            QWidget *target = focus == "memo" ? static_cast<QWidget *>(form->imeText)
                : focus == "print"            ? static_cast<QWidget *>(form->bbtPrint)
                                              : form->bbtClose;
            target->setFocus();
            QTest::keyClick(target, Qt::Key(key));
            closedByKey = !form->isVisible();
        } else if (ticks > 5) {
            form->bbtClose->click();
        }
    });
    log.Execute();
    QCOMPARE(closedByKey, closes);
    QCOMPARE(calls, helpCalls);
    QCOMPARE(printAsked, prints);
}

void TestLogFile::tooLarge_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("shownLines");
    QTest::addColumn<int>("lastLineLength");
    QTest::addColumn<QString>("name");

    // 17 MiB of 63-character lines: the first 16 MiB are 262,144 of them.
    QTest::newRow("many-lines") << "lines" << 262144 << 63 << "large.txt";
    QTest::newRow("one-long-line") << "long" << 1 << 16384 << "large.txt";
    QTest::newRow("long-line-in-small-file") << "small" << 2 << 16384 << "large.txt";
    QTest::newRow("ampersand-in-name-shown") << "small" << 2 << 16384 << "Rock & Roll.txt";
}

void TestLogFile::tooLarge()
{
    QFETCH(QString, kind);
    QFETCH(int, shownLines);
    QFETCH(int, lastLineLength);
    QFETCH(QString, name);

    const QString path = m_dir.filePath(name);
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        if (kind == "small") {
            f.write("short\n" + QByteArray(20000, 'z') + "\n");
        } else {
            const QByteArray line = kind == "lines" ? QByteArray(63, 'x') + '\n' : QByteArray(1 << 20, 'y');
            for (int i = 0; i < 17 * (1 << 20) / line.size(); ++i)
                f.write(line);
        }
    }
    TQLXLogFile log;
    log.setViewFile(path);

    QStringList warning;
    int lines = 0;
    qsizetype lastLength = 0;
    ModalDriver driver([&](QWidget *w) {
        if (TMsgWindow *msg = message(w)) {
            // The text as the window shows it.
            warning = QStringList { msg->windowTitle(), msg->messageLabel()->accessibleName() };
            msg->button(mbOK)->click();
        } else if (TfrmLogFile *form = viewer(w); form && form->isVisible()) {
            lines = form->imeText->document()->blockCount();
            lastLength = form->imeText->document()->lastBlock().text().size();
            form->bbtClose->click();
        }
    });
    log.Execute();
    QFile::remove(path);
    QCOMPARE(warning, QStringList({ "File too large", u"The file is too large to read\n"_s + path }));
    QCOMPARE(lines, shownLines);
    QCOMPARE(lastLength, lastLineLength);
}

void TestLogFile::printGate_data()
{
    QTest::addColumn<QString>("handler"); // none, allows, refuses
    QTest::addColumn<bool>("printed");

    QTest::newRow("no-handler-prints") << "none" << true;
    QTest::newRow("handler-allows") << "allows" << true;
    QTest::newRow("handler-refuses") << "refuses" << false;
}

void TestLogFile::printGate()
{
    QFETCH(QString, handler);
    QFETCH(bool, printed);

    QTemporaryDir dir;
    const QString path = dir.filePath(u"report.TXT"_s);
    writeBytes(path, "alpha\r\nbeta\r\n");
    const QString pdf = dir.filePath(u"out.pdf"_s);
    TQLXLogFile log;
    log.setViewFile(path);
    log.PrinterSource = [&] { return pdfPrinter(pdf); };
    int asked = 0;
    if (handler != "none")
        log.OnPrint = [&](QObject *sender, bool &Continue) {
            QVERIFY(viewer(qobject_cast<QWidget *>(sender)));
            QCOMPARE(Continue, false);
            ++asked;
            Continue = handler == "allows";
        };

    ModalDriver driver([&](QWidget *w) {
        if (TfrmLogFile *form = viewer(w); form && form->isVisible()) {
            form->bbtPrint->click();
            form->bbtClose->click();
        }
    });
    log.Execute();
    QCOMPARE(asked, handler == "none" ? 0 : 1);
    QCOMPARE(QFileInfo::exists(pdf), printed);
    if (printed)
        QCOMPARE(pdfPage(pdf, 1).mid(2), QStringList({ "alpha", "beta" }));
}

void TestLogFile::printLayout_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("pages");
    QTest::addColumn<QString>("lastOnPage1");
    QTest::addColumn<QStringList>("lastPage"); // first and last row of the last page

    // Rows 4 to 88 of a page take lines: 85 lines a page.
    QTest::newRow("one-line") << 1 << 1 << "4|0:line 5:001" << QStringList {};
    QTest::newRow("page-full-no-empty-page") << 85 << 1 << "88|0:line 5:085" << QStringList {};
    QTest::newRow("one-line-on-page-2")
        << 86 << 2 << "88|0:line 5:085" << QStringList { "4|0:line 5:086", "4|0:line 5:086" };
    QTest::newRow("two-full-pages") << 170 << 2 << "88|0:line 5:085"
                                    << QStringList { "4|0:line 5:086", "88|0:line 5:170" };
    QTest::newRow("three-pages") << 171 << 3 << "88|0:line 5:085"
                                 << QStringList { "4|0:line 5:171", "4|0:line 5:171" };
}

void TestLogFile::printLayout()
{
    QFETCH(int, lines);
    QFETCH(int, pages);
    QFETCH(QString, lastOnPage1);
    QFETCH(QStringList, lastPage);

    QTemporaryDir dir;
    const QString pdf = dir.filePath(u"out.pdf"_s);
    TfrmLogFile form;
    form.imeText->setFont(QFont(u"Courier New"_s, 8));
    form.FileName = u"/music/discora.TXT"_s;
    QStringList text;
    for (int i = 1; i <= lines; ++i)
        text << u"line %1"_s.arg(i, 3, 10, QLatin1Char('0'));
    form.setLines(text);
    auto printer = pdfPrinter(pdf);
    QCOMPARE(QFontMetrics(QFont(form.imeText->font(), printer.get())).height(), 9);
    form.PrintTo(*printer, QDateTime(QDate(2002, 1, 31), QTime(9, 5)));

    QCOMPARE(pdfPages(pdf), pages);
    const QStringList first = pdfRows(pdf, 1);
    // " Print:  " and " Date:   " are nine characters: the values start in
    // column 9, the words after the leading blank in column 1.
    QCOMPARE(first.at(0), u"1|1:Print: 9:/music/discora.TXT"_s);
    QCOMPARE(first.at(1), u"2|1:Date: 9:31-01-2002 20:09:05"_s);
    QCOMPARE(first.at(2), u"4|0:line 5:001"_s);
    QCOMPARE(first.last(), lastOnPage1);
    QCOMPARE(first.size(), 2 + qMin(lines, 85));
    if (pages > 1) {
        const QStringList last = pdfRows(pdf, pages);
        QCOMPARE(last.first(), lastPage.first());
        QCOMPARE(last.last(), lastPage.last());
        QCOMPARE(last.size(), lines - 85 * (pages - 1));
    }
}

void TestLogFile::printPixelFont_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("pages");

    // 12 screen pixels at 96 per inch are 9 points: 11 dots a row at 72 dots
    // per inch, rows 4 to 71 take lines, 68 a page.
    QTest::newRow("68-lines-one-page") << 68 << 1;
    QTest::newRow("69-lines-two-pages") << 69 << 2;
}

void TestLogFile::printPixelFont()
{
    QFETCH(int, lines);
    QFETCH(int, pages);

    QTemporaryDir dir;
    const QString pdf = dir.filePath(u"out.pdf"_s);
    TfrmLogFile form;
    QCOMPARE(form.imeText->logicalDpiY(), 96);
    QFont font(u"Courier New"_s);
    font.setPixelSize(12);
    form.imeText->setFont(font);
    QStringList text;
    for (int i = 1; i <= lines; ++i)
        text << u"line %1"_s.arg(i);
    form.setLines(text);
    form.PrintTo(*pdfPrinter(pdf), QDateTime::currentDateTime());
    QCOMPARE(pdfPages(pdf), pages);
}

void TestLogFile::noDefaultPrinter()
{
    if (!QPrinterInfo::defaultPrinter().isNull())
        QSKIP("this machine has a default printer; the test would print on it");
    const QString path = m_dir.filePath(u"print.txt"_s);
    writeBytes(path, "text\r\n");
    TQLXLogFile log;
    log.setViewFile(path);

    QString error;
    ModalDriver driver([&](QWidget *w) {
        if (auto *box = qobject_cast<QMessageBox *>(w); box && box->objectName() == u"ErrorBox"_s) {
            error = box->text();
            box->button(QMessageBox::Ok)->click();
        } else if (TfrmLogFile *form = viewer(w); form && form->isVisible()) {
            if (error.isEmpty()) {
                // A click as the user makes it, through the window's events.
                QTest::mouseClick(form->bbtPrint, Qt::LeftButton);
            } else {
                form->bbtClose->click();
            }
        }
    });
    log.Execute();
    QCOMPARE(error, u"No default printer."_s);
}

void TestLogFile::printError_data()
{
    QTest::addColumn<QString>("printer"); // default, unwritable
    QTest::addColumn<QString>("error");

    QTest::newRow("no-default-printer") << "default" << u"No default printer."_s;
    QTest::newRow("printer-cannot-start") << "unwritable" << u"Unable to print to."_s;
}

void TestLogFile::printError()
{
    QFETCH(QString, printer);
    QFETCH(QString, error);
    if (printer == "default" && !QPrinterInfo::defaultPrinter().isNull())
        QSKIP("this machine has a default printer; the test would print on it");

    QTemporaryDir dir;
    TfrmLogFile form;
    form.setLines({ u"text"_s });
    if (printer == "unwritable")
        form.PrinterSource = [&] { return pdfPrinter(dir.filePath(u"missing/out.pdf"_s)); };
    form.bbtPrint->show();
    form.bbtPrint->setEnabled(true);
    form.show();
    QString shown;
    ModalDriver driver([&](QWidget *w) {
        if (auto *box = qobject_cast<QMessageBox *>(w); box && box->objectName() == u"ErrorBox"_s) {
            shown = box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    // Emitted here, outside any event: an error the button's slot let out
    // would reach this test rather than the error box.
    form.bbtPrint->click();
    QTRY_COMPARE_WITH_TIMEOUT(shown, error, 20000);
    QVERIFY(form.isVisible());
    QCOMPARE(form.result(), 0);
}

int main(int argc, char *argv[])
{
    TQLXApplication app(argc, argv);
    TestLogFile test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_FQLXLogF.moc"
