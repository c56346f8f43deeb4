#pragma once

#include <QColor>
#include <QWidget>

namespace qm {

// A rounded rectangle hatched with a diagonal cross in the brush colour and outlined in the pen
// colour: the battery indicator.
class ShapeWidget : public QWidget {
    Q_OBJECT
public:
    explicit ShapeWidget(QWidget* parent = nullptr);

    QColor BrushColour() const { return brush_; }
    QColor PenColour() const { return pen_; }
    void SetColours(const QColor& brush, const QColor& pen);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor brush_{0, 255, 0};
    QColor pen_{0, 128, 0};
};

}  // namespace qm
