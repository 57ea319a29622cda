// Any settings file, as far as the pad's keys go: what the settings guard
// lets through (as at start-up) loads into a layout whose every value is in
// range; saved and loaded again it is the same layout, without a complaint;
// and any stick pushed anywhere on that layout asks for speeds within the
// camera's tops, and for nothing at rest.
#include "fuzzsupport.h"
#include "padmixer.h"
#include "padsettings.h"

#include <QFile>
#include <QSettings>

#include <cmath>
#include <cstdlib>

namespace {

void checkRanges(const PadLayout &layout)
{
    for (int i = 0; i < Pad::axisCount; ++i) {
        const Pad::AxisBinding &b = layout.axis(Pad::Control(i));
        fuzzCheck(!Pad::motionWord(b.drives).isEmpty(), "an axis drives a known motion");
        fuzzCheck(b.shape.deadZonePercent >= 0
                      && b.shape.deadZonePercent <= AxisShaping::maxDeadZonePercent,
                  "dead zone within 0 ... 50 %");
        fuzzCheck(std::isfinite(b.shape.curve)
                      && b.shape.curve == AxisShaping::roundedCurve(b.shape.curve),
                  "curve within 1.0 ... 3.0, in tenths");
        fuzzCheck(b.shape.topSpeed >= 0 && b.shape.topSpeed <= 255, "top speed within 0 ... 255");
    }
    for (int i = Pad::axisCount; i < Pad::controlCount; ++i) {
        const Pad::ButtonBinding &b = layout.button(Pad::Control(i));
        Pad::ButtonBinding again;
        fuzzCheck(Pad::actionFromWord(Pad::actionWord(b), &again) && again == b,
                  "a button's action is a word that reads back as itself");
    }
}

void checkSpeeds(const PadLayout &layout)
{
    PadMixer mixer;
    mixer.setLayout(layout);
    const PadLimits tops;
    const auto within = [&](const PadDrive &d) {
        return std::abs(d.pan) <= tops.pan && std::abs(d.tilt) <= tops.tilt
            && std::abs(d.zoom) <= tops.zoom && std::abs(d.focus) <= tops.focus;
    };
    for (const int value : {-32768, -20000, -1, 1, 3000, 32767}) {
        for (int i = 0; i < Pad::axisCount; ++i)
            mixer.set(Pad::Control(i), value);
        fuzzCheck(within(mixer.drive()), "speeds within the camera's tops");
    }
    for (int i = 0; i < Pad::axisCount; ++i)
        mixer.set(Pad::Control(i), 0);
    fuzzCheck(mixer.drive().isRest(), "every stick at rest asks for nothing");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    startFuzzApplication(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString in = fuzzTrustedStore(data, size);
    if (in.isEmpty())
        return 0;
    const QString out = fuzzStoreFile();
    PadSettings loaded;
    {
        QSettings settings(in, QSettings::IniFormat);
        loaded = PadSettings::load(settings);
    }
    checkRanges(loaded.layout);
    {
        QSettings settings(out, QSettings::IniFormat);
        loaded.save(settings);
    }
    {
        QSettings settings(out, QSettings::IniFormat);
        QStringList complaints;
        fuzzCheck(PadSettings::load(settings, &complaints) == loaded && complaints.isEmpty(),
                  "saved settings load back unchanged");
    }
    checkSpeeds(loaded.layout);
    QFile::remove(in);
    QFile::remove(out);
    return 0;
}
