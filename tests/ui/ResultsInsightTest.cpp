// The run summary in the window: the Summary page and its warnings that put
// the charts' cursor where they fired, the marks on the curves, the line of
// outcome in the main window, solvent remaining in g/m2 and on a log axis,
// the readout, the profile across the coating's height, comparison with
// other files, the banner over an earlier result, and where the Results
// window opens.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QSettings>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <memory>

#include "ModalCloser.h"
#include "WindowFolder.h"
#include "fields/FieldTable.h"
#include "ui/DesignDialog.h"
#include "ui/DirectoryChooser.h"
#include "ui/FastestSpeedDialog.h"
#include "ui/Kelvane_Main.h"
#include "ui/ResultsWindow.h"
#include "ui/SummaryPage.h"
#include "ui/SummarySettingsPanel.h"
#include "ui/WindowSettings.h"
#include "ui/WindowPlacement.h"

using kelvane::WarningKind;
using kelvane::ui::PlaceBeside;
using kelvane::ui::ResultsWindow;
using kelvane::ui::SummaryPage;
using kelvane::ui::SummarySettingsPanel;
using kelvane::ui::TForm1;
using kelvane::ui::test::ModalCloser;

namespace {

QXYSeries* Series(ResultsWindow* w, ResultsWindow::Chart chart, const QString& name) {
  for (QAbstractSeries* s : w->ChartAt(chart)->series())
    if (s->name() == name) return qobject_cast<QXYSeries*>(s);
  return nullptr;
}

}  // namespace

class ResultsInsightTest : public QObject {
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

  // 150 degC gas in zone 2: the Summary page names the caution, a click on
  // it puts the cursor at its time on the temperature chart, where the
  // warning is marked; the main window says so in one line.
  void summaryWarningsAndTheCursor() {
    ModalCloser closer;
    form_->Edit(kelvane::ZoneComponent(2, 1))->setText("150.0");
    form_->OkButton()->click();
    ResultsWindow* results = form_->Results();
    QVERIFY(results->isVisible());
    QCOMPARE(results->Pages()->tabText(0), QStringLiteral("Summary"));
    QCOMPARE(results->SummaryView()->ZoneTable()->rowCount(), 2);
    QCOMPARE(results->SummaryView()->ZoneTable()->item(1, 3)->text(), QStringLiteral("149.9"));
    const auto& warnings = results->Summary().Warnings;
    QCOMPARE(warnings.size(), size_t(1));
    QCOMPARE(warnings[0].Kind, WarningKind::AboveBoilingPoint);
    QListWidget* list = results->SummaryView()->WarningList();
    QVERIFY(list->item(0)->text().startsWith("Zone 2 at 4.50 m (54.5 s): caution"));
    QVERIFY(form_->OutcomeLabel()->text().contains("1 warning"));
    QVERIFY(form_->OutcomeLabel()->text().contains("href"));

    QVERIFY(std::isnan(results->CursorX()));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    QCOMPARE(results->Pages()->currentWidget(), static_cast<QWidget*>(results->ViewAt(ResultsWindow::Temperature)));
    QCOMPARE(results->CursorX(), warnings[0].At.Time);
    QXYSeries* cursor = Series(results, ResultsWindow::Temperature, "Cursor");
    QVERIFY(cursor && cursor->count() == 2 && cursor->at(0).x() == warnings[0].At.Time);
    QXYSeries* marks = Series(results, ResultsWindow::Temperature, "Warnings");
    QVERIFY(marks && marks->count() == 1);
    QVERIFY(std::fabs(marks->at(0).y() - warnings[0].Value) < 0.02);
    QVERIFY2(results->Readout()->text().startsWith("54.50 s (zone 2) · Film temperature: 110.6"),
             qPrintable(results->Readout()->text()));
    // In position the cursor follows the warning to 54.5 m.
    results->SetAxis(ResultsWindow::Axis::Position);
    QCOMPARE(results->CursorX(), 54.5);
  }

