// The about dialog: its window's layout for both styles and with or without
// a picture, the property rules, the hidden key typed with Alt, the keys
// that close it or ask for help, and the version information.

#include "MSG_Func.h"
#include "UQLXDlgs.h"

#include <QApplication>
#include <QDate>
#include <QDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>

Q_DECLARE_METATYPE(TDlgStyle)

namespace
{

// Runs action on the about window once Execute shows it, then makes sure
// it is closed so that Execute returns. Returns whether the window was
// still open when action finished.
bool whileShown(TAboutDialog &adl, const std::function<void(QDialog *)> &action)
{
    bool stillOpen = false;
    bool done = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QDialog *w = adl.Window();
        if (done || !w || !w->isVisible())
            return;
        done = true;
        action(w);
        stillOpen = adl.Window() && adl.Window()->isVisible();
        if (stillOpen)
            adl.Window()->accept();
    });
    poll.start();
    adl.Execute();
    if (!done)
        qWarning("the about window was never shown");
    return stillOpen;
}

QRect geometryOf(QDialog *w, const char *name)
{
    auto *child = w->findChild<QWidget *>(QLatin1String(name));
    return child ? child->geometry() : QRect();
}

// One key-down and key-up with the modifiers already held, as while the
// user keeps Alt down (QTest's key clicks press the modifier keys anew).
void pressKey(QWidget *w, Qt::Key key, Qt::KeyboardModifiers mods)
{
    QKeyEvent down(QEvent::KeyPress, key, mods);
    QApplication::sendEvent(w, &down);
    QKeyEvent up(QEvent::KeyRelease, key, mods);
    QApplication::sendEvent(w, &up);
}

QIcon redIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::red);
    return QIcon(pixmap);
}

} // namespace

class TestAboutDialog : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void layout_data();
    void layout();
    void blankProgNameShowsApplicationTitle();
    void setters_data();
    void setters();
    void hiddenKey_data();
    void hiddenKey();
    void shorterKeyAfterPartialMatch();
    void keys_data();
    void keys();
    void versionLineDoubleClick_data();
    void versionLineDoubleClick();
};

void TestAboutDialog::initTestCase()
{
    QApplication::setWindowIcon(redIcon());
}

void TestAboutDialog::layout_data()
{
    QTest::addColumn<int>("pixelSize");
    QTest::addColumn<TDlgStyle>("style");
    QTest::addColumn<bool>("picture");
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QRect>("ok");
    QTest::addColumn<QRect>("panel");
    QTest::addColumn<int>("textLeft");
    QTest::addColumn<QList<int>>("tops"); // the four lines, line 3's height, U
    QTest::addColumn<bool>("line");

    QTest::newRow("panel-10pt") << 13 << dsPanel << true << QSize(385, 214) << QRect(152, 156, 80, 25)
                                << QRect(8, 8, 361, 140) << 56 << QList<int> { 16, 44, 64, 111, 46, 19 }
                                << false;
    QTest::newRow("line-10pt") << 13 << dsLine << true << QSize(385, 210) << QRect(152, 152, 80, 25)
                               << QRect(8, 0, 361, 144) << 56 << QList<int> { 16, 44, 64, 111, 46, 19 }
                               << true;
    QTest::newRow("panel-no-picture")
        << 13 << dsPanel << false << QSize(385, 214) << QRect(152, 156, 80, 25) << QRect(8, 8, 361, 140) << 16
        << QList<int> { 16, 44, 64, 111, 46, 19 } << false;
    QTest::newRow("line-no-picture") << 13 << dsLine << false << QSize(385, 210) << QRect(152, 152, 80, 25)
                                     << QRect(8, 0, 361, 144) << 16 << QList<int> { 16, 44, 64, 111, 46, 19 }
                                     << true;
    // 16 pixels is 12 points: U = 22.8 -> 23, height 238, width 428.4 -> 428;
    // 34.5 rounds to 34 and 57.5 to 58 (halves to even).
    QTest::newRow("panel-12pt") << 16 << dsPanel << true << QSize(428, 238) << QRect(174, 180, 80, 25)
                                << QRect(8, 8, 404, 164) << 56 << QList<int> { 16, 50, 74, 131, 55, 23 }
                                << false;
    // 20 pixels is 15 points: U = 28.5 -> 28.
    QTest::newRow("line-15pt") << 20 << dsLine << true << QSize(482, 264) << QRect(201, 206, 80, 25)
                               << QRect(8, 0, 458, 198) << 56 << QList<int> { 16, 58, 86, 156, 67, 28 }
                               << true;
}

