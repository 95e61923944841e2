// The memo's caret reports (which user actions raise them and with which
// 1-based line and column), its tab width in dialog units and its text
// length with line breaks counted as two characters.

#include "UQLXMemo.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace
{

// A window with a plain edit (to hold the focus away from the memo) and the
// memo, recording every position report as "row,col".
struct Window {
    QWidget window;
    QLineEdit *other;
    TQLXMemo *memo;
    QStringList reports;

    Window()
    {
        auto *layout = new QVBoxLayout(&window);
        other = new QLineEdit(&window);
        memo = new TQLXMemo(&window);
        layout->addWidget(other);
        layout->addWidget(memo);
        memo->OnPosChanged = [this](QObject *sender, int row, int col) {
            QCOMPARE(sender, memo);
            reports << u"%1,%2"_s.arg(row).arg(col);
        };
        window.resize(300, 200);
        window.show();
        // Under a real X server without a window manager a shown window is
        // not active by itself, and an inactive window has no focus.
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }
    void setCaret(int anchor, int position)
    {
        QTextCursor c(memo->document());
        c.setPosition(anchor);
        c.setPosition(position, QTextCursor::KeepAnchor);
        memo->setTextCursor(c);
    }
    QPoint pointOf(int position) const
    {
        QTextCursor c(memo->document());
        c.setPosition(position);
        return memo->cursorRect(c).center();
    }
};

} // namespace

class TestMemo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaults();
    void positionReports_data();
    void positionReports();
    void tabWidth_data();
    void tabWidth();
    void textLength_data();
    void textLength();
};

void TestMemo::defaults()
{
    TQLXMemo memo;
    QCOMPARE(memo.TabWidth(), 0);
    QCOMPARE(memo.CaseSensitive(), false);
    memo.setCaseSensitive(true);
    QCOMPARE(memo.CaseSensitive(), true);
}

void TestMemo::positionReports_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("focused"); // the memo has the focus before the action
    QTest::addColumn<int>("anchor"); // caret (and selection) before the action
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("reports");

    const QString two = u"abc\ndefg\nhi"_s;
    QTest::newRow("caret-at-start") << two << true << 0 << 0 << "update" << QStringList { "1,1" };
    QTest::newRow("right-arrow-released") << two << true << 0 << 0 << "right" << QStringList { "1,2" };
    QTest::newRow("down-arrow-released") << two << true << 2 << 2 << "down" << QStringList { "2,3" };
    QTest::newRow("end-on-last-line") << two << true << 9 << 9 << "end" << QStringList { "3,3" };
    QTest::newRow("alt-key-released") << two << true << 5 << 5 << "alt" << QStringList { "2,2" };
    QTest::newRow("focus-received") << two << false << 6 << 6 << "focus" << QStringList { "2,3" };
    QTest::newRow("click-into-focused-memo") << two << true << 0 << 0 << "click" << QStringList { "2,4" };
    QTest::newRow("click-into-unfocused-memo")
        << two << false << 0 << 0 << "click" << QStringList { "1,1", "2,4" };
    QTest::newRow("right-button-no-report") << two << true << 0 << 0 << "rightclick" << QStringList {};
    QTest::newRow("program-changes-text-no-report") << two << true << 0 << 0 << "settext" << QStringList {};
    // The held Shift is a key of its own and reports at its release too.
    // Shift+Down from column 2 of line 1 selects downward: the line is that of
    // the selection start and the column stays the one reported before (3).
    QTest::newRow("selection-downward-keeps-column")
        << two << true << 2 << 2 << "shift-down" << QStringList { "1,3", "1,3" };
    QTest::newRow("selection-upward-gives-start")
        << two << true << 6 << 6 << "shift-up" << QStringList { "1,3", "1,3" };
    // A downward selection set by the program: the column is the one the memo
    // held before (0 on a fresh memo), not that of the selection start.
    QTest::newRow("downward-selection-keeps-earlier-column")
        << two << true << 1 << 6 << "update" << QStringList { "1,1" };
    QTest::newRow("upward-selection-gives-start-column")
        << two << true << 6 << 1 << "update" << QStringList { "1,2" };
}

