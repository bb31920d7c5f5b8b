#include "ui/ChartView.h"

#include <QMouseEvent>
#include <QtCharts/QAbstractSeries>
#include <QtCharts/QChart>

namespace kelvane::ui {

ChartView::ChartView(QChart* chart, QWidget* parent) : QChartView(chart, parent) {
  setRubberBand(QChartView::HorizontalRubberBand);
  setMouseTracking(true);
}

void ChartView::ResetZoom() { chart()->zoomReset(); }

void ChartView::mouseMoveEvent(QMouseEvent* event) {
  QChartView::mouseMoveEvent(event);
  QChart* c = chart();
  const QPointF scene = mapToScene(event->position().toPoint());
  const QPointF inChart = c->mapFromScene(scene);
  if (c->series().isEmpty() || !c->plotArea().contains(inChart)) {
    emit Left();
    return;
  }
  emit Hovered(c->mapToValue(inChart, c->series().front()));
}

void ChartView::mouseDoubleClickEvent(QMouseEvent* event) {
  ResetZoom();
  event->accept();
}

void ChartView::leaveEvent(QEvent* event) {
  QChartView::leaveEvent(event);
  emit Left();
}

}  // namespace kelvane::ui