  // Solvent remaining in g/m2 ends at the summary's residual; on a log axis
  // no point is zero; the readout names the quantity and its unit; the
  // profile runs from the coating's surface down to the base film at 0.
  void remainingUnitsLogScaleReadoutAndHeight() {
    ModalCloser closer;
    form_->OkButton()->click();
    ResultsWindow* results = form_->Results();
    results->SetRemainingUnit(ResultsWindow::RemainingUnit::GramsPerSquareMetre);
    QXYSeries* grams = Series(results, ResultsWindow::Remaining, "Solvent remaining");
    QVERIFY(grams);
    QVERIFY(std::fabs(grams->points().back().y() - results->Summary().Run.ResidualGrams) < 0.01);
    results->SetLogScale(true);
    QAbstractAxis* y = results->ChartAt(ResultsWindow::Remaining)->axes(Qt::Vertical).front();
    QVERIFY(qobject_cast<QLogValueAxis*>(y));
    for (const QPointF& p : Series(results, ResultsWindow::Remaining, "Solvent remaining")->points()) QVERIFY(p.y() > 0);
    QVERIFY(results->ReadoutAt(ResultsWindow::Remaining, 100.0).endsWith("g/m²"));
    QVERIFY(results->ReadoutAt(ResultsWindow::Temperature, 25.0).contains("(zone 1) · Film temperature:"));

    results->ProfileSlider()->setValue(0);
    const QList<QPointF> profile = Series(results, ResultsWindow::Profiles, "Solvent 1")->points();
    QCOMPARE(profile.size(), 11);
    QCOMPARE(profile.back().x(), 0.0);                    // C10 sits on the base film
    QVERIFY(std::fabs(profile.front().x() - 57.7) < 1e-9);  // C0 is the surface of the 57.7 um wet coating
    for (int i = 1; i < 11; ++i) QVERIFY(profile[i].x() < profile[i - 1].x());
    // At the exit the height axis fits the dried coating, not the wet one.
    results->ProfileSlider()->setValue(results->ProfileSlider()->maximum());
    const double surface = Series(results, ResultsWindow::Profiles, "Solvent 1")->points().front().x();
    auto* height = qobject_cast<QValueAxis*>(results->ChartAt(ResultsWindow::Profiles)->axes(Qt::Horizontal).front());
    QVERIFY(height && surface < 30);
    QVERIFY2(height->max() >= surface && height->max() < 1.2 * surface + 1,
             qPrintable(QStringLiteral("axis to %1 for a %2 um coating").arg(height->max()).arg(surface)));
  }

  // Another result file overlaid, named by its file in the legend; a refused
  // run leaves the last result under a banner, the next run clears it.
  void compareAndEarlierResult() {
    ModalCloser closer;
    form_->Edit("Edit250")->setText("first.txt");
    form_->OkButton()->click();
    form_->Edit("Edit250")->setText("second.txt");
    form_->Edit(kelvane::ZoneComponent(2, 1))->setText("90.0");
    form_->OkButton()->click();
    ResultsWindow* results = form_->Results();
    QVERIFY(results->AddComparison(QDir(folder_.Path()).filePath("first.txt")));
    QCOMPARE(results->ComparisonCount(), 1);
    QVERIFY(Series(results, ResultsWindow::Temperature, "Film temperature — second.txt"));
    QVERIFY(Series(results, ResultsWindow::Temperature, "Film temperature — first.txt"));
    results->ClearComparisons();
    QVERIFY(Series(results, ResultsWindow::Temperature, "Film temperature"));

    QVERIFY(!results->ShowsEarlier());
    form_->Edit("Edit20")->setText("15");  // refused: no result
    form_->OkButton()->click();
    QVERIFY(results->ShowsEarlier());
    QVERIFY(results->windowTitle().contains("earlier"));
    QVERIFY(results->findChild<QLabel*>("EarlierLabel")->text().contains("refused"));
    form_->Edit("Edit20")->setText("20");
    form_->OkButton()->click();
    QVERIFY(!results->ShowsEarlier());
  }

  // At 900 px the Summary page of a two-zone run needs no sideways scroll:
  // every column of both tables is in view.
  void summaryFitsNineHundredPixels() {
    ModalCloser closer;
    form_->OkButton()->click();
    ResultsWindow* results = form_->Results();
    results->resize(900, 620);
    results->ShowSummary();
    QApplication::processEvents();
    SummaryPage* page = results->SummaryView();
    QVERIFY(!page->horizontalScrollBar()->isVisible());
    // Every page's tab in sight, the Air page's last among them.
    const QTabBar* bar = results->Pages()->tabBar();
    for (int i = 0; i < bar->count(); ++i)
      QVERIFY2(bar->rect().contains(bar->tabRect(i)), qPrintable(bar->tabText(i)));
    for (QTableWidget* t : {page->ZoneTable(), page->HeatTable()}) {
      QCOMPARE(t->rowCount(), 2);
      int width = 0;
      for (int c = 0; c < t->columnCount(); ++c)
        if (!t->isColumnHidden(c)) width += t->columnWidth(c);
      QVERIFY2(width <= t->viewport()->width(),
               qPrintable(QStringLiteral("%1: %2 px of columns in %3 px").arg(t->objectName()).arg(width).arg(t->viewport()->width())));
    }
  }

