#include "cameraview.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// The scene is drawn in a 640 x 360 space; the chart's Siemens star sits in
// the middle, where the lens zooms to, and fills the frame at the tele end.
const QSizeF kScene(640, 360);
const QPointF kStarCentre(320, 180);

const double kMaxMagnification = 10.0;
const int kMaxBlur = 16; // the softest picture is drawn at 1/16 resolution
// The wide end sees about 60 degrees across the 640-wide scene.
const double kScenePixelsPerDegree = 640.0 / 60.0;

// White balance as a tint: the scene is lit at about 4500 K. Fixed settings
// below that turn it blue, above it warm; automatic modes keep it neutral.
struct Tint
{
    double red, green, blue;
};

Tint tintFor(int whiteBalance)
{
    switch (whiteBalance) {
    case 1:
        return {0.80, 0.95, 1.25}; // indoor, 3200 K
    case 2:
        return {1.12, 1.00, 0.82}; // outdoor, 5800 K
    case 8:
        return {0.68, 0.90, 1.45}; // sodium lamp, about 2700 K
    default:
        return {1.0, 1.0, 1.0};
    }
}

void drawScene(QPainter &p)
{
    p.setPen(Qt::NoPen);

    QLinearGradient sky(0, 0, 0, 250);
    sky.setColorAt(0, QColor(96, 150, 215));
    sky.setColorAt(1, QColor(205, 222, 238));
    p.fillRect(QRectF(0, 0, kScene.width(), 250), sky);

    p.setBrush(QColor(255, 232, 130));
    p.drawEllipse(QPointF(565, 58), 26, 26);

    QPainterPath hills;
    hills.moveTo(0, 250);
    hills.cubicTo(120, 170, 220, 230, 330, 205);
    hills.cubicTo(440, 180, 540, 215, 640, 190);
    hills.lineTo(640, 250);
    hills.closeSubpath();
    p.setBrush(QColor(110, 140, 150));
    p.drawPath(hills);

    QLinearGradient ground(0, 250, 0, 360);
    ground.setColorAt(0, QColor(96, 146, 74));
    ground.setColorAt(1, QColor(52, 92, 44));
    p.fillRect(QRectF(0, 250, kScene.width(), 110), ground);

    // A house on the left.
    p.setBrush(QColor(206, 176, 132));
    p.drawRect(QRectF(60, 160, 150, 100));
    p.setBrush(QColor(150, 62, 42));
    p.drawPolygon(QPolygonF({QPointF(48, 162), QPointF(135, 104), QPointF(222, 162)}));
    p.setBrush(QColor(90, 60, 40));
    p.drawRect(QRectF(120, 210, 28, 50));
    p.setBrush(QColor(170, 205, 235));
    for (const double x : {78.0, 168.0})
        p.drawRect(QRectF(x, 180, 26, 22));

    // A tree on the right.
    p.setBrush(QColor(100, 70, 40));
    p.drawRect(QRectF(512, 200, 14, 70));
    p.setBrush(QColor(40, 100, 50));
    for (const QPointF &leaf : {QPointF(500, 190), QPointF(538, 186), QPointF(519, 160)})
        p.drawEllipse(leaf, 30, 30);

    // The chart: a board with a Siemens star, a grey scale, colour patches and
    // a line of small print.
    const QRectF board(kStarCentre.x() - 42, kStarCentre.y() - 40, 128, 104);
    p.setBrush(QColor(70, 70, 70));
    p.drawRect(QRectF(board.center().x() - 3, board.bottom(), 6, 60));
    p.setBrush(QColor(240, 240, 236));
    p.setPen(QPen(QColor(30, 30, 30), 1.2));
    p.drawRect(board);
    p.setPen(Qt::NoPen);

    const QPointF star = kStarCentre;
    const double radius = 34;
    const int wedges = 36;
    p.setBrush(QColor(20, 20, 20));
    for (int i = 0; i < wedges; i += 2) {
        const double a0 = 2 * M_PI * i / wedges;
        const double a1 = 2 * M_PI * (i + 1) / wedges;
        p.drawPolygon(QPolygonF({star, star + radius * QPointF(std::cos(a0), std::sin(a0)),
                                 star + radius * QPointF(std::cos(a1), std::sin(a1))}));
    }

    const int steps = 8;
    for (int i = 0; i < steps; ++i) {
        p.setBrush(QColor::fromHsv(0, 0, 255 * i / (steps - 1)));
        p.drawRect(QRectF(board.left() + 6 + i * 14.5, board.bottom() - 18, 14.5, 12));
    }

    const QColor patches[] = {Qt::red, Qt::green, Qt::blue, Qt::cyan, Qt::magenta, Qt::yellow};
    for (int i = 0; i < 6; ++i) {
        p.setBrush(patches[i]);
        p.drawRect(
            QRectF(board.right() - 46 + (i % 2) * 20, board.top() + 8 + (i / 2) * 18, 16, 14));
    }

    QFont font;
    font.setPixelSize(4);
    p.setFont(font);
    p.setPen(QColor(30, 30, 30));
    p.drawText(QRectF(board.right() - 48, board.top() + 64, 44, 16),
               Qt::AlignLeft | Qt::TextWordWrap,
               QStringLiteral("tarnDeck test chart, simulated camera"));
}

