// The responsive run, the results window and the "Tools" page: runs on the
// worker thread end as before (finish dialog, same bytes, messages in
// order), Cancel and closing the window stop a run between steps, the
// results window plots what the result file holds, and "Save Data File..."
// writes what "Input Data File" reads back.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QProgressDialog>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <functional>
#include <map>
#include <memory>

#include "ModalCloser.h"
#include "WindowFolder.h"
#include "files/ResultFileReader.h"
#include "fields/FieldTable.h"
#include "ui/DirectoryChooser.h"
#include "ui/F_Form.h"
#include "ui/Kelvane_Main.h"
#include "ui/ResultsWindow.h"
#include "ui/RunWorker.h"

using kelvane::FieldSpec;
using kelvane::FieldTable;
using kelvane::RunOutcome;
using kelvane::ui::ResultsWindow;
using kelvane::ui::TForm1;
using kelvane::ui::test::ModalCloser;
using kelvane::ui::test::SeenBox;

namespace {

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// 14 zones like zone 2, 40 layers, 0.7 cm increments: a run of some
// seconds.
void SetLongRun(TForm1& form) {
  for (int zone = 3; zone <= 14; ++zone)
    for (int i = 1; i <= 6; ++i)
      form.Edit(kelvane::ZoneComponent(zone, i))->setText(form.Edit(kelvane::ZoneComponent(2, i))->text());
  form.Edit("Edit19")->setText("0.7");
  form.Edit("Edit20")->setText("40");
}

// The points of every series of a chart, by series name.
std::map<QString, QList<QPointF>> SeriesOf(ResultsWindow* w, ResultsWindow::Chart chart) {
  std::map<QString, QList<QPointF>> all;
  for (QAbstractSeries* s : w->ChartAt(chart)->series())
    if (auto* xy = qobject_cast<QXYSeries*>(s)) all[s->name()] = xy->points();
  return all;
}

QCategoryAxis* ZoneAxis(ResultsWindow* w, ResultsWindow::Chart chart) {
  for (QAbstractAxis* a : w->ChartAt(chart)->axes())
    if (auto* c = qobject_cast<QCategoryAxis*>(a)) return c;
  return nullptr;
}

QPushButton* CancelButton(QWidget* dialog) { return dialog ? dialog->findChild<QPushButton*>() : nullptr; }

}  // namespace

class ToolsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    form_ = std::make_unique<TForm1>();
    form_->Options.DecimalSeparator = '.';
    QVERIFY(folder_.OpenIn(*form_));
    dir_ = form_->Directories()->Directory();
  }
  void cleanup() {
    form_.reset();
    folder_.Close();
    QCOMPARE(QApplication::overrideCursor(), nullptr);
  }

  // The run goes to the worker: the progress dialog is up while the window
  // keeps handling events, and the run ends with the finish dialog and the
  // runner's bytes.
  void workerRunFinishesWithRunnerBytes() {
#ifndef KELVANE_RUNNER
    QSKIP("the headless runner is not built");
#else
    const QString runnerFile = QDir(folder_.Path()).filePath("runner.txt");
    QProcess runner;
    runner.start(QStringLiteral(KELVANE_RUNNER), {"--quiet", "-o", runnerFile});
    QVERIFY(runner.waitForFinished(120000));
    QCOMPARE(runner.exitCode(), 0);

    bool progressSeen = false;
    AtZone(2, [&] {
      QVERIFY(form_->ProgressDialog() && form_->ProgressDialog()->isVisible());
      QVERIFY(form_->ProgressDialog()->labelText().startsWith(QStringLiteral("Zone 2 of 2")));
      progressSeen = true;
    });
    ModalCloser closer;
    form_->OkButton()->click();
    QCOMPARE(closer.Describe(), QStringLiteral("[finish: Calculation is successfully finished !]"));
    QCOMPARE(form_->LastRun().Outcome, RunOutcome::Finished);
    QVERIFY(!form_->RunInProgress());
    QVERIFY(!form_->ProgressDialog());
    const QByteArray window = ReadAll(QDir(dir_).filePath("result.txt"));
    QVERIFY(!window.isEmpty());
    QVERIFY(window == ReadAll(runnerFile));
    QVERIFY(progressSeen);
    QVERIFY(form_->Results()->isVisible());
#endif
  }

  // Cancel in the middle of a long run: the cancel message and no finish
  // dialog; the file ends with a complete section, the results window shows
  // the zones that were written.
  // (Also: a second OK while the run is in progress does nothing.)
  void cancelStopsBetweenSteps() {
    SetLongRun(*form_);
    bool pressed = false;
    AtZone(3, [&] {
      QProgressDialog* dialog = form_->ProgressDialog();
      QVERIFY(dialog && dialog->isVisible());
      // A second OK during the run returns at once and changes nothing.
      form_->OkButton()->click();
      QVERIFY(form_->RunInProgress());
      QCOMPARE(form_->ProgressDialog(), dialog);
      QVERIFY(dialog->labelText().startsWith(QStringLiteral("Zone 3 of 14")));
      QVERIFY(dialog->labelText().contains(QStringLiteral("Elapsed time")));
      QVERIFY(dialog->value() > 0 && dialog->value() < 100);
      QTest::mouseClick(CancelButton(dialog), Qt::LeftButton);
      pressed = true;
    });
    ModalCloser closer;
    form_->OkButton()->click();
    QVERIFY(pressed);
    QCOMPARE(closer.Describe(), QStringLiteral("[message: The calculation was cancelled.]"));
    QCOMPARE(form_->LastRun().Outcome, RunOutcome::Cancelled);
    // The march stops after the first step of zone 3: zones 1 and 2 are in
    // the file.
    const int written = form_->LastRun().ZonesWritten;
    QCOMPARE(written, 2);

    const QByteArray bytes = ReadAll(QDir(dir_).filePath("result.txt"));
    const kelvane::ResultFileRead read = kelvane::ParseResultFile(bytes.toStdString());
    QVERIFY2(read.Ok, read.Error.c_str());
    QVERIFY(!read.Data.Truncated);
    QVERIFY(read.Data.Cancelled);
    QCOMPARE(int(read.Data.Zones.size()), written);
    QCOMPARE(int(read.Data.Conditions.size()), written + 1);  // the cancelled zone's conditions
    QVERIFY(bytes.endsWith("Coat-side Heat Trans. Coeff. (W/cm^2.K)           =  0.00109440\r\n\r\n\r\n"
                           "  [CALCULATION CANCELLED]\r\n"));

    QVERIFY(form_->Results()->isVisible());
    QCOMPARE(int(form_->Results()->Data().Zones.size()), written);
    const QLabel* source = form_->Results()->findChild<QLabel*>(QStringLiteral("SourceLabel"));
    QVERIFY(source);
    QVERIFY(source->text().endsWith(QStringLiteral("the calculation was cancelled in zone %1").arg(written + 1)));
  }

  // An engine message reaches its box while the worker waits for the OK; a
  // run that wrote nothing opens no results window.
  void engineMessageWhileWorkerWaits() {
    form_->RobustBox()->setChecked(false);  // the seed's march
    form_->Edit("Edit20")->setText("10");
    QList<bool> runningAtBox;
    ModalCloser closer;
    closer.BeforeClose = [&](const SeenBox&) { runningAtBox << form_->RunInProgress(); };
    form_->OkButton()->click();
    QCOMPARE(closer.Describe(), QStringLiteral("[message: Sorry, this condition does not cnoverge! CONSIDER TO "
                                               "REDUCE OR INCREASE \"Increment of z\".]"));
    QCOMPARE(runningAtBox, QList<bool>{true});
    QVERIFY(!closer.Seen()[0].BusyCursor);
    QCOMPARE(form_->LastRun().Outcome, RunOutcome::EngineFailed);
    QVERIFY(!form_->Results()->isVisible());
    QVERIFY(!form_->Results()->HasData());
  }

  // The same failure with the check box on: the rescue finishes the run in
  // one box, the finish dialog telling the steps taken over; the results
  // window marks the steps.  Run again, the Results window's banner says
  // while the finish dialog waits that a message waits, not that a
  // calculation runs.
  void robustCheckBoxRescuesTheRun() {
    // Ticked in a new window; a click unticks it, another ticks it again.
    QVERIFY(form_->RobustBox()->isChecked());
    QVERIFY(form_->Options.Robust);
    form_->PageControl()->setCurrentIndex(5);
    QTest::mouseClick(form_->RobustBox(), Qt::LeftButton);
    QVERIFY(!form_->Options.Robust);
    QTest::mouseClick(form_->RobustBox(), Qt::LeftButton);
    QVERIFY(form_->RobustBox()->isChecked());
    QVERIFY(form_->Options.Robust);
    form_->PageControl()->setCurrentIndex(0);
    form_->Edit("Edit20")->setText("10");
    QString note, banner;
    int okAt = 0;
    ModalCloser closer;
    closer.BeforeClose = [&](const SeenBox&) {
      okAt = form_->FinishForm()->OkButton()->y();
      note = form_->FinishForm()->Note()->isVisible() ? form_->FinishForm()->Note()->text() : QString();
      banner = form_->Results()->ShowsEarlier() ? form_->Results()->findChild<QLabel*>("EarlierLabel")->text() : "";
    };
    form_->OkButton()->click();
    QCOMPARE(form_->LastRun().Outcome, RunOutcome::Finished);
    const auto& rescued = form_->LastRescued();
    QVERIFY(!rescued.empty());
    QCOMPARE(closer.Seen().size(), 1);
    QCOMPARE(closer.Seen()[0].Kind, QStringLiteral("finish"));
    // The dialog grew to show the whole note above its OK button.
    QVERIFY(okAt > 165);
    QCOMPARE(note, QStringLiteral("The plain surface search failed in zone 1 at 0.14 m; the robust surface solve "
                                  "finished the run (1 step taken over while solvent still left the coating)."));

    ResultsWindow* results = form_->Results();
    QVERIFY(results->isVisible());
    for (auto chart : {ResultsWindow::Temperature, ResultsWindow::Remaining, ResultsWindow::Concentrations,
                       ResultsWindow::Thickness}) {
      const auto series = SeriesOf(results, chart);
      QVERIFY(series.count(QStringLiteral("Rescued steps")));
      // Neighbouring steps closer than the width of a tick share one.
      QVERIFY(!series.at(QStringLiteral("Rescued steps")).isEmpty());
      QVERIFY(series.at(QStringLiteral("Rescued steps")).size() <= qsizetype(rescued.size()));
    }
    // The first tick is at the first step's time, and every tick stands in
    // a row along the top, above the film temperature, never on the curve.
    const auto temperature = SeriesOf(results, ResultsWindow::Temperature);
    const auto marks = temperature.at(QStringLiteral("Rescued steps"));
    const double stepTime = 2.0 / 100.0;  // increment 2 cm at 1 m/s
    QCOMPARE(marks[0].x(), rescued[0].Step * stepTime);
    double hottest = -1e300;
    for (const QPointF& p : temperature.at(QStringLiteral("Film temperature"))) hottest = std::max(hottest, p.y());
    for (const QPointF& m : marks) {
      QCOMPARE(m.y(), marks[0].y());
      QVERIFY2(m.y() > hottest, qPrintable(QStringLiteral("tick at %1, curve up to %2").arg(m.y()).arg(hottest)));
    }

    form_->OkButton()->click();
    QCOMPARE(form_->LastRun().Outcome, RunOutcome::Finished);
    QCOMPARE(closer.Seen().size(), 2);
    QVERIFY2(banner.contains(QStringLiteral("waits")) && !banner.contains(QStringLiteral("running")),
             qPrintable(banner));
  }

  // A default run: 501 points per zone in every along-web series, the zone
  // boundary at 50 m; the runner's file opened from the Tools page gives
  // the same series.
  void resultsWindowPlotsTheRun() {
    ModalCloser closer;
    form_->OkButton()->click();
    QCOMPARE(form_->LastRun().Outcome, RunOutcome::Finished);
    ResultsWindow* results = form_->Results();
    QVERIFY(results->isVisible());
    QCOMPARE(results->windowTitle(), QStringLiteral("Results"));

    std::map<int, std::map<QString, QList<QPointF>>> fromRun[2];
    for (auto axis : {ResultsWindow::Axis::Time, ResultsWindow::Axis::Position}) {
      results->SetAxis(axis);
      for (int c = 0; c < ResultsWindow::Profiles; ++c) {
        const auto chart = static_cast<ResultsWindow::Chart>(c);
        const auto series = SeriesOf(results, chart);
        QVERIFY(!series.empty());
        for (const auto& [name, points] : series) {
          if (name == QStringLiteral("Gas temperature")) {
            QCOMPARE(points.size(), 4);
            QCOMPARE(points[1].y(), 60.0);
            continue;
          }
          QCOMPARE(points.size(), 2 * 501);
        }
        QCategoryAxis* zones = ZoneAxis(results, chart);
        QVERIFY(zones);
        QCOMPARE(zones->categoriesLabels(), QStringList({"Zone 1", "Zone 2"}));
        const bool position = axis == ResultsWindow::Axis::Position;
        // 50 m at 1 m/s: the boundary is at 50 on both axes.
        QCOMPARE(zones->endValue(QStringLiteral("Zone 1")), 50.0);
        QCOMPARE(zones->endValue(QStringLiteral("Zone 2")), 100.0);
        fromRun[position][c] = series;
      }
    }
    // In position the second zone starts at 50 m.
    const auto film = fromRun[1][ResultsWindow::Temperature].at(QStringLiteral("Film temperature"));
    QCOMPARE(film[501].x(), 50.0);
    QCOMPARE(film[500].y(), film[501].y());

    // The profile at the slider: the entrance at first, the exit at the end.
    QSlider* slider = results->ProfileSlider();
    QCOMPARE(slider->maximum(), 1001);
    slider->setValue(slider->maximum());
    const auto profiles = SeriesOf(results, ResultsWindow::Profiles);
    QCOMPARE(profiles.at(QStringLiteral("Solvent 1")).size(), 11);
    QCOMPARE(profiles.at(QStringLiteral("Solvent 1 at entrance"))[0].y(), 0.321);
    const kelvane::ZoneResults& last = results->Data().Zones.back();
    for (int i = 0; i <= 10; ++i) {
      QCOMPARE(profiles.at(QStringLiteral("Solvent 1"))[i].y(), last.Solvent1.back().Conc[i]);
      QCOMPARE(profiles.at(QStringLiteral("Solvent 2"))[i].y(), last.Solvent2.back().Conc[i]);
    }

#ifdef KELVANE_RUNNER
    const QString runnerFile = QDir(folder_.Path()).filePath("runner.txt");
    QProcess runner;
    runner.start(QStringLiteral(KELVANE_RUNNER), {"--quiet", "-o", runnerFile});
    QVERIFY(runner.waitForFinished(120000));
    QCOMPARE(runner.exitCode(), 0);
    form_.reset();  // a fresh window: nothing plotted yet
    form_ = std::make_unique<TForm1>();
    form_->show();
    QString offered;
    form_->ChooseResultFile = [&](const QString& folder) {
      offered = folder;
      return runnerFile;
    };
    form_->OpenResultButton()->click();
    QCOMPARE(offered, form_->Directories()->Directory());
    results = form_->Results();
    QVERIFY(results->isVisible());
    for (auto axis : {ResultsWindow::Axis::Time, ResultsWindow::Axis::Position}) {
      results->SetAxis(axis);
      for (int c = 0; c < ResultsWindow::Profiles; ++c)
        QVERIFY(SeriesOf(results, static_cast<ResultsWindow::Chart>(c)) ==
                fromRun[axis == ResultsWindow::Axis::Position][c]);
    }
    QVERIFY2(closer.Seen().size() == 1, qPrintable(closer.Describe()));
#endif
  }

  // A file that is not a result file: the message, nothing plotted, no
  // window; one that was cut off keeps its complete zones.
  void nonResultFileIsRefused() {
    const QString data = QDir(dir_).filePath("data.txt");
    form_->ChooseSaveDataFile = [&](const QString&) { return data; };
    form_->SaveDataButton()->click();
    QVERIFY(QFile::exists(data));
    form_->ChooseResultFile = [&](const QString&) { return data; };
    ModalCloser closer;
    form_->OpenResultButton()->click();
    QCOMPARE(closer.Seen().size(), 1);
    QCOMPARE(closer.Seen()[0].Text,
             QStringLiteral("\"%1\" is not a result file: it does not begin with the input echo of a result "
                            "file.\nNothing was plotted.")
                 .arg(data));
    ResultsWindow* results = form_->Results();
    QVERIFY(!results->isVisible());
    QVERIFY(!results->HasData());
    for (int c = 0; c < ResultsWindow::ChartCount; ++c)
      QVERIFY(results->ChartAt(static_cast<ResultsWindow::Chart>(c))->series().isEmpty());
  }

  // Every chart exports to PNG and SVG, the data to CSV, through the
  // window's buttons.
  void chartsAndDataExport() {
    ModalCloser closer;
    form_->OkButton()->click();
    ResultsWindow* results = form_->Results();
    QVERIFY(results->HasData());
    QString suggested;
    QString target;
    results->ChooseSaveFile = [&](const QString&, const QString& proposal, const QString&) {
      suggested = proposal;
      return target;
    };
    for (int c = 0; c < ResultsWindow::ChartCount; ++c) {
      results->ShowChart(static_cast<ResultsWindow::Chart>(c));
      target = QDir(dir_).filePath(QStringLiteral("chart%1.png").arg(c));
      results->findChild<QPushButton*>("ExportPng")->click();
      QImage image(target);
      QVERIFY2(!image.isNull() && image.width() > 300, qPrintable(target));
      QVERIFY(suggested.endsWith(".png"));
      target = QDir(dir_).filePath(QStringLiteral("chart%1.svg").arg(c));
      results->findChild<QPushButton*>("ExportSvg")->click();
      const QByteArray svg = ReadAll(target);
      QVERIFY2(svg.contains("<svg") && svg.contains("</svg>"), qPrintable(target));
    }
    target = QDir(dir_).filePath("data.csv");
    results->findChild<QPushButton*>("ExportCsv")->click();
    const QList<QByteArray> lines = ReadAll(target).trimmed().split('\n');
    QCOMPARE(lines.size(), 1 + 2 * 501);
    QCOMPARE(lines[0].split(',').size(), 32);
    QCOMPARE(lines[1].split(',').size(), 32);
    QVERIFY(lines[1].startsWith("1,0,0,30,60,100,0.321,0.321,0.00577,0.321,"));
    QVERIFY(lines.back().startsWith("2,100,100,"));
    QVERIFY2(closer.Seen().size() == 1, qPrintable(closer.Describe()));  // the finish dialog only
  }

  // "Save Data File..." writes every field; "Input Data File" reads every
  // enabled field back.  A text that a data file cannot hold is refused and
  // nothing is written.
  void saveDataFileRoundTrips() {
    std::map<std::string, QString> texts;
    for (const FieldSpec& f : FieldTable()) {
      if (!f.Enabled || f.Component == "Edit250") continue;
      texts[f.Component] = QStringLiteral("%1.5e-1").arg(f.DataLine);
      form_->Edit(f.Component)->setText(texts[f.Component]);
    }
    const QString path = QDir(dir_).filePath("saved.txt");
    QString offered;
    form_->ChooseSaveDataFile = [&](const QString& folder) {
      offered = folder;
      return path;
    };
    ModalCloser closer;
    form_->SaveDataButton()->click();
    QCOMPARE(offered, dir_);
    QVERIFY2(closer.Seen().isEmpty(), qPrintable(closer.Describe()));
    QCOMPARE(ReadAll(path).count("\r\n"), kelvane::DataFileLineCount);

    TForm1 fresh;
    fresh.ChooseDataFile = [&](const QString&) { return path; };
    fresh.InputDataButton()->click();
    QVERIFY2(closer.Seen().isEmpty(), qPrintable(closer.Describe()));
    for (const FieldSpec& f : FieldTable()) {
      const QString expected =
          texts.count(f.Component) ? texts[f.Component] : QString::fromStdString(f.DefaultText);
      QCOMPARE(fresh.Edit(f.Component)->text(), expected);
    }

    form_->Edit("Edit31")->setText("12 0");
    const QString refused = QDir(dir_).filePath("refused.txt");
    form_->ChooseSaveDataFile = [&](const QString&) { return refused; };
    form_->SaveDataButton()->click();
    QCOMPARE(closer.Seen().size(), 1);
    QVERIFY2(closer.Seen()[0].Text.startsWith(QStringLiteral("The text of \"Zone 3: ")), qPrintable(closer.Describe()));
    QVERIFY(closer.Seen()[0].Text.contains(QStringLiteral("(Edit31)")));
    QVERIFY(!QFile::exists(refused));
  }

  // Closing the window during a run asks first; Yes stops the run and
  // closes the window once it has stopped.
  void closingDuringRunAsks() {
    SetLongRun(*form_);
    bool asked = false;
    AtZone(2, [&] {
      asked = true;
      form_->close();  // the question is answered Yes while the march waits
    });
    ModalCloser closer;
    form_->OkButton()->click();
    QVERIFY(asked);
    QCOMPARE(closer.Seen().size(), 2);
    QCOMPARE(closer.Seen()[0].Kind, QStringLiteral("question"));
    QCOMPARE(closer.Seen()[1].Text, QStringLiteral("The calculation was cancelled."));
    QCOMPARE(form_->LastRun().Outcome, RunOutcome::Cancelled);
    QCOMPARE(form_->LastRun().ZonesWritten, 1);
    QTRY_VERIFY(!form_->isVisible());
  }

 private:
  // Runs `action` on the window's thread once, the first time the march asks
  // whether to stop in zone `zone` or later; the march waits for it.  Before
  // that, the window is given up to 20 s to show the zone in the progress
  // dialog (the dialog's timer keeps running while the march waits).
  void AtZone(int zone, std::function<void()> action) {
    auto done = std::make_shared<bool>(false);
    form_->Worker()->AtCancelPoll = [this, zone, action, done](int z) {
      if (*done || z < zone) return;
      *done = true;
      const QString shown = QStringLiteral("Zone %1 of ").arg(z);
      for (int i = 0; i < 1000; ++i) {
        bool up = false;
        QMetaObject::invokeMethod(
            form_.get(),
            [&] { up = form_->ProgressDialog() && form_->ProgressDialog()->labelText().startsWith(shown); },
            Qt::BlockingQueuedConnection);
        if (up) break;
        QThread::msleep(20);
      }
      QMetaObject::invokeMethod(form_.get(), action, Qt::BlockingQueuedConnection);
    };
  }

  QString dir_;
  WindowFolder folder_;
  std::unique_ptr<TForm1> form_;
};

QTEST_MAIN(ToolsTest)
#include "ToolsTest.moc"
