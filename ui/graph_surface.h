#pragma once
// The analysis window's graph surface: paints a primitive list given in the
// 640 × 400 logical grid, scaled to the widget's size.

#include <QWidget>

#include "ui/graph_primitives.h"

namespace waveharm {

class GraphSurface : public QWidget {
    Q_OBJECT
  public:
    explicit GraphSurface(QWidget* parent = nullptr);

    /// Replaces what is shown (an empty picture clears the surface).
    void setPicture(GraphPicture picture);
    const GraphPicture& picture() const { return m_picture; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    GraphPicture m_picture;
};

}  // namespace waveharm