void TestAboutDialog::layout()
{
    QFETCH(int, pixelSize);
    QFETCH(TDlgStyle, style);
    QFETCH(bool, picture);
    QFETCH(QSize, window);
    QFETCH(QRect, ok);
    QFETCH(QRect, panel);
    QFETCH(int, textLeft);
    QFETCH(QList<int>, tops);
    QFETCH(bool, line);

    TAboutDialog adl;
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixelSize);
    adl.setFont(font);
    adl.setDlgStyle(style);
    if (!picture)
        adl.setAppIcon(false); // and no Icon of its own
    adl.setProgName(QStringLiteral("Discora"));
    adl.setVersion(QStringLiteral("version: 1.5"));
    whileShown(adl, [&](QDialog *w) {
        QCOMPARE(w->frameGeometry().size(), window); // the outer size, frame included
        QCOMPARE(geometryOf(w, "bbtOK"), ok);
        QCOMPARE(geometryOf(w, "pnlInfo"), panel);
        QCOMPARE(geometryOf(w, "imgIcon"), QRect(8, 16, 32, 32));
        const int width = panel.width() - textLeft - 32;
        const int U = tops[5];
        QCOMPARE(geometryOf(w, "lblName"), QRect(textLeft, tops[0], width, U));
        QCOMPARE(geometryOf(w, "lblVersion"), QRect(textLeft, tops[1], width, U));
        QCOMPARE(geometryOf(w, "lblAuthor"), QRect(textLeft, tops[2], width, tops[4]));
        QCOMPARE(geometryOf(w, "lblCopyright"), QRect(textLeft, tops[3], width, U));
        const QRect bottomLine = geometryOf(w, "bvlLine");
        QCOMPARE(bottomLine.isValid(), line);
        if (line)
            QCOMPARE(bottomLine.bottom(), panel.height() - 1);
        auto *image = w->findChild<QLabel *>(QStringLiteral("imgIcon"));
        QCOMPARE(image->pixmap().isNull(), !picture);
        auto *name = w->findChild<QLabel *>(QStringLiteral("lblName"));
        QCOMPARE(name->text(), QStringLiteral("Discora"));
        QVERIFY(name->font().bold());
        QCOMPARE(
            w->findChild<QLabel *>(QStringLiteral("lblVersion"))->text(), QStringLiteral("version: 1.5"));
        QVERIFY(w->findChild<QLabel *>(QStringLiteral("lblAuthor"))->wordWrap());
        QVERIFY(!w->findChild<QLabel *>(QStringLiteral("lblCopyright"))->wordWrap());
    });
}

void TestAboutDialog::blankProgNameShowsApplicationTitle()
{
    QCoreApplication::setApplicationName(QStringLiteral("Title Of The App"));
    TAboutDialog adl;
    adl.setProgName(QStringLiteral("   "));
    adl.setNameBold(false);
    whileShown(adl, [&](QDialog *w) {
        auto *name = w->findChild<QLabel *>(QStringLiteral("lblName"));
        QCOMPARE(name->text(), QStringLiteral("Title Of The App"));
        QVERIFY(!name->font().bold());
        QCOMPARE(w->windowTitle(), QStringLiteral("Programma Informatie"));
    });
}

