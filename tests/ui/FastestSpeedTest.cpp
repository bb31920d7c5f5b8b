// "Fastest line speed": the dialog's answer is the study library's search
// on the same inputs, run by run; an impossible target is said to be one;
// Cancel stops the search in the middle of a round.

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSemaphore>
#include <QTableWidget>
#include <QTest>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QScatterSeries>
#include <atomic>

#include "fields/FieldTable.h"
#include "ui/FastestSpeedDialog.h"

using namespace kelvane;
using kelvane::ui::FastestSpeedDialog;

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
