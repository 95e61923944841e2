// The message window as the user meets it: its layout for each set of
// buttons and on a larger screen, which key gives which answer, the caption,
// the icon of each kind, the text as drawn, and the mouse cursor.

#include "MSG_Func.h"
#include "QLXApplication.h"

#include <QApplication>
#include <QKeySequence>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTimer>

#include <functional>
#include <optional>

namespace
{

// Runs show() (which blocks in a message window) and, once the window is up,
// hands it to drive(). Returns show()'s result.
quint16 whileShown(const std::function<quint16()> &show, const std::function<void(TMsgWindow *)> &drive)
{
    QTimer poll;
    bool driven = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *w = qobject_cast<TMsgWindow *>(QApplication::activeModalWidget());
        if (!w || driven)
            return;
        driven = true;
        poll.stop();
        drive(w);
    });
    poll.start(10);
    const quint16 result = show();
    return result;
}

std::function<quint16()> call(const QString &function, const QString &msg = QStringLiteral("Message"),
    const QString &title = QStringLiteral("Title"))
{
    return [=]() -> quint16 {
        if (function == u"yesno")
            return MsgYesNo(msg, title);
        if (function == u"info")
            return MsgInfo(msg, title);
        if (function == u"warning")
            return MsgWarning(msg, title);
        if (function == u"all-four")
            return MsgDialog(msg, title, mkQuestion, { mbYes, mbNo, mbOK, mbCancel }, mbOK);
        if (function == u"ok-cancel")
            return MsgDialog(msg, title, mkQuestion, { mbOK, mbCancel }, mbCancel);
        if (function == u"yes-alone")
            return MsgDialog(msg, title, mkQuestion, { mbYes }, mbYes);
        if (function == u"yesno-default-hidden")
            return MsgDialog(msg, title, mkQuestion, { mbYes, mbNo }, mbOK);
        qFatal("unknown function");
    };
}

QList<int> buttonLefts(const TMsgWindow *w)
{
    QList<int> lefts;
    for (int b = mbYes; b <= mbCancel; ++b)
        if (QPushButton *button = w->button(TMsgButton(b)))
            lefts << button->x();
    return lefts;
}

QImage render(QWidget *w)
{
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Rows of the image that hold a pixel unlike the top-left one, in bands of
// consecutive rows: one band per line of text.
int textBands(const QImage &img)
{
    const QRgb background = img.pixel(0, 0);
    int bands = 0;
    bool inBand = false;
    for (int y = 0; y < img.height(); ++y) {
        bool ink = false;
        for (int x = 0; x < img.width() && !ink; ++x)
            ink = img.pixel(x, y) != background;
        if (ink && !inBand)
            ++bands;
        inBand = ink;
    }
    return bands;
}

// Columns of the image that hold a pixel unlike the top-left one.
int inkColumns(const QImage &img)
{
    const QRgb background = img.pixel(0, 0);
    int columns = 0;
    for (int x = 0; x < img.width(); ++x) {
        bool ink = false;
        for (int y = 0; y < img.height() && !ink; ++y)
            ink = img.pixel(x, y) != background;
        columns += ink;
    }
    return columns;
}

} // namespace

class TestMsgFunc : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void layout_data();
    void layout();
    void layoutOnLargerScreen();
    void keys_data();
    void keys();
    void caption_data();
    void caption();
    void iconOfKind_data();
    void iconOfKind();
    void messageAsDrawn_data();
    void messageAsDrawn();
    void longMessageIsCutOff();
    void cursorIsArrowWhileUp_data();
    void cursorIsArrowWhileUp();
};

void TestMsgFunc::initTestCase()
{
    TQLXApplication::setTitle(QStringLiteral("Discora 1.5"));
}