void TestAboutDialog::setters_data()
{
    // Each step is "Property=value"; the expected state is read back after all.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("expected"); // "Property=value;..."

    const QString year = QString::number(QDate::currentDate().year());
    QTest::newRow("defaults")
        << QStringList {}
        << "DlgStyle=line;BevelInner=0;BevelOuter=0;AppIcon=1;Author=auteur: ;Version=versie: ;"
           "Caption=Programma Informatie;HiddenKey=;Copyright=copyright: (c) "
            + year + " QLX;NameBold=1;BevelWidth=1;FontPx=13";
    QTest::newRow("panel-sets-bevels") << QStringList { "DlgStyle=panel" } << "BevelInner=2;BevelOuter=1";
    QTest::newRow("line-clears-bevels")
        << QStringList { "DlgStyle=panel", "BevelInner=3", "DlgStyle=line" } << "BevelInner=0;BevelOuter=0";
    QTest::newRow("style-after-bevels-wins")
        << QStringList { "BevelInner=1", "BevelOuter=2", "DlgStyle=panel" } << "BevelInner=2;BevelOuter=1";
    QTest::newRow("bevel-after-style-kept")
        << QStringList { "DlgStyle=panel", "BevelOuter=3" } << "BevelInner=2;BevelOuter=3;DlgStyle=panel";
    QTest::newRow("hidden-key-upper") << QStringList { "HiddenKey=abc1x" } << "HiddenKey=ABC1X";
    QTest::newRow("hidden-key-40") << QStringList { "HiddenKey=" + QString(40, u'k') }
                                   << "HiddenKey=" + QString(40, u'K');
    QTest::newRow("hidden-key-41-cut")
        << QStringList { "HiddenKey=" + QString(40, u'k') + "z" } << "HiddenKey=" + QString(40, u'K');
    QTest::newRow("copyright-kept") << QStringList { "Copyright=(c) me" } << "Copyright=(c) me";
    QTest::newRow("copyright-empty-default")
        << QStringList { "Copyright=(c) me", "Copyright=" } << "Copyright=copyright: (c) " + year + " QLX";
    QTest::newRow("icon-switches-app-icon-off") << QStringList { "Icon=red" } << "AppIcon=0";
    QTest::newRow("no-icon-switches-app-icon-on")
        << QStringList { "Icon=red", "AppIcon=0", "Icon=none" } << "AppIcon=1";
}

void TestAboutDialog::setters()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, expected);
    TAboutDialog adl;
    for (const QString &step : steps) {
        const QString key = step.section(u'=', 0, 0);
        const QString value = step.section(u'=', 1);
        if (key == "DlgStyle")
            adl.setDlgStyle(value == "panel" ? dsPanel : dsLine);
        else if (key == "BevelInner")
            adl.setBevelInner(TBevelCut(value.toInt()));
        else if (key == "BevelOuter")
            adl.setBevelOuter(TBevelCut(value.toInt()));
        else if (key == "HiddenKey")
            adl.setHiddenKey(value);
        else if (key == "Copyright")
            adl.setCopyright(value);
        else if (key == "Icon")
            adl.setIcon(value == "red" ? redIcon() : QIcon());
        else if (key == "AppIcon")
            adl.setAppIcon(value == "1");
        else
            QFAIL(qPrintable("unknown step " + step));
    }
    for (const QString &item : expected.split(u';')) {
        const QString key = item.section(u'=', 0, 0);
        const QString want = item.section(u'=', 1);
        QString got;
        if (key == "DlgStyle")
            got = adl.DlgStyle() == dsPanel ? "panel" : "line";
        else if (key == "BevelInner")
            got = QString::number(adl.BevelInner());
        else if (key == "BevelOuter")
            got = QString::number(adl.BevelOuter());
        else if (key == "BevelWidth")
            got = QString::number(adl.BevelWidth());
        else if (key == "AppIcon")
            got = adl.AppIcon() ? "1" : "0";
        else if (key == "NameBold")
            got = adl.NameBold() ? "1" : "0";
        else if (key == "Author")
            got = adl.Author();
        else if (key == "Version")
            got = adl.Version();
        else if (key == "Caption")
            got = adl.Caption();
        else if (key == "HiddenKey")
            got = adl.HiddenKey();
        else if (key == "Copyright")
            got = adl.Copyright();
        else if (key == "FontPx")
            got = QString::number(adl.Font().pixelSize());
        QVERIFY2(got == want, qPrintable(key + ": got '" + got + "', want '" + want + "'"));
    }
}

