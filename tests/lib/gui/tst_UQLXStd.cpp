// The box label as the user sees it: frame pixels for every shape and style,
// background, text colour and placement, automatic sizing, the accelerator
// and what a screen reader reads.

#include "UQLXStd.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace
{

// The colours the tests give the application palette, so every pixel is known.
const QColor kFace(212, 208, 200); // Window: the label's background
const QColor kShadow(100, 100, 100); // Dark
const QColor kHighlight(255, 255, 255); // Light
const QColor kText(0, 0, 0); // WindowText
const QColor kGreyText(160, 160, 160); // Disabled Text
const QColor kNavy(0, 0, 128);
const QColor kParent(0, 160, 0);

QImage render(QWidget &w)
{
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The image as rows of letters: S shadow, H highlight, . background, ? other.
QStringList frameMap(const QImage &img)
{
    QStringList rows;
    for (int y = 0; y < img.height(); ++y) {
        QString row;
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            row += c == kShadow ? u'S' : c == kHighlight ? u'H' : c == kFace ? u'.' : u'?';
        }
        rows << row;
    }
    return rows;
}

// The smallest rectangle holding every pixel of colour c (null when none).
QRect pixelsOf(const QImage &img, const QColor &c)
{
    QRect r;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) == c)
                r |= QRect(x, y, 1, 1);
    return r;
}

// Columns that hold at least one pixel of colour c.
int columnsWith(const QImage &img, const QColor &c)
{
    int n = 0;
    for (int x = 0; x < img.width(); ++x)
        for (int y = 0; y < img.height(); ++y)
            if (img.pixelColor(x, y) == c) {
                ++n;
                break;
            }
    return n;
}

} // namespace

class TestBoxLabel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void defaults();
    void borderInvariant_data();
    void borderInvariant();
    void frame_data();
    void frame();
    void background_data();
    void background();
    void textColour_data();
    void textColour();
    void textPlacement_data();
    void textPlacement();
    void accelChar_data();
    void accelChar();
    void autoSize_data();
    void autoSize();
    void autoSizeShowsWholeText();
    void autoSizeFollowsFont();
    void captionCutAt255();
    void accelerator_data();
    void accelerator();
    void focusControlDestroyed();
    void accessibleName_data();
    void accessibleName();
};

void TestBoxLabel::initTestCase()
{
    QPalette p = QApplication::palette();
    p.setColor(QPalette::Window, kFace);
    p.setColor(QPalette::WindowText, kText);
    p.setColor(QPalette::Dark, kShadow);
    p.setColor(QPalette::Light, kHighlight);
    p.setColor(QPalette::Disabled, QPalette::Text, kGreyText);
    // Not the grey-text colour: a disabled label must not use it.
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(200, 0, 200));
    QApplication::setPalette(p);

    // Liberation Sans ("Arial") 13 px: lines 15 pixels high, "Hello" 30 wide,
    // a blank 4; no antialiasing, so text pixels have the exact text colour.
    QFont f(u"Arial"_s);
    f.setPixelSize(13);
    f.setStyleStrategy(QFont::NoAntialias);
    QApplication::setFont(f);
}

void TestBoxLabel::defaults()
{
    TBoxLabel label;
    QCOMPARE(label.geometry(), QRect(-1, -1, 100, 17));
    QCOMPARE(label.BorderShape(), blBox);
    QCOMPARE(label.BorderStyle(), blLowered);
    QCOMPARE(label.Alignment(), Qt::Alignment(Qt::AlignLeft));
    QCOMPARE(label.SpacePrefix(), true);
    QCOMPARE(label.CenterVertical(), true);
    QCOMPARE(label.ShowAccelChar(), true);
    QCOMPARE(label.Transparent(), false);
    QCOMPARE(label.AutoSize(), false);
    QCOMPARE(label.WordWrap(), false);
    QCOMPARE(label.FocusControl(), nullptr);
    QCOMPARE(label.Caption(), QString());
    QCOMPARE(label.focusPolicy(), Qt::NoFocus);
}