  // The line of outcome stands under OK and Close in the page's type, and
  // even a missed target's line, with a warning, is whole: it ends under
  // Close and reaches left under OK.
  void outcomeLineSitsUnderOkAndClose() {
    ModalCloser closer;
    form_->Edit(kelvane::ZoneComponent(2, 1))->setText("150.0");  // warnings
    form_->OkButton()->click();
    QVERIFY(form_->Results()->Targets()->Field(kelvane::SummarySettingField::ResidualTarget));
    form_->Results()->Targets()->Field(kelvane::SummarySettingField::ResidualTarget)->setText("0.01");
    QVERIFY(form_->Results()->Targets()->Apply());
    QLabel* line = form_->OutcomeLabel();
    const QString plain = line->toolTip();
    QVERIFY2(plain.startsWith("Not dry") && plain.contains("warning") && plain.endsWith("see Results"), qPrintable(plain));
    QVERIFY(line->isVisible());
    const QRect ok = form_->OkButton()->geometry(), close = form_->CloseButton()->geometry(), at = line->geometry();
    QCOMPARE(line->parentWidget(), form_->OkButton()->parentWidget());
    QVERIFY2(at.top() > ok.bottom() && at.top() > close.bottom(),
             qPrintable(QStringLiteral("line at %1, buttons end at %2 and %3").arg(at.top()).arg(ok.bottom()).arg(close.bottom())));
    QVERIFY(at.bottom() < line->parentWidget()->height());
    QVERIFY2(line->font().pixelSize() >= 13, qPrintable(QString::number(line->font().pixelSize())));
    QVERIFY(line->alignment() & Qt::AlignRight);
    const int width = QFontMetrics(line->font()).horizontalAdvance(plain);
    QVERIFY2(width <= line->contentsRect().width(), qPrintable(QStringLiteral("%1 px in %2").arg(width).arg(line->contentsRect().width())));
    QVERIFY(at.right() >= close.left() && at.right() <= close.right() + 2);
    QVERIFY(at.right() - width <= ok.right());
  }

  // The targets beside the Summary page decide the main window's line of
  // outcome at once, a text that cannot be read is named and changes
  // nothing, and the settings come back in the next session.
  void targetsReachTheOutcomeAndComeBack() {
    ModalCloser closer;
    form_->OkButton()->click();
    SummarySettingsPanel* targets = form_->Results()->Targets();
    QLineEdit* residual = targets->Field(kelvane::SummarySettingField::ResidualTarget);
    residual->setText("1");
    QVERIFY(targets->Apply());
    QVERIFY2(form_->OutcomeLabel()->text().startsWith("Not dry"), qPrintable(form_->OutcomeLabel()->text()));
    QCOMPARE(form_->Results()->Summary().Run.TargetMet, std::optional<bool>(false));
    residual->setText("10");
    QVERIFY(targets->Apply());
    QVERIFY2(!form_->OutcomeLabel()->text().contains("Not dry"), qPrintable(form_->OutcomeLabel()->text()));
    QCOMPARE(form_->Results()->Summary().Run.TargetMet, std::optional<bool>(true));
    targets->Field(kelvane::SummarySettingField::WebWidth)->setText("-2");
    QVERIFY(!targets->Apply());
    QVERIFY2(targets->Error().startsWith("Web width"), qPrintable(targets->Error()));
    QVERIFY(!targets->Settings().WebWidth);
    QCOMPARE(targets->Settings().ResidualTarget, std::optional<double>(10));
    targets->Field(kelvane::SummarySettingField::WebWidth)->setText("1.5");
    QVERIFY(targets->Apply());

    QSettings settings(QDir(folder_.Path()).filePath(QStringLiteral("kelvane.ini")), QSettings::IniFormat);
    kelvane::ui::SaveWindowSettings(*form_, settings);
    TForm1 next;
    kelvane::ui::RestoreWindowSettings(next, settings);
    const kelvane::SummarySettings& back = next.Results()->Targets()->Settings();
    QCOMPARE(back.ResidualTarget, std::optional<double>(10));
    QCOMPARE(back.WebWidth, std::optional<double>(1.5));
  }

