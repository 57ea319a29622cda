#include "cameralist.h"

#include "camerarecords.h"

#include <algorithm>

CameraList::CameraList(QObject *parent)
    : QObject(parent)
{
    all.append(new Camera(links));
}

CameraList::~CameraList()
{
    qDeleteAll(all);
}

int CameraList::indexOf(const Camera *camera) const
{
    return int(all.indexOf(const_cast<Camera *>(camera)));
}

Camera *CameraList::make(const CameraConfig &config)
{
    auto *camera = new Camera(links);
    camera->setConfig(config);
    connect(camera, &Camera::configChanged, this, &CameraList::listChanged);
    return camera;
}

void CameraList::renumber()
{
    for (int i = 0; i < all.size(); ++i)
        all.at(i)->setNumber(i + 1);
}

bool CameraList::select(int index)
{
    if (index < 0 || index >= all.size() || index == selected)
        return false;
    emit leaving(current());
    selected = index;
    emit currentChanged(current());
    return true;
}

bool CameraList::selectNext(int step)
{
    if (all.size() < 2)
        return false;
    const int size = int(all.size());
    return select(((selected + step) % size + size) % size);
}

void CameraList::load(const QList<CameraConfig> &configs, bool listedInStore)
{
    inStore = listedInStore;
    if (configs.isEmpty())
        return;
    all.constFirst()->setConfig(configs.constFirst());
    connect(all.constFirst(), &Camera::configChanged, this, &CameraList::listChanged,
            Qt::UniqueConnection);
    for (int i = 1; i < configs.size() && all.size() < CameraRecords::kMaxCameras; ++i)
        all.append(make(configs.at(i)));
    renumber();
    emit listChanged();
}

QList<CameraConfig> CameraList::configs() const
{
    QList<CameraConfig> list;
    for (const Camera *camera : all)
        list.append(camera->config());
    return list;
}

namespace {

// Whether the camera would be reached elsewhere (another line, address or
// device) with the new set-up.
bool reachedElsewhere(const CameraConfig &was, const CameraConfig &now)
{
    return was.route != now.route || was.protocol != now.protocol
        || was.serialPort != now.serialPort || was.routeAddress() != now.routeAddress()
        || was.viscaAddress != now.viscaAddress || was.lampAddress != now.lampAddress;
}

} // namespace

QList<Camera *> CameraList::apply(const QList<Entry> &entries)
{
    QList<Camera *> moved;
    if (entries.isEmpty())
        return moved;
    Camera *const wasCurrent = current();
    QList<Camera *> kept;
    for (const Entry &entry : entries) {
        if (kept.size() >= CameraRecords::kMaxCameras)
            break;
        Camera *camera = entry.camera;
        if (camera && all.contains(camera) && !kept.contains(camera)) {
            if (camera->route() != Camera::Route::None
                && reachedElsewhere(camera->config(), entry.config)) {
                // Its stops still go where its moves went.
                camera->stopAll();
                camera->leaveRoute();
                moved.append(camera);
            }
            camera->setConfig(entry.config);
            kept.append(camera);
        } else {
            kept.append(make(entry.config));
        }
    }
    const bool currentStays = kept.contains(wasCurrent);
    if (!currentStays)
        emit leaving(wasCurrent);
    QList<Camera *> gone;
    for (Camera *camera : qAsConst(all)) {
        if (!kept.contains(camera))
            gone.append(camera);
    }
    all = kept;
    selected = currentStays ? int(all.indexOf(wasCurrent)) : 0;
    inStore = true;
    renumber();
    // Out of the list: nothing of it may keep moving, and its links go back.
    for (Camera *camera : qAsConst(gone)) {
        camera->stopAll();
        camera->leaveRoute();
        camera->disconnect(this);
        camera->deleteLater();
    }
    emit listChanged();
    if (!currentStays)
        emit currentChanged(current());
    return moved;
}

void CameraList::leaveRoutes()
{
    for (Camera *camera : qAsConst(all))
        camera->leaveRoute();
}
