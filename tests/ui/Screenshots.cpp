// Writes PNG pictures of the six pages of the main window, the finish
// dialog, the progress dialog of a run, every chart of the results window
// and the Study, Fastest line speed and Design dialogs, so the layout can be
// inspected without a desktop:
//   QT_QPA_PLATFORM=offscreen kelvane_ui_screens [folder]
// (or under xvfb-run).  The folder defaults to the current directory.

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPainter>
#include <QDir>
#include <QPushButton>
#include <QSlider>
#include <QProgressDialog>
#include <QTableWidget>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>

#include "ModalCloser.h"
#include "fields/FieldTable.h"
#include "ui/DesignDialog.h"
#include "ui/DirectoryChooser.h"
#include "ui/FastestSpeedDialog.h"
#include "ui/F_Form.h"
#include "ui/Kelvane_Main.h"
#include "ui/AirPanel.h"
#include "ui/ResultsWindow.h"
#include "ui/StudyDialog.h"
#include "ui/SummarySettingsPanel.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  const QString folder = QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath()).absolutePath();
  QDir().mkpath(folder);
  const QString startDirectory = QDir::currentPath();

  kelvane::ui::TForm1 form;
  form.show();
  QApplication::processEvents();

  int failures = 0;
  auto save = [&](QWidget* widget, const QString& name) {
    QApplication::processEvents();
    const QString path = QDir(folder).filePath(name);
    const QPixmap shot = widget->grab();
    if (shot.isNull() || !shot.save(path)) {
      std::fprintf(stderr, "could not write %s\n", qPrintable(path));
      ++failures;
    } else {
      std::printf("%s (%d x %d)\n", qPrintable(path), shot.width(), shot.height());
    }
  };
  for (int page = 0; page < form.PageControl()->count(); ++page) {
    form.PageControl()->setCurrentIndex(page);
    save(&form, QStringLiteral("kelvane-page%1.png").arg(page + 1));
  }
  form.PageControl()->setCurrentIndex(0);

  kelvane::ui::TFinishForm* finish = form.FinishForm();
  finish->show();
  save(finish, QStringLiteral("kelvane-finish.png"));
  finish->hide();

  // The runs write their result files into the folder.
  form.Directories()->OpenDirectory(folder);
  kelvane::ui::test::ModalCloser closer;

  // A refusal beside its marked field, and the question about inputs that
  // look wrong: the window with the box drawn where it stands.
  auto saveWithBox = [&](const QString& name) {
    QWidget* box = QApplication::activeModalWidget();
    if (!box) return;
    QApplication::processEvents();
    // The window and the box beside it on one canvas, as the screen shows them.
    const QRect area = form.geometry().united(box->geometry());
    QPixmap shot(area.size());
    shot.fill(QColor(0x6b, 0x7b, 0x8c));
    {
      QPainter painter(&shot);
      painter.drawPixmap(form.geometry().topLeft() - area.topLeft(), form.grab());
      painter.drawPixmap(box->geometry().topLeft() - area.topLeft(), box->grab());
    }
    const QString path = QDir(folder).filePath(name);
    if (!shot.save(path)) ++failures;
    else std::printf("%s (%d x %d)\n", qPrintable(path), shot.width(), shot.height());
  };
  closer.BeforeClose = [&](const kelvane::ui::test::SeenBox& seen) {
    if (seen.Text == QStringLiteral("Input value of Zone 2 is not correct!")) saveWithBox("kelvane-refused-field.png");
    if (seen.Text == QStringLiteral("These inputs look wrong:")) saveWithBox("kelvane-inputs-look-wrong.png");
  };
  form.Edit("Edit22")->setText("-5");
  form.OkButton()->click();
  form.Edit("Edit22")->setText("50.0");
  form.PageControl()->setCurrentIndex(0);
  form.Edit("Edit4")->setText("-0.01");
  form.Edit("Edit9")->setText("200");
  form.OkButton()->click();
  form.Edit("Edit4")->setText("0.003556");
  form.Edit("Edit9")->setText("0.0");
  // The first finish dialog that tells what else its run did.
  bool noteShot = false;
  closer.BeforeClose = [&](const kelvane::ui::test::SeenBox& seen) {
    if (noteShot || seen.Kind != QStringLiteral("finish") || !form.FinishForm()->Note()->isVisible()) return;
    noteShot = true;
    save(form.FinishForm(), QStringLiteral("kelvane-finish-note.png"));
  };

  // The progress dialog, caught in zone 2 of a long run, which is then
  // cancelled.
  const std::string zone2[6] = {form.Edit("Edit21")->text().toStdString(), form.Edit("Edit22")->text().toStdString(),
                                form.Edit("Edit23")->text().toStdString(), form.Edit("Edit24")->text().toStdString(),
                                form.Edit("Edit25")->text().toStdString(), form.Edit("Edit26")->text().toStdString()};
  for (int zone = 3; zone <= 6; ++zone)
    for (int i = 1; i <= 6; ++i)
      form.Edit(kelvane::ZoneComponent(zone, i))->setText(QString::fromStdString(zone2[i - 1]));
  form.Edit("Edit19")->setText("0.7");
  form.Edit("Edit20")->setText("40");
  bool caught = false;
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    QProgressDialog* dialog = form.ProgressDialog();
    if (caught || !dialog || !dialog->isVisible() || !dialog->labelText().startsWith("Zone 2")) return;
    caught = true;
    save(dialog, QStringLiteral("kelvane-progress.png"));
    if (auto* cancel = dialog->findChild<QPushButton*>()) cancel->click();
  });
  probe.start(20);
  form.OkButton()->click();
  probe.stop();
  if (!caught) {
    std::fprintf(stderr, "the progress dialog was not caught\n");
    ++failures;
  }
  for (int zone = 3; zone <= 6; ++zone)
    for (int i = 1; i <= 6; ++i) form.Edit(kelvane::ZoneComponent(zone, i))->clear();
  form.Edit("Edit19")->setText("2.0");
  form.Edit("Edit20")->setText("20");

  // The results window of the default run, one picture per chart.
  form.OkButton()->click();
  kelvane::ui::ResultsWindow* results = form.Results();
  results->resize(900, 640);
  results->ProfileSlider()->setValue(results->ProfileSlider()->maximum() / 4);
  const char* names[] = {"temperature", "remaining", "concentrations", "thickness", "profiles"};
  for (int c = 0; c < kelvane::ui::ResultsWindow::ChartCount; ++c) {
    results->ShowChart(static_cast<kelvane::ui::ResultsWindow::Chart>(c));
    save(results, QStringLiteral("kelvane-results-%1.png").arg(names[c]));
  }
  results->SetAxis(kelvane::ui::ResultsWindow::Axis::Position);
  results->ShowChart(kelvane::ui::ResultsWindow::Temperature);
  save(results, QStringLiteral("kelvane-results-temperature-position.png"));

  // The robust surface solve (the default) on the 10-layer window: the
  // rescued steps.  Every run below is robust unless it says otherwise.
  form.RobustBox()->setChecked(true);
  form.Edit("Edit20")->setText("10");
  form.OkButton()->click();
  results->SetAxis(kelvane::ui::ResultsWindow::Axis::Time);
  results->ShowChart(kelvane::ui::ResultsWindow::Temperature);
  save(results, QStringLiteral("kelvane-results-rescued.png"));

  // The run summary: the default window with 150 degC gas in zone 2 (the
  // film passes solvent 1's boiling point), its warning on the chart, the
  // line of outcome in the main window, and the run compared with the
  // defaults.
  form.RobustBox()->setChecked(true);
  form.Edit("Edit20")->setText("20");
  form.Edit("Edit250")->setText("defaults.txt");
  form.OkButton()->click();
  form.Edit("Edit250")->setText("hot-zone-2.txt");
  form.Edit(kelvane::ZoneComponent(2, 1))->setText("150.0");
  form.OkButton()->click();
  results->ShowSummary();
  save(results, QStringLiteral("kelvane-results-summary.png"));
  save(&form, QStringLiteral("kelvane-outcome.png"));
  results->GoToWarning(0);
  save(results, QStringLiteral("kelvane-results-warning.png"));
  results->AddComparison(QDir(folder).filePath(QStringLiteral("defaults.txt")));
  results->ShowChart(kelvane::ui::ResultsWindow::Remaining);
  save(results, QStringLiteral("kelvane-results-compare.png"));
  results->ClearComparisons();

  // Fourteen zones: the residual on a log scale, the zones by number.
  form.Edit("Edit250")->setText("fourteen-zones.txt");
  form.Edit(kelvane::ZoneComponent(2, 1))->setText("60.0");
  for (int zone = 2; zone <= 14; ++zone)
    for (int i = 1; i <= 6; ++i)
      form.Edit(kelvane::ZoneComponent(zone, i))
          ->setText(i == 1 ? QString::number(60 + 5 * zone) + ".0" : i == 2 ? QStringLiteral("8.0")
                                                                          : QString::fromStdString(zone2[i - 1]));
  form.OkButton()->click();
  results->SetLogScale(true);
  results->ShowChart(kelvane::ui::ResultsWindow::Remaining);
  save(results, QStringLiteral("kelvane-results-log.png"));
  results->SetLogScale(false);

  // A target of 7 % on the Targets page and 250 degC gas in zone 2 with the
  // robust surface solve: the coating boils, the line of outcome says so
  // first, the target crosses the solvent chart and the temperature chart's
  // legend stands beside it.
  form.ResetToDefaults();
  form.Edit("Edit250")->setText("blister.txt");
  form.Edit(kelvane::ZoneComponent(2, 1))->setText("250.0");
  form.RobustBox()->setChecked(true);
  results->Targets()->Field(kelvane::SummarySettingField::ResidualTarget)->setText(QStringLiteral("7"));
  results->Targets()->Apply();
  form.OkButton()->click();
  results->ShowChart(kelvane::ui::ResultsWindow::Remaining);
  save(results, QStringLiteral("kelvane-results-target.png"));
  results->ShowChart(kelvane::ui::ResultsWindow::Temperature);
  save(results, QStringLiteral("kelvane-results-legend.png"));
  save(&form, QStringLiteral("kelvane-outcome-worst-first.png"));
  form.RobustBox()->setChecked(true);

  // The dryer's air: the default window at a web width of 1.5 m, its first
  // zone exhausted at 8000 m3/h and its second at 300 m3/h.
  form.ResetToDefaults();
  results->Targets()->Field(kelvane::SummarySettingField::WebWidth)->setText(QStringLiteral("1.5"));
  results->Targets()->Apply();
  results->Air()->ExhaustField(1)->setText(QStringLiteral("8000"));
  results->Air()->ExhaustField(2)->setText(QStringLiteral("300"));
  results->Air()->Apply();
  form.OkButton()->click();
  results->findChild<QTabWidget*>(QStringLiteral("ChartPages"))->setCurrentWidget(results->Air());
  save(results, QStringLiteral("kelvane-results-air.png"));
  results->ShowSummary();
  save(results, QStringLiteral("kelvane-results-air-summary.png"));
  results->Targets()->Field(kelvane::SummarySettingField::WebWidth)->clear();
  results->Targets()->Apply();
  for (int zone = 1; zone <= 2; ++zone) results->Air()->ExhaustField(zone)->clear();
  results->Air()->Apply();

  // The fastest line speed of the default window that leaves at most 7 % of
  // the solvent (the Targets page's target), with the robust surface solve.
  form.ResetToDefaults();
  form.FastestSpeedButton()->click();
  auto* fastest = form.findChild<kelvane::ui::FastestSpeedDialog*>();
  if (fastest) {
    fastest->findChild<QCheckBox*>(QStringLiteral("SearchRobust"))->setChecked(true);
    auto* search = fastest->findChild<QPushButton*>(QStringLiteral("Search"));
    search->click();
    while (!search->isEnabled()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    save(fastest, QStringLiteral("kelvane-fastest-line-speed.png"));
    fastest->close();
  } else {
    ++failures;
  }
  // A study of the default window with 5 m zones: two web speeds by two
  // zone-2 gas temperatures, its second row loaded into the main window.
  form.ResetToDefaults();
  form.Edit(kelvane::ZoneComponent(1, 2))->setText(QStringLiteral("5"));
  form.Edit(kelvane::ZoneComponent(2, 2))->setText(QStringLiteral("5"));
  form.StudyButton()->click();
  if (auto* study = form.findChild<kelvane::ui::StudyDialog*>()) {
    study->SetVaried(0, "WebSpeed", "0.2,0.25");
    study->SetVaried(1, "OuterTemperature[2]", "60,80");
    study->Start();
    while (!study->RunButton()->isEnabled()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    study->Table()->selectRow(1);
    for (QPushButton* b : study->findChildren<QPushButton*>())
      if (b->text() == QStringLiteral("Load this run")) b->click();
    save(study, QStringLiteral("kelvane-study.png"));
    study->close();
  } else {
    ++failures;
  }

  // A zone-1 gas of 400 degC, robust by default: the finish dialog tells
  // where the plain search failed and what the robust solve took over.
  // Then the seed's march (the box unticked) with zone 2 at 400 degC: it
  // stops, and the Summary says so first.
  form.ResetToDefaults();
  form.Edit("Edit250")->setText(QStringLiteral("hot-zone-1.txt"));
  form.Edit(kelvane::ZoneComponent(1, 1))->setText(QStringLiteral("400.0"));
  closer.BeforeClose = [&](const kelvane::ui::test::SeenBox& seen) {
    if (seen.Kind == QStringLiteral("finish")) save(form.FinishForm(), QStringLiteral("kelvane-finish-400.png"));
  };
  form.OkButton()->click();
  closer.BeforeClose = nullptr;
  save(&form, QStringLiteral("kelvane-outcome-400.png"));
  results->ShowSummary();
  save(results, QStringLiteral("kelvane-results-400.png"));
  form.RobustBox()->setChecked(false);
  form.Edit("Edit250")->setText(QStringLiteral("stopped.txt"));
  form.Edit(kelvane::ZoneComponent(1, 1))->setText(QStringLiteral("60.0"));
  form.Edit(kelvane::ZoneComponent(2, 1))->setText(QStringLiteral("400.0"));
  form.OkButton()->click();
  results->ShowSummary();
  save(results, QStringLiteral("kelvane-results-stopped.png"));
  save(&form, QStringLiteral("kelvane-outcome-stopped.png"));
  form.RobustBox()->setChecked(true);

  // The dryer's design on the default window with its two zones shortened
  // to 5 m: at most 8 % of the solvent left, no boiling, the film at or
  // below 75 degC, each gas within 100 K of its value and at most 160 degC.
  form.ResetToDefaults();
  form.Edit(kelvane::ZoneComponent(1, 2))->setText(QStringLiteral("5"));
  form.Edit(kelvane::ZoneComponent(2, 2))->setText(QStringLiteral("5"));
  form.DesignButton()->click();
  auto* design = form.findChild<kelvane::ui::DesignDialog*>();
  if (design) {
    auto text = [&](const char* name, const char* value) {
      design->findChild<QLineEdit*>(QString::fromLatin1(name))->setText(QString::fromLatin1(value));
    };
    text("MaxResidual", "8");
    design->findChild<QCheckBox*>(QStringLiteral("TemperatureTarget"))->setChecked(true);
    text("MaxFilmTemperature", "75");
    text("TemperatureSpan", "100");
    text("HighestGas", "160");
    text("UpperSpeed", "2");
    auto* start = design->findChild<QPushButton*>(QStringLiteral("Design"));
    start->click();
    while (!start->isEnabled()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    save(design, QStringLiteral("kelvane-design.png"));
    design->close();
  } else {
    ++failures;
  }
  std::printf("boxes: %s\n", qPrintable(closer.Describe()));

  QDir::setCurrent(startDirectory);
  return failures == 0 ? 0 : 1;
}
