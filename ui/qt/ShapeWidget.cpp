#include "ui/qt/ShapeWidget.h"

#include <QPainter>

namespace qm {

ShapeWidget::ShapeWidget(QWidget* parent) : QWidget(parent) {}

void ShapeWidget::SetColours(const QColor& brush, const QColor& pen) {
    if (brush == brush_ && pen == pen_) return;
    brush_ = brush;
    pen_ = pen;
    update();
}

void ShapeWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(pen_, 1));
    p.setBrush(QBrush(brush_, Qt::DiagCrossPattern));
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = std::min(r.width(), r.height()) / 4;
    p.drawRoundedRect(r, radius, radius);
}

}  // namespace qm
