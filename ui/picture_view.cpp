#include "ui/picture_view.h"

#include <QPainter>
#include <QPolygonF>
#include <algorithm>

namespace waveharm {

namespace {

QColor toQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

QPen penFor(Rgb colour, LineStyle style) {
    QPen pen(toQColor(colour));
    pen.setCosmetic(true);  // one pixel wide whatever the scale
    pen.setStyle(style == LineStyle::Dotted ? Qt::DotLine : Qt::SolidLine);
    return pen;
}

struct PrimitivePainter {
    QPainter& painter;
    double ascent;

    void operator()(const PictureLine& l) const {
        painter.setPen(penFor(l.colour, l.style));
        painter.drawLine(QPointF(l.from.x, l.from.y), QPointF(l.to.x, l.to.y));
    }
    void operator()(const PicturePolyline& p) const {
        QPolygonF poly;
        poly.reserve(static_cast<int>(p.points.size()));
        for (const auto& pt : p.points) poly << QPointF(pt.x, pt.y);
        painter.setPen(penFor(p.colour, LineStyle::Solid));
        painter.drawPolyline(poly);
    }
    void operator()(const PictureRect& r) const {
        const QRectF rect =
            QRectF(QPointF(r.corner1.x, r.corner1.y), QPointF(r.corner2.x, r.corner2.y))
                .normalized();
        if (r.filled) {
            painter.fillRect(rect, toQColor(r.colour));
            return;
        }
        painter.setPen(penFor(r.colour, LineStyle::Solid));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect);
    }
    void operator()(const PictureText& t) const {
        painter.setPen(toQColor(t.colour));
        // Text positions are the top-left corner of the text.
        painter.drawText(QPointF(t.at.x, t.at.y + ascent), QString::fromStdString(t.text));
    }
};

}  // namespace

void paintPicture(QPainter& painter, const Picture& picture, const QSizeF& size) {
    if (!(picture.width > 0) || !(picture.height > 0)) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, picture.smooth);
    painter.scale(size.width() / picture.width, size.height() / picture.height);
    QFont font = painter.font();
    font.setPixelSize(std::max(1, qRound(picture.textHeight)));
    painter.setFont(font);
    const PrimitivePainter paint{painter, QFontMetricsF(font).ascent()};
    for (const auto& item : picture.items) std::visit(paint, item);
    painter.restore();
}

PictureView::PictureView(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
}

void PictureView::setPicture(Picture picture) {
    m_picture = std::move(picture);
    update();
}

void PictureView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!m_keepAspect || !(m_picture.width > 0) || !(m_picture.height > 0)) {
        paintPicture(painter, m_picture, size());
        return;
    }
    const double scale = std::min(width() / m_picture.width, height() / m_picture.height);
    const QSizeF drawn(m_picture.width * scale, m_picture.height * scale);
    painter.translate((width() - drawn.width()) / 2, (height() - drawn.height()) / 2);
    paintPicture(painter, m_picture, drawn);
}

}  // namespace waveharm
