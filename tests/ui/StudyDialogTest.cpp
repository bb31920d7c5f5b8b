// The Study dialog: a two-field study of the current inputs runs in the
// background, fills its table in row order, draws one curve per value of
// the second field and loads a chosen row into the inputs.

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QPointer>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QTableWidget>
#include <QTest>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>

#include "fields/FieldTable.h"
#include "study/RowSummary.h"
#include "ui/StudyCaptions.h"
#include "ui/StudyDialog.h"

using kelvane::FieldTextMap;
using kelvane::ZoneComponent;
using kelvane::ui::StudyDialog;

class StudyDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void twoFieldStudyFillsTableChartAndLoadsARow() {
    FieldTextMap inputs;
    inputs.SetText(ZoneComponent(1, 2), "5");
    inputs.SetText(ZoneComponent(2, 2), "5");
    StudyDialog dialog(inputs, true);
    dialog.show();
    QVERIFY(dialog.findChild<QCheckBox*>(QStringLiteral("StudyRobust"))->isChecked());
    dialog.SetVaried(0, "WebSpeed", "0.2,0.25");
    dialog.SetVaried(1, "OuterTemperature[2]", "60,80");
    dialog.Start();
    QVERIFY(!dialog.RunButton()->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(dialog.RunButton()->isEnabled(), 120000);

    QTableWidget* t = dialog.Table();
    QCOMPARE(t->rowCount(), 4);
    const char* expected[4][2] = {{"0.2", "60"}, {"0.2", "80"}, {"0.25", "60"}, {"0.25", "80"}};
    // The figures first, right-aligned; what the runs said last.
    const int outcome = t->columnCount() - 2;
    QCOMPARE(t->horizontalHeaderItem(outcome)->text(), QStringLiteral("Outcome"));
    QCOMPARE(t->horizontalHeaderItem(outcome + 1)->text(), QStringLiteral("Message"));
    for (int r = 0; r < 4; ++r) {
      QCOMPARE(t->item(r, 0)->text(), QString::number(r + 1));
      QCOMPARE(t->item(r, 1)->text(), QString::fromLatin1(expected[r][0]));
      QCOMPARE(t->item(r, 2)->text(), QString::fromLatin1(expected[r][1]));
      QCOMPARE(t->item(r, outcome)->text(), QStringLiteral("finished"));
      for (int c = 0; c < outcome; ++c)
        QVERIFY2(t->item(r, c)->textAlignment() & Qt::AlignRight, qPrintable(t->horizontalHeaderItem(c)->text()));
    }
    // Every column in sight at the dialog's own size, captions whole.
    QApplication::processEvents();
    QCOMPARE(t->horizontalScrollBar()->maximum(), 0);
    for (int c = 0; c < t->columnCount(); ++c) {
      const QString caption = t->horizontalHeaderItem(c)->text();
      const QRect needed = t->horizontalHeader()->fontMetrics().boundingRect(
          QRect(0, 0, t->columnWidth(c) - 4, 1000), Qt::AlignCenter | Qt::TextWordWrap, caption);
      QVERIFY2(needed.width() <= t->columnWidth(c) && needed.height() <= t->horizontalHeader()->height(),
               qPrintable(caption));
    }
    // Captions with units in the header, figures to 4 significant digits.
    QCOMPARE(t->horizontalHeaderItem(1)->text(), kelvane::ui::FieldLabel(*kelvane::FindField("Edit5")));
    QCOMPARE(t->horizontalHeaderItem(2)->text(), QStringLiteral("Zone 2: ") +
                                                     QString::fromStdString(kelvane::FindField(ZoneComponent(2, 1))->Caption));
    const int residual = 3 + kelvane::SummaryColumnIndex("final_residual_percent");
    QCOMPARE(t->horizontalHeaderItem(residual)->text(), QStringLiteral("Solvent left at exit (%)"));
    for (int c = 3; c < outcome; ++c) {
      // One number of decimals down a column: the points line up.
      QSet<qsizetype> decimals;
      for (int r = 0; r < 4; ++r) {
        const QString v = t->item(r, c)->text();
        if (!v.isEmpty()) decimals << (v.contains('.') ? v.size() - v.indexOf('.') : 0);
      }
      QVERIFY2(decimals.size() <= 1, qPrintable(t->horizontalHeaderItem(c)->text()));
    }
    for (int r = 0; r < 4; ++r)
      for (int c = 3; c < outcome; ++c) {
        const QString v = t->item(r, c)->text();
        QString digits = v;
        digits.remove(QLatin1Char('-')).remove(QLatin1Char('.'));
        while (digits.startsWith(QLatin1Char('0')) && digits.size() > 1) digits.remove(0, 1);
        QVERIFY2(v.isEmpty() || ((digits.size() <= 4 || v.endsWith(QStringLiteral("00"))) && !v.contains(QLatin1Char('e'))),
                 qPrintable(v));
      }
    QCOMPARE(dialog.Chart()->chart()->axes(Qt::Vertical).front()->titleText(), QStringLiteral("Solvent left at exit (%)"));
    // One curve per zone-2 temperature, a point per speed.
    const auto series = dialog.Chart()->chart()->series();
    QCOMPARE(series.size(), 2);
    for (auto* s : series) QCOMPARE(static_cast<QLineSeries*>(s)->count(), 2);

    t->selectRow(1);
    for (QPushButton* b : dialog.findChildren<QPushButton*>())
      if (b->text() == QStringLiteral("Load this run")) b->click();
    QCOMPARE(inputs.Text("Edit5"), std::string("0.2"));
    QCOMPARE(inputs.Text(ZoneComponent(2, 1)), std::string("80"));

    const QByteArray shot = qgetenv("KELVANE_STUDY_SCREENSHOT");
    if (!shot.isEmpty()) QVERIFY(dialog.grab().save(QString::fromLocal8Bit(shot)));
  }

