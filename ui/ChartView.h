#pragma once
// A chart view for the Results window: drag to zoom into a span of the
// horizontal axis, right-click or double-click to zoom out to the whole run,
// and a report of the pointer's position in the chart's values.

#include <QtCharts/QChartView>

namespace kelvane::ui {

class ChartView : public QChartView {
  Q_OBJECT

 public:
  explicit ChartView(QChart* chart, QWidget* parent = nullptr);
  // Back to the whole run.
  void ResetZoom();

 signals:
  // The pointer is over the plot at `value` (chart coordinates of the first
  // series' axes); Left() when it leaves.
  void Hovered(QPointF value);
  void Left();

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
};

}  // namespace kelvane::ui
