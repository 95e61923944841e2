#pragma once
// Drives modal windows from a test: every 10 ms it looks for the active modal
// window and runs step once on each new one (the details dialog, a viewer, an
// error box) for as long as the driver lives.

#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

class ModalDriver : public QObject
{
public:
    explicit ModalDriver(std::function<void(QWidget *)> step)
        : m_step(std::move(step))
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (modal && modal != m_last) {
                m_last = modal;
                m_step(modal);
            }
        });
        m_timer.start(10);
    }
    // Runs step again on the window that is up now.
    void again() { m_last = nullptr; }

private:
    std::function<void(QWidget *)> m_step;
    QPointer<QWidget> m_last;
    QTimer m_timer;
};

// Answers every error box with OK and keeps "title | text" of each.
class BoxWatcher : public QObject
{
public:
    BoxWatcher()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                texts << box->windowTitle() + QStringLiteral(" | ") + box->text();
                box->button(QMessageBox::Ok)->click();
            }
        });
        m_timer.start(10);
    }
    QStringList texts;

private:
    QTimer m_timer;
};