void TestMsgFunc::layout_data()
{
    QTest::addColumn<QString>("function");
    QTest::addColumn<QString>("msg");
    QTest::addColumn<QSize>("client");
    QTest::addColumn<int>("outerWidth");
    QTest::addColumn<QList<int>>("lefts");
    const QString longMsg = QStringLiteral("A long line of words. ").repeated(40);
    QTest::newRow("ok-alone") << "info"
                              << "Message" << QSize(354, 140) << 360 << QList<int> { 132 };
    QTest::newRow("yes-no") << "yesno"
                            << "Message" << QSize(354, 140) << 360 << QList<int> { 84, 181 };
    QTest::newRow("ok-cancel") << "ok-cancel"
                               << "Message" << QSize(354, 140) << 360 << QList<int> { 84, 181 };
    QTest::newRow("all-four-widen") << "all-four"
                                    << "Message" << QSize(398, 140) << 404 << QList<int> { 9, 106, 203, 300 };
    QTest::newRow("long-message-does-not-grow")
        << "warning" << longMsg << QSize(354, 140) << 360 << QList<int> { 132 };
}

void TestMsgFunc::layout()
{
    QFETCH(QString, function);
    QFETCH(QString, msg);
    QFETCH(QSize, client);
    QFETCH(int, outerWidth);
    QFETCH(QList<int>, lefts);
    QSize seenClient;
    int seenOuter = 0, seenOuterHeight = 0;
    QList<int> seenLefts;
    QList<QRect> seenButtons;
    QRect labelRect;
    int fontPixels = 0;
    Qt::WindowFlags flags;
    whileShown(call(function, msg), [&](TMsgWindow *w) {
        seenClient = w->size();
        seenOuter = w->outerWidth();
        seenOuterHeight = w->outerHeight();
        seenLefts = buttonLefts(w);
        for (int b = mbYes; b <= mbCancel; ++b)
            if (QPushButton *button = w->button(TMsgButton(b)))
                seenButtons << button->geometry();
        labelRect = w->messageLabel()->geometry();
        fontPixels = w->font().pixelSize();
        flags = w->windowFlags();
        w->close();
    });
    QCOMPARE(seenClient, client);
    QCOMPARE(seenOuter, outerWidth);
    QCOMPARE(seenOuterHeight, 165);
    QCOMPARE(seenLefts, lefts);
    for (const QRect &r : seenButtons) {
        QCOMPARE(r.top(), 100);
        QCOMPARE(r.size(), QSize(89, 28));
    }
    QCOMPARE(labelRect, QRect(70, 20, 270, 65));
    QCOMPARE(fontPixels, 13);
    QVERIFY(flags & Qt::WindowStaysOnTopHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
}

void TestMsgFunc::layoutOnLargerScreen()
{
    // 120 pixels per inch: everything but the icon grows by 1.25, rounded
    // to the nearest pixel (halves up).
    TMsgWindow w;
    w.setMessage(QStringLiteral("Message"));
    w.createButtons({ mbYes, mbNo });
    w.ChangeScale(120, 96);
    QCOMPARE(w.size(), QSize(443, 175));
    QCOMPARE(w.messageLabel()->geometry(), QRect(88, 25, 338, 81));
    QCOMPARE(w.button(mbYes)->geometry(), QRect(105, 125, 111, 35));
    QCOMPARE(w.button(mbNo)->geometry(), QRect(226, 125, 111, 35));
    QCOMPARE(w.font().pixelSize(), 16);
    QCOMPARE(w.button(mbNo)->font().pixelSize(), 16);
}

void TestMsgFunc::keys_data()
{
    // "Close" stands for the window's close box.
    QTest::addColumn<QString>("function");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<int>("result");
    QTest::newRow("yesno-enter-answers-no") << "yesno" << QStringList { "Return" } << 7;
    QTest::newRow("yesno-keypad-enter") << "yesno" << QStringList { "Enter" } << 7;
    QTest::newRow("yesno-esc-answers-no") << "yesno" << QStringList { "Esc" } << 7;
    QTest::newRow("yesno-alt-y") << "yesno" << QStringList { "Alt+Y" } << 6;
    QTest::newRow("yesno-alt-n") << "yesno" << QStringList { "Alt+N" } << 7;
    QTest::newRow("yesno-left-enter") << "yesno" << QStringList { "Left", "Return" } << 6;
    QTest::newRow("yesno-up-enter") << "yesno" << QStringList { "Up", "Return" } << 6;
    QTest::newRow("yesno-left-right-enter") << "yesno" << QStringList { "Left", "Right", "Return" } << 7;
    QTest::newRow("yesno-down-wraps-to-yes") << "yesno" << QStringList { "Down", "Return" } << 6;
    QTest::newRow("yesno-tab-moves-nowhere") << "yesno" << QStringList { "Tab", "Return" } << 7;
    QTest::newRow("yesno-backtab-moves-nowhere") << "yesno" << QStringList { "Shift+Tab", "Return" } << 7;
    QTest::newRow("yesno-close-box") << "yesno" << QStringList { "Close" } << 2;
    QTest::newRow("info-enter") << "info" << QStringList { "Return" } << 1;
    QTest::newRow("info-esc") << "info" << QStringList { "Esc" } << 1;
    QTest::newRow("info-alt-o") << "info" << QStringList { "Alt+O" } << 1;
    QTest::newRow("info-close-box") << "info" << QStringList { "Close" } << 2;
    QTest::newRow("warning-esc") << "warning" << QStringList { "Esc" } << 1;
    QTest::newRow("all-four-enter-on-ok") << "all-four" << QStringList { "Return" } << 1;
    QTest::newRow("all-four-esc-is-cancel") << "all-four" << QStringList { "Esc" } << 2;
    QTest::newRow("all-four-right-enter") << "all-four" << QStringList { "Right", "Return" } << 2;
    QTest::newRow("all-four-alt-c") << "all-four" << QStringList { "Alt+C" } << 2;
    QTest::newRow("ok-cancel-enter-on-cancel") << "ok-cancel" << QStringList { "Return" } << 2;
    QTest::newRow("ok-cancel-left-enter") << "ok-cancel" << QStringList { "Left", "Return" } << 1;
    QTest::newRow("ok-cancel-esc") << "ok-cancel" << QStringList { "Esc" } << 2;
    QTest::newRow("yes-alone-esc-does-nothing") << "yes-alone" << QStringList { "Esc", "Close" } << 2;
    QTest::newRow("default-not-shown-enter-is-yes")
        << "yesno-default-hidden" << QStringList { "Return" } << 6;
}

void TestMsgFunc::keys()
{
    QFETCH(QString, function);
    QFETCH(QStringList, keys);
    QFETCH(int, result);
    const quint16 answer = whileShown(call(function), [&](TMsgWindow *w) {
        for (const QString &key : keys) {
            if (key == u"Close") {
                w->close();
                return;
            }
            const QKeyCombination combo = QKeySequence(key)[0];
            QWidget *target = w->focusWidget() ? w->focusWidget() : w;
            QTest::keyClick(target, combo.key(), combo.keyboardModifiers());
        }
    });
    QCOMPARE(int(answer), result);
}

void TestMsgFunc::caption_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("shown");
    QTest::newRow("own-title") << "Clear logfile"
                               << "Clear logfile";
    QTest::newRow("empty-shows-application-title") << ""
                                                   << "Discora 1.5";
}

