// Export of a chart to PNG or SVG and of the data to CSV.

#include "ui/ResultsWindow.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QTabWidget>
#include <QTextStream>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>

#include <algorithm>

#include "ui/ResultsCharting.h"

namespace kelvane::ui {

// ---------------------------------------------------------------------------
// Export.

namespace {

// A chart view of a usable size, also when the window was never shown.
QSize RenderSize(QChartView* view) {
  if (view->width() < 300 || view->height() < 200) view->resize(820, 520);
  return view->size();
}

}  // namespace

bool ResultsWindow::ExportPng(Chart chart, const QString& path) const {
  QChartView* view = views_[chart];
  RenderSize(view);
  return view->grab().save(path, "PNG");
}

bool ResultsWindow::ExportSvg(Chart chart, const QString& path) const {
  QChartView* view = views_[chart];
  const QSize size = RenderSize(view);
  QSvgGenerator svg;
  svg.setFileName(path);
  svg.setSize(size);
  svg.setViewBox(QRect(QPoint(0, 0), size));
  svg.setTitle(view->chart()->title());
  QPainter painter;
  if (!painter.begin(&svg)) return false;
  view->render(&painter);
  painter.end();
  return QFileInfo(path).size() > 0;
}

bool ResultsWindow::ExportCsv(const QString& path) const {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
  QTextStream out(&file);
  out << "Zone,Time (s),Position (m),Film temperature (degC),Gas temperature (degC),Solvent remaining (%),"
         "Average concentration 1 (g/cm3),Average concentration 2 (g/cm3),Coating thickness (cm)";
  for (int solvent = 1; solvent <= 2; ++solvent)
    for (int i = 0; i <= 10; ++i) out << QStringLiteral(",Solvent %1 C%2 (g/cm3)").arg(solvent).arg(i);
  out << ",Rescued steps\n";
  auto num = [](double v) { return QString::number(v, 'g', 10); };
  for (const ZoneResults& z : data_.Zones) {
    const ZoneConditions* c = data_.ConditionsOf(z.Zone);
    for (size_t r = 0; r < z.Rows.size(); ++r) {
      const ResultRow& row = z.Rows[r];
      out << z.Zone << ',' << num(row.Time) << ',' << num(data_.ZoneStart(z.Zone) + row.Length) << ','
          << num(row.Temp) << ',' << (c ? num(c->OuterTemperature) : QString()) << ',' << num(row.SolRemain) << ','
          << num(row.AvgConc1) << ',' << num(row.AvgConc2) << ',' << num(row.CoatThick);
      for (const ProfileRow* p : {&z.Solvent1[r], &z.Solvent2[r]})
        for (double v : p->Conc) out << ',' << num(v);
      // Rescued steps since the previous row.
      const int last = static_cast<int>(r) * 5, first = r == 0 ? 0 : last - 4;
      const auto count = std::count_if(rescued_.begin(), rescued_.end(), [&](const RescuedStep& s) {
        return s.Zone == z.Zone && s.Step >= first && s.Step <= last && r > 0;
      });
      out << ',' << count << '\n';
    }
  }
  out.flush();
  return out.status() == QTextStream::Ok && file.commit();
}

QString ResultsWindow::SuggestedPath(const QString& suffix) const {
  const QFileInfo info(source_);
  const QString folder = source_.isEmpty() ? DefaultFolder : info.absolutePath();
  const QString base = source_.isEmpty() ? QStringLiteral("results") : info.completeBaseName();
  QString name = base;
  if (suffix != QLatin1String("csv") && pages_->currentIndex() >= FirstChartTab &&
      pages_->currentIndex() < FirstChartTab + ChartCount)
    name += '-' + QString::fromLatin1(ChartTitles[pages_->currentIndex() - FirstChartTab]).toLower().replace(' ', '-');
  return QDir(folder).filePath(name + '.' + suffix);
}

void ResultsWindow::ExportCurrent(bool svg) {
  if (!HasData()) {
    Message(QStringLiteral("There is nothing to export yet."));
    return;
  }
  const QString suffix = svg ? QStringLiteral("svg") : QStringLiteral("png");
  const QString filter = svg ? QStringLiteral("SVG Pictures (*.svg)") : QStringLiteral("PNG Pictures (*.png)");
  const QString caption = svg ? QStringLiteral("Export Chart as SVG") : QStringLiteral("Export Chart as PNG");
  const QString suggested = SuggestedPath(suffix);
  const QString path = ChooseSaveFile ? ChooseSaveFile(caption, suggested, filter)
                                      : QFileDialog::getSaveFileName(this, caption, suggested, filter);
  if (path.isEmpty()) return;
  if (pages_->currentIndex() < FirstChartTab) {
    Message(QStringLiteral("Choose a chart page to export its chart; the summary goes out with Export CSV."));
    return;
  }
  const Chart chart = static_cast<Chart>(pages_->currentIndex() - FirstChartTab);
  if (!(svg ? ExportSvg(chart, path) : ExportPng(chart, path)))
    Message(QStringLiteral("The chart could not be written to \"%1\".").arg(QDir::toNativeSeparators(path)));
}

void ResultsWindow::ExportData() {
  if (!HasData()) {
    Message(QStringLiteral("There is nothing to export yet."));
    return;
  }
  const QString caption = QStringLiteral("Export Data as CSV");
  const QString filter = QStringLiteral("CSV Files (*.csv)");
  const QString suggested = SuggestedPath(QStringLiteral("csv"));
  const QString path = ChooseSaveFile ? ChooseSaveFile(caption, suggested, filter)
                                      : QFileDialog::getSaveFileName(this, caption, suggested, filter);
  if (path.isEmpty()) return;
  if (!ExportCsv(path))
    Message(QStringLiteral("The data could not be written to \"%1\".").arg(QDir::toNativeSeparators(path)));
}

}  // namespace kelvane::ui
