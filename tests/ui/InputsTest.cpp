// Inputs a person can get right in the window: a refusal shows its field,
// an engine failure offers the robust surface solve in one click, inputs
// that look wrong are asked about before the run, an existing result file is
// not replaced without asking, and the tooltips and "Reset to defaults".

#include <QApplication>
#include <QLabel>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

#include "ModalCloser.h"
#include "WindowFolder.h"
#include "fields/FieldTable.h"
#include "run/StartRun.h"
#include "ui/DirectoryChooser.h"
#include "ui/F_Form.h"
#include "ui/InputGuidance.h"
#include "ui/Kelvane_Main.h"
#include "ui/ResultsWindow.h"
#include "ui/WindowSettings.h"

using kelvane::RunOutcome;
using kelvane::ui::FieldMarked;
using kelvane::ui::TForm1;
using kelvane::ui::test::ModalCloser;

namespace {

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Answers every modal box with the button `choose` picks (by object name or
// text), else with OK / Yes; notes each box's text.
class Answerer : public QObject {
 public:
  explicit Answerer(std::function<QAbstractButton*(QMessageBox*)> choose) : choose_(std::move(choose)) {
    connect(&timer_, &QTimer::timeout, this, &Answerer::Poll);
    timer_.start(20);
  }
  QStringList Seen;

 private:
  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) return;
    if (auto* finish = qobject_cast<kelvane::ui::TFinishForm*>(modal)) {
      Seen << QStringLiteral("finish");
      finish->OkButton()->click();
    } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      Seen << box->text();
      QAbstractButton* b = choose_(box);
      if (!b) b = box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok) : box->button(QMessageBox::Yes);
      if (b) b->click();
    }
  }
  std::function<QAbstractButton*(QMessageBox*)> choose_;
  QTimer timer_;
};

QAbstractButton* Named(QMessageBox* box, const char* name) { return box->findChild<QAbstractButton*>(name); }

}  // namespace

class InputsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    form_ = std::make_unique<TForm1>();
    QVERIFY(folder_.OpenIn(*form_));
    result_ = QDir(form_->Directories()->Directory()).filePath(QStringLiteral("result.txt"));
  }
  void cleanup() {
    form_.reset();
    folder_.Close();
    QCOMPARE(QApplication::overrideCursor(), nullptr);
  }

  // A refusal keeps its faithful text, explains itself beside it, and shows
  // the field: its page, the focus, a mark that goes when it is edited.
  void refusalShowsItsField_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("message");
    QTest::newRow("F5 of solvent 1") << "Edit255" << "x" << 4 << "Input value is not correct!";
    QTest::newRow("zone 2 length") << "Edit22" << "-5" << 0 << "Input value of Zone 2 is not correct!";
    QTest::newRow("density of solvent 2") << "Edit237" << "" << 3 << "Input value is not correct!";
    // In the middle of the window, where a box centred on it would sit.
    QTest::newRow("heat capacity of solvent 1") << "Edit221" << "" << 3 << "Input value is not correct!";
  }
  void refusalShowsItsField() {
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(int, page);
    QFETCH(QString, message);
    QLineEdit* edit = form_->Edit(field.toStdString());
    edit->setText(text);
    QString informative;
    QRect boxAt, fieldAt;
    ModalCloser closer;
    closer.BeforeClose = [&](const kelvane::ui::test::SeenBox&) {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        informative = box->informativeText();
        boxAt = box->frameGeometry();
        fieldAt = QRect(edit->mapToGlobal(QPoint(0, 0)), edit->size());
      }
    };
    form_->OkButton()->click();
    QCOMPARE(closer.Describe(), QStringLiteral("[message: %1]").arg(message));
    QVERIFY2(informative.contains(QStringLiteral("Field: \"")), qPrintable(informative));
    // The box opens beside the field it names: the field stays in sight.
    QVERIFY(edit->isVisible() && fieldAt.isValid() && boxAt.isValid());
    QVERIFY2(!boxAt.intersects(fieldAt), qPrintable(QStringLiteral("box %1,%2 %3x%4 over field %5,%6 %7x%8")
                                                        .arg(boxAt.x()).arg(boxAt.y()).arg(boxAt.width()).arg(boxAt.height())
                                                        .arg(fieldAt.x()).arg(fieldAt.y()).arg(fieldAt.width()).arg(fieldAt.height())));
    QCOMPARE(form_->PageControl()->currentIndex(), page);
    QCOMPARE(form_->focusWidget(), edit);
    QVERIFY(FieldMarked(edit));
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClicks(edit, "1");
    QVERIFY(!FieldMarked(edit));
    QVERIFY(!QFile::exists(result_));
  }

  // "Run again with the robust surface solve" after the engine's failure:
  // one click, and the run finishes with the box ticked.
  void engineFailureOffersTheRobustSolve() {
    form_->Edit("Edit20")->setText("10");
    Answerer answer([](QMessageBox* box) { return Named(box, "RunAgainRobust"); });
    form_->OkButton()->click();
    QCOMPARE(form_->LastRun().Outcome, RunOutcome::EngineFailed);
    QTRY_COMPARE_WITH_TIMEOUT(form_->LastRun().Outcome, RunOutcome::Finished, 60000);
    QVERIFY(form_->RobustBox()->isChecked());
    QCOMPARE(answer.Seen.first(), QStringLiteral("Sorry, this condition does not cnoverge! CONSIDER TO REDUCE OR "
                                                 "INCREASE \"Increment of z\"."));
    QVERIFY(answer.Seen.contains(QStringLiteral("finish")));
  }

  // A failed run ends in one box: the failure, with what else the run did
  // (marched again) told in it, not in boxes of their own; the question
  // about inputs that look wrong is asked once for the same inputs, the
  // robust rerun included.
  void aFailedRunEndsInOneBox() {
    form_->Edit("Edit9")->setText("200");  // supersaturated gas: even the robust solve fails
    form_->RobustBox()->setChecked(true);
    QStringList informative;
    int mostAtOnce = 0;
    auto answer = [&](const char* choice) {
      return std::make_unique<Answerer>([&, choice](QMessageBox* box) -> QAbstractButton* {
        informative << box->informativeText();
        int shown = 0;
        for (QWidget* w : QApplication::topLevelWidgets()) shown += qobject_cast<QMessageBox*>(w) && w->isVisible();
        mostAtOnce = std::max(mostAtOnce, shown);
        return choice ? Named(box, choice) : nullptr;
      });
    };
    const QString failed = QStringLiteral("Sorry, this condition does not converge !!");
    const QString again = QString::fromUtf8(kelvane::MarchedAgainNote);
    {
      auto a = answer(nullptr);  // Run anyway, then OK
      form_->OkButton()->click();
      QCOMPARE(form_->LastRun().Outcome, RunOutcome::EngineFailed);
      QCOMPARE(a->Seen.size(), 2);
      QCOMPARE(a->Seen[0], QStringLiteral("These inputs look wrong:"));
      QVERIFY2(a->Seen[1].startsWith(failed), qPrintable(a->Seen[1]));
      QVERIFY2(informative[1].contains(again), qPrintable(informative[1]));
    }
    {
      informative.clear();
      auto a = answer(nullptr);
      form_->OkButton()->click();
      QCOMPARE(form_->LastRun().Outcome, RunOutcome::EngineFailed);
      QCOMPARE(a->Seen.size(), 1);
      QVERIFY2(a->Seen[0].startsWith(failed), qPrintable(a->Seen[0]));
      QVERIFY2(informative[0].contains(again), qPrintable(informative[0]));
    }
    // Without the robust solve the failure offers it; the rerun fails too
    // and says so in one box.
    form_->RobustBox()->setChecked(false);
    {
      informative.clear();
      auto a = answer("RunAgainRobust");
      form_->OkButton()->click();
      QTRY_COMPARE_WITH_TIMEOUT(a->Seen.size(), 2, 60000);
      QTRY_VERIFY_WITH_TIMEOUT(!form_->RunInProgress(), 60000);
      QCOMPARE(form_->LastRun().Outcome, RunOutcome::EngineFailed);
      QVERIFY(form_->RobustBox()->isChecked());
      QVERIFY2(a->Seen[0].startsWith(QStringLiteral("Sorry, this condition does not cnoverge!")), qPrintable(a->Seen[0]));
      QVERIFY2(a->Seen[1].startsWith(failed) && informative[1].contains(again), qPrintable(a->Seen.join('|')));
      QCOMPARE(a->Seen.size(), 2);
    }
    QCOMPARE(mostAtOnce, 1);
  }

  // Inputs that look wrong: "Go to field" shows the field and runs nothing,
  // "Run anyway" runs.
  void inputsThatLookWrongAreAskedAbout() {
    form_->Edit("Edit4")->setText("-0.01");
    {
      Answerer answer([](QMessageBox* box) { return Named(box, "GoToField"); });
      form_->OkButton()->click();
      QCOMPARE(answer.Seen, QStringList{QStringLiteral("These inputs look wrong:")});
    }
    QCOMPARE(form_->LastRun().Outcome, RunOutcome::Declined);
    QCOMPARE(form_->PageControl()->currentIndex(), 0);
    QVERIFY(FieldMarked(form_->Edit("Edit4")));
    QVERIFY(!QFile::exists(result_));

    form_->Edit("Edit4")->setText("0.003556");
    form_->Edit("Edit8")->setText("0.06");  // 3 steps: warned, and runs anyway
    Answerer answer([](QMessageBox*) { return nullptr; });
    form_->OkButton()->click();
    QCOMPARE(answer.Seen.first(), QStringLiteral("These inputs look wrong:"));
    QCOMPARE(form_->LastRun().Outcome, RunOutcome::Finished);
  }

  // One question per decision: inputs accepted with "Run anyway" are not
  // asked about again.  While the question waits nothing runs, and the
  // Results window's banner says so instead of "running".
  void runAnywayIsAskedOnceAndTheBannerTellsTheTruth() {
    form_->Edit("Edit8")->setText("0.2");
    form_->Edit("Edit22")->setText("0.2");
    {
      Answerer answer([](QMessageBox*) { return nullptr; });
      form_->OkButton()->click();
      QCOMPARE(form_->LastRun().Outcome, RunOutcome::Finished);
    }
    QLabel* banner = form_->Results()->findChild<QLabel*>(QStringLiteral("EarlierLabel"));
    QVERIFY(banner);
    form_->Edit("Edit8")->setText("0.06");  // 3 steps: looks wrong
    QString duringQuestion;
    bool shownDuringQuestion = false;
    {
      Answerer answer([&](QMessageBox* box) -> QAbstractButton* {
        if (box->objectName() == QStringLiteral("PlausibilityWarnings")) {
          duringQuestion = banner->text();
          shownDuringQuestion = form_->Results()->ShowsEarlier();
        }
        return nullptr;  // Run anyway, then OK
      });
      form_->OkButton()->click();
      QCOMPARE(answer.Seen.count(QStringLiteral("These inputs look wrong:")), 1);
      QCOMPARE(form_->LastRun().Outcome, RunOutcome::Finished);
    }
    QVERIFY(shownDuringQuestion);
    QVERIFY2(duringQuestion.contains(QStringLiteral("question")) && !duringQuestion.contains(QStringLiteral("running")),
             qPrintable(duringQuestion));
    {
      Answerer answer([](QMessageBox*) { return nullptr; });
      form_->OkButton()->click();
      QCOMPARE(form_->LastRun().Outcome, RunOutcome::Finished);
      QVERIFY2(!answer.Seen.contains(QStringLiteral("These inputs look wrong:")), qPrintable(answer.Seen.join('|')));
    }
  }

  // A result file this window did not write is replaced only when the user
  // says so; the file its last run wrote is replaced without a question.
  void existingResultFileIsNotReplacedUnasked() {
    form_->Edit("Edit8")->setText("0.2");
    form_->Edit("Edit22")->setText("0.2");
    QFile file(result_);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("earlier\r\n");
    file.close();
    {
      Answerer answer([](QMessageBox* box) { return box->button(QMessageBox::Cancel); });
      form_->OkButton()->click();
      QCOMPARE(answer.Seen.size(), 1);
      QVERIFY(answer.Seen.first().contains(QStringLiteral("already exists")));
    }
    QCOMPARE(form_->LastRun().Outcome, RunOutcome::Declined);
    QCOMPARE(ReadAll(result_), QByteArray("earlier\r\n"));
    {
      Answerer answer([](QMessageBox*) { return nullptr; });
      form_->OkButton()->click();
      QCOMPARE(form_->LastRun().Outcome, RunOutcome::Finished);
      QCOMPARE(answer.Seen.size(), 2);  // the question, then the finish dialog
      answer.Seen.clear();
      form_->OkButton()->click();
      QCOMPARE(answer.Seen, QStringList{QStringLiteral("finish")});
    }
    QVERIFY(ReadAll(result_).size() > 1000);
  }

  // Tooltips come from the field table; "Reset to defaults" asks, restores
  // every text, clears the marks and the line of outcome of the texts that
  // are gone, and can be undone.
  void tooltipsAndResetToDefaults() {
    const QString tip = form_->Edit("Edit5")->toolTip();
    QVERIFY2(tip.contains(QStringLiteral("Speed of the web")) && tip.contains(QStringLiteral("Typical: 0.05 to 5 m/s")),
             qPrintable(tip));
    form_->Edit("Edit1")->setText("0.01");
    form_->Edit("Edit250")->setText("other.txt");
    form_->Edit("Edit31")->setText("80");
    kelvane::ui::ShowField(form_->PageControl(), static_cast<const kelvane::ui::EditFieldTexts&>(form_->Fields()),
                           "Edit21");  // a refusal's mark on a text that the reset leaves as it is
    QVERIFY(FieldMarked(form_->Edit("Edit21")));
    {
      Answerer answer([](QMessageBox* box) { return box->button(QMessageBox::Cancel); });
      form_->ResetDefaultsButton()->click();
      QCOMPARE(answer.Seen.size(), 1);  // asked first; Cancel changes nothing
    }
    QCOMPARE(form_->Edit("Edit1")->text(), QStringLiteral("0.01"));
    {
      Answerer answer([](QMessageBox*) { return nullptr; });
      form_->ResetDefaultsButton()->click();
    }
    for (const kelvane::FieldSpec& f : kelvane::FieldTable())
      QCOMPARE(form_->Edit(f.Component)->text(), QString::fromStdString(f.DefaultText));
    QVERIFY(!FieldMarked(form_->Edit("Edit21")));
    QVERIFY(form_->OutcomeLabel()->text().isEmpty());
    // Undo brings the texts of before back.
    QVERIFY(form_->UndoResetButton()->isEnabled());
    form_->UndoResetButton()->click();
    QCOMPARE(form_->Edit("Edit1")->text(), QStringLiteral("0.01"));
    QCOMPARE(form_->Edit("Edit250")->text(), QStringLiteral("other.txt"));
    QCOMPARE(form_->Edit("Edit31")->text(), QStringLiteral("80"));
    QVERIFY(!form_->UndoResetButton()->isEnabled());
  }

  // The folder, the data file, the robust setting and "don't ask again"
  // come back in the next session.
  void settingsComeBackNextSession() {
    QTemporaryDir other;
    QSettings settings(QDir(folder_.Path()).filePath(QStringLiteral("kelvane.ini")), QSettings::IniFormat);
    QVERIFY(form_->Directories()->OpenDirectory(other.path()));
    const QString opened = form_->Directories()->Directory();
    form_->RobustBox()->setChecked(true);
    form_->LastDataFile = QDir(opened).filePath(QStringLiteral("film-a.dat"));
    form_->AskBeforeReplacing = false;
    kelvane::ui::SaveWindowSettings(*form_, settings);

    // The next session starts elsewhere.
    QDir::setCurrent(folder_.startDirectory);
    form_ = std::make_unique<TForm1>();
    QVERIFY(form_->Directories()->Directory() != opened);
    QVERIFY(!form_->Options.Robust);
    kelvane::ui::RestoreWindowSettings(*form_, settings);
    QCOMPARE(form_->Directories()->Directory(), opened);
    QCOMPARE(QDir::currentPath(), opened);
    QVERIFY(form_->RobustBox()->isChecked());
    QVERIFY(form_->Options.Robust);
    QCOMPARE(form_->LastDataFile, QDir(opened).filePath(QStringLiteral("film-a.dat")));
    QVERIFY(!form_->AskBeforeReplacing);
    QDir::setCurrent(folder_.startDirectory);
  }

 private:
  WindowFolder folder_;
  std::unique_ptr<TForm1> form_;
  QString result_;
};

QTEST_MAIN(InputsTest)
#include "InputsTest.moc"
