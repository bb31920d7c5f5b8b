// "Fastest line speed": the dialog's answer is the study library's search
// on the same inputs, run by run; an impossible target is said to be one;
// Cancel stops the search in the middle of a round.

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QSemaphore>
#include <QTableWidget>
#include <QTest>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QScatterSeries>
#include <atomic>

#include "ModalCloser.h"
#include "fields/FieldTable.h"
#include "ui/SearchRows.h"
#include "ui/FastestSpeedDialog.h"

using namespace kelvane;
using kelvane::ui::FastestSpeedDialog;
using kelvane::ui::SummaryColumnOf;
using kelvane::ui::test::ModalCloser;

namespace {

// Two 5 m zones: a run takes a few tens of milliseconds.
FieldTextMap ShortDryer() {
  FieldTextMap f;
  f.SetText(ZoneComponent(1, 2), "5");
  f.SetText(ZoneComponent(2, 2), "5");
  return f;
}

template <class T>
T* Child(QObject& parent, const char* name) {
  T* w = parent.findChild<T*>(QString::fromLatin1(name));
  if (!w) qFatal("no child %s", name);
  return w;
}

QString Label(QObject& d, const char* name) { return Child<QLabel>(d, name)->text(); }

int Points(FastestSpeedDialog& d, const QString& series) {
  for (QAbstractSeries* s : Child<QChartView>(d, "EvaluationChart")->chart()->series())
    if (s->name() == series) return static_cast<QScatterSeries*>(s)->count();
  return 0;
}

}  // namespace

class FastestSpeedTest : public QObject {
  Q_OBJECT

