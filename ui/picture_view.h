#pragma once
// The one painter of the screens: a widget that draws a picture of display/picture.h
// in order, its logical size stretched over the widget (the wiring diagram in twips,
// the analysis graphs in their 640 × 400 grid).

#include <QWidget>

#include "display/picture.h"

class QPainter;

namespace waveharm {

/// Paints `picture` into the rectangle (0, 0)–`size` (pixels) of `painter`.
void paintPicture(QPainter& painter, const Picture& picture, const QSizeF& size);

class PictureView : public QWidget {
    Q_OBJECT
  public:
    explicit PictureView(QWidget* parent = nullptr);

    /// Replaces what is shown (an empty picture clears the view).
    void setPicture(Picture picture);
    const Picture& picture() const { return m_picture; }
    /// Draws the picture at the largest size of its own proportions, centred (round
    /// phasor diagrams), instead of stretching it over the whole widget.
    void setKeepAspect(bool keep) { m_keepAspect = keep; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Picture m_picture;
    bool m_keepAspect = false;
};

}  // namespace waveharm
