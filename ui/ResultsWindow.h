#pragma once
// The "Results" window: the sampled rows of a result file plotted along the
// web (time or position), one chart per page, with the zones marked at the
// top; the concentration profiles across the coating at a chosen position;
// export of each chart to PNG and SVG and of the data to CSV.

#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

#include "engine/MiscCalc.h"
#include "files/ResultFileReader.h"

class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QLineSeries;
class QSlider;
class QTabWidget;

namespace kelvane::ui {

class ResultsWindow : public QWidget {
  Q_OBJECT

 public:
  enum Chart { Temperature, Remaining, Concentrations, Thickness, Profiles, ChartCount };
  enum class Axis { Time, Position };

  explicit ResultsWindow(QWidget* parent = nullptr);

  // Plots `data`, read from `source`; `rescued` marks the steps the robust
  // surface solve took over.  Nothing happens when it holds no zone results.
  void Plot(const ResultFileData& data, const QString& source, const std::vector<RescuedStep>& rescued = {});
  // Reads a result file and plots it.  A file that is not a result file, or
  // holds no results, is refused with a message and what was shown stays.
  bool OpenResultFile(const QString& path);
  bool HasData() const { return !data_.Zones.empty(); }
  const ResultFileData& Data() const { return data_; }
  QString Source() const { return source_; }

  void SetAxis(Axis axis);
  Axis CurrentAxis() const { return axis_; }
  // Shows the chart page `chart`.
  void ShowChart(Chart chart);

  QChart* ChartAt(Chart chart) const;
  QChartView* ViewAt(Chart chart) const;
  QSlider* ProfileSlider() const { return slider_; }
  QTabWidget* Pages() const { return pages_; }

  bool ExportPng(Chart chart, const QString& path) const;
  bool ExportSvg(Chart chart, const QString& path) const;
  bool ExportCsv(const QString& path) const;

  // Asks where to save (caption, suggested path, filter); empty: cancelled.
  std::function<QString(const QString&, const QString&, const QString&)> ChooseSaveFile;
  // Asks which result file to open, starting in a folder; empty: cancelled.
  std::function<QString(const QString&)> ChooseOpenFile;
  // The folder the file dialogs start in when nothing was opened yet.
  QString DefaultFolder;

 private:
  void Rebuild();
  void BuildAlongWebChart(Chart chart);
  void BuildProfileChart();
  void UpdateProfile();
  void ExportCurrent(bool svg);
  void ExportData();
  void OpenClicked();
  void Message(const QString& text);
  QString SuggestedPath(const QString& suffix) const;
  double X(const ZoneResults& zone, size_t row) const;
  QLineSeries* ProfileSeries(int solvent, bool entrance) const;

  ResultFileData data_;
  std::vector<RescuedStep> rescued_;
  QString source_;
  Axis axis_ = Axis::Time;
  QTabWidget* pages_ = nullptr;
  QChartView* views_[ChartCount] = {};
  QComboBox* axisBox_ = nullptr;
  QSlider* slider_ = nullptr;
  QLabel* sliderLabel_ = nullptr;
  QLabel* sourceLabel_ = nullptr;
};

}  // namespace kelvane::ui
