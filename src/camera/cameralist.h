// The cameras the operator drives, the one the window shows (the current
// camera), and the pool of links they share. The window, and whatever else
// drives a camera, holds this list and asks it for the camera it acts on;
// nothing here is global. There is always at least one camera.
//
// Selecting another camera first says so with leaving(): whoever started a
// move on the camera being left (the window's keys and pointer, a pad) stops
// it there, so its stops are handed to the link before anything reaches the
// newly selected camera. Moves of remote clients keep their own rules and
// are not stopped by a selection.
#pragma once

#include "camera.h"
#include "cameraconfig.h"
#include "linkpool.h"

#include <QList>
#include <QObject>

class CameraList : public QObject
{
    Q_OBJECT

public:
    // A camera as the editor leaves the list: one already there, or a new
    // one (camera nullptr), with what it is set up with.
    struct Entry
    {
        Camera *camera = nullptr;
        CameraConfig config;
    };

    explicit CameraList(QObject *parent = nullptr);
    ~CameraList() override;

    LinkPool &pool() { return links; }
    const QList<Camera *> &cameras() const { return all; }
    int count() const { return int(all.size()); }
    Camera *at(int index) const { return all.value(index); }
    int indexOf(const Camera *camera) const;
    // The camera the window shows and its controls act on.
    Camera *current() const { return all.value(selected); }
    int currentIndex() const { return selected; }

    // Makes camera `index` (0 ...) the current one: false when it is no
    // camera of the list or already current.
    bool select(int index);
    // The next (+1) or previous (-1) camera, round the end of the list.
    bool selectNext(int step);

    // The store's cameras: camera 1 takes the first set-up, the others are
    // added; listed as the store had them (see camerarecords.h).
    void load(const QList<CameraConfig> &configs, bool listedInStore);
    QList<CameraConfig> configs() const;
    // Whether the store keeps the list as an array: it did at start, or the
    // operator edited the list since.
    bool listed() const { return inStore; }

    // Takes the list as the editor leaves it: cameras left out stop what
    // they were told to move and leave their routes; new ones are added;
    // the order is the entries'. The current camera stays current where it
    // is still listed, else the first one becomes current. A camera whose
    // route or address changed while it was on its route stops, leaves it,
    // and is returned, for the caller to connect again. At least one entry;
    // at most CameraRecords::kMaxCameras are taken.
    QList<Camera *> apply(const QList<Entry> &entries);

    // Every camera leaves its route (the program closes).
    void leaveRoutes();

signals:
    // The current camera is about to be left (another is selected, or it
    // is taken out of the list): stop what was started on it.
    void leaving(Camera *camera);
    // Another camera is current.
    void currentChanged(Camera *camera);
    // Cameras were added, taken out or moved, or a name changed.
    void listChanged();

private:
    Camera *make(const CameraConfig &config);
    void renumber();

    // Declared first: it outlives the cameras that give their links back.
    LinkPool links;
    QList<Camera *> all;
    int selected = 0;
    bool inStore = false;
};