  // Closing the dialog as the window does (it is deleted on close) while its
  // runs are under way stops them after their current step and waits for
  // them: no thread of the study outlives the dialog.  Every other row is a
  // one-zone run of ten steps, the rest fourteen zones of 8000 steps with 40
  // layers; the rows left would take far longer than this test's timeout,
  // so a close that let them run on cannot pass.
  void closingDuringAStudyStopsItsRuns() {
    FieldTextMap inputs;
    inputs.SetText("Edit19", "1.0");
    inputs.SetText("Edit20", "40");
    const char* zone[6] = {"60.0", "80.0", "0.0", "0.0", "0.0009228", "0.0010944"};
    for (int k = 1; k <= kelvane::MaxZones; ++k)
      for (int i = 1; i <= 6; ++i) inputs.SetText(ZoneComponent(k, i), zone[i - 1]);
    inputs.SetText(ZoneComponent(1, 2), "0.1");

    QPointer<StudyDialog> dialog = new StudyDialog(inputs, false);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    QApplication::processEvents();
    const int threads = ThreadCount();
    dialog->SetVaried(0, "WebSpeed", "0.5:2.0:0.01");
    dialog->SetVaried(1, "OuterTemperature[2]", "0,60");  // 0: zone 2 and those after it not in use
    dialog->Start();
    QVERIFY(dialog->Running());
    // Row 1 (one zone) back in the table: row 2 (fourteen zones) is marching.
    const int outcome = dialog->Table()->columnCount() - 2;
    QTRY_VERIFY_WITH_TIMEOUT(dialog->Table()->item(0, outcome), 60000);
    QCOMPARE(dialog->Table()->item(0, outcome)->text(), QStringLiteral("finished"));
    QVERIFY(dialog->Running());
    QVERIFY(ThreadCount() > threads);

    dialog->close();
    QTRY_VERIFY_WITH_TIMEOUT(dialog.isNull(), 60000);
    // The pool's threads end once their last run has: on a loaded machine a
    // moment after the dialog has gone.  (Fewer is no fault: a thread of
    // the platform's that stood at the start may have ended meanwhile.)
    QTRY_VERIFY2_WITH_TIMEOUT(ThreadCount() <= threads, qPrintable(QString::number(ThreadCount())), 20000);
  }

 private:
  // The threads of this process now.
  static int ThreadCount() {
    return static_cast<int>(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
  }
};

QTEST_MAIN(StudyDialogTest)
#include "StudyDialogTest.moc"