void TestMsgFunc::caption()
{
    QFETCH(QString, title);
    QFETCH(QString, shown);
    QString seen;
    whileShown(call(QStringLiteral("warning"), QStringLiteral("text"), title), [&](TMsgWindow *w) {
        seen = w->windowTitle();
        w->close();
    });
    QCOMPARE(seen, shown);
}

void TestMsgFunc::iconOfKind_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("standardIcon");
    QTest::newRow("warning") << int(mkWarning) << int(QStyle::SP_MessageBoxWarning);
    QTest::newRow("stop") << int(mkStop) << int(QStyle::SP_MessageBoxCritical);
    QTest::newRow("info") << int(mkInfo) << int(QStyle::SP_MessageBoxInformation);
    QTest::newRow("question") << int(mkQuestion) << int(QStyle::SP_MessageBoxQuestion);
}

void TestMsgFunc::iconOfKind()
{
    QFETCH(int, kind);
    QFETCH(int, standardIcon);
    QImage shot;
    whileShown([&] { return MsgDialog(QStringLiteral("x"), QString(), TMsgKind(kind), { mbOK }, mbOK); },
        [&](TMsgWindow *w) {
            shot = render(w);
            w->close();
        });
    // The icon at its own size at (10, 20), on the window's background.
    QImage expected(32, 32, QImage::Format_RGB32);
    expected.fill(shot.pixel(2, 2));
    {
        QPainter p(&expected);
        p.drawPixmap(0, 0, qApp->style()->standardIcon(QStyle::StandardPixmap(standardIcon)).pixmap(32, 32));
    }
    QCOMPARE(shot.copy(10, 20, 32, 32), expected);
}