void TestBoxLabel::borderInvariant_data()
{
    QTest::addColumn<int>("startShape");
    QTest::addColumn<int>("startStyle");
    QTest::addColumn<bool>("setShape"); // else set the style
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("style");

    QTest::newRow("no-shape-clears-style")
        << int(blBox) << int(blLowered) << true << int(blNoShape) << int(blNoShape) << int(blNoStyle);
    QTest::newRow("raised-after-none-gives-box")
        << int(blNoShape) << int(blNoStyle) << false << int(blRaised) << int(blBox) << int(blRaised);
    QTest::newRow("frame-after-none-gives-lowered")
        << int(blNoShape) << int(blNoStyle) << true << int(blFrame) << int(blFrame) << int(blLowered);
    QTest::newRow("no-style-clears-shape")
        << int(blFrame) << int(blRaised) << false << int(blNoStyle) << int(blNoShape) << int(blNoStyle);
    QTest::newRow("shape-change-keeps-style")
        << int(blBox) << int(blRaised) << true << int(blTopLine) << int(blTopLine) << int(blRaised);
    QTest::newRow("style-change-keeps-shape")
        << int(blLeftLine) << int(blLowered) << false << int(blRaised) << int(blLeftLine) << int(blRaised);
}

void TestBoxLabel::borderInvariant()
{
    QFETCH(int, startShape);
    QFETCH(int, startStyle);
    QFETCH(bool, setShape);
    QFETCH(int, value);
    QFETCH(int, shape);
    QFETCH(int, style);

    TBoxLabel label;
    label.setBorderShape(TBoxLabelShape(startShape));
    label.setBorderStyle(TBoxLabelStyle(startStyle));
    QCOMPARE(label.BorderShape(), TBoxLabelShape(startShape));
    if (setShape)
        label.setBorderShape(TBoxLabelShape(value));
    else
        label.setBorderStyle(TBoxLabelStyle(value));
    QCOMPARE(label.BorderShape(), TBoxLabelShape(shape));
    QCOMPARE(label.BorderStyle(), TBoxLabelStyle(style));
}

void TestBoxLabel::frame_data()
{
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("expected"); // a 7 x 6 label, rows separated by blanks

    // A box: the first colour left and top, the second right and bottom; the
    // top-right corner belongs to the second, the bottom-left to the first.
    QTest::newRow("box-lowered") << int(blBox) << int(blLowered)
                                 << u"SSSSSSH S.....H S.....H S.....H S.....H SHHHHHH"_s;
    QTest::newRow("box-raised") << int(blBox) << int(blRaised)
                                << u"HHHHHHS H.....S H.....S H.....S H.....S HSSSSSS"_s;
    // Etched: a full rectangle of the first colour over one of the second
    // shifted by a pixel; the outer top-right and bottom-left stay background.
    QTest::newRow("frame-lowered") << int(blFrame) << int(blLowered)
                                   << u"SSSSSS. SHHHHSH SH...SH SH...SH SSSSSSH .HHHHHH"_s;
    QTest::newRow("frame-raised") << int(blFrame) << int(blRaised)
                                  << u"HHHHHH. HSSSSHS HS...HS HS...HS HHHHHHS .SSSSSS"_s;
    QTest::newRow("top-line-lowered")
        << int(blTopLine) << int(blLowered) << u"SSSSSSS HHHHHHH ....... ....... ....... ......."_s;
    QTest::newRow("top-line-raised") << int(blTopLine) << int(blRaised)
                                     << u"HHHHHHH SSSSSSS ....... ....... ....... ......."_s;
    QTest::newRow("bottom-line-lowered")
        << int(blBottomLine) << int(blLowered) << u"....... ....... ....... ....... SSSSSSS HHHHHHH"_s;
    QTest::newRow("bottom-line-raised")
        << int(blBottomLine) << int(blRaised) << u"....... ....... ....... ....... HHHHHHH SSSSSSS"_s;
    QTest::newRow("left-line-lowered")
        << int(blLeftLine) << int(blLowered) << u"SH..... SH..... SH..... SH..... SH..... SH....."_s;
    QTest::newRow("left-line-raised")
        << int(blLeftLine) << int(blRaised) << u"HS..... HS..... HS..... HS..... HS..... HS....."_s;
    QTest::newRow("right-line-lowered")
        << int(blRightLine) << int(blLowered) << u".....SH .....SH .....SH .....SH .....SH .....SH"_s;
    QTest::newRow("right-line-raised")
        << int(blRightLine) << int(blRaised) << u".....HS .....HS .....HS .....HS .....HS .....HS"_s;
    QTest::newRow("no-shape") << int(blNoShape) << int(blNoStyle)
                              << u"....... ....... ....... ....... ....... ......."_s;
}