void TestMemo::positionReports()
{
    QFETCH(QString, text);
    QFETCH(bool, focused);
    QFETCH(int, anchor);
    QFETCH(int, position);
    QFETCH(QString, action);
    QFETCH(QStringList, reports);

    Window w;
    w.memo->setPlainText(text);
    w.setCaret(anchor, position);
    if (focused) {
        w.memo->setFocus();
        QTRY_VERIFY(w.memo->hasFocus());
        // The column kept for downward selections is the last one reported.
        w.memo->Update();
    } else {
        w.other->setFocus();
        QTRY_VERIFY(w.other->hasFocus());
    }
    w.reports.clear();

    if (action == "update")
        w.memo->Update();
    else if (action == "right")
        QTest::keyClick(w.memo, Qt::Key_Right);
    else if (action == "down")
        QTest::keyClick(w.memo, Qt::Key_Down);
    else if (action == "end")
        QTest::keyClick(w.memo, Qt::Key_End);
    else if (action == "alt")
        QTest::keyClick(w.memo, Qt::Key_Alt);
    else if (action == "focus")
        w.memo->setFocus(Qt::TabFocusReason);
    else if (action == "click")
        QTest::mouseClick(w.memo->viewport(), Qt::LeftButton, {}, w.pointOf(7)); // line 2, after "def"
    else if (action == "rightclick") {
        QTest::mousePress(w.memo->viewport(), Qt::RightButton, {}, w.pointOf(7));
        QTest::mouseRelease(w.memo->viewport(), Qt::RightButton, {}, w.pointOf(7));
    } else if (action == "settext")
        w.memo->setPlainText(u"x\ny"_s);
    else if (action == "shift-down")
        QTest::keyClick(w.memo, Qt::Key_Down, Qt::ShiftModifier);
    else if (action == "shift-up")
        QTest::keyClick(w.memo, Qt::Key_Up, Qt::ShiftModifier);
    else
        QFAIL("unknown action");

    QTRY_COMPARE(w.reports, reports);
    QTest::qWait(20);
    QCOMPARE(w.reports, reports);
}

void TestMemo::tabWidth_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("write");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("stopUnits"); // distance between stops in dialog units

    QTest::newRow("default-stops") << 0 << 0 << 0 << 32;
    QTest::newRow("set-16") << 0 << 16 << 16 << 16;
    QTest::newRow("set-4") << 8 << 4 << 4 << 4;
    QTest::newRow("negative-restores-default") << 8 << -5 << 0 << 32;
    QTest::newRow("zero-restores-default") << 12 << 0 << 0 << 32;
    QTest::newRow("negative-while-zero") << 0 << -5 << 0 << 32;
}

void TestMemo::tabWidth()
{
    QFETCH(int, before);
    QFETCH(int, write);
    QFETCH(int, stored);
    QFETCH(int, stopUnits);

    TQLXMemo memo;
    QFont f(u"DejaVu Sans Mono"_s);
    f.setPixelSize(13); // an 8-pixel average character: 2 pixels a dialog unit
    memo.setFont(f);
    QCOMPARE(QFontMetrics(memo.font()).averageCharWidth(), 8);
    memo.setTabWidth(before);
    memo.setTabWidth(write);
    QCOMPARE(memo.TabWidth(), stored);
    QCOMPARE(memo.tabStopDistance(), 2.0 * stopUnits);
}

void TestMemo::textLength_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("length");

    QTest::newRow("empty") << "" << 0;
    QTest::newRow("one-line") << "abc" << 3;
    QTest::newRow("ab-break-c") << "ab\nc" << 5;
    QTest::newRow("empty-line-between") << "a\n\nb" << 6;
    QTest::newRow("trailing-break") << "ab\n" << 4;
}

void TestMemo::textLength()
{
    QFETCH(QString, text);
    QFETCH(int, length);

    TQLXMemo memo;
    memo.setPlainText(text);
    QCOMPARE(memo.TextLength(), length);
    // A stored length read back from a form changes nothing.
    memo.setTextLength(99);
    QCOMPARE(memo.TextLength(), length);
    QCOMPARE(memo.toPlainText(), text);
}

QTEST_MAIN(TestMemo)
#include "tst_UQLXMemo.moc"