// Exposure, tint and WDR as one lookup table per colour channel.
std::array<std::array<uchar, 256>, 3> toneTables(const ViscaModel::Picture &picture)
{
    const double gain = picture.expComp
        ? std::pow(2.0,
                   (picture.expLevel - ViscaModel::kExpLevelNeutral) * 1.5 / 6.0) // 1.5 dB a step
        : 1.0;
    const Tint tint = tintFor(picture.whiteBalance);
    const double channelGain[3] = {tint.red, tint.green, tint.blue};
    std::array<std::array<uchar, 256>, 3> tables{};
    for (int c = 0; c < 3; ++c) {
        for (int v = 0; v < 256; ++v) {
            double x = std::clamp(v / 255.0 * gain * channelGain[c], 0.0, 1.0);
            if (picture.wdr)
                x = 0.16 + 0.66 * std::pow(x, 0.8); // shadows up, highlights down
            tables[c][v] = uchar(std::lround(x * 255));
        }
    }
    return tables;
}

} // namespace

namespace CameraPicture {

QPointF headShift(const ViscaModel::State &state)
{
    // Right and up move the view right and up over the scene.
    return QPointF(state.pan * kScenePixelsPerDegree, -state.tilt * kScenePixelsPerDegree);
}

double magnification(double zoom)
{
    return std::pow(kMaxMagnification,
                    std::clamp(zoom, 0.0, double(ViscaModel::kRange)) / ViscaModel::kRange);
}

double defocus(const ViscaModel::Picture &picture)
{
    const double depthOfField = 140.0 - 110.0 * picture.zoom / ViscaModel::kRange;
    return std::abs(picture.focus - ViscaModel::kSharpFocus) / depthOfField;
}

QImage render(const ViscaModel::State &state, const QSize &size)
{
    const ViscaModel::Picture &picture = state.picture;
    // Out of focus: draw at a lower resolution and let the scaling smear it.
    const double blur = std::clamp(1.0 + 2.5 * defocus(picture), 1.0, double(kMaxBlur));
    const QSize drawn(std::max(8, int(size.width() / blur)),
                      std::max(5, int(size.height() / blur)));

    QImage image(drawn, QImage::Format_RGB32);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        const double fit
            = std::min(drawn.width() / kScene.width(), drawn.height() / kScene.height());
        p.translate(drawn.width() / 2.0, drawn.height() / 2.0);
        p.scale(fit * magnification(picture.zoom), fit * magnification(picture.zoom));
        p.translate(-kStarCentre - headShift(state));
        // Beyond the scene's edges the head looks at a plain grey wall.
        p.fillRect(QRectF(-4 * kScene.width(), -4 * kScene.height(), 9 * kScene.width(),
                          9 * kScene.height()),
                   QColor(90, 90, 96));
        drawScene(p);
    }
    if (drawn != size)
        image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);

    if (state.lamp > 0) { // the lamp lights the middle of the frame
        QPainter p(&image);
        p.setCompositionMode(QPainter::CompositionMode_Screen);
        QRadialGradient glow(QPointF(size.width() / 2.0, size.height() / 2.0), size.width() * 0.55);
        glow.setColorAt(0, QColor(255, 236, 190, int(200 * state.lamp / ViscaModel::kLampFull)));
        glow.setColorAt(1, QColor(255, 236, 190, 0));
        p.fillRect(image.rect(), glow);
    }

    const auto tables = toneTables(picture);
    for (int y = 0; y < image.height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb px = line[x];
            line[x] = qRgb(tables[0][qRed(px)], tables[1][qGreen(px)], tables[2][qBlue(px)]);
        }
    }
    return image;
}

} // namespace CameraPicture

CameraView::CameraView(QWidget *parent)
    : QWidget(parent)
{
    setMinimumSize(320, 180);
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void CameraView::setState(const ViscaModel::State &state)
{
    if (state.picture == shown.picture && state.lamp == shown.lamp && state.pan == shown.pan
        && state.tilt == shown.tilt && state.power == shown.power && state.tally == shown.tally
        && !frame.isNull())
        return;
    shown = state;
    frame = QImage();
    update();
}

QSize CameraView::sizeHint() const
{
    return QSize(640, 360);
}

int CameraView::heightForWidth(int width) const
{
    return width * 9 / 16;
}

void CameraView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    // The largest 16:9 frame that fits, centred.
    QSize size(width(), width() * 9 / 16);
    if (size.height() > height())
        size = QSize(height() * 16 / 9, height());
    const QPoint at((width() - size.width()) / 2, (height() - size.height()) / 2);
    p.setPen(Qt::white);
    if (shown.power != ViscaModel::Power::On) { // a camera in standby delivers no picture
        p.drawText(QRect(at, size), Qt::AlignCenter,
                   shown.power == ViscaModel::Power::Waking ? QStringLiteral("coming up")
                                                            : QStringLiteral("standby"));
        return;
    }
    if (frame.size() != size)
        frame = CameraPicture::render(shown, size);
    p.drawImage(at, frame);

    if (shown.tally) {
        p.setBrush(QColor(230, 30, 30));
        p.drawEllipse(QRect(at + QPoint(size.width() - 22, 8), QSize(14, 14)));
    }
    p.drawText(QRect(at, size).adjusted(8, 6, -8, -6), Qt::AlignLeft | Qt::AlignBottom,
               QStringLiteral("%1x  pan %2°  tilt %3°")
                   .arg(CameraPicture::magnification(shown.picture.zoom), 0, 'f', 1)
                   .arg(qRound(shown.pan))
                   .arg(qRound(shown.tilt)));
}
