#include "appidentity.h"

#include <QCoreApplication>

void applyApplicationIdentity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Veltrane"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("veltrane.com"));
    QCoreApplication::setApplicationName(QStringLiteral("tarnDeck"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
}
