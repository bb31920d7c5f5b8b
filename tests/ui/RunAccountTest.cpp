// The window's account of a run: the Summary page's tables figure by figure
// against the summary they show, the line of outcome in the unit of the
// Targets page, and a run that the robust solve finished or that stopped,
// told as kelvane-run tells it.

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "ModalCloser.h"
#include "WindowFolder.h"
#include "fields/FieldTable.h"
#include "ui/AirPanel.h"
#include "ui/F_Form.h"
#include "ui/Kelvane_Main.h"
#include "ui/ResultsWindow.h"
#include "ui/SummaryPage.h"
#include "ui/SummarySettingsPanel.h"

using namespace kelvane;
using kelvane::ui::ResultsWindow;
using kelvane::ui::TForm1;
using kelvane::ui::test::ModalCloser;

namespace {

using Figure = std::function<std::optional<double>(const ZoneSummary&)>;

// What each column must show, by its caption (lines joined by blanks),
// written from the summary's meaning, not from the page's code.
const std::map<QString, Figure>& Meanings() {
  static const std::map<QString, Figure> m = {
      {"Zone", [](const ZoneSummary& z) { return z.Zone; }},
      {"Gas ℃", [](const ZoneSummary& z) { return z.GasTemperature; }},
      {"Film at entry ℃", [](const ZoneSummary& z) { return z.EntryTemperature; }},
      {"Film at exit ℃", [](const ZoneSummary& z) { return z.ExitTemperature; }},
      {"Hottest film ℃", [](const ZoneSummary& z) { return z.MaxTemperature.Value; }},
      {"Film within 1 K of gas from m",
       [](const ZoneSummary& z) { return z.NearGas ? std::optional<double>(z.NearGas->Position) : std::nullopt; }},
      {"Solvent left %", [](const ZoneSummary& z) { return z.RemainingPercent; }},
      {"Left of solvent 1 g/m²", [](const ZoneSummary& z) { return z.Remaining1; }},
      {"Left of solvent 2 g/m²", [](const ZoneSummary& z) { return z.Remaining2; }},
      {"Solvent 1 evaporated g/m²", [](const ZoneSummary& z) { return z.Evaporated1; }},
      {"Solvent 2 evaporated g/m²", [](const ZoneSummary& z) { return z.Evaporated2; }},
      {"Coating at exit μm", [](const ZoneSummary& z) { return z.ExitThickness; }},
      {"Boiling margin mmHg", [](const ZoneSummary& z) { return z.MinBoilingMargin.Value; }},
      {"Heat from the gas kJ/m²", [](const ZoneSummary& z) { return z.Heat.FromGas; }},
      {"Latent (evaporation) kJ/m²", [](const ZoneSummary& z) { return z.Heat.Latent; }},
      {"Sensible (warming) kJ/m²", [](const ZoneSummary& z) { return z.Heat.Sensible; }},
      {"Balance residual kJ/m²", [](const ZoneSummary& z) { return z.Heat.Residual; }},
      {"Heat per kg evaporated kJ/kg", [](const ZoneSummary& z) { return z.Heat.SpecificEnergy; }},
      {"Heat over the web width kW", [](const ZoneSummary& z) { return z.Heat.Power; }},
      {"Solvent given off g/(s·m)", [](const ZoneSummary& z) { return z.Air.GivenOffPerWidth; }},
      {"Solvent given off kg/h", [](const ZoneSummary& z) { return z.Air.GivenOffKgPerHour; }},
      {"Exhaust needed m³/h", [](const ZoneSummary& z) { return z.Air.ExhaustNeeded; }},
      {"Exhaust of the LFL %", [](const ZoneSummary& z) { return z.Air.ExhaustLflPercent; }},
      {"Make-up air's heat kW", [](const ZoneSummary& z) { return z.Air.AirHeatKw; }},
      {"Zone's energy kJ/m²", [](const ZoneSummary& z) { return z.Air.EnergyPerArea; }},
  };
  return m;
}

// Half a unit of the text's last digit: the figure shown is the value
// rounded to the digits it shows.
double HalfUnit(const QString& text) {
  const qsizetype dot = text.indexOf(QLatin1Char('.'));
  return 0.5 * std::pow(10.0, dot < 0 ? 0.0 : -static_cast<double>(text.size() - dot - 1)) * (1 + 1e-9);
}

// A residual figure in the line of outcome: the number after `before`.
double NumberAfter(const QString& line, const QString& before) {
  const qsizetype at = line.indexOf(before);
  if (at < 0) return std::nan("");
  return line.mid(at + before.size()).section(QLatin1Char(' '), 0, 0).toDouble();
}

}  // namespace

class RunAccountTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    form_ = std::make_unique<TForm1>();
    form_->Options.DecimalSeparator = '.';
    QVERIFY(folder_.OpenIn(*form_));
  }
  void cleanup() {
    form_.reset();
    folder_.Close();
  }

  // Three zones that heat, boil past solvent 1 and cool, over a web 1.5 m
  // wide with an exhaust in each: every column of the zone, heat and air
  // tables shows, row by row, the figure of the summary its caption names,
  // to the digits it shows; and no two columns of a table could be
  // exchanged unseen (each differs from every other in some row).
  void summaryTablesShowTheirSummary() {
    form_->Edit(ZoneComponent(2, 1))->setText("150.0");
    for (int i = 1; i <= 6; ++i) form_->Edit(ZoneComponent(3, i))->setText(form_->Edit(ZoneComponent(2, i))->text());
    form_->Edit(ZoneComponent(3, 1))->setText("70.0");
    form_->Edit(ZoneComponent(3, 2))->setText("30.0");
    ResultsWindow* results = form_->Results();
    results->Targets()->Field(SummarySettingField::WebWidth)->setText("1.5");
    QVERIFY(results->Targets()->Apply());
    const char* flows[] = {"8000", "300", "500"};
    for (int zone = 1; zone <= 3; ++zone) results->Air()->ExhaustField(zone)->setText(flows[zone - 1]);
    QVERIFY(results->Air()->Apply());
    ModalCloser closer;
    form_->OkButton()->click();
    QCOMPARE(form_->LastRun().Outcome, RunOutcome::Finished);
    const RunSummary& s = results->Summary();
    QCOMPARE(s.Zones.size(), std::size_t(3));
    ui::SummaryPage* page = results->SummaryView();
    int checked = 0;
    for (QTableWidget* table : {page->ZoneTable(), page->HeatTable(), page->AirTable()}) {
      QCOMPARE(table->rowCount(), 3);
      std::vector<std::vector<std::optional<double>>> shown;
      for (int c = 0; c < table->columnCount(); ++c) {
        if (table->isColumnHidden(c)) continue;
        const QString caption = table->horizontalHeaderItem(c)->text().replace(QLatin1Char('\n'), QLatin1Char(' '));
        const auto meaning = Meanings().find(caption);
        QVERIFY2(meaning != Meanings().end(), qPrintable(table->objectName() + ": a column \"" + caption + "\""));
        shown.emplace_back();
        for (int row = 0; row < 3; ++row) {
          const QString text = table->item(row, c)->text();
          const std::optional<double> want = meaning->second(s.Zones[static_cast<std::size_t>(row)]);
          const QString where = QStringLiteral("%1, zone %2, \"%3\": shows %4, the summary has %5")
                                    .arg(table->objectName())
                                    .arg(row + 1)
                                    .arg(caption, text, want ? QString::number(*want, 'g', 10) : QStringLiteral("none"));
          shown.back().push_back(want);
          if (!want) {
            QVERIFY2(text == QStringLiteral("—"), qPrintable(where));
            continue;
          }
          bool number = false;
          const double value = text.toDouble(&number);
          QVERIFY2(number && std::fabs(value - *want) <= HalfUnit(text), qPrintable(where));
          ++checked;
        }
      }
      for (std::size_t a = 0; a < shown.size(); ++a)
        for (std::size_t b = a + 1; b < shown.size(); ++b) {
          bool differ = false;
          for (int row = 0; row < 3; ++row) {
            const auto& x = shown[a][static_cast<std::size_t>(row)];
            const auto& y = shown[b][static_cast<std::size_t>(row)];
            differ |= x.has_value() != y.has_value() || (x && std::fabs(*x - *y) > 0.06);
          }
          QVERIFY2(differ, qPrintable(QStringLiteral("%1: columns %2 and %3 agree in every zone")
                                          .arg(table->objectName()).arg(a).arg(b)));
        }
    }
    QVERIFY(checked >= 3 * 24);
  }

  // The line of outcome states the residual in the unit of the Targets
  // page and judges it there: 150 degC in zone 2 leaves 0.46 %, 0.17 g/m²
  // and about 10 300 ppm, so each target below is met or missed only in
  // its own unit (0.3 read as % would be missed, 5000 read as % met).
  void outcomeLineInTheTargetsUnit() {
    ModalCloser closer;
    form_->Edit(ZoneComponent(2, 1))->setText("150.0");
    form_->OkButton()->click();
    ui::SummarySettingsPanel* targets = form_->Results()->Targets();
    struct Case {
      const char* unit;    // as the Targets page's unit box offers it
      const char* target;
      bool met;
      const char* said;    // how the line begins
      const char* words;   // the residual's unit in the line
      const char* limit;   // the target as the line gives it
      double RunTotals::*value;
    };
    const Case cases[] = {
        {"%", "1", true, "Dry: ", " % of the solvent left", "target of 1 %", &RunTotals::ResidualPercent},
        {"g/m²", "0.3", true, "Dry: ", " g/m2 of solvent left", "target of 0.3 g/m2", &RunTotals::ResidualGrams},
        {"ppm", "5000", false, "Not dry: ", " ppm of solvent in the dry coating left", "target of 5000 ppm",
         &RunTotals::ResidualPpm},
        {"ppm", "20000", true, "Dry: ", " ppm of solvent in the dry coating left", "target of 20000 ppm",
         &RunTotals::ResidualPpm},
        {"g/m²", "0.1", false, "Not dry: ", " g/m2 of solvent left", "target of 0.1 g/m2", &RunTotals::ResidualGrams},
    };
    for (const Case& c : cases) {
      const QString name = QStringLiteral("%1 %2").arg(QString::fromLatin1(c.target), QString::fromUtf8(c.unit));
      targets->ResidualUnitBox()->setCurrentIndex(
          targets->ResidualUnitBox()->findText(QString::fromUtf8(c.unit), Qt::MatchContains));
      targets->Field(SummarySettingField::ResidualTarget)->setText(QString::fromLatin1(c.target));
      QVERIFY2(targets->Apply(), qPrintable(name));
      const RunSummary& s = form_->Results()->Summary();
      QVERIFY2(s.Run.TargetMet == std::optional<bool>(c.met), qPrintable(name));
      const QString line = form_->OutcomeLabel()->toolTip();
      QVERIFY2(line.startsWith(QString::fromLatin1(c.said)) && line.contains(QString::fromLatin1(c.words)) &&
                   line.contains(QString::fromLatin1(c.limit)),
               qPrintable(name + ": " + line));
      const double figure = NumberAfter(line, QString::fromLatin1(c.said));
      const double value = s.Run.*c.value;
      QVERIFY2(std::fabs(figure - value) <= HalfUnit(line.mid(QString::fromLatin1(c.said).size()).section(' ', 0, 0)) + 1e-9 * value,
               qPrintable(QStringLiteral("%1: %2 shown, %3 in the summary").arg(name).arg(figure).arg(value)));
    }
  }

  // The robust solve is the default: a zone-1 gas of 400 degC finishes,
  // and the finish dialog, the line of outcome and the Summary page say
  // where the plain search failed as kelvane-run does, counting only the
  // steps taken over while solvent still left the coating (not the
  // thousands in a coating already dry).  The seed's march, the box
  // unticked, stops; the Summary says so before any figure, with where
  // and why, and gives its figures as those at the stop.
  void takeoverAndStopToldFirst() {
    QVERIFY(form_->RobustBox()->isChecked());
    form_->Edit(ZoneComponent(1, 1))->setText("400.0");
    QString note;
    ModalCloser closer;
    closer.BeforeClose = [&](const ui::test::SeenBox& seen) {
      if (seen.Kind == QStringLiteral("finish")) note = form_->FinishForm()->Note()->text();
    };
    form_->OkButton()->click();
    QCOMPARE(form_->LastRun().Outcome, RunOutcome::Finished);
#ifdef KELVANE_RUNNER
    const QString runner = [&] {
      const QString command = QStringLiteral("cd '%1' && '%2' --quiet -o runner.txt --set 'OuterTemperature[1]=400' 2>&1")
                                  .arg(folder_.Path(), QStringLiteral(KELVANE_RUNNER));
      QString out;
      if (FILE* p = popen(command.toLocal8Bit().constData(), "r")) {
        char buffer[4096];
        while (std::fgets(buffer, sizeof buffer, p)) out += QString::fromUtf8(buffer);
        pclose(p);
      }
      for (const QString& said : out.split(QLatin1Char('\n')))
        if (said.startsWith(QStringLiteral("The plain surface search"))) return said;
      return out;
    }();
    QCOMPARE(note, runner);
#endif
    QVERIFY2(note.startsWith(QStringLiteral("The plain surface search failed in zone 1 at 8.14 m; the robust surface "
                                            "solve finished the run (19 steps taken over while solvent still left "
                                            "the coating; ")),
             qPrintable(note));
    const QString outcome = form_->OutcomeLabel()->toolTip();
    QVERIFY2(outcome.contains(QStringLiteral(" · the plain surface search failed in zone 1 at 8.14 m; the robust "
                                             "surface solve finished the run")),
             qPrintable(outcome));
    const QString summary = form_->Results()->SummaryView()->RunLine()->text();
    QVERIFY2(summary.startsWith(QStringLiteral("Finished")) && summary.contains(note), qPrintable(summary));
    // Over the charts: where it took over, no count of every step it solved.
    const QString source = form_->Results()->findChild<QLabel*>(QStringLiteral("SourceLabel"))->text();
    QVERIFY2(source.contains(QStringLiteral("the robust surface solve took over from zone 1 on")) &&
                 !source.contains(QString::number(form_->LastRescued().size())),
             qPrintable(source));

    // The seed's march stops 5.68 m into a zone 2 at 400 degC.
    form_->RobustBox()->setChecked(false);
    form_->Edit(ZoneComponent(1, 1))->setText("60.0");
    form_->Edit(ZoneComponent(2, 1))->setText("400.0");
    form_->OkButton()->click();
    QCOMPARE(form_->LastRun().Outcome, RunOutcome::EngineFailed);
    const QString stopped = form_->Results()->SummaryView()->RunLine()->text();
    QVERIFY2(stopped.startsWith(QStringLiteral("Stopped: the march failed in zone 2 after 5.68 m, its last complete "
                                               "step: Sorry, this condition does not cnoverge!")) &&
                 stopped.contains(QStringLiteral("Zone 2's gas at 400 ℃ is 289 K above solvent 1's boiling point")) &&
                 stopped.contains(QStringLiteral("\nAt the stop, ")) && !stopped.contains(QStringLiteral("at the exit")) &&
                 !stopped.contains(QStringLiteral("Finished")),
             qPrintable(stopped));
    QVERIFY2(form_->OutcomeLabel()->toolTip().startsWith(QStringLiteral("Stopped in zone 2 at 5.68 m with 0.004 % of "
                                                                      "the solvent left · Blister risk: the coating "
                                                                      "boils in zone 2 · ")),
             qPrintable(form_->OutcomeLabel()->toolTip()));
  }

 private:
  WindowFolder folder_;
  std::unique_ptr<TForm1> form_;
};

QTEST_MAIN(RunAccountTest)
#include "RunAccountTest.moc"
