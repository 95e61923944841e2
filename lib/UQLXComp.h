#pragma once
// Base of the library's non-visual components: an owned QObject carrying the
// version stamps of its class, and the library's help event.

#include <QObject>
#include <QString>
#include <functional>

// Sender asks for help inside the window captioned ACaption.
using TOnHelpEvent = std::function<void(QObject *Sender, const QString &ACaption)>;

class TQLXComponent : public QObject
{
    Q_OBJECT
public:
    explicit TQLXComponent(QObject *AOwner = nullptr);

    QString ComponentVersion; // at most 6 characters, "5.1.00"
    QString ComponentDate; // at most 10 characters, "dd-mm-yyyy"
};
