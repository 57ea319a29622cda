#include "cameralist.h"

CameraList::CameraList(QObject *parent)
    : QObject(parent)
{
    all.append(new Camera(links));
}

CameraList::~CameraList()
{
    qDeleteAll(all);
}

void CameraList::leaveRoutes()
{
    for (Camera *camera : qAsConst(all))
        camera->leaveRoute();
}
