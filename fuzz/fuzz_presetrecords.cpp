// Any settings file, as far as the cameras' presets go: what the settings
// guard lets through (as at start-up) reads into books whose every value is
// in range; written into another store and read back it is the same book,
// and writing it again changes nothing.
#include "fuzzsupport.h"
#include "presetrecords.h"

#include <QFile>
#include <QSettings>

#include <algorithm>

namespace {

void checkRanges(const PresetBook &book)
{
    fuzzCheck(book.count() >= 1 && book.count() <= PresetBook::kMaxCount, "1 ... 127 presets");
    const QList<int> described = book.described();
    for (int preset : described) {
        fuzzCheck(preset >= 1 && preset <= PresetBook::kMaxCount, "a preset 1 ... 127");
        fuzzCheck(book.name(preset).size() <= PresetBook::kMaxNameLength, "a name of 32 at most");
        fuzzCheck(book.name(preset) == book.name(preset).trimmed(), "a name trimmed");
        fuzzCheck(book.speed(preset) >= 0 && book.speed(preset) <= PresetBook::kTopSpeed,
                  "a speed 1 ... 24, or none");
    }
    QList<int> order = book.order();
    fuzzCheck(order.size() == book.count(), "the order places every preset");
    for (int place = 0; place < order.size(); ++place)
        fuzzCheck(book.place(order.at(place)) == place, "a preset once in the order");
    std::sort(order.begin(), order.end());
    for (int place = 0; place < order.size(); ++place)
        fuzzCheck(order.at(place) == place + 1, "the order holds presets 1 ... count");
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
    for (int number : {1, 2}) {
        PresetBook book;
        {
            QSettings settings(in, QSettings::IniFormat);
            QStringList problems;
            book = PresetRecords::read(settings, number, &problems);
            // Nothing read is written back where nothing changed.
            PresetRecords::write(settings, number, book);
        }
        checkRanges(book);
        {
            QSettings settings(out, QSettings::IniFormat);
            PresetRecords::write(settings, number, book);
        }
        QSettings settings(out, QSettings::IniFormat);
        QStringList problems;
        fuzzCheck(PresetRecords::read(settings, number, &problems) == book && problems.isEmpty(),
                  "a written book reads back unchanged");
    }
    {
        QFile file(in);
        fuzzCheck(file.open(QIODevice::ReadOnly) && file.readAll() == fuzzBytes(data, size),
                  "a store nobody edited is never rewritten");
    }
    QFile::remove(in);
    QFile::remove(out);
    return 0;
}
