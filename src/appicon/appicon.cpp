#include "appicon.h"

// Outside any namespace, as Q_INIT_RESOURCE asks.
static void initAppIconResource()
{
    Q_INIT_RESOURCE(appicon);
}

QIcon applicationIcon()
{
    initAppIconResource();
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addFile(QStringLiteral(":/appicon/%1.png").arg(size), QSize(size, size));
    return icon;
}
