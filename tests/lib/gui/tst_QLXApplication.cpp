// The application's one error box: an error escaping an event handler is
// shown with the application title and a full stop, boxes never nest, and
// the program goes on; the busy cursor cannot outlive an exception.

#include "QLXApplication.h"
#include "QLXError.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace
{

// Throws from its event handler, as a handler whose write was refused does.
class Thrower : public QObject
{
public:
    int handled = 0;
    QString message;
    bool standard = false;

protected:
    bool event(QEvent *e) override
    {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        ++handled;
        if (standard)
            throw std::runtime_error(message.toStdString());
        throw EQLXError(message);
    }
};

} // namespace

class TestApplication : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void errorEscapingHandler_data();
    void errorEscapingHandler();
    void boxesDoNotNest();
    void busyCursorRestoredAfterException();
};

void TestApplication::errorEscapingHandler_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("standard");
    QTest::addColumn<QString>("shown");
    QTest::newRow("conversion") << "'x' is not a valid integer value" << false
                                << "'x' is not a valid integer value.";
    QTest::newRow("write") << "Unable to write to /a/b.INI" << false << "Unable to write to /a/b.INI.";
    QTest::newRow("has-full-stop") << "'1-1-99' is not a valid date." << false
                                   << "'1-1-99' is not a valid date.";
    QTest::newRow("std-exception") << "disk full" << true << "disk full.";
}

void TestApplication::errorEscapingHandler()
{
    QFETCH(QString, message);
    QFETCH(bool, standard);
    QFETCH(QString, shown);
    TQLXApplication::setTitle(QStringLiteral("Discora 1.5"));
    QStringList seen;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            seen << box->windowTitle() << box->text() << QString::number(box->icon());
            box->button(QMessageBox::Ok)->click();
        }
    });
    poll.start(10);
    Thrower thrower;
    thrower.message = message;
    thrower.standard = standard;
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QTRY_COMPARE(seen.size(), 3);
    QCOMPARE(seen, QStringList({ "Discora 1.5", shown, QString::number(QMessageBox::Critical) }));
    // The program keeps running: the next event is handled as usual.
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QTRY_COMPARE(thrower.handled, 2);
    QTRY_COMPARE(seen.size(), 6);
}

void TestApplication::boxesDoNotNest()
{
    QStringList seen;
    int deepest = 0;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        const auto boxes = QApplication::topLevelWidgets();
        int open = 0;
        for (QWidget *w : boxes)
            open += qobject_cast<QMessageBox *>(w) && w->isVisible();
        deepest = std::max(deepest, open);
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            seen << box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    poll.start(10);
    TQLXApplication::ShowException(QStringLiteral("first"));
    TQLXApplication::ShowException(QStringLiteral("second"));
    QTRY_COMPARE(seen, QStringList({ "first.", "second." }));
    QCOMPARE(deepest, 1);
}

void TestApplication::busyCursorRestoredAfterException()
{
    QVERIFY(!QApplication::overrideCursor());
    try {
        TBusyCursor busy;
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        throw EQLXError(QStringLiteral("fails half-way"));
    } catch (const EQLXError &) {
    }
    QVERIFY(!QApplication::overrideCursor());
}

int main(int argc, char *argv[])
{
    TQLXApplication app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_QLXApplication.moc"
