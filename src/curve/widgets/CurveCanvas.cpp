#include "curve/widgets/CurveCanvas.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRadialGradient>

namespace quillon::curve {

namespace {

const QColor kGridColour(125, 125, 125);
const QColor kKeptColour(0, 252, 250);
const QColor kWorkingColour(250, 250, 0);
const QColor kPolygonColour(250, 0, 250);

constexpr int kHorizontalGridLines = 16;
constexpr int kVerticalGridLines = 12;

void drawTable(QPainter& painter, const CurvePicture::Table& table) {
    QPoint points[128];
    for (int v = 0; v < 128; ++v)
        points[v] = CurveCanvas::pointFor(v, table[static_cast<std::size_t>(v)]);
    painter.drawPolyline(points, 128);
}

void drawGrid(QPainter& painter) {
    painter.setPen(QPen(kGridColour, 1, Qt::SolidLine));
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
QPoint beadCorner(int index, int x, int y) {
    const QPoint centre = CurveCanvas::pointFor(x, y);
    if (index == 0)
        return centre + QPoint(-4, -8);
    if (index == 6)
        return centre + QPoint(-7, -3);
    return centre + QPoint(-7, -5);
}

void drawKeyPoints(QPainter& painter, const CurvePicture& picture) {
    const QImage& bead = CurveCanvas::bead();
    QPoint corners[7];
    for (int i = 0; i < 7; ++i) {
        const auto k = static_cast<std::size_t>(i);
        painter.drawImage(beadCorner(i, picture.keyX[k], picture.keyY[k]), bead);
        corners[i] = CurveCanvas::pointFor(picture.keyX[k], picture.keyY[k]);
    }
    painter.setPen(QPen(kPolygonColour, 1, Qt::DotLine));
    painter.drawPolyline(corners, 7);
}

} // namespace

CurveCanvas::CurveCanvas(QWidget* parent)
    : QWidget(parent), m_image(kWidth, kHeight, QImage::Format_RGB32) {
    setFixedSize(kWidth, kHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_image.fill(Qt::black);
}

const QImage& CurveCanvas::bead() {
    static const QImage image = [] {
        QImage made(12, 12, QImage::Format_ARGB32_Premultiplied);
        made.fill(Qt::transparent);
        QPainter painter(&made);
        painter.setRenderHint(QPainter::Antialiasing);
        // A round bead lit from the upper left: highlight, body, dark rim.
        QRadialGradient shade(QPointF(6.0, 6.0), 6.0, QPointF(4.0, 3.5));
        shade.setColorAt(0.0, QColor(255, 255, 255));
        shade.setColorAt(0.25, QColor(255, 120, 90));
        shade.setColorAt(0.8, QColor(190, 20, 10));
        shade.setColorAt(1.0, QColor(90, 0, 0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(shade);
        painter.drawEllipse(QRectF(0.5, 0.5, 11.0, 11.0));
        return made;
    }();
    return image;
}

void CurveCanvas::showPicture(const CurvePicture& picture) {
    m_image.fill(Qt::black);
    QPainter painter(&m_image);
    if (picture.grid)
        drawGrid(painter);

    painter.setPen(QPen(kKeptColour, 1, Qt::SolidLine));
    for (const auto& table : picture.keptTables)
        drawTable(painter, table);

    painter.setPen(QPen(kWorkingColour, 2, Qt::SolidLine));
    drawTable(painter, picture.workingTable);

    if (picture.vertex)
        drawKeyPoints(painter, picture);
    painter.end();
    update();
}

void CurveCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, m_image);
}

void CurveCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit leftPressed(event->position().toPoint());
    else if (event->button() == Qt::RightButton)
        emit rightPressed(event->globalPosition().toPoint());
}

// While a button is held the canvas keeps receiving moves, also outside its
// bounds (the press grabs the mouse), so a drag can be followed off the area.
void CurveCanvas::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMoved(event->position().toPoint());
}

void CurveCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit leftReleased(event->position().toPoint());
}

} // namespace quillon::curve
