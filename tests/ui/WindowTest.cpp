// Window tests: the default window, OK and Enter, refusals and the general
// error report, "Input Data File" through the chooser seam, the directory
// chooser, the keyboard and the finish dialog.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QTabBar>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <set>

#include "ModalCloser.h"
#include "WindowFolder.h"
#include "fields/FieldTable.h"
#include "tests/support/WindowDefaults.h"
#include "ui/Controls.h"
#include "ui/DirectoryChooser.h"
#include "ui/F_Form.h"
#include "ui/Kelvane_Main.h"

using kelvane::FieldSpec;
using kelvane::FieldTable;
using kelvane::RunOutcome;
using kelvane::ui::TForm1;
using kelvane::ui::test::ModalCloser;

namespace {

// The window with its busy-cursor calls on record.
class ObservedForm : public TForm1 {
 public:
  QList<bool> BusyCalls;
  void SetBusyCursor(bool busy) override {
    BusyCalls << busy;
    TForm1::SetBusyCursor(busy);
  }
};

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QListWidgetItem* ItemFor(QListWidget* list, const QString& name) {
  for (int i = 0; i < list->count(); ++i)
    if (list->item(i)->text().trimmed() == name) return list->item(i);
  return nullptr;
}

void DoubleClick(QListWidget* list, QListWidgetItem* item) {
  QVERIFY(item);
  list->doItemsLayout();
  list->scrollToItem(item);
  const QPoint at = list->visualItemRect(item).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

// A data file of 141 lines: every enabled field gets a value of its own,
// the disabled fields' lines hold values the window must ignore.
QString WriteDataFile(const QString& path, int lines) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return {};
  for (int i = 1; i <= lines; ++i) {
    const FieldSpec& f = kelvane::FieldForDataLine(i);
    const QString value = f.Enabled ? QStringLiteral("%1.25").arg(i) : QStringLiteral("999");
    file.write(QStringLiteral("Line %1 =  %2\r\n").arg(i).arg(value).toLatin1());
  }
  return path;
}

bool NoResultFile(const QString& folder) { return !QFile::exists(QDir(folder).filePath("result.txt")); }

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    form_ = std::make_unique<ObservedForm>();
    form_->Options.DecimalSeparator = '.';
    QVERIFY(folder_.OpenIn(*form_));
    dir_ = form_->Directories()->Directory();
  }
  void cleanup() {
    form_.reset();
    folder_.Close();
    QCOMPARE(QApplication::overrideCursor(), nullptr);
  }

  void defaultWindowShowsTheDefaultTexts() {
    QCOMPARE(form_->windowTitle(), QStringLiteral("Kelvane"));
    QCOMPARE(form_->size(), QSize(727, 545));
    QCOMPARE(form_->minimumSize(), form_->maximumSize());

    // The five pages of inputs, then the tools.
    const QStringList captions{"Zone Cond. (1)", "Zone Cond. (2)", "Zone Cond. (3)", "General Cond. (1)",
                               "General Cond. (2)", "Tools"};
    QCOMPARE(form_->PageControl()->count(), captions.size());
    for (int i = 0; i < captions.size(); ++i) QCOMPARE(form_->PageControl()->tabText(i), captions[i]);
    QCOMPARE(form_->PageControl()->currentIndex(), 0);

    // Every field with its default text, as written out by hand; greyed
    // fields are the only ones disabled.
    const auto defaults = kelvane::fixtures::WindowDefaults();
    const auto greyed = kelvane::fixtures::GreyedFields();
    for (const kelvane::fixtures::DefaultField& f : defaults) {
      const QString name = QString::fromStdString(f.Component);
      auto* edit = form_->findChild<QLineEdit*>(name);
      QVERIFY2(edit, qPrintable(name));
      QCOMPARE(edit->text(), QString::fromStdString(f.Text));
      QVERIFY2(edit->isEnabled() != (greyed.count(f.Component) > 0), qPrintable(name));
    }
    // The input pages' edit boxes (the Results window, a child window, has edits of its own).
    QCOMPARE(form_->PageControl()->findChildren<QLineEdit*>().size(), static_cast<qsizetype>(defaults.size()));

    QVERIFY(form_->OkButton()->isDefault());
    QCOMPARE(form_->OkButton()->objectName(), QStringLiteral("BitBtn1"));
    QCOMPARE(form_->CloseButton()->text(), QStringLiteral("&Close"));
    QCOMPARE(form_->InputDataButton()->text(), QStringLiteral("Input Data File"));
    QVERIFY(form_->findChild<QListWidget*>("DirectoryListBox1"));
    QVERIFY(form_->findChild<QListWidget*>("FileListBox1"));
  }

  // Captions carry their two leading blanks in blue; the Japanese window
  // font resolves to an installed Gothic that has the unit and Greek glyphs.
  void fontsAndCaptions() {
    QLabel* caption = nullptr;
    for (QLabel* label : form_->findChildren<QLabel*>())
      if (label->text() == QStringLiteral("  Interaction Parameter χ1p")) caption = label;
    QVERIFY(caption);
    QCOMPARE(caption->palette().color(QPalette::WindowText), kelvane::ui::Blue);

    const QFont font = form_->Edit("Edit1")->font();
    const QString family = QFontInfo(font).family();
    if (!QFontDatabase::families().contains(QString::fromUtf8(kelvane::ui::WindowFontFamily))) {
      QVERIFY2(!QFont::substitutes(QString::fromUtf8(kelvane::ui::WindowFontFamily)).isEmpty(), "no substitutes");
      if (QFontDatabase::families().contains("IPAPGothic")) QCOMPARE(family, QStringLiteral("IPAPGothic"));
    }
    const QFontMetrics metrics(caption->font());
    for (char16_t c : {u'℃', u'χ', u'ω'}) QVERIFY2(metrics.inFont(QChar(c)), qPrintable(family));
    QCOMPARE(form_->PageControl()->tabBar()->font().pixelSize(), 13);
  }

  // Tab walks the enabled edit fields of the page shown, in the table's
  // order, and nothing else (Edit250 is not a tab stop).
  void tabOrderVisitsEditFieldsOnly() {
    QApplication::setActiveWindow(form_.get());
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    for (int page : {0, 3, 4}) {
      form_->PageControl()->setCurrentIndex(page);
      QWidget* pageWidget = form_->PageControl()->widget(page);
      QStringList expected;
      for (const FieldSpec& f : FieldTable()) {
        QLineEdit* edit = form_->Edit(f.Component);
        if (f.Enabled && f.Component != "Edit250" && pageWidget->isAncestorOf(edit))
          expected << QString::fromStdString(f.Component);
      }
      form_->Edit(expected.front().toStdString())->setFocus();
      QStringList visited{QApplication::focusWidget()->objectName()};
      for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
      }
      QCOMPARE(visited.mid(0, expected.size()), expected);
      QCOMPARE(visited.back(), expected.front());  // wraps round
    }
  }

  void okOnDefaultsWritesResultInOpenedDirectory() {
    // Open a subdirectory the way a user does: double-click in the list.
    QVERIFY(QDir(dir_).mkdir("work"));
    QVERIFY(form_->Directories()->OpenDirectory(dir_));  // list it
    QListWidgetItem* work = ItemFor(form_->Directories()->DirectoryList(), "work");
    QVERIFY(work);
    DoubleClick(form_->Directories()->DirectoryList(), work);
    const QString workDir = QDir(dir_).filePath("work");
    QCOMPARE(QDir::currentPath(), workDir);

    ModalCloser closer;
    QTest::mouseClick(form_->OkButton(), Qt::LeftButton);
    QCOMPARE(closer.Seen().size(), 1);
    QCOMPARE(closer.Seen()[0].Kind, QStringLiteral("finish"));
    QVERIFY(!closer.Seen()[0].BusyCursor);
    QCOMPARE(form_->LastRun().Outcome, RunOutcome::Finished);
    QCOMPARE(form_->LastRun().ZonesWritten, 2);
    QVERIFY(!ReadAll(QDir(workDir).filePath("result.txt")).isEmpty());
    QVERIFY(NoResultFile(dir_));
    QVERIFY(form_->BusyCalls.contains(true));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
  }

  void enterInFirstPageEditRuns() {
    ModalCloser closer;
    QTest::keyClick(form_->Edit("Edit20"), Qt::Key_Return);
    QCOMPARE(closer.Describe(), QStringLiteral("[finish: Calculation is successfully finished !]"));
    QVERIFY(!NoResultFile(dir_));
  }

  // Enter on the other pages and Escape anywhere do nothing.
  void keyboardOnOtherPagesDoesNothing() {
    ModalCloser closer;
    form_->PageControl()->setCurrentIndex(3);
    QTest::keyClick(form_->Edit("Edit201"), Qt::Key_Return);
    form_->PageControl()->setCurrentIndex(1);
    QTest::keyClick(form_->Edit("Edit31"), Qt::Key_Enter);
    QTest::keyClick(form_->Edit("Edit31"), Qt::Key_Escape);
    form_->PageControl()->setCurrentIndex(0);
    QTest::keyClick(form_->Edit("Edit1"), Qt::Key_Escape);
    QTest::keyClick(form_.get(), Qt::Key_Escape);
    // Keys are handled as they arrive; what they posted is handled here.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QVERIFY(!form_->RunInProgress());
    QVERIFY2(closer.Seen().isEmpty(), qPrintable(closer.Describe()));
    QVERIFY(NoResultFile(dir_));
    QVERIFY(form_->isVisible());
  }

  void altCClosesOnFirstPageOnly() {
    QApplication::setActiveWindow(form_.get());
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    form_->PageControl()->setCurrentIndex(3);
    form_->Edit("Edit201")->setFocus();
    // A mnemonic presses its button at once and clicks it a moment later.
    QSignalSpy pressed(form_->CloseButton(), &QAbstractButton::pressed);
    QTest::keyClick(form_->Edit("Edit201"), Qt::Key_C, Qt::AltModifier);
    QCoreApplication::processEvents();
    QCOMPARE(pressed.count(), 0);
    QVERIFY(form_->isVisible());
    form_->PageControl()->setCurrentIndex(0);
    form_->Edit("Edit1")->setFocus();
    QTest::keyClick(form_->Edit("Edit1"), Qt::Key_C, Qt::AltModifier);
    QCOMPARE(pressed.count(), 1);
    QTRY_VERIFY(!form_->isVisible());
  }

  void refusalsShowOneMessage_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("layers 25") << "Edit20" << "25" << "Number of Layers shoud be 10, 20, 30 or 40.";
    QTest::newRow("layers 41") << "Edit20"
                               << "41" << "Number of Layers is too much! It shoud be 10, 20, 30 or 40.";
    QTest::newRow("increment abc") << "Edit19" << "abc" << "Input value is not correct!";
    QTest::newRow("no save name") << "Edit250" << "" << "Input Save File Name!";
    QTest::newRow("zone 2 length") << "Edit22" << "" << "Input value of Zone 2 is not correct!";
    QTest::newRow("zone 1 steps") << "Edit8" << "160.02"
                                  << "\"Increment of z\" is too small !  \"Zone Length/Increment of z\" should be "
                                     "less than 8000.";
  }
  void refusalsShowOneMessage() {
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, message);
    form_->Edit(field.toStdString())->setText(text);
    ModalCloser closer;
    form_->OkButton()->click();
    QCOMPARE(closer.Seen().size(), 1);
    QCOMPARE(closer.Seen()[0].Kind, QStringLiteral("message"));
    QCOMPARE(closer.Seen()[0].Text, message);
    QCOMPARE(form_->LastRun().Outcome, RunOutcome::Refused);
    QVERIFY(NoResultFile(dir_));
    QVERIFY(!form_->BusyCalls.contains(true));
  }

  // A zone the engine cannot march ends the run on the engine's own message:
  // no finish dialog, the echo stays in the file, the cursor is normal again
  // (and was an arrow while the message waited for its OK).
  void engineFailureShowsOnlyItsMessage() {
    form_->Edit("Edit20")->setText("10");
    ModalCloser closer;
    form_->OkButton()->click();
    QCOMPARE(closer.Describe(), QStringLiteral("[message: Sorry, this condition does not cnoverge! CONSIDER TO "
                                               "REDUCE OR INCREASE \"Increment of z\".]"));
    QVERIFY(!closer.Seen()[0].BusyCursor);
    QCOMPARE(form_->LastRun().Outcome, RunOutcome::EngineFailed);
    QVERIFY(!NoResultFile(dir_));
    QVERIFY(form_->BusyCalls.contains(true));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
  }

  // A zone-2 outer temperature that is not a number leaves the reading: the
  // general error report shows it, no run starts, the cursor is normal.
  void badZoneTemperatureShowsErrorReport() {
    form_->Edit("Edit21")->setText("x");
    ModalCloser closer;
    form_->OkButton()->click();
    QCOMPARE(closer.Describe(), QStringLiteral("[error: 'x' は浮動小数点数ではありません]"));
    QVERIFY(NoResultFile(dir_));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
  }

  void inputDataFileLoadsEnabledFields() {
    const QString path = WriteDataFile(QDir(dir_).filePath("data.txt"), 141);
    QString offeredFolder;
    form_->ChooseDataFile = [&](const QString& folder) {
      offeredFolder = folder;
      return path;
    };
    form_->Edit("Edit250")->setText("keep.txt");
    ModalCloser closer;
    form_->InputDataButton()->click();
    QVERIFY2(closer.Seen().isEmpty(), qPrintable(closer.Describe()));
    QCOMPARE(offeredFolder, dir_);
    for (int line = 1; line <= kelvane::DataFileLineCount; ++line) {
      const FieldSpec& f = kelvane::FieldForDataLine(line);
      const QString expected =
          f.Enabled ? QStringLiteral("%1.25").arg(line) : QString::fromStdString(f.DefaultText);
      QCOMPARE(form_->Edit(f.Component)->text(), expected);
    }
    QCOMPARE(form_->Edit("Edit250")->text(), QStringLiteral("keep.txt"));
  }

  // Without a chooser of its own the button opens the file dialog in the
  // listed folder, listing data (.dat) and text files first; cancelling it
  // is refused with the reader's message.
  void inputDataFileDialogStartsInListedFolder() {
    ModalCloser closer;
    form_->InputDataButton()->click();
    QCOMPARE(closer.Describe(), QStringLiteral("[files: %1|Data Files (*.dat *.txt);;Text Files (*.txt);;All Files "
                                               "(*.*) | "
                                               "message: Select one data file! Please try again.]")
                                    .arg(dir_));
  }

  void inputDataFileRefusals() {
    const QString shortFile = WriteDataFile(QDir(dir_).filePath("short.txt"), 140);
    const QString missing = QDir(dir_).filePath("missing.txt");
    const struct {
      QString chosen;
      QString message;
    } cases[] = {
        {QString(), "Select one data file! Please try again."},
        {missing, "Data file can not open!\n" + missing + ": No such file or directory"},
        {shortFile, "\"" + shortFile + "\" is not a correct data file!"},
    };
    for (const auto& c : cases) {
      form_->ChooseDataFile = [&](const QString&) { return c.chosen; };
      ModalCloser closer;
      form_->InputDataButton()->click();
      QCOMPARE(closer.Seen().size(), 1);
      QCOMPARE(closer.Seen()[0].Text, c.message);
    }
    for (const FieldSpec& f : FieldTable())
      QCOMPARE(form_->Edit(f.Component)->text(), QString::fromStdString(f.DefaultText));
  }

  void directoryListOpensDirectories() {
    QDir(dir_).mkpath("alpha/inner");
    QFile(QDir(dir_).filePath("alpha/a.txt")).open(QIODevice::WriteOnly);
    QFile(QDir(dir_).filePath("alpha/b.dat")).open(QIODevice::WriteOnly);
    auto* chooser = form_->Directories();
    QVERIFY(chooser->OpenDirectory(dir_));  // list the new folder
    QVERIFY(chooser->DriveBox()->findText("/") >= 0);

    DoubleClick(chooser->DirectoryList(), ItemFor(chooser->DirectoryList(), "alpha"));
    const QString alpha = QDir(dir_).filePath("alpha");
    QCOMPARE(chooser->Directory(), alpha);
    QCOMPARE(QDir::currentPath(), alpha);
    QStringList files;
    for (int i = 0; i < chooser->FileList()->count(); ++i) files << chooser->FileList()->item(i)->text();
    QCOMPARE(files, QStringList({"a.txt", "b.dat"}));
    QVERIFY(ItemFor(chooser->DirectoryList(), "inner"));

    // Its parent is listed above it and opens the same way.
    const QString parentName = QFileInfo(dir_).fileName();
    DoubleClick(chooser->DirectoryList(), ItemFor(chooser->DirectoryList(), parentName));
    QCOMPARE(QDir::currentPath(), dir_);
    QVERIFY(!chooser->OpenDirectory(QDir(dir_).filePath("no-such-folder")));
    QCOMPARE(QDir::currentPath(), dir_);
  }

  // The lists follow the open folder: a file and a folder made after it was
  // opened (a study's CSV, the runner's result) show without reopening it,
  // and a removed file goes.
  void directoryListsFollowTheFolder() {
    auto* chooser = form_->Directories();
    QVERIFY(chooser->OpenDirectory(dir_));
    auto listed = [](QListWidget* list, const QString& name) { return !list->findItems(name, Qt::MatchEndsWith).isEmpty(); };
    QVERIFY(!listed(chooser->FileList(), "study.csv"));
    QFile made(QDir(dir_).filePath("study.csv"));
    QVERIFY(made.open(QIODevice::WriteOnly));
    made.close();
    QVERIFY(QDir(dir_).mkdir("later"));
    QTRY_VERIFY_WITH_TIMEOUT(listed(chooser->FileList(), "study.csv"), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(listed(chooser->DirectoryList(), "later"), 10000);
    QVERIFY(made.remove());
    QTRY_VERIFY_WITH_TIMEOUT(!listed(chooser->FileList(), "study.csv"), 10000);
  }

  void finishDialog() {
    kelvane::ui::TFinishForm finish;
    QCOMPARE(finish.windowTitle(), QStringLiteral("FinishForm"));
    QCOMPARE(finish.size(), QSize(311, 214));
    QCOMPARE(finish.Message()->text(), QStringLiteral("Calculation is successfully finished !"));
    QStringList texts;
    for (QLabel* label : finish.findChildren<QLabel*>()) texts << label->text();
    QVERIFY(texts.contains("Version 1.2"));
    QVERIFY(texts.contains("2009. 3. 14"));
    QVERIFY(finish.OkButton()->isDefault());
    QTimer::singleShot(50, &finish, [&] { QTest::keyClick(&finish, Qt::Key_Return); });
    QCOMPARE(finish.exec(), int(QDialog::Accepted));
  }

  // OK on the default window writes the same bytes as the headless runner.
  void resultMatchesHeadlessRunner() {
#ifndef KELVANE_RUNNER
    QSKIP("the headless runner is not built");
#else
    const QString runnerFile = QDir(folder_.Path()).filePath("runner.txt");
    QProcess runner;
    runner.start(QStringLiteral(KELVANE_RUNNER), {"-o", runnerFile});
    QVERIFY(runner.waitForFinished(550000));
    QCOMPARE(runner.exitCode(), 0);
    QVERIFY2(QFile::exists(runnerFile), "the runner wrote no result file");

    ModalCloser closer;
    form_->OkButton()->click();
    QCOMPARE(closer.Describe(), QStringLiteral("[finish: Calculation is successfully finished !]"));
    const QByteArray window = ReadAll(QDir(dir_).filePath("result.txt"));
    QVERIFY(!window.isEmpty());
    QVERIFY(window == ReadAll(runnerFile));
#endif
  }

 private:
  QString dir_;
  WindowFolder folder_;
  std::unique_ptr<ObservedForm> form_;
};

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
