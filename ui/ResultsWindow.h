#pragma once
// The "Results" window: the run summary (zone table and warnings) on its
// first page; the sampled rows of a result file plotted along the web (time
// or position), one chart per page, with the zones marked at the top, the
// warnings marked on the curves, a cursor, zoom and a readout under the
// pointer; other result files overlaid for comparison; the concentration
// profiles across the coating at a chosen position; export of each chart to
// PNG and SVG and of the data to CSV.

#include <QString>
#include <QWidget>

#include <functional>
#include <limits>
#include <optional>
#include <vector>

#include "engine/MiscCalc.h"
#include "files/ResultFileReader.h"
#include "summary/RunSummary.h"

class QChart;
class QChartView;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineSeries;
class QSlider;
class QTabWidget;

namespace kelvane::ui {

class AirPanel;
class SummaryPage;
class SummarySettingsPanel;

class ResultsWindow : public QWidget {
  Q_OBJECT

 public:
  enum Chart { Temperature, Remaining, Concentrations, Thickness, Profiles, ChartCount };
  enum class Axis { Time, Position };
  enum class RemainingUnit { Percent, GramsPerSquareMetre };

  explicit ResultsWindow(QWidget* parent = nullptr);

  // Plots `data`, read from `source`; `rescued` marks the steps the robust
  // surface solve took over.  Nothing happens when it holds no zone results.
  // The summary is formed from the run's own trace when given, else from
  // `data`, with the settings of the Targets page.
  void Plot(const ResultFileData& data, const QString& source, const std::vector<RescuedStep>& rescued = {},
            const RunTrace* trace = nullptr);
  // What is shown is an earlier result than the last calculation (`why`
  // says what became of that one): a banner says so until the next Plot.
  void MarkEarlier(const QString& why);
  bool ShowsEarlier() const;
  const RunSummary& Summary() const { return summary_; }
  SummaryPage* SummaryView() const { return summaryPage_; }
  // The targets and thresholds of the summary, on the page beside it.
  SummarySettingsPanel* Targets() const { return targets_; }
  // The dryer's air, on the last page.
  AirPanel* Air() const { return air_; }
  // The Targets page's settings with the Air page's.
  SummarySettings Settings() const;
  void ShowSummary();
  // Puts the cursor on the charts at a warning of the summary and the
  // profile at the nearest row; shows the chart of the warning.
  void GoToWarning(int index);
  // The cursor's place on the horizontal axis (NaN: none).
  double CursorX() const;

  // Solvent remaining in % of the initial solvent or in g/m2, on a linear
  // or a logarithmic axis.
  void SetRemainingUnit(RemainingUnit unit);
  void SetLogScale(bool on);
  // The values under the pointer at `x` on `chart` (the readout line).
  QString ReadoutAt(Chart chart, double x) const;
  QLabel* Readout() const { return readout_; }
  void ResetZoom();

  // Other result files overlaid on the curves; the legend names each file.
  bool AddComparison(const QString& path);
  void ClearComparisons();
  int ComparisonCount() const { return static_cast<int>(others_.size()); }
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
  struct Other {
    QString Name;
    ResultFileData Data;
  };
  void Rebuild();
  void Summarize();
  void CompareClicked();
  void PlaceCursor();
  double ValueAt(const ResultFileData& data, Chart chart, double x) const;
  double XOf(const Where& at) const;
  void BuildAlongWebChart(Chart chart);
  std::optional<double> ResidualTargetIn(bool grams) const;
  void BuildProfileChart();
  void UpdateProfile();
  void ExportCurrent(bool svg);
  void ExportData();
  void OpenClicked();
  void Message(const QString& text);
  QString SuggestedPath(const QString& suffix) const;
  double X(const ZoneResults& zone, size_t row) const;
  double X(const ResultFileData& data, const ZoneResults& zone, size_t row) const;
  QLineSeries* ProfileSeries(int solvent, bool entrance) const;

  ResultFileData data_;
  RunSummary summary_;
  std::vector<Other> others_;
  std::vector<RescuedStep> rescued_;
  std::optional<Where> cursorAt_;
  RemainingUnit remainingUnit_ = RemainingUnit::Percent;
  bool logScale_ = false;
  QString source_;
  Axis axis_ = Axis::Time;
  QTabWidget* pages_ = nullptr;
  QChartView* views_[ChartCount] = {};
  QComboBox* axisBox_ = nullptr;
  QSlider* slider_ = nullptr;
  QLabel* sliderLabel_ = nullptr;
  QLabel* sourceLabel_ = nullptr;
  QLabel* earlierLabel_ = nullptr;
  QLabel* readout_ = nullptr;
  QComboBox* unitBox_ = nullptr;
  QCheckBox* logBox_ = nullptr;
  SummaryPage* summaryPage_ = nullptr;
  SummarySettingsPanel* targets_ = nullptr;
  AirPanel* air_ = nullptr;
  std::optional<RunTrace> trace_;  // what the summary is formed from
};

}  // namespace kelvane::ui