void TestMsgFunc::messageAsDrawn_data()
{
    // Each text is drawn beside a reference text with a known look: the
    // number of bands of ink from top to bottom, and whether the text is as
    // wide as the reference. "Rock" has no descender, so an underline below
    // it is a band of its own.
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reference");
    QTest::addColumn<int>("bands");
    QTest::addColumn<bool>("sameWidth");
    QTest::newRow("one-line") << "Rock"
                              << "Rock" << 1 << true;
    QTest::newRow("crlf-breaks-line") << "Rock\r\nRock"
                                      << "Rock" << 2 << true;
    QTest::newRow("lone-cr-breaks-line") << "Rock\rRock"
                                         << "Rock" << 2 << true;
    QTest::newRow("lf-breaks-line") << "Rock\nRock"
                                    << "Rock" << 2 << true;
    QTest::newRow("three-lines") << "Rock\r\nRock\r\nRock"
                                 << "Rock" << 3 << true;
    QTest::newRow("ampersand-underlines-next") << "R&ock"
                                               << "Rock" << 2 << true;
    QTest::newRow("double-ampersand-shows-one") << "R&&ock"
                                                << "Rock" << 1 << false;
    QTest::newRow("double-ampersand-as-single") << "R&&ock"
                                                << "R&ock" << 1 << true;
}

void TestMsgFunc::messageAsDrawn()
{
    QFETCH(QString, text);
    QFETCH(QString, reference);
    QFETCH(int, bands);
    QFETCH(bool, sameWidth);
    TMsgWindow w;
    w.setMessage(text);
    QCOMPARE(w.message(), text);
    const QImage shot = render(w.messageLabel());
    // The reference drawn without mnemonics, as plain text.
    w.setMessage(QString(reference).replace(u'&', QStringLiteral("&&")));
    const QImage ref = render(w.messageLabel());
    QCOMPARE(textBands(shot), bands);
    QCOMPARE(inkColumns(shot) == inkColumns(ref), sameWidth);
}

void TestMsgFunc::longMessageIsCutOff()
{
    // More lines than fit: the bottom lines are cut off at the label's
    // edge, nothing spills into the space above the buttons.
    TMsgWindow w;
    w.setMessage(QStringLiteral("line\r\n").repeated(12));
    w.createButtons({ mbOK });
    const QImage shot = render(&w);
    const QRgb background = shot.pixel(2, 2);
    int inkAbove = 0, inkBelow = 0;
    for (int y = 20; y < 100; ++y)
        for (int x = 70; x < 340; ++x)
            (y < 85 ? inkAbove : inkBelow) += shot.pixel(x, y) != background;
    QVERIFY(inkAbove > 0);
    QCOMPARE(inkBelow, 0);
    QCOMPARE(w.size(), QSize(354, 140));
}

void TestMsgFunc::cursorIsArrowWhileUp_data()
{
    QTest::addColumn<bool>("busyBefore");
    QTest::newRow("busy-cursor-comes-back") << true;
    QTest::newRow("no-cursor-set") << false;
}

void TestMsgFunc::cursorIsArrowWhileUp()
{
    QFETCH(bool, busyBefore);
    std::optional<TBusyCursor> busy;
    if (busyBefore)
        busy.emplace();
    int shapeWhileUp = -1;
    whileShown(call(QStringLiteral("info")), [&](TMsgWindow *w) {
        shapeWhileUp = QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : -1;
        w->close();
    });
    QCOMPARE(shapeWhileUp, int(Qt::ArrowCursor));
    if (busyBefore)
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    else
        QVERIFY(!QApplication::overrideCursor());
    // The window is gone before the call returns.
    for (QWidget *top : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<TMsgWindow *>(top));
}

QTEST_MAIN(TestMsgFunc)
#include "tst_MSG_Func.moc"
