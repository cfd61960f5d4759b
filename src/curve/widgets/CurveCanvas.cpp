#include "curve/widgets/CurveCanvas.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRadialGradient>
#include <QStringList>

#include <algorithm>

namespace quillon::curve {

namespace {

const QColor kGridColour(125, 125, 125);
const QColor kKeptColour(0, 252, 250);
const QColor kWorkingColour(250, 250, 0);
const QColor kPolygonColour(250, 0, 250);
const QColor kLatestKeyColour(255, 140, 0);
const QColor kPlayedKeysColour(170, 95, 20);
const QColor kHistogramBarColour(90, 200, 120);
const QColor kHistogramFill(18, 18, 18);
const QColor kHistogramFrame(90, 90, 90);
const QColor kHistogramText(170, 170, 170);

// Thin lines are one device pixel wide at any screen scale.
QPen hairline(const QColor& colour, Qt::PenStyle style = Qt::SolidLine)
{
    QPen pen(colour, 1, style);
    pen.setCosmetic(true);
    return pen;
}

constexpr int kHorizontalGridLines = 16;
constexpr int kVerticalGridLines = 12;

void drawTable(QPainter& painter, const CurvePicture::Table& table)
{
    QPoint points[128];
    for (int v = 0; v < 128; ++v)
        points[v] = CurveCanvas::pointFor(v, table[static_cast<std::size_t>(v)]);
    painter.drawPolyline(points, 128);
}

void drawGrid(QPainter& painter)
{
    painter.setPen(hairline(kGridColour));
    const int right = 127 * CurveCanvas::kScaleX + 4;
    for (int k = 1; k <= kHorizontalGridLines; ++k) {
        const int y = 8 * CurveCanvas::kScaleY * k;
        painter.drawLine(0, y, right, y);
    }
    for (int k = 1; k <= kVerticalGridLines; ++k) {
        const int x = 10 * CurveCanvas::kScaleX * k;
        painter.drawLine(x, 0, x, 127 * CurveCanvas::kScaleY);
    }
}

// Top-left corner of the bead of key-point i; the end points sit a little
// differently so that their beads stay inside the area.
QPoint beadCorner(int index, int x, int y)
{
    const QPoint centre = CurveCanvas::pointFor(x, y);
    if (index == 0)
        return centre + QPoint(-4, -8);
    if (index == 6)
        return centre + QPoint(-7, -3);
    return centre + QPoint(-7, -5);
}

void drawKeyPoints(QPainter& painter, const CurvePicture& picture, const QImage& bead)
{
    QPoint corners[7];
    for (int i = 0; i < 7; ++i) {
        const auto k = static_cast<std::size_t>(i);
        painter.drawImage(beadCorner(i, picture.keyX[k], picture.keyY[k]), bead);
        corners[i] = CurveCanvas::pointFor(picture.keyX[k], picture.keyY[k]);
    }
    painter.setPen(hairline(kPolygonColour, Qt::DotLine));
    painter.drawPolyline(corners, 7);
}

// The corner box of the played velocities, low on the right where curves
// seldom run (a loud touch that comes out soft is rare).
QRect histogramBox()
{
    constexpr int width = MonitorPicture::kBins * 4 + 4;
    constexpr int height = 62;
    return {CurveCanvas::kWidth - 6 - width, CurveCanvas::kHeight - 10 - height, width, height};
}

int heightOfVelocity(int velocity) { return CurveCanvas::pointFor(0, velocity).y(); }

// Behind the curves: the played-velocity histogram, each recent key's mapped
// velocity as a bar on the new-velocity axis (longer for more keys), and
// guides from the last key's source up to the curve and across to that axis.
void drawMonitorBehind(QPainter& painter, const MonitorPicture& monitor)
{
    const QRect box = histogramBox();
    painter.setPen(hairline(kHistogramFrame));
    painter.setBrush(kHistogramFill);
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    painter.setBrush(Qt::NoBrush);

    int binPeak = 0;
    for (const int count : monitor.playedBins)
        binPeak = std::max(binPeak, count);
    const int barRoom = box.height() - 16;
    const int baseline = box.bottom() - 2;
    for (std::size_t i = 0; i < monitor.playedBins.size() && binPeak > 0; ++i) {
        const int count = monitor.playedBins[i];
        if (count == 0)
            continue;
        const int height = std::max(1, (count * barRoom + binPeak / 2) / binPeak);
        painter.fillRect(box.left() + 2 + static_cast<int>(i) * 4, baseline - height + 1, 3, height,
                         kHistogramBarColour);
    }
    QFont small = painter.font();
    small.setPixelSize(10);
    painter.setFont(small);
    painter.setPen(kHistogramText);
    painter.drawText(box.adjusted(4, 1, -4, 0), Qt::AlignLeft | Qt::AlignTop,
                     QStringLiteral("%1 keys").arg(monitor.keys));

    for (int v = 0; v < 128 && monitor.mappedPeak > 0; ++v) {
        const int count = monitor.mapped[static_cast<std::size_t>(v)];
        if (count > 0)
            painter.fillRect(0, heightOfVelocity(v) - 1, 3 + (count * 21) / monitor.mappedPeak, 2, kPlayedKeysColour);
    }

    if (monitor.latest) {
        const QPoint landing = CurveCanvas::pointFor(monitor.latest->source, monitor.latest->mapped);
        painter.setPen(hairline(kLatestKeyColour, Qt::DashLine));
        painter.drawLine(landing.x(), CurveCanvas::kHeight - 1, landing.x(), landing.y());
        painter.drawLine(landing.x(), landing.y(), 0, landing.y());
    }
}

// Over everything: where the last key landed on the new-velocity axis, and
// where it was played on the source axis.
void drawLatestKey(QPainter& painter, const MonitorPicture::Landing& latest)
{
    const QPoint landing = CurveCanvas::pointFor(latest.source, latest.mapped);
    painter.fillRect(0, landing.y() - 1, 16, 3, kLatestKeyColour);
    const int bottom = CurveCanvas::kHeight - 1;
    const QPoint tip[3] = {{landing.x(), bottom - 7}, {landing.x() - 4, bottom}, {landing.x() + 4, bottom}};
    painter.setPen(Qt::NoPen);
    painter.setBrush(kLatestKeyColour);
    painter.drawPolygon(tip, 3);
    painter.setBrush(Qt::NoBrush);
}

// A round bead lit from the upper left: highlight, body, dark rim.
QImage makeBead(qreal ratio)
{
    QImage made(QSize(12, 12) * ratio, QImage::Format_ARGB32_Premultiplied);
    made.setDevicePixelRatio(ratio);
    made.fill(Qt::transparent);
    QPainter painter(&made);
    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient shade(QPointF(6.0, 6.0), 6.0, QPointF(4.0, 3.5));
    shade.setColorAt(0.0, QColor(255, 255, 255));
    shade.setColorAt(0.25, QColor(255, 120, 90));
    shade.setColorAt(0.8, QColor(190, 20, 10));
    shade.setColorAt(1.0, QColor(90, 0, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(shade);
    painter.drawEllipse(QRectF(0.5, 0.5, 11.0, 11.0));
    return made;
}

} // namespace

CurveCanvas::CurveCanvas(QWidget* parent) : QWidget(parent), m_image(kWidth, kHeight, QImage::Format_RGB32)
{
    setFixedSize(kWidth, kHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Velocity curve"));
    m_image.fill(Qt::black);
}

void CurveCanvas::showPicture(const CurvePicture& picture)
{
    m_picture = picture;
    render();
    describe();
    update();
}

void CurveCanvas::describe()
{
    QStringList points;
    for (std::size_t k = 0; k < m_picture.keyX.size(); ++k)
        points << QStringLiteral("%1 to %2").arg(m_picture.keyX[k]).arg(m_picture.keyY[k]);
    setAccessibleDescription(QStringLiteral("Key-point %1 picked. Key-points, played velocity to sent velocity: %2")
                                 .arg(m_picked + 1)
                                 .arg(points.join(QStringLiteral(", "))));
}

void CurveCanvas::render()
{
    const qreal ratio = devicePixelRatioF();
    if (m_image.devicePixelRatio() != ratio || m_bead.isNull()) {
        m_image = QImage(QSize(kWidth, kHeight) * ratio, QImage::Format_RGB32);
        m_image.setDevicePixelRatio(ratio);
        m_bead = makeBead(ratio);
    }
    const CurvePicture& picture = m_picture;
    m_image.fill(Qt::black);
    QPainter painter(&m_image);
    if (picture.grid)
        drawGrid(painter);
    if (picture.monitor)
        drawMonitorBehind(painter, *picture.monitor);

    painter.setPen(hairline(kKeptColour));
    for (const auto& table : picture.keptTables)
        drawTable(painter, table);

    painter.setPen(QPen(kWorkingColour, 2, Qt::SolidLine));
    drawTable(painter, picture.workingTable);

    if (picture.vertex)
        drawKeyPoints(painter, picture, m_bead);
    if (picture.monitor && picture.monitor->latest)
        drawLatestKey(painter, *picture.monitor->latest);
}

void CurveCanvas::paintEvent(QPaintEvent*)
{
    if (m_image.devicePixelRatio() != devicePixelRatioF())
        render(); // moved to a screen of another scale
    QPainter painter(this);
    painter.drawImage(0, 0, m_image);
    if (hasFocus()) {
        // The key-point the keys move, ringed.
        const auto k = static_cast<std::size_t>(m_picked);
        const QPoint centre = pointFor(m_picture.keyX[k], m_picture.keyY[k]);
        painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
        painter.drawRect(QRect(centre - QPoint(9, 9), QSize(18, 18)));
    }
}

void CurveCanvas::keyPressEvent(QKeyEvent* event)
{
    const int step = (event->modifiers() & Qt::ShiftModifier) ? 8 : 1;
    const int last = static_cast<int>(m_picture.keyX.size()) - 1;
    switch (event->key()) {
    case Qt::Key_PageDown: m_picked = m_picked == last ? 0 : m_picked + 1; break;
    case Qt::Key_PageUp: m_picked = m_picked == 0 ? last : m_picked - 1; break;
    case Qt::Key_Left: emit keyPointNudged(m_picked, -step, 0); break;
    case Qt::Key_Right: emit keyPointNudged(m_picked, step, 0); break;
    case Qt::Key_Up: emit keyPointNudged(m_picked, 0, step); break;
    case Qt::Key_Down: emit keyPointNudged(m_picked, 0, -step); break;
    case Qt::Key_F10:
        if (event->modifiers() != Qt::ShiftModifier) {
            QWidget::keyPressEvent(event);
            return;
        }
        menuFromKeyboard();
        break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
    describe(); // the ring and the spoken text follow the pick
    update();
}

void CurveCanvas::contextMenuEvent(QContextMenuEvent* event)
{
    // The mouse's menu comes with its press; this is the Menu key's.
    event->accept();
    if (event->reason() != QContextMenuEvent::Mouse)
        menuFromKeyboard();
}

void CurveCanvas::menuFromKeyboard()
{
    const auto k = static_cast<std::size_t>(m_picked);
    emit rightPressed(mapToGlobal(pointFor(m_picture.keyX[k], m_picture.keyY[k])));
}

void CurveCanvas::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void CurveCanvas::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

void CurveCanvas::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit leftPressed(event->position().toPoint());
    else if (event->button() == Qt::RightButton)
        emit rightPressed(event->globalPosition().toPoint());
}

// While a button is held the canvas keeps receiving moves, also outside its
// bounds (the press grabs the mouse), so a drag can be followed off the area.
void CurveCanvas::mouseMoveEvent(QMouseEvent* event) { emit mouseMoved(event->position().toPoint()); }

void CurveCanvas::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit leftReleased(event->position().toPoint());
}

} // namespace quillon::curve