void TestBoxLabel::frame()
{
    QFETCH(int, shape);
    QFETCH(int, style);
    QFETCH(QString, expected);

    TBoxLabel label;
    label.setBorderShape(TBoxLabelShape(shape));
    label.setBorderStyle(TBoxLabelStyle(style));
    label.resize(7, 6);
    QCOMPARE(frameMap(render(label)), expected.split(u' '));
}

void TestBoxLabel::background_data()
{
    QTest::addColumn<bool>("transparent");
    QTest::addColumn<QColor>("inside");

    QTest::newRow("opaque-fills-with-own-colour") << false << kFace;
    QTest::newRow("transparent-shows-parent") << true << kParent;
}

void TestBoxLabel::background()
{
    QFETCH(bool, transparent);
    QFETCH(QColor, inside);

    QWidget parent;
    parent.resize(60, 40);
    QPalette pp = parent.palette();
    pp.setColor(QPalette::Window, kParent);
    parent.setPalette(pp);
    parent.setAutoFillBackground(true);

    auto *label = new TBoxLabel(&parent);
    QPalette lp = label->palette();
    lp.setColor(QPalette::Window, kFace);
    label->setPalette(lp);
    label->setGeometry(10, 10, 30, 20);
    label->setTransparent(transparent);
    QCOMPARE(label->Transparent(), transparent);

    const QImage img = render(parent);
    QCOMPARE(img.pixelColor(25, 20), inside);
    QCOMPARE(img.pixelColor(11, 28), inside);
    // The frame is drawn either way.
    QCOMPARE(img.pixelColor(10, 10), kShadow);
    QCOMPARE(img.pixelColor(39, 29), kHighlight);
    QCOMPARE(img.pixelColor(5, 5), kParent);
}

void TestBoxLabel::textColour_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QColor>("colour");

    QTest::newRow("enabled-own-colour") << true << kNavy;
    QTest::newRow("disabled-grey-text") << false << kGreyText;
}

void TestBoxLabel::textColour()
{
    QFETCH(bool, enabled);
    QFETCH(QColor, colour);

    // As the totals under the song grid: a navy label.
    TBoxLabel label;
    QPalette p = label.palette();
    p.setColor(QPalette::WindowText, kNavy);
    label.setPalette(p);
    label.resize(102, 24);
    label.setCaption(u"Name"_s);
    label.setEnabled(enabled);

    const QImage img = render(label);
    QVERIFY(!pixelsOf(img, colour).isNull());
    // Every pixel is frame, background or text colour.
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            if (c != kFace && c != kShadow && c != kHighlight)
                QCOMPARE(c, colour);
        }
}

void TestBoxLabel::textPlacement_data()
{
    QTest::addColumn<int>("alignment");
    QTest::addColumn<bool>("spacePrefix");
    QTest::addColumn<bool>("centerVertical");
    QTest::addColumn<int>("height");
    QTest::addColumn<QRect>("stroke"); // where the "I" of the caption lands

    // The label is 30 wide. The "I" is a one-pixel stem 10 rows high, one
    // pixel into its 4-pixel cell and two rows below the top of its line.
    // Left: 2 inset + 4 prefix + 1.
    QTest::newRow("left-prefix") << int(Qt::AlignLeft) << true << true << 40 << QRect(7, 14, 1, 10);
    QTest::newRow("left-no-prefix") << int(Qt::AlignLeft) << false << true << 40 << QRect(3, 14, 1, 10);
    // Right: the cell ends at 30 - 2 - 4 = 24.
    QTest::newRow("right-prefix") << int(Qt::AlignRight) << true << true << 40 << QRect(21, 14, 1, 10);
    QTest::newRow("right-no-prefix") << int(Qt::AlignRight) << false << true << 40 << QRect(25, 14, 1, 10);
    // Centred in 2..28 whether or not the prefix is on.
    QTest::newRow("centred-prefix") << int(Qt::AlignHCenter) << true << true << 40 << QRect(14, 14, 1, 10);
    QTest::newRow("centred-no-prefix")
        << int(Qt::AlignHCenter) << false << true << 40 << QRect(14, 14, 1, 10);
    // The 15-row line centred: its top at (2 + 38 - 15) / 2 = 12, rounded down.
    // Not centred: the line starts below the 2-pixel inset.
    QTest::newRow("top") << int(Qt::AlignLeft) << true << false << 40 << QRect(7, 4, 1, 10);
    // Lower than a line: centred, the line runs from -3 to 12 and shows its
    // middle; at the top the inset leaves rows 2..6 of which the stem fills 4..6.
    QTest::newRow("low-centred") << int(Qt::AlignLeft) << true << true << 9 << QRect(7, 0, 1, 9);
    // 10 high: (2 + 8 - 15) / 2 = -2.5 gives -3, so the stem ends in row 8.
    QTest::newRow("low-centred-rounded-down")
        << int(Qt::AlignLeft) << true << true << 10 << QRect(7, 0, 1, 9);
    QTest::newRow("low-top") << int(Qt::AlignLeft) << true << false << 9 << QRect(7, 4, 1, 3);
}