  // One set of targets: the Targets page's residual target and film limit
  // open the Fastest line speed and Design dialogs with their figures and
  // unit, and are drawn across the solvent chart in either of its units.
  // A run whose coating boils says so before how dry it left.
  void oneSetOfTargetsAndTheWorstFirst() {
    ModalCloser closer;
    form_->RobustBox()->setChecked(true);
    form_->Edit(kelvane::ZoneComponent(2, 1))->setText("250.0");  // the coating boils in zone 2
    form_->OkButton()->click();
    SummarySettingsPanel* targets = form_->Results()->Targets();
    targets->Field(kelvane::SummarySettingField::ResidualTarget)->setText("7");
    targets->Field(kelvane::SummarySettingField::MaxFilmTemperature)->setText("180");
    QVERIFY(targets->Apply());
    const QString line = form_->OutcomeLabel()->toolTip();
    QVERIFY2(line.startsWith("Blister risk: the coating boils in zone 2") && line.contains(" · Dry: "), qPrintable(line));
    QVERIFY2(line.indexOf("Film over 180 °C in zone 2") < line.indexOf("Dry: "), qPrintable(line));
    // Too long for the page, it is shortened after the worst, never before.
    const QString shown = form_->OutcomeLabel()->text();
    QVERIFY2(shown.startsWith("Blister risk: the coating boils in zone 2") && shown.contains("see Results"),
             qPrintable(shown));

    // The film-temperature chart names both solvents' boiling points, the
    // bubble point and the rescued steps: every name whole in its legend.
    QApplication::processEvents();
    QLegend* legend = form_->Results()->ChartAt(ResultsWindow::Temperature)->legend();
    const QFontMetrics metrics(legend->font());
    int row = 0, widest = 0;
    for (QLegendMarker* marker : legend->markers()) {
      const int w = metrics.horizontalAdvance(marker->label()) + 2 * metrics.height();
      row += w, widest = std::max(widest, w);
    }
    if (const QByteArray shots = qgetenv("KELVANE_TARGETS_SCREENSHOTS"); !shots.isEmpty()) {
      form_->Results()->ShowChart(ResultsWindow::Temperature);
      form_->Results()->grab().save(QString::fromLocal8Bit(shots) + "/results-legend.png");
    }
    QVERIFY2(legend->markers().size() >= 6, qPrintable(QString::number(legend->markers().size())));
    QVERIFY2((legend->alignment() == Qt::AlignBottom ? row : widest) <= legend->geometry().width(),
             qPrintable(QStringLiteral("%1 px of names in a legend of %2 px").arg(row).arg(legend->geometry().width())));

    // The target across the solvent chart: 7 % of the solvent at the
    // entrance, in % and in g/m².
    QXYSeries* target = Series(form_->Results(), ResultsWindow::Remaining, "Residual target");
    QVERIFY(target && target->count() == 2);
    QCOMPARE(target->at(0).y(), 7.0);
    const QXYSeries* remaining = Series(form_->Results(), ResultsWindow::Remaining, "Solvent remaining");
    QCOMPARE(target->at(1).x(), remaining->at(remaining->count() - 1).x());
    if (const QByteArray shots = qgetenv("KELVANE_TARGETS_SCREENSHOTS"); !shots.isEmpty()) {
      form_->Results()->ShowChart(ResultsWindow::Remaining);
      form_->Results()->grab().save(QString::fromLocal8Bit(shots) + "/results-target.png");
      form_->grab().save(QString::fromLocal8Bit(shots) + "/outcome-worst-first.png");
    }
    form_->Results()->SetRemainingUnit(ResultsWindow::RemainingUnit::GramsPerSquareMetre);
    target = Series(form_->Results(), ResultsWindow::Remaining, "Residual target");
    remaining = Series(form_->Results(), ResultsWindow::Remaining, "Solvent remaining");
    QVERIFY(target);
    QCOMPARE(target->at(0).y(), 0.07 * remaining->at(0).y());

    auto opened = [&](QPushButton* button) -> QWidget* {
      button->click();
      QWidget* dialog = nullptr;
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && (qobject_cast<kelvane::ui::FastestSpeedDialog*>(w) || qobject_cast<kelvane::ui::DesignDialog*>(w)))
          dialog = w;
      return dialog;
    };
    for (QPushButton* button : {form_->FastestSpeedButton(), form_->DesignButton()}) {
      QWidget* dialog = opened(button);
      QVERIFY(dialog);
      QCOMPARE(dialog->findChild<QLineEdit*>("MaxResidual")->text(), QStringLiteral("7"));
      QVERIFY(dialog->findChild<QCheckBox*>("ResidualTarget")->isChecked());
      QCOMPARE(dialog->findChild<QLineEdit*>("MaxFilmTemperature")->text(), QStringLiteral("180"));
      QVERIFY(dialog->findChild<QCheckBox*>("TemperatureTarget")->isChecked());
      dialog->close();
    }
    // A target in g/m² keeps its unit in both.
    targets->ResidualUnitBox()->setCurrentIndex(targets->ResidualUnitBox()->findText("g/m²", Qt::MatchContains));
    targets->Field(kelvane::SummarySettingField::ResidualTarget)->setText("0.5");
    QVERIFY(targets->Apply());
    QCOMPARE(targets->Settings().ResidualTargetUnit, kelvane::ResidualUnit::GramsPerSquareMetre);
    target = Series(form_->Results(), ResultsWindow::Remaining, "Residual target");
    QVERIFY(target);
    QCOMPARE(target->at(0).y(), 0.5);
    QWidget* design = opened(form_->DesignButton());
    QCOMPARE(design->findChild<QComboBox*>("ResidualUnit")->currentData().toInt(),
             static_cast<int>(kelvane::ResidualUnit::GramsPerSquareMetre));
    design->close();
    QWidget* fastest = opened(form_->FastestSpeedButton());
    QVERIFY2(fastest->findChild<QCheckBox*>("ResidualTarget")->text().contains("g/m2"),
             qPrintable(fastest->findChild<QCheckBox*>("ResidualTarget")->text()));
    fastest->close();
  }

  // Fourteen zones are labelled by number alone.
  void fourteenZoneLabels() {
    ModalCloser closer;
    for (int zone = 2; zone <= 14; ++zone)
      for (int i = 1; i <= 6; ++i)
        form_->Edit(kelvane::ZoneComponent(zone, i))->setText(i == 2 ? "4.0" : form_->Edit(kelvane::ZoneComponent(1, i))->text());
    form_->OkButton()->click();
    ResultsWindow* results = form_->Results();
    QCategoryAxis* zones = nullptr;
    for (QAbstractAxis* a : results->ChartAt(ResultsWindow::Temperature)->axes())
      if (auto* c = qobject_cast<QCategoryAxis*>(a)) zones = c;
    QVERIFY(zones);
    QCOMPARE(zones->categoriesLabels().size(), 14);
    QCOMPARE(zones->categoriesLabels().front(), QStringLiteral("1"));
    QCOMPARE(zones->categoriesLabels().back(), QStringLiteral("14"));
  }

  // Beside the main window on the usual screens, never over its buttons.
  void resultsOpenBesideTheMainWindow() {
    const QSize wanted(860, 620), main(727, 575);
    for (const QSize screen : {QSize(1600, 1200), QSize(1920, 1080), QSize(1366, 768), QSize(2560, 1440)}) {
      const QRect available(QPoint(0, 0), screen - QSize(0, 40));
      const QRect centred(QPoint((screen.width() - main.width()) / 2, (screen.height() - main.height()) / 2), main);
      const kelvane::ui::Placement p = PlaceBeside(centred, wanted, available);
      const QRect mainNow = p.MoveMain ? QRect(p.MainTopLeft, main) : centred;
      QVERIFY2(!p.Behind, qPrintable(QString::number(screen.width())));
      QVERIFY(available.contains(mainNow));
      QVERIFY(available.contains(p.Results));
      QVERIFY(!p.Results.intersects(mainNow));
      QVERIFY(p.Results.width() >= 560);
    }
    // A tiny screen: the Results window goes behind.
    QVERIFY(PlaceBeside(QRect(0, 0, 727, 575), wanted, QRect(0, 0, 1024, 700)).Behind);
  }

 private:
  WindowFolder folder_;
  std::unique_ptr<TForm1> form_;
};

QTEST_MAIN(ResultsInsightTest)
#include "ResultsInsightTest.moc"
