#include "QLXApplication.h"

#include "QLXError.h"

#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTimer>

namespace
{

QString g_title;
QStringList g_pending;
bool g_showing = false;

} // namespace

TQLXApplication::TQLXApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
}

TQLXApplication *TQLXApplication::instance()
{
    return qobject_cast<TQLXApplication *>(QCoreApplication::instance());
}

QString TQLXApplication::Title()
{
    return g_title.isEmpty() ? QCoreApplication::applicationName() : g_title;
}

void TQLXApplication::setTitle(const QString &title)
{
    g_title = title;
}

QString TQLXApplication::ErrorText(const QString &message)
{
    QString text = message.trimmed();
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('.')))
        text += QLatin1Char('.');
    return text;
}

void TQLXApplication::ShowException(const QString &message)
{
    g_pending.append(ErrorText(message));
    // Never open a box from inside a paint or another box: show it from the
    // event loop, one at a time.
    QTimer::singleShot(0, qApp, &TQLXApplication::showQueued);
}

void TQLXApplication::ShowExceptionNow(const QString &message)
{
    QMessageBox box(
        QMessageBox::Critical, Title(), ErrorText(message), QMessageBox::Ok, QApplication::activeWindow());
    box.setObjectName(QStringLiteral("ErrorBox"));
    box.exec();
}

void TQLXApplication::showQueued()
{
    if (g_showing || g_pending.isEmpty())
        return;
    g_showing = true;
    while (!g_pending.isEmpty()) {
        ShowExceptionNow(g_pending.takeFirst());
    }
    g_showing = false;
}

void TQLXApplication::ShowCurrentException()
{
    try {
        throw;
    } catch (const EQLXError &e) {
        ShowException(e.message());
    } catch (const std::exception &e) {
        ShowException(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ShowException(QStringLiteral("Unexpected error"));
    }
}

bool TQLXApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowCurrentException();
    }
    return false;
}

TBusyCursor::TBusyCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

TBusyCursor::~TBusyCursor()
{
    QApplication::restoreOverrideCursor();
}

QFont ArialFont(int pixelSize)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixelSize);
    return font;
}

QFont FixedPitchFont(int pixelSize)
{
    QFont font;
    font.setFamilies({ QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Liberation Mono") });
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(pixelSize);
    return font;
}