void TestBoxLabel::textPlacement()
{
    QFETCH(int, alignment);
    QFETCH(bool, spacePrefix);
    QFETCH(bool, centerVertical);
    QFETCH(int, height);
    QFETCH(QRect, stroke);

    TBoxLabel label;
    label.setBorderShape(blNoShape);
    label.setAlignment(Qt::Alignment(alignment));
    label.setSpacePrefix(spacePrefix);
    label.setCenterVertical(centerVertical);
    label.resize(30, height);
    label.setCaption(u"I"_s);
    QCOMPARE(pixelsOf(render(label), kText), stroke);
}

void TestBoxLabel::accelChar_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("showAccelChar");
    QTest::addColumn<QRect>("text");

    // "Name" in rows 6..15 (centred in the 24-pixel label) ending at x 38,
    // and the "N" underlined in row 17 from x 6 on.
    QTest::newRow("accel-underlined") << u"&Name"_s << true << QRect(6, 6, 33, 12);
    // "&Name" shown as it is: 9 pixels wider by the "&", and no underline.
    QTest::newRow("accel-char-off") << u"&Name"_s << false << QRect(6, 6, 42, 10);
    QTest::newRow("double-ampersand") << u"&&Name"_s << true << QRect(6, 6, 42, 10);
}

void TestBoxLabel::accelChar()
{
    QFETCH(QString, caption);
    QFETCH(bool, showAccelChar);
    QFETCH(QRect, text);

    TBoxLabel label;
    label.resize(100, 24);
    label.setShowAccelChar(showAccelChar);
    label.setCaption(caption);
    QCOMPARE(pixelsOf(render(label), kText), text);
}

void TestBoxLabel::autoSize_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("alignment");
    QTest::addColumn<bool>("spacePrefix");
    QTest::addColumn<bool>("showAccelChar");
    QTest::addColumn<bool>("wordWrap");
    QTest::addColumn<int>("startWidth");
    QTest::addColumn<QRect>("geometry"); // the label starts at (10, 5)

    // Width: the text plus 2 pixels each side plus the 4-pixel prefix on the
    // aligned side; height: the lines plus 2 pixels above and below. "Hello"
    // is 30 pixels, "Hello Hello" 63, a blank 4, an "&" 9.
    QTest::newRow("left-keeps-left-edge")
        << u"Hello"_s << int(Qt::AlignLeft) << true << true << false << 100 << QRect(10, 5, 38, 19);
    QTest::newRow("right-keeps-right-edge")
        << u"Hello"_s << int(Qt::AlignRight) << true << true << false << 100 << QRect(72, 5, 38, 19);
    QTest::newRow("right-grows-to-the-left")
        << u"Hello"_s << int(Qt::AlignRight) << false << true << false << 20 << QRect(-4, 5, 34, 19);
    QTest::newRow("centred-no-prefix")
        << u"Hello"_s << int(Qt::AlignHCenter) << true << true << false << 100 << QRect(10, 5, 34, 19);
    QTest::newRow("empty-caption-one-line")
        << QString() << int(Qt::AlignLeft) << true << true << false << 100 << QRect(10, 5, 12, 19);
    QTest::newRow("lone-accel-char-one-line")
        << u"&"_s << int(Qt::AlignLeft) << true << true << false << 100 << QRect(10, 5, 12, 19);
    QTest::newRow("lone-ampersand-shown")
        << u"&"_s << int(Qt::AlignLeft) << true << false << false << 100 << QRect(10, 5, 17, 19);
    QTest::newRow("no-word-wrap-one-line")
        << u"Hello Hello"_s << int(Qt::AlignLeft) << true << true << false << 40 << QRect(10, 5, 71, 19);
    QTest::newRow("word-wrap-two-lines")
        << u"Hello Hello"_s << int(Qt::AlignLeft) << true << true << true << 40 << QRect(10, 5, 38, 34);
}

