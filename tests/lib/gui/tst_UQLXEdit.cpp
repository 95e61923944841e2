// Filling in a small form of edits with the keyboard: Enter, Up and Down move
// between the fields (wrapping around), other keys and switched-off features
// leave the edit alone, and a dialog's default button takes Enter first.

#include "UQLXEdit.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace
{

// A window holding fields 0, 1 and 2 in tab order, with a label, a disabled
// edit and a hidden edit between them that must be passed over.
struct Form {
    QWidget window;
    TQLXEdit *fields[3];
    TQLXEdit *disabled;
    TQLXEdit *hidden;

    Form()
    {
        fields[0] = new TQLXEdit(&window);
        new QLabel(u"Title"_s, &window);
        fields[1] = new TQLXEdit(&window);
        disabled = new TQLXEdit(&window);
        disabled->setEnabled(false);
        hidden = new TQLXEdit(&window);
        fields[2] = new TQLXEdit(&window);
        for (int i = 0; i < 3; ++i) {
            fields[i]->setObjectName(u"field%1"_s.arg(i));
            fields[i]->setGeometry(10, 10 + 30 * i, 100, 22);
            fields[i]->setText(u"abc"_s);
        }
        window.resize(200, 150);
        window.show();
        hidden->hide();
        // Under a real X server without a window manager a shown window is
        // not active by itself, and an inactive window has no focus.
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }
    int focusedField() const
    {
        for (int i = 0; i < 3; ++i)
            if (fields[i]->hasFocus())
                return i;
        return -1;
    }
};

} // namespace

class TestEdit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaults();
    void keys_data();
    void keys();
    void defaultButton_data();
    void defaultButton();
};

void TestEdit::defaults()
{
    TQLXEdit edit;
    QCOMPARE(edit.EnterAsTab(), true);
    QCOMPARE(edit.UpDownKeys(), true);
}

void TestEdit::keys_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("enterAsTab");
    QTest::addColumn<bool>("upDownKeys");
    QTest::addColumn<int>("focused"); // field that has the focus afterwards
    QTest::addColumn<QString>("text"); // text of the start field afterwards

    const int none = Qt::NoModifier;
    QTest::newRow("enter-moves-to-next") << 0 << int(Qt::Key_Return) << none << true << true << 1 << "abc";
    QTest::newRow("enter-skips-disabled-and-hidden")
        << 1 << int(Qt::Key_Return) << none << true << true << 2 << "abc";
    QTest::newRow("enter-in-last-wraps-to-first")
        << 2 << int(Qt::Key_Return) << none << true << true << 0 << "abc";
    QTest::newRow("keypad-enter-moves")
        << 0 << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << true << true << 1 << "abc";
    QTest::newRow("shift-enter-moves")
        << 0 << int(Qt::Key_Return) << int(Qt::ShiftModifier) << true << true << 1 << "abc";
    QTest::newRow("ctrl-enter-stays")
        << 1 << int(Qt::Key_Return) << int(Qt::ControlModifier) << true << true << 1 << "abc";
    QTest::newRow("enter-as-tab-off-stays")
        << 1 << int(Qt::Key_Return) << none << false << true << 1 << "abc";
    QTest::newRow("down-moves-to-next") << 0 << int(Qt::Key_Down) << none << true << true << 1 << "abc";
    QTest::newRow("up-moves-to-previous") << 2 << int(Qt::Key_Up) << none << true << true << 1 << "abc";
    QTest::newRow("up-in-first-wraps-to-last") << 0 << int(Qt::Key_Up) << none << true << true << 2 << "abc";
    QTest::newRow("down-in-last-wraps-to-first")
        << 2 << int(Qt::Key_Down) << none << true << true << 0 << "abc";
    QTest::newRow("shift-down-moves-without-selecting")
        << 0 << int(Qt::Key_Down) << int(Qt::ShiftModifier) << true << true << 1 << "abc";
    QTest::newRow("ctrl-up-moves") << 1 << int(Qt::Key_Up) << int(Qt::ControlModifier) << true << true << 0
                                   << "abc";
    QTest::newRow("up-down-off-stays") << 1 << int(Qt::Key_Down) << none << true << false << 1 << "abc";
    QTest::newRow("enter-with-up-down-off-moves")
        << 1 << int(Qt::Key_Return) << none << true << false << 2 << "abc";
    QTest::newRow("letter-typed-in-place") << 1 << int(Qt::Key_X) << none << true << true << 1 << "axbc";
}

void TestEdit::keys()
{
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, enterAsTab);
    QFETCH(bool, upDownKeys);
    QFETCH(int, focused);
    QFETCH(QString, text);

    Form form;
    TQLXEdit *edit = form.fields[start];
    edit->setEnterAsTab(enterAsTab);
    edit->setUpDownKeys(upDownKeys);
    edit->setFocus();
    QTRY_COMPARE(form.focusedField(), start);
    edit->setCursorPosition(1);
    QSignalSpy returnPressed(edit, &QLineEdit::returnPressed);

    QTest::keyClick(edit, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    // The move is posted: the key event itself leaves the focus where it was.
    QCOMPARE(form.focusedField(), start);
    if (focused != start) {
        QTRY_COMPARE(form.focusedField(), focused);
        // A moved key never reaches the edit as an Enter of its own.
        QCOMPARE(returnPressed.count(), 0);
    } else {
        QTest::qWait(50);
        QCOMPARE(form.focusedField(), start);
    }
    QCOMPARE(edit->text(), text);
    QCOMPARE(edit->selectedText(), QString());
}

void TestEdit::defaultButton_data()
{
    QTest::addColumn<bool>("buttonEnabled");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<bool>("moved");

    QTest::newRow("default-button-takes-enter") << true << 1 << false;
    QTest::newRow("disabled-default-button-leaves-enter-to-edit") << false << 0 << true;
}

void TestEdit::defaultButton()
{
    QFETCH(bool, buttonEnabled);
    QFETCH(int, clicks);
    QFETCH(bool, moved);

    QDialog dialog;
    auto *first = new TQLXEdit(&dialog);
    auto *second = new TQLXEdit(&dialog);
    auto *ok = new QPushButton(u"OK"_s, &dialog);
    ok->setDefault(true);
    ok->setEnabled(buttonEnabled);
    QSignalSpy clicked(ok, &QPushButton::clicked);
    connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    first->setFocus();
    QTRY_VERIFY(first->hasFocus());

    QTest::keyClick(first, Qt::Key_Return);
    QTest::qWait(50);
    QCOMPARE(clicked.count(), clicks);
    QCOMPARE(second->hasFocus(), moved);
    // The pressed default button closes the dialog.
    QCOMPARE(dialog.isVisible(), clicks == 0);
}

QTEST_MAIN(TestEdit)
#include "tst_UQLXEdit.moc"
