#include "UQLXComp.h"

TQLXComponent::TQLXComponent(QObject *AOwner)
    : QObject(AOwner)
    , ComponentVersion(QStringLiteral("5.1.00"))
    , ComponentDate(QStringLiteral("31-01-2002"))
{
}