void TestBoxLabel::autoSize()
{
    QFETCH(QString, caption);
    QFETCH(int, alignment);
    QFETCH(bool, spacePrefix);
    QFETCH(bool, showAccelChar);
    QFETCH(bool, wordWrap);
    QFETCH(int, startWidth);
    QFETCH(QRect, geometry);

    QWidget parent;
    auto *label = new TBoxLabel(&parent);
    label->setGeometry(10, 5, startWidth, 30);
    label->setCaption(caption);
    label->setAlignment(Qt::Alignment(alignment));
    label->setSpacePrefix(spacePrefix);
    label->setShowAccelChar(showAccelChar);
    label->setWordWrap(wordWrap);
    QCOMPARE(label->geometry(), QRect(10, 5, startWidth, 30)); // nothing moves before AutoSize
    label->setAutoSize(true);
    QCOMPARE(label->geometry(), geometry);
    // Sizing again for the same text changes nothing.
    label->setCaption(u"x"_s);
    label->setCaption(caption);
    QCOMPARE(label->geometry(), geometry);
}

void TestBoxLabel::autoSizeShowsWholeText()
{
    // Painting breaks at words: a label sized to its text must still show
    // both stems of both words on one line.
    TBoxLabel label;
    label.setCaption(u"II II"_s);
    label.setAutoSize(true);
    QCOMPARE(columnsWith(render(label), kText), 4);

    label.setAlignment(Qt::AlignRight);
    label.setCaption(u"II III"_s);
    QCOMPARE(columnsWith(render(label), kText), 5);
}

void TestBoxLabel::autoSizeFollowsFont()
{
    TBoxLabel label;
    label.setCaption(u"Hello"_s);
    label.setAutoSize(true);
    QCOMPARE(label.size(), QSize(38, 19));
    QFont f = label.font();
    f.setPixelSize(26);
    label.setFont(f);
    QCOMPARE(label.size(), QSize(68, 34));
}

void TestBoxLabel::captionCutAt255()
{
    const QString x255(255, u'x');
    TBoxLabel exact;
    exact.setAutoSize(true);
    exact.setCaption(x255);
    TBoxLabel longer;
    longer.setAutoSize(true);
    longer.setCaption(x255 + u"WWWW"_s);
    TBoxLabel lastDiffers;
    lastDiffers.setAutoSize(true);
    lastDiffers.setCaption(QString(254, u'x') + u"W"_s);

    QCOMPARE(longer.width(), exact.width());
    QVERIFY(lastDiffers.width() > exact.width());
}

void TestBoxLabel::accelerator_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("labelEnabled");
    QTest::addColumn<bool>("showAccelChar");
    QTest::addColumn<bool>("withFocusControl");
    // The focus control: "ready", "disabled" or "hidden" before it is linked
    // to the label, or a change after the window is shown ("...-later").
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("moves"); // else the key reaches the window's own Alt+key action

    QTest::newRow("moves-focus") << u"&Name"_s << int(Qt::Key_N) << true << true << true << u"ready"_s
                                 << true;
    QTest::newRow("case-ignored") << u"&name"_s << int(Qt::Key_N) << true << true << true << u"ready"_s
                                  << true;
    QTest::newRow("letter-inside") << u"Fi&le"_s << int(Qt::Key_L) << true << true << true << u"ready"_s
                                   << true;
    QTest::newRow("other-letter") << u"&Name"_s << int(Qt::Key_A) << true << true << true << u"ready"_s
                                  << false;
    QTest::newRow("double-ampersand")
        << u"&&Name"_s << int(Qt::Key_N) << true << true << true << u"ready"_s << false;
    QTest::newRow("label-disabled") << u"&Name"_s << int(Qt::Key_N) << false << true << true << u"ready"_s
                                    << false;
    QTest::newRow("accel-char-off") << u"&Name"_s << int(Qt::Key_N) << true << false << true << u"ready"_s
                                    << false;
    QTest::newRow("no-focus-control")
        << u"&Name"_s << int(Qt::Key_N) << true << true << false << u"ready"_s << false;
    QTest::newRow("focus-control-disabled")
        << u"&Name"_s << int(Qt::Key_N) << true << true << true << u"disabled"_s << false;
    QTest::newRow("focus-control-hidden")
        << u"&Name"_s << int(Qt::Key_N) << true << true << true << u"hidden"_s << false;
    QTest::newRow("focus-control-disabled-later")
        << u"&Name"_s << int(Qt::Key_N) << true << true << true << u"disabled-later"_s << false;
    QTest::newRow("focus-control-hidden-later")
        << u"&Name"_s << int(Qt::Key_N) << true << true << true << u"hidden-later"_s << false;
    QTest::newRow("focus-control-enabled-later")
        << u"&Name"_s << int(Qt::Key_N) << true << true << true << u"enabled-later"_s << true;
    QTest::newRow("focus-control-shown-later")
        << u"&Name"_s << int(Qt::Key_N) << true << true << true << u"shown-later"_s << true;
}