 private slots:
  void searchGivesTheLibrarysSpeedAndLoadsIt() {
    FieldTextMap inputs = ShortDryer();
    FastestSpeedDialog dialog(inputs, true);
    dialog.show();
    Child<QLineEdit>(dialog, "MaxResidual")->setText("10");
    Child<QLineEdit>(dialog, "LowerSpeed")->setText("0.1");
    Child<QLineEdit>(dialog, "UpperSpeed")->setText("0.5");
    QPushButton* search = Child<QPushButton>(dialog, "Search");
    search->click();
    QVERIFY(!search->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(search->isEnabled(), 120000);

    // The same search made directly.
    StudyDefinition base;
    base.Base = ShortDryer();
    BoundarySearch s;
    s.Field = ParseVaried("WebSpeed=0");
    s.Lower = "0.1";
    s.Upper = "0.5";
    s.Goal.MaxResidual = 10;
    StudyOptions options;
    options.Robust = true;
    StudyControl control;
    const BoundaryResult expected = SearchBoundary(base, s, options, control);
    QCOMPARE(expected.End, SearchEnd::Boundary);

    QCOMPARE(Label(dialog, "SpeedAnswer"),
             QStringLiteral("Fastest line speed: %1 m/s").arg(QString::fromStdString(expected.Best)));
    QCOMPARE(Label(dialog, "SpeedDetail"), QString::fromStdString(BoundaryAnswer(s, expected)));
    QTableWidget* table = Child<QTableWidget>(dialog, "Evaluations");
    QCOMPARE(table->rowCount(), static_cast<int>(expected.Evaluations.size()));
    int met = 0;
    for (int i = 0; i < table->rowCount(); ++i) {
      const RowResult& r = expected.Evaluations[static_cast<std::size_t>(i)];
      QCOMPARE(table->item(i, 1)->text(), QString::fromStdString(r.Row.Values[0]));
      const bool meets = MeetsTargets(r, s.Goal);
      met += meets;
      QCOMPARE(table->item(i, 2)->text() == QStringLiteral("met"), meets);
    }
    // Every run a point, on the side of the target it fell.
    QCOMPARE(Points(dialog, "meets targets"), met);
    QCOMPARE(Points(dialog, "misses targets"), table->rowCount() - met);
    QStringList names;
    for (QAbstractSeries* x : Child<QChartView>(dialog, "EvaluationChart")->chart()->series()) names << x->name();
    QVERIFY2(names.contains(QStringLiteral("target 10 %")), qPrintable(names.join('|')));

    Child<QPushButton>(dialog, "LoadSpeed")->click();
    QCOMPARE(inputs.Text("Edit5"), expected.Best);

    // A target no speed in the bounds meets: said so, and nothing to load.
    Child<QLineEdit>(dialog, "MaxResidual")->setText("1");
    search->click();
    QTRY_VERIFY_WITH_TIMEOUT(search->isEnabled(), 120000);
    QCOMPARE(dialog.Result().End, SearchEnd::NoneFeasible);
    QCOMPARE(Label(dialog, "SpeedAnswer"), QStringLiteral("No setting in the bounds meets the targets"));
    QVERIFY(Label(dialog, "SpeedDetail").startsWith(QStringLiteral("no setting in the bounds meets the targets (at "
                                                                   "WebSpeed=0.1: residual ")));
    QVERIFY(!Child<QPushButton>(dialog, "LoadSpeed")->isEnabled());
    QCOMPARE(Points(dialog, "misses targets"), 2);
  }

  // A run that fails is no answer: its row says "failed" with the run's
  // message, never "missed", shows none of the stopped march's figures, and
  // its point stands apart along the top of the chart.  The seed's march
  // fails on 10 layers; the dialog's robust box is its own, on by default.
  // Over the dialog's default bounds (0.1 to 5 m/s) the runs crowd the low
  // speeds: the chart spreads them over its width, and the table shows
  // every caption whole and every column without scrolling sideways.
  void tableAndChartAreReadable() {
    FieldTextMap inputs = ShortDryer();
    FastestSpeedDialog dialog(inputs, true);
    dialog.show();
    Child<QLineEdit>(dialog, "MaxResidual")->setText("10");
    QPushButton* search = Child<QPushButton>(dialog, "Search");
    search->click();
    QTRY_VERIFY_WITH_TIMEOUT(search->isEnabled(), 120000);
    QApplication::processEvents();

    QChart* chart = Child<QChartView>(dialog, "EvaluationChart")->chart();
    const QRectF plot = chart->plotArea();
    int points = 0, crowded = 0;
    for (QAbstractSeries* s : chart->series())
      if (auto* scatter = qobject_cast<QScatterSeries*>(s))
        for (const QPointF& p : scatter->points()) {
          ++points;
          crowded += chart->mapToPosition(p, scatter).x() < plot.left() + plot.width() / 8;
        }
    QVERIFY(points >= 8);
    QVERIFY2(crowded * 2 <= points, qPrintable(QStringLiteral("%1 of %2 runs in the first eighth").arg(crowded).arg(points)));

    QTableWidget* table = Child<QTableWidget>(dialog, "Evaluations");
    QCOMPARE(table->horizontalScrollBar()->maximum(), 0);
    for (int c = 0; c < table->columnCount(); ++c) {
      const QString caption = table->horizontalHeaderItem(c)->text();
      const QRect needed = table->horizontalHeader()->fontMetrics().boundingRect(
          QRect(0, 0, table->columnWidth(c) - 4, 1000), Qt::AlignCenter | Qt::TextWordWrap, caption);
      QVERIFY2(needed.width() <= table->columnWidth(c) && needed.height() <= table->horizontalHeader()->height(),
               qPrintable(caption));
    }
  }

  void failedRunsAreNotMisses() {
    FieldTextMap inputs = ShortDryer();
    inputs.SetText("Edit20", "10");
    FastestSpeedDialog dialog(inputs, true);
    dialog.show();
    QCheckBox* robust = Child<QCheckBox>(dialog, "SearchRobust");
    QVERIFY(robust->isChecked());
    robust->setChecked(false);
    Child<QLineEdit>(dialog, "MaxResidual")->setText("10");
    Child<QLineEdit>(dialog, "UpperSpeed")->setText("0.5");
    QPushButton* search = Child<QPushButton>(dialog, "Search");
    search->click();
    QTRY_VERIFY_WITH_TIMEOUT(search->isEnabled(), 120000);
    QTableWidget* table = Child<QTableWidget>(dialog, "Evaluations");
    int failed = 0, missed = 0;
    for (const RowResult& r : dialog.Result().Evaluations) {
      const int i = static_cast<int>(r.Row.Number) - 1;
      if (r.Outcome == RowOutcome::Finished) {
        Targets goal;
        goal.MaxResidual = 10;
        missed += !MeetsTargets(r, goal);
        continue;
      }
      if (r.Outcome != RowOutcome::Failed) continue;
      ++failed;
      QCOMPARE(table->item(i, 2)->text(), QStringLiteral("failed"));
      QCOMPARE(table->item(i, 2)->toolTip(), QString::fromStdString(r.Message));
      for (int c = 3; c <= 5; ++c) QVERIFY2(table->item(i, c)->text().isEmpty(), qPrintable(table->item(i, c)->text()));
    }
    QVERIFY(failed > 0);
    QCOMPARE(Points(dialog, "misses targets"), missed);
    QCOMPARE(Points(dialog, "failed (at the top)"), failed);
  }

  // The Targets page ticks its residual target and film limit in the
  // dialog; a target the engineer then unticks is no target: its text,
  // even one that is no number, is not read, it neither decides a run nor
  // the answer, and its line is not drawn.  Gas at 100 degC heats the film
  // past the unticked 90 degC at every speed the residual target allows.
  void anUntickedTargetIsNoTarget() {
    FieldTextMap inputs = ShortDryer();
    inputs.SetText(ZoneComponent(1, 1), "100.0");
    inputs.SetText(ZoneComponent(2, 1), "100.0");
    FastestSpeedDialog dialog(inputs, true);
    dialog.show();
    SummarySettings page;
    page.ResidualTarget = 10;
    page.MaxFilmTemperature = 90;
    dialog.UseTargets(page);
    QCheckBox* residual = Child<QCheckBox>(dialog, "ResidualTarget");
    QCheckBox* film = Child<QCheckBox>(dialog, "TemperatureTarget");
    QVERIFY(residual->isChecked() && film->isChecked());
    film->setChecked(false);
    Child<QLineEdit>(dialog, "UpperSpeed")->setText("2");
    QPushButton* search = Child<QPushButton>(dialog, "Search");
    {
      ModalCloser closer;
      search->click();
      QTRY_VERIFY_WITH_TIMEOUT(search->isEnabled(), 120000);
      QVERIFY2(closer.Seen().isEmpty(), qPrintable(closer.Describe()));
    }
    StudyDefinition base;
    base.Base = inputs;
    BoundarySearch s;
    s.Field = ParseVaried("WebSpeed=0");
    s.Lower = "0.1";
    s.Upper = "2";
    s.Goal.MaxResidual = 10;
    StudyOptions options;
    options.Robust = true;
    StudyControl control;
    const BoundaryResult expected = SearchBoundary(base, s, options, control);
    QCOMPARE(expected.End, SearchEnd::Boundary);
    QCOMPARE(dialog.Result().End, SearchEnd::Boundary);
    QCOMPARE(dialog.Result().Best, expected.Best);
    QTableWidget* table = Child<QTableWidget>(dialog, "Evaluations");
    int hot = 0;
    for (int i = 0; i < table->rowCount(); ++i) {
      const RowResult& r = dialog.Result().Evaluations[static_cast<std::size_t>(i)];
      const auto top = SummaryColumnOf(r, "max_film_temperature_c");
      if (!top || *top <= 90) continue;
      ++hot;
      QCOMPARE(table->item(i, 2)->text() == QStringLiteral("met"), MeetsTargets(r, s.Goal));
    }
    QVERIFY(hot > 0);
    for (QAbstractSeries* x : Child<QChartView>(dialog, "EvaluationChart")->chart()->series())
      QVERIFY2(!x->name().contains(QStringLiteral("90")), qPrintable(x->name()));

    // The other way round: the residual unticked, its text no number.
    film->setChecked(true);
    residual->setChecked(false);
    Child<QLineEdit>(dialog, "MaxResidual")->setText("ten");
    {
      ModalCloser closer;
      search->click();
      QTRY_VERIFY_WITH_TIMEOUT(search->isEnabled(), 120000);
      QVERIFY2(closer.Seen().isEmpty(), qPrintable(closer.Describe()));
    }
    QVERIFY(!dialog.Result().Evaluations.empty());
    for (const RowResult& r : dialog.Result().Evaluations) {
      const auto left = SummaryColumnOf(r, "final_residual_percent");
      const auto top = SummaryColumnOf(r, "max_film_temperature_c");
      if (r.Outcome != RowOutcome::Finished || !left || !top) continue;
      Targets film90;
      film90.MaxFilmTemperature = 90;
      QCOMPARE(MeetsTargets(r, film90), *top <= 90);
      QCOMPARE(Child<QTableWidget>(dialog, "Evaluations")->item(static_cast<int>(r.Row.Number) - 1, 2)->text() ==
                   QStringLiteral("met"),
               *top <= 90);
    }
  }

  // The search waits in its first run's report until Cancel is pressed:
  // the search ends there, with no speed.
  void cancelEndsTheSearchWithoutASpeed() {
    FieldTextMap inputs = ShortDryer();
    FastestSpeedDialog dialog(inputs, true);
    dialog.show();
    Child<QLineEdit>(dialog, "MaxResidual")->setText("10");
    Child<QLineEdit>(dialog, "UpperSpeed")->setText("0.5");
    QSemaphore pressed;
    std::atomic<int> reports{0};
    dialog.SetEvaluationHook([&](const RowResult&) {
      if (reports++ == 0) pressed.acquire();
    });
    QPushButton* search = Child<QPushButton>(dialog, "Search");
    search->click();
    QTableWidget* table = Child<QTableWidget>(dialog, "Evaluations");
    QTRY_VERIFY_WITH_TIMEOUT(table->rowCount() >= 1, 60000);
    QPushButton* cancel = Child<QPushButton>(dialog, "CancelSearch");
    QVERIFY(cancel->isEnabled());
    cancel->click();
    pressed.release();
    QTRY_VERIFY_WITH_TIMEOUT(search->isEnabled(), 60000);
    QCOMPARE(dialog.Result().End, SearchEnd::Cancelled);
    QVERIFY(dialog.Result().Evaluations.size() <= 4);  // the bounds, and a round that never started
    QCOMPARE(Label(dialog, "SpeedAnswer"), QStringLiteral("Cancelled: no speed found"));
    QVERIFY(!Child<QPushButton>(dialog, "LoadSpeed")->isEnabled());
    QCOMPARE(inputs.Text("Edit5"), std::string("1.0"));
  }
};

QTEST_MAIN(FastestSpeedTest)
#include "FastestSpeedTest.moc"
