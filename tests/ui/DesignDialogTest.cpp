// "Design the dryer" from the Tools page: a small design finishes in the
// background and shows the library's answer in its words, its bars and its
// curves; "Load this schedule" puts it into the zone fields and runs
// nothing; Cancel stops the design; an input that cannot be read is named
// and starts nothing.

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QtCharts/QBarSeries>
#include <QtCharts/QBarSet>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>

#include <memory>

#include "ModalCloser.h"
#include "WindowFolder.h"
#include "fields/FieldTable.h"
#include "ui/DesignDialog.h"
#include "ui/DirectoryChooser.h"
#include "ui/Kelvane_Main.h"

using namespace kelvane;
using kelvane::ui::DesignDialog;
using kelvane::ui::TForm1;
using kelvane::ui::test::ModalCloser;

namespace {

template <class T>
T* Child(QObject& parent, const char* name) {
  T* w = parent.findChild<T*>(QString::fromLatin1(name));
  if (!w) qFatal("no child %s", name);
  return w;
}

void Type(QObject& d, const char* name, const char* text) { Child<QLineEdit>(d, name)->setText(QString::fromLatin1(text)); }

QStringList SeriesNames(QChartView* view) {
  QStringList names;
  for (QAbstractSeries* s : view->chart()->series()) names << s->name();
  return names;
}

}  // namespace

class DesignDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    form_ = std::make_unique<TForm1>();
    QVERIFY(folder_.OpenIn(*form_));
    // Two 5 m zones: a run takes a few tens of milliseconds.
    form_->Edit(ZoneComponent(1, 2))->setText("5");
    form_->Edit(ZoneComponent(2, 2))->setText("5");
    form_->show();
  }
  void cleanup() {
    form_.reset();
    folder_.Close();
  }

  // The film kept at or below 75 degC: the design, in the background,
  // answers as the library does; its bars stand over the current gas; the
  // film curve comes with the bubble point; "Load this schedule" writes the
  // gas temperatures and the speed into the fields and starts no run.
  void aDesignFinishesAndLoadsIntoTheZoneFields() {
    form_->DesignButton()->click();
    auto* dialog = form_->findChild<DesignDialog*>();
    QVERIFY(dialog && dialog->isVisible());
    QVERIFY(Child<QCheckBox>(*dialog, "DesignRobust")->isChecked());
    Type(*dialog, "MaxResidual", "8");
    Child<QCheckBox>(*dialog, "TemperatureTarget")->setChecked(true);
    Type(*dialog, "MaxFilmTemperature", "75");
    Type(*dialog, "TemperatureSpan", "100");
    Type(*dialog, "HighestGas", "160");
    Type(*dialog, "UpperSpeed", "2");
    Type(*dialog, "RunsPerStart", "15");
    Type(*dialog, "WebWidth", "1.2");
    Type(*dialog, "Slowest", "90");
    ModalCloser closer;
    QPushButton* start = Child<QPushButton>(*dialog, "Design");
    start->click();
    QVERIFY(dialog->Running());
    QVERIFY(!start->isEnabled());
    QVERIFY(Child<QPushButton>(*dialog, "CancelDesign")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), 600000);

    const DesignResult& r = dialog->Result();
    const DesignProblem& p = dialog->Problem();
    QVERIFY2(r.Found, r.Stop.c_str());
    QCOMPARE(p.Fields.size(), std::size_t(2));
    QCOMPARE(p.Goal.MaxFilmTemperature, std::optional<double>(75));
    QCOMPARE(p.Fields[0].Upper, 160.0);
    QCOMPARE(p.MaxEvaluations, 15);
    QCOMPARE(p.WebWidth, std::optional<double>(1.2));
    QCOMPARE(p.Slowest, 0.9);
    QVERIFY2(r.WindowHolds, DesignReport(p, r).c_str());
    QCOMPARE(Child<QLabel>(*dialog, "DesignAnswer")->text(), QString::fromStdString(DesignHeadline(r)));
    const QString report = Child<QPlainTextEdit>(*dialog, "DesignReport")->toPlainText();
    QVERIFY2(report.startsWith(QStringLiteral("Design: WebSpeed=")) && report.contains(QStringLiteral("Binding: ")) &&
                 report.contains(QStringLiteral("Local check: ")) && report.contains(QStringLiteral("kJ/kg evaporated")) &&
                 report.contains(QStringLiteral(" kW")) &&
                 report.contains(QStringLiteral("Operating window: must hold down to 90 % of the speed")),
             qPrintable(report));
    QVERIFY2(!report.contains(QStringLiteral("degC")), qPrintable(report));
    QCOMPARE(Child<QTableWidget>(*dialog, "Evaluations")->rowCount(), static_cast<int>(r.Evaluations.size()));

    // The bars: the current gas and the design's, zone by zone.
    auto* schedule = Child<QChartView>(*dialog, "ScheduleChart");
    QCOMPARE(schedule->chart()->series().size(), 1);
    auto* bars = qobject_cast<QBarSeries*>(schedule->chart()->series().front());
    QVERIFY(bars && bars->count() == 2);
    for (int zone = 0; zone < 2; ++zone) {
      QCOMPARE(bars->barSets()[0]->at(zone), 60.0);
      QCOMPARE(bars->barSets()[1]->at(zone), std::stod(r.Best[static_cast<std::size_t>(zone)]));
    }
    // The film along the dryer at the design, under its limit, with the
    // bubble point at the base film.
    QVERIFY(!dialog->Trace().Zones.empty());
    QCOMPARE(dialog->Trace().Params.WebSpeed, std::stod(r.Speed));
    const QStringList curves = SeriesNames(Child<QChartView>(*dialog, "FilmTemperatureChart"));
    QVERIFY2(curves.contains("film") && curves.contains("bubble point") && curves.contains(QStringLiteral("limit 75 ℃")),
             qPrintable(curves.join('|')));

    QPushButton* load = Child<QPushButton>(*dialog, "LoadSchedule");
    QVERIFY(load->isEnabled());
    const QString result = QDir(form_->Directories()->Directory()).filePath(QStringLiteral("result.txt"));
    load->click();
    QCOMPARE(form_->Edit(ZoneComponent(1, 1))->text(), QString::fromStdString(r.Best[0]));
    QCOMPARE(form_->Edit(ZoneComponent(2, 1))->text(), QString::fromStdString(r.Best[1]));
    QCOMPARE(form_->Edit("Edit5")->text(), QString::fromStdString(r.Speed));
    QCOMPARE(form_->Edit(ZoneComponent(1, 2))->text(), QStringLiteral("5"));
    QVERIFY(!form_->RunInProgress());
    QVERIFY(!QFile::exists(result));
    QVERIFY2(closer.Seen().isEmpty(), qPrintable(closer.Describe()));
  }

  // The Targets page ticks its residual target and film limit in the
  // dialog; unticked, each is no target of the design, whatever its text
  // (here none is a number), and the film chart draws no limit.  The
  // design's table puts its figures right-aligned, the run's outcome last,
  // with no column pushed out of sight.
  void anUntickedTargetIsNoTarget() {
    SummarySettings page;
    page.ResidualTarget = 7;
    page.MaxFilmTemperature = 180;
    form_->DesignButton()->click();
    auto* dialog = form_->findChild<DesignDialog*>();
    QVERIFY(dialog);
    dialog->UseTargets(page);
    auto* residual = Child<QCheckBox>(*dialog, "ResidualTarget");
    auto* film = Child<QCheckBox>(*dialog, "TemperatureTarget");
    QVERIFY(residual->isChecked() && film->isChecked());
    residual->setChecked(false);
    film->setChecked(false);
    Type(*dialog, "MaxResidual", "seven");
    Type(*dialog, "MaxFilmTemperature", "hot");
    Child<QCheckBox>(*dialog, "NoBoiling")->setChecked(true);
    Type(*dialog, "RunsPerStart", "6");
    Type(*dialog, "UpperSpeed", "2");
    QPushButton* start = Child<QPushButton>(*dialog, "Design");
    ModalCloser closer;
    start->click();
    QVERIFY2(closer.Seen().isEmpty(), qPrintable(closer.Describe()));
    QVERIFY(dialog->Running());
    const Targets& goal = dialog->Problem().Goal;
    QVERIFY(!goal.MaxResidual);
    QVERIFY(!goal.MaxFilmTemperature);
    QVERIFY(goal.NoBoiling);
    QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), 600000);
    QVERIFY2(closer.Seen().isEmpty(), qPrintable(closer.Describe()));
    for (const QString& name : SeriesNames(Child<QChartView>(*dialog, "FilmTemperatureChart")))
      QVERIFY2(!name.startsWith(QStringLiteral("limit")), qPrintable(name));

    QApplication::processEvents();
    auto* table = Child<QTableWidget>(*dialog, "Evaluations");
    QVERIFY(table->rowCount() > 2);
    QCOMPARE(table->horizontalScrollBar()->maximum(), 0);
    const int last = table->columnCount() - 1;
    QCOMPARE(table->horizontalHeaderItem(last)->text(), QStringLiteral("Outcome"));
    for (int c = 0; c < last; ++c) {
      if (table->horizontalHeaderItem(c)->text() == QStringLiteral("Targets")) continue;
      int decimals = -1;
      for (int r = 0; r < table->rowCount(); ++r) {
        const QTableWidgetItem* item = table->item(r, c);
        if (!item || item->text().isEmpty()) continue;
        QVERIFY2(item->textAlignment() & Qt::AlignRight, qPrintable(table->horizontalHeaderItem(c)->text()));
        const qsizetype dot = item->text().indexOf(QLatin1Char('.'));
        const int d = dot < 0 ? 0 : static_cast<int>(item->text().size() - dot - 1);
        QVERIFY2(decimals < 0 || d == decimals, qPrintable(table->horizontalHeaderItem(c)->text() + ": " + item->text()));
        decimals = d;
      }
    }
  }

  // An input that cannot be read is named in one box and starts nothing;
  // Cancel ends a design in the middle with nothing to load.
  void aRefusalStartsNothingAndCancelStops() {
    form_->DesignButton()->click();
    auto* dialog = form_->findChild<DesignDialog*>();
    QVERIFY(dialog);
    QPushButton* start = Child<QPushButton>(*dialog, "Design");
    Type(*dialog, "LowerSpeed", "fast");
    {
      ModalCloser closer;
      start->click();
      QCOMPARE(closer.Describe(), QStringLiteral("[message: Web speed from: \"fast\" is not a number.]"));
    }
    QVERIFY(!dialog->Running());
    QVERIFY(start->isEnabled());
    QCOMPARE(dialog->focusWidget(), Child<QLineEdit>(*dialog, "LowerSpeed"));

    Type(*dialog, "LowerSpeed", "0.05");
    start->click();
    QVERIFY(dialog->Running());
    Child<QPushButton>(*dialog, "CancelDesign")->click();
    QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), 120000);
    QVERIFY(dialog->Result().Cancelled);
    QCOMPARE(Child<QLabel>(*dialog, "DesignAnswer")->text(), QStringLiteral("Cancelled: no design"));
    QVERIFY(!Child<QPushButton>(*dialog, "LoadSchedule")->isEnabled());
    QCOMPARE(form_->Edit("Edit5")->text(), QStringLiteral("1.0"));
  }

 private:
  WindowFolder folder_;
  std::unique_ptr<TForm1> form_;
};

QTEST_MAIN(DesignDialogTest)
#include "DesignDialogTest.moc"
