// Any settings file the guard lets through opens as 1 ... 20 cameras; written
// back, it opens as the same cameras, and writing them a second time changes
// nothing more: the store is never rewritten where nothing changed. A list
// edited from the input (a camera added, the last taken out) also reads back
// as written.
#include "camerarecords.h"
#include "fuzzsupport.h"
#include "settingsguard.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

namespace {

QTemporaryDir *folder = nullptr;

const CameraConfig firstDefaults = CameraRecords::firstCameraDefaults(
    QStringLiteral("192.168.1.100"), QStringLiteral("192.168.0.90"));

QByteArray contents(const QString &file)
{
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

QList<CameraConfig> readBack(const QString &file)
{
    const QSettings settings(file, QSettings::IniFormat);
    return CameraRecords::read(settings, firstDefaults).cameras;
}

void writeList(const QString &file, const QList<CameraConfig> &cameras)
{
    QSettings settings(file, QSettings::IniFormat);
    CameraRecords::write(settings, cameras, true, firstDefaults);
}

// A list as the store keeps it: cameras 2 ... N have one address, their
// route's, which reads back as the encoder's and the network camera's alike
// (camera 1 keeps both, in the panels' keys).
QList<CameraConfig> asStored(QList<CameraConfig> cameras)
{
    for (int i = 1; i < cameras.size(); ++i) {
        CameraConfig &camera = cameras[i];
        camera.encoderAddress = camera.networkAddress = camera.routeAddress();
    }
    return cameras;
}

// The input as the store's file, when the start-up would hand it to the
// settings library at all.
QString storeOf(const QByteArray &bytes)
{
    if (!SettingsGuard::untrustedReason(bytes).isEmpty())
        return QString();
    if (!folder)
        folder = new QTemporaryDir;
    const QString file = folder->filePath(QStringLiteral("store.conf"));
    QFile out(file);
    fuzzCheck(out.open(QIODevice::WriteOnly | QIODevice::Truncate), "the store is writable");
    out.write(bytes);
    return file;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    startFuzzApplication(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    const QString file = storeOf(bytes);
    if (file.isEmpty())
        return 0;
    CameraRecords::Read first;
    {
        QSettings settings(file, QSettings::IniFormat);
        if (settings.status() != QSettings::NoError)
            return 0;
        first = CameraRecords::read(settings, firstDefaults);
        fuzzCheck(!first.cameras.isEmpty() && first.cameras.size() <= CameraRecords::kMaxCameras,
                  "1 ... 20 cameras");
        CameraRecords::write(settings, first.cameras, first.listed, firstDefaults);
    }
    fuzzCheck(readBack(file) == first.cameras, "written back, the same cameras");
    writeList(file, first.cameras);
    const QByteArray listed = contents(file);
    fuzzCheck(readBack(file) == first.cameras, "listed, the same cameras");
    writeList(file, first.cameras);
    fuzzCheck(contents(file) == listed, "a second write changes nothing");

    QList<CameraConfig> edited = first.cameras;
    if (bytes.size() % 2 == 0 && edited.size() < CameraRecords::kMaxCameras) {
        CameraConfig added;
        added.name = QString::fromUtf8(bytes.left(8));
        added.route = CameraRoute::Network;
        added.protocol = ViscaIp::Protocol::Tcp;
        added.networkAddress = QStringLiteral("10.0.0.1:5678");
        added.lampAddress = int(bytes.size() % 8);
        edited.append(added);
    } else if (edited.size() > 1) {
        edited.removeLast();
    }
    writeList(file, edited);
    fuzzCheck(readBack(file) == asStored(edited), "an edited list reads back as written");
    QFile::remove(file);
    return 0;
}