void TestBoxLabel::accelerator()
{
    QFETCH(QString, caption);
    QFETCH(int, key);
    QFETCH(bool, labelEnabled);
    QFETCH(bool, showAccelChar);
    QFETCH(bool, withFocusControl);
    QFETCH(QString, target);
    QFETCH(bool, moves);

    QWidget window;
    auto *label = new TBoxLabel(&window);
    auto *edit = new QLineEdit(&window);
    auto *other = new QLineEdit(&window);
    edit->move(0, 30);
    other->move(0, 60);
    label->setCaption(caption);
    label->setShowAccelChar(showAccelChar);
    if (target == u"disabled" || target == u"enabled-later")
        edit->setEnabled(false);
    if (target == u"hidden" || target == u"shown-later")
        edit->hide();
    if (withFocusControl)
        label->setFocusControl(edit);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    other->setFocus();
    label->setEnabled(labelEnabled);
    if (target == u"disabled-later")
        edit->setEnabled(false);
    if (target == u"hidden-later")
        edit->hide();
    if (target == u"enabled-later")
        edit->setEnabled(true);
    if (target == u"shown-later")
        edit->show();

    int triggered = 0;
    if (!moves) {
        // The window's own use of the key must still work.
        auto *action = new QAction(&window);
        action->setShortcut(QKeySequence(Qt::ALT | Qt::Key(key)));
        window.addAction(action);
        connect(action, &QAction::triggered, &window, [&triggered] { ++triggered; });
    }

    QTest::keyClick(other, Qt::Key(key), Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), moves ? static_cast<QWidget *>(edit) : other);
    QCOMPARE(triggered, moves ? 0 : 1);
}

void TestBoxLabel::focusControlDestroyed()
{
    QWidget window;
    auto *label = new TBoxLabel(&window);
    auto *target = new QLineEdit(&window);
    auto *other = new QLineEdit(&window);
    label->setCaption(u"&Name"_s);
    label->setFocusControl(target);
    QCOMPARE(label->FocusControl(), target);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    other->setFocus();

    delete target;
    QCOMPARE(label->FocusControl(), nullptr);

    // The accelerator is given up with its control: the key reaches the window.
    auto *action = new QAction(&window);
    action->setShortcut(QKeySequence(Qt::ALT | Qt::Key_N));
    window.addAction(action);
    QSignalSpy triggered(action, &QAction::triggered);
    QTest::keyClick(other, Qt::Key_N, Qt::AltModifier);
    QCOMPARE(triggered.count(), 1);
    QCOMPARE(QApplication::focusWidget(), other);
}

void TestBoxLabel::accessibleName_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("showAccelChar");
    QTest::addColumn<QString>("name");

    QTest::newRow("accel-mark-dropped") << u"&Name"_s << true << u"Name"_s;
    QTest::newRow("double-ampersand-one-left") << u"Rock && &Roll"_s << true << u"Rock & Roll"_s;
    QTest::newRow("accel-char-off-as-shown") << u"&Name"_s << false << u"&Name"_s;
    QTest::newRow("total-time") << u"01:10 hr"_s << true << u"01:10 hr"_s;
    QTest::newRow("empty") << QString() << true << QString();
}

void TestBoxLabel::accessibleName()
{
    QFETCH(QString, caption);
    QFETCH(bool, showAccelChar);
    QFETCH(QString, name);

    TBoxLabel label;
    label.setShowAccelChar(showAccelChar);
    label.setCaption(caption);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&label);
    QVERIFY(iface);
    QCOMPARE(iface->role(), QAccessible::StaticText);
    QCOMPARE(iface->text(QAccessible::Name), name);
}

QTEST_MAIN(TestBoxLabel)
#include "tst_UQLXStd.moc"