void TestAboutDialog::hiddenKey_data()
{
    // Keys: a letter or digit is pressed with Alt held; "-x" without Alt;
    // "^x" with Alt and Shift; "ALT" is a new press of the Alt key itself.
    QTest::addColumn<QString>("hiddenKey");
    QTest::addColumn<QStringList>("hiddenText");
    QTest::addColumn<bool>("handler"); // OnHiddenKey assigned
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<bool>("boxExists");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<int>("handlerCalls");

    const QStringList text { "made by", "someone" };
    QTest::newRow("typed-with-alt") << "qlx" << text << false << QStringList { "Q", "L", "X" } << true << true
                                    << 0;
    QTest::newRow("digits") << "a1b2" << text << false << QStringList { "A", "1", "B", "2" } << true << true
                            << 0;
    QTest::newRow("not-finished") << "qlx" << text << false << QStringList { "Q", "L" } << true << false << 0;
    QTest::newRow("wrong-letter-restarts")
        << "qlx" << text << false << QStringList { "Q", "L", "A", "X" } << true << false << 0;
    QTest::newRow("restart-then-whole-key")
        << "qlx" << text << false << QStringList { "Q", "Z", "Q", "L", "X" } << true << true << 0;
    QTest::newRow("key-without-alt") << "qlx" << text << false << QStringList { "Q", "-L", "X" } << true
                                     << false << 0;
    QTest::newRow("shift-with-alt") << "qlx" << text << false << QStringList { "Q", "^L", "X" } << true
                                    << false << 0;
    QTest::newRow("alt-pressed-again")
        << "qlx" << text << false << QStringList { "Q", "ALT", "L", "X" } << true << false << 0;
    QTest::newRow("alt-before-first-letter")
        << "qlx" << text << false << QStringList { "ALT", "Q", "L", "X" } << true << true << 0;
    QTest::newRow("handler-instead") << "qlx" << text << true << QStringList { "Q", "L", "X" } << true
                                     << false << 1;
    QTest::newRow("twice-calls-twice")
        << "qlx" << text << true << QStringList { "Q", "L", "X", "Q", "L", "X" } << true << false << 2;
    QTest::newRow("no-text-no-box") << "qlx" << QStringList {} << false << QStringList { "Q", "L", "X" }
                                    << false << false << 0;
    QTest::newRow("no-text-handler") << "qlx" << QStringList {} << true << QStringList { "Q", "L", "X" }
                                     << false << false << 1;
    QTest::newRow("no-key-no-box") << "" << text << true << QStringList { "Q", "L", "X" } << false << false
                                   << 0;
}

void TestAboutDialog::hiddenKey()
{
    QFETCH(QString, hiddenKey);
    QFETCH(QStringList, hiddenText);
    QFETCH(bool, handler);
    QFETCH(QStringList, keys);
    QFETCH(bool, boxExists);
    QFETCH(bool, shown);
    QFETCH(int, handlerCalls);

    TAboutDialog adl;
    adl.setHiddenKey(hiddenKey);
    adl.setHiddenText(hiddenText);
    adl.setHiddenColor(QColor(0x12, 0x34, 0x56));
    int calls = 0;
    QObject *sender = nullptr;
    if (handler)
        adl.OnHiddenKey = [&](QObject *s) {
            ++calls;
            sender = s;
        };
    const bool stillOpen = whileShown(adl, [&](QDialog *w) {
        for (const QString &k : keys) {
            if (k == "ALT") {
                pressKey(w, Qt::Key_Alt, Qt::AltModifier);
                continue;
            }
            Qt::KeyboardModifiers mods = Qt::AltModifier;
            QString letter = k;
            if (k.startsWith(u'-')) {
                mods = Qt::NoModifier;
                letter = k.mid(1);
            } else if (k.startsWith(u'^')) {
                mods = Qt::AltModifier | Qt::ShiftModifier;
                letter = k.mid(1);
            }
            pressKey(w, Qt::Key(letter.at(0).unicode()), mods);
        }
        auto *box = w->findChild<QPlainTextEdit *>(QStringLiteral("memHidden"));
        QCOMPARE(box != nullptr, boxExists);
        if (box) {
            QCOMPARE(box->isVisible(), shown);
            QCOMPARE(box->toPlainText(), hiddenText.join(u'\n'));
            QCOMPARE(box->palette().color(QPalette::Text), QColor(0x12, 0x34, 0x56));
        }
    });
    QVERIFY(stillOpen);
    QCOMPARE(calls, handlerCalls);
    if (handlerCalls > 0)
        QCOMPARE(sender, &adl);
}

void TestAboutDialog::shorterKeyAfterPartialMatch()
{
    // Two letters of a long key typed, then the key replaced by a short one:
    // the new key is matched from its first letter.
    TAboutDialog adl;
    adl.setHiddenKey(QStringLiteral("qlx"));
    adl.setHiddenText({ QStringLiteral("hidden") });
    bool shown = false;
    whileShown(adl, [&](QDialog *w) {
        pressKey(w, Qt::Key_Q, Qt::AltModifier);
        pressKey(w, Qt::Key_L, Qt::AltModifier);
        adl.setHiddenKey(QStringLiteral("z"));
        pressKey(w, Qt::Key_Z, Qt::AltModifier);
        shown = w->findChild<QPlainTextEdit *>(QStringLiteral("memHidden"))->isVisible();
    });
    QVERIFY(shown);
}

