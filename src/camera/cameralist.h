// The cameras the operator drives and the pool of links they share. The
// window (and whatever else drives a camera) holds this list and asks it for
// the camera it acts on; nothing here is global. Today the list holds one
// camera, the one the window shows.
#pragma once

#include "camera.h"
#include "linkpool.h"

#include <QList>
#include <QObject>

class CameraList : public QObject
{
    Q_OBJECT

public:
    explicit CameraList(QObject *parent = nullptr);
    ~CameraList() override;

    LinkPool &pool() { return links; }
    const QList<Camera *> &cameras() const { return all; }
    // The camera the window shows and its controls act on.
    Camera *current() const { return all.value(selected); }

    // Every camera leaves its route (the program closes).
    void leaveRoutes();

private:
    // Declared first: it outlives the cameras that give their links back.
    LinkPool links;
    QList<Camera *> all;
    int selected = 0;
};
