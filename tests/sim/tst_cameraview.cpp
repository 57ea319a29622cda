// The simulated camera picture reacts the way an operator expects to see it:
// each row compares the frame before and after a few camera commands by one
// measure of the picture.
#include "cameraview.h"
#include "simscript.h"
#include "testsettings.h"

#include <QtTest>

#include <cmath>

class tst_CameraView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pictureReacts_data();
    void pictureReacts();
    void levelWithoutCompensationShowsNothing();
    void widgetPaints();
};

namespace {

enum class Measure {
    Brightness, // mean luminance
    Detail,     // mean difference between neighbouring pixels
    Warmth,     // mean red over mean blue
    Contrast,   // standard deviation of luminance
    Change,     // mean difference from the first frame, in grey levels
};

const QSize kFrame(320, 180);

double luminance(QRgb px)
{
    return 0.299 * qRed(px) + 0.587 * qGreen(px) + 0.114 * qBlue(px);
}

double measure(Measure what, const QImage &image, const QImage &first)
{
    double sum = 0, sumSquares = 0, red = 0, blue = 0, detail = 0, change = 0;
    const int n = image.width() * image.height();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb px = image.pixel(x, y);
            const double l = luminance(px);
            sum += l;
            sumSquares += l * l;
            red += qRed(px);
            blue += qBlue(px);
            if (x + 1 < image.width())
                detail += std::abs(l - luminance(image.pixel(x + 1, y)));
            if (y + 1 < image.height())
                detail += std::abs(l - luminance(image.pixel(x, y + 1)));
            change += std::abs(l - luminance(first.pixel(x, y)));
        }
    }
    switch (what) {
    case Measure::Brightness:
        return sum / n;
    case Measure::Detail:
        return detail / n;
    case Measure::Warmth:
        return red / blue;
    case Measure::Contrast:
        return std::sqrt(sumSquares / n - (sum / n) * (sum / n));
    case Measure::Change:
        return change / n;
    }
    return 0;
}

} // namespace

Q_DECLARE_METATYPE(Measure)

void tst_CameraView::initTestCase()
{
    TestSettings::useTemporaryStore();
}

void tst_CameraView::pictureReacts_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<Measure>("what");
    QTest::addColumn<double>("lowest");  // after / before must lie in [lowest, highest]
    QTest::addColumn<double>("highest"); // (for Change: the measure itself)

    const QString up3 = QStringLiteral("8101043E02FF 8101040E02FF 8101040E02FF 8101040E02FF");
    const QString down3 = QStringLiteral("8101043E02FF 8101040E03FF 8101040E03FF 8101040E03FF");

    QTest::newRow("exposure up brightens") << "" << up3 << Measure::Brightness << 1.15 << 10.0;
    QTest::newRow("exposure down darkens") << "" << down3 << Measure::Brightness << 0.0 << 0.85;
    QTest::newRow("compensation reset and off is neutral again")
        << "" << up3 + " 8101040E00FF 8101043E03FF" << Measure::Brightness << 0.999 << 1.001;
    QTest::newRow("focus far goes soft")
        << ""
        << "8101043803FF 8101040827FF +1000" << Measure::Detail << 0.0 << 0.6;
    QTest::newRow("focus near goes soft")
        << ""
        << "8101043803FF 8101040837FF +1000" << Measure::Detail << 0.0 << 0.6;
    QTest::newRow("auto focus brings the detail back")
        << ""
        << "8101043803FF 8101040837FF +1000 8101043802FF +2000" << Measure::Detail << 0.999
        << 1.001;
    QTest::newRow("a small focus error shows at the tele end")
        << "8101040727FF +3000 8101043803FF"
        << "8101040727FF +3000 8101043803FF 8101040820FF +1000" << Measure::Detail << 0.0 << 0.85;
    QTest::newRow("zooming changes the framing")
        << ""
        << "8101040727FF +3000" << Measure::Change << 20.0 << 255.0;
    QTest::newRow("panning turns the view")
        << ""
        << "810106010D010203FF +1000" << Measure::Change << 20.0 << 255.0;
    QTest::newRow("tilting turns the view")
        << ""
        << "8101060101060301FF +1000" << Measure::Change << 20.0 << 255.0;
    QTest::newRow("a stopped head keeps the view")
        << "8101060107060201FF +1000"
        << "8101060107060201FF +1000 8101060101010303FF +3000" << Measure::Change << 0.0 << 0.01;
    QTest::newRow("indoor white balance turns blue")
        << ""
        << "8101043501FF" << Measure::Warmth << 0.0 << 0.8;
    QTest::newRow("sodium white balance turns bluer")
        << "8101043501FF"
        << "8101043508FF" << Measure::Warmth << 0.0 << 0.9;
    QTest::newRow("outdoor white balance turns warm")
        << ""
        << "8101043502FF" << Measure::Warmth << 1.2 << 10.0;
    QTest::newRow("automatic white balance is neutral")
        << "8101043502FF"
        << "8101043502FF 8101043500FF" << Measure::Warmth << 0.0 << 0.9;
    QTest::newRow("wdr flattens the contrast")
        << ""
        << "8101043D02FF" << Measure::Contrast << 0.0 << 0.85;
    QTest::newRow("the lamp lights the scene")
        << ""
        << "8201060100010301ff +5000" << Measure::Brightness << 1.1 << 10.0;
    QTest::newRow("lamp off is dark again")
        << ""
        << "8201060100010301ff +5000 8201060100180302FF" << Measure::Brightness << 0.999 << 1.001;
}

void tst_CameraView::pictureReacts()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(Measure, what);
    QFETCH(double, lowest);
    QFETCH(double, highest);

    const QImage first = CameraPicture::render(SimScript::stateAfter(before), kFrame);
    const QImage second = CameraPicture::render(SimScript::stateAfter(after), kFrame);
    QCOMPARE(second.size(), kFrame);
    const double value = what == Measure::Change
        ? measure(what, second, first)
        : measure(what, second, first) / measure(what, first, first);
    QVERIFY2(value >= lowest && value <= highest,
             qPrintable(QStringLiteral("%1 not in [%2, %3]").arg(value).arg(lowest).arg(highest)));
}

// With compensation off the camera keeps the level but does not apply it.
void tst_CameraView::levelWithoutCompensationShowsNothing()
{
    QCOMPARE(CameraPicture::render(SimScript::stateAfter("8101040E02FF 8101040E02FF"), kFrame),
             CameraPicture::render(SimScript::stateAfter(""), kFrame));
}

void tst_CameraView::widgetPaints()
{
    CameraView view;
    view.resize(480, 300);
    view.setState(SimScript::stateAfter("8101040725FF +500 8201060100010301ff +1000"));
    const QImage shot = view.grab().toImage();
    QCOMPARE(shot.size(), QSize(480, 300));
    // The 16:9 frame fills the width; the bands above and below stay black.
    QCOMPARE(shot.pixelColor(240, 2), QColor(Qt::black));
    QVERIFY(shot.pixelColor(240, 150) != QColor(Qt::black));
}

QTEST_MAIN(tst_CameraView)
#include "tst_cameraview.moc"
