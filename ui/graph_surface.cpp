#include "ui/graph_surface.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace waveharm {

namespace {

QColor toQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

QPen penFor(Rgb colour, LineStyle style) {
    QPen pen(toQColor(colour));
    pen.setCosmetic(true);  // one pixel wide whatever the scale
    pen.setStyle(style == LineStyle::Dotted ? Qt::DotLine : Qt::SolidLine);
    return pen;
}

}  // namespace

GraphSurface::GraphSurface(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
}

void GraphSurface::setPicture(GraphPicture picture) {
    m_picture = std::move(picture);
    update();
}

void GraphSurface::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const double sx = width() / kGraphWidth;
    const double sy = height() / kGraphHeight;
    painter.scale(sx, sy);
    QFont font = painter.font();
    font.setPixelSize(10);
    painter.setFont(font);
    const QFontMetricsF metrics(font);

    for (const auto& item : m_picture.items) {
        if (const auto* l = std::get_if<GraphLine>(&item)) {
            painter.setPen(penFor(l->colour, l->style));
            painter.drawLine(QPointF(l->from.x, l->from.y), QPointF(l->to.x, l->to.y));
        } else if (const auto* p = std::get_if<GraphPolyline>(&item)) {
            QPolygonF poly;
            poly.reserve(static_cast<int>(p->points.size()));
            for (const auto& pt : p->points) poly << QPointF(pt.x, pt.y);
            painter.setPen(penFor(p->colour, LineStyle::Solid));
            painter.drawPolyline(poly);
        } else if (const auto* r = std::get_if<GraphRect>(&item)) {
            const QRectF rect =
                QRectF(QPointF(r->corner1.x, r->corner1.y), QPointF(r->corner2.x, r->corner2.y))
                    .normalized();
            if (r->filled) {
                painter.fillRect(rect, toQColor(r->colour));
            } else {
                painter.setPen(penFor(r->colour, LineStyle::Solid));
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(rect);
            }
        } else if (const auto* t = std::get_if<GraphText>(&item)) {
            painter.setPen(toQColor(t->colour));
            // Text positions are the top-left corner of the text.
            painter.drawText(QPointF(t->at.x, t->at.y + metrics.ascent()),
                             QString::fromStdString(t->text));
        }
    }
}

}  // namespace waveharm