void TestAboutDialog::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("handler"); // OnHelp assigned
    QTest::addColumn<bool>("closes");
    QTest::addColumn<int>("helpCalls");

    QTest::newRow("enter") << int(Qt::Key_Return) << true << true << 0;
    QTest::newRow("keypad-enter") << int(Qt::Key_Enter) << false << true << 0;
    QTest::newRow("escape-stays") << int(Qt::Key_Escape) << true << false << 0;
    QTest::newRow("f1-help") << int(Qt::Key_F1) << true << false << 1;
    QTest::newRow("f1-no-handler") << int(Qt::Key_F1) << false << false << 0;
    QTest::newRow("letter") << int(Qt::Key_A) << true << false << 0;
}

void TestAboutDialog::keys()
{
    QFETCH(int, key);
    QFETCH(bool, handler);
    QFETCH(bool, closes);
    QFETCH(int, helpCalls);

    TAboutDialog adl;
    adl.setCaption(QStringLiteral("Program information"));
    int calls = 0;
    QString caption;
    if (handler)
        adl.OnHelp = [&](QObject *sender, const QString &c) {
            QCOMPARE(sender, &adl);
            ++calls;
            caption = c;
        };
    const bool stillOpen = whileShown(adl, [&](QDialog *w) {
        QTest::keyClick(w, Qt::Key(key));
        QTest::qWait(50);
    });
    QCOMPARE(stillOpen, !closes);
    QCOMPARE(calls, helpCalls);
    if (helpCalls > 0)
        QCOMPARE(caption, QStringLiteral("Program information"));
}

void TestAboutDialog::versionLineDoubleClick_data()
{
    QTest::addColumn<bool>("doubleClick");
    QTest::addColumn<bool>("message");
    QTest::newRow("double-click") << true << true;
    QTest::newRow("single-click") << false << false;
}

void TestAboutDialog::versionLineDoubleClick()
{
    QFETCH(bool, doubleClick);
    QFETCH(bool, message);

    TAboutDialog adl;
    QString caption;
    QString shownText;
    TMsgKind kind = mkWarning;
    bool buttons = false;
    const bool aboutStillOpen = whileShown(adl, [&](QDialog *w) {
        // The message is modal: read it and close it from a timer.
        QTimer reader;
        reader.setInterval(10);
        QObject::connect(&reader, &QTimer::timeout, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || modal == w)
                return;
            caption = modal->windowTitle();
            if (auto *box = qobject_cast<TMsgWindow *>(modal)) {
                shownText = box->message();
                kind = box->kind();
                buttons = box->button(mbOK) && !box->button(mbYes) && !box->button(mbNo)
                    && !box->button(mbCancel);
            }
            // Enter answers the message and leaves the about window open.
            QTest::keyClick(modal, Qt::Key_Return);
        });
        reader.start();
        auto *line = w->findChild<QLabel *>(QStringLiteral("lblVersion"));
        if (doubleClick)
            QTest::mouseDClick(line, Qt::LeftButton);
        else
            QTest::mouseClick(line, Qt::LeftButton);
        QTest::qWait(100);
    });
    QCOMPARE(!caption.isEmpty(), message);
    QVERIFY(aboutStillOpen);
    if (!message)
        return;
    QCOMPARE(caption, QStringLiteral("Version information"));
    QCOMPARE(kind, mkInfo);
    QVERIFY(buttons); // OK alone
    const QStringList lines = shownText.split(QStringLiteral("\r\n"));
    QVERIFY2(lines.size() == 4, qPrintable(shownText));
    QVERIFY2(lines[0].startsWith("Compiler: ") && lines[0].endsWith(" (64 bits)"), qPrintable(lines[0]));
    QVERIFY2(lines[1].startsWith("System: ") && lines[1].contains(" Build "), qPrintable(lines[1]));
    const QDateTime built = QFileInfo(QCoreApplication::applicationFilePath()).lastModified();
    QCOMPARE(lines[2], "Executable: " + built.toString(QStringLiteral("dd-MM-yyyy hh:mm")));
    QCOMPARE(lines[3], QStringLiteral("QLX-Library: 5.1.00 31-01-2002"));
}

QTEST_MAIN(TestAboutDialog)
#include "tst_UQLXDlgs.moc"
