// The window's file actions: "Input Data File" on the first page, "Save
// Data File" and "Open Result File" on the Tools page.

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include <cstring>

#include "files/DataFile.h"
#include "ui/DirectoryChooser.h"
#include "ui/Kelvane_Main.h"
#include "ui/ResultsWindow.h"

namespace kelvane::ui {

QString TForm1::ShowOpenFileDialog(const QString& initialDirectory) {
  QFileDialog dialog(this, QString(), initialDirectory);
  dialog.setObjectName(QStringLiteral("OpenFileDialog"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  // Data files are written as .dat (Save Data File) or kept as .txt.
  dialog.setNameFilters({QStringLiteral("Data Files (*.dat *.txt)"), QStringLiteral("Text Files (*.txt)"),
                         QStringLiteral("All Files (*.*)")});
  dialog.selectNameFilter(QStringLiteral("Data Files (*.dat *.txt)"));
  if (!LastDataFile.isEmpty() && QFileInfo(LastDataFile).absolutePath() == QFileInfo(initialDirectory + "/").absolutePath())
    dialog.selectFile(QFileInfo(LastDataFile).fileName());
  if (dialog.exec() != QDialog::Accepted) return QString();
  const QStringList chosen = dialog.selectedFiles();
  return chosen.size() == 1 ? chosen.front() : QString();
}

void TForm1::InputDataClick() {
  try {
    const QString directory = chooser_->Directory();
    const QString path = ChooseDataFile ? ChooseDataFile(directory) : ShowOpenFileDialog(directory);
    if (path.isEmpty()) {
      ShowMessage(SelectOneDataFileMessage);
      return;
    }
    if (InputDataFile(QFile::encodeName(path).toStdString(), fields_, *this) == DataFileStatus::Applied)
      LastDataFile = QFileInfo(path).absoluteFilePath();
  } catch (const std::exception& e) {
    ShowErrorReport(e.what());
  }
}

void TForm1::SaveDataClick() {
  const QString directory = chooser_->Directory();
  QString path = ChooseSaveDataFile ? ChooseSaveDataFile(directory) : QString();
  if (!ChooseSaveDataFile) {
    QFileDialog dialog(this, QStringLiteral("Save Data File"), directory);
    dialog.setObjectName(QStringLiteral("SaveFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({QStringLiteral("Data Files (*.dat)"), QStringLiteral("Text Files (*.txt)"),
                           QStringLiteral("All Files (*.*)")});
    dialog.setDefaultSuffix(QStringLiteral("dat"));
    dialog.selectFile(QStringLiteral("data.dat"));
    if (dialog.exec() == QDialog::Accepted && dialog.selectedFiles().size() == 1) path = dialog.selectedFiles().front();
  }
  if (path.isEmpty()) return;  // cancelled

  using Status = DataFileWriteResult::Status;
  const DataFileWriteResult r = WriteDataFileChecked(QFile::encodeName(path).toStdString(), fields_);
  const QString name = QDir::toNativeSeparators(path);
  switch (r.Result) {
    case Status::Ok: return;
    case Status::UnwritableText: {
      const FieldSpec* f = FindField(r.Field);
      QString field = f ? QString::fromStdString(f->Caption) : QString::fromStdString(r.Field);
      if (f && f->Zone > 0) field = QStringLiteral("Zone %1: %2").arg(f->Zone).arg(field);
      ShowMessage(QStringLiteral("The text of \"%1\" (%2) cannot go into a data file: it holds a space, a line "
                                 "end or a character that Shift_JIS cannot hold. Nothing was written.")
                      .arg(field, QString::fromStdString(r.Field))
                      .toStdString());
      return;
    }
    case Status::OpenFailed:
      ShowMessage(QStringLiteral("The data file \"%1\" cannot be written: %2.")
                      .arg(name, QString::fromLocal8Bit(r.Reason.c_str()))
                      .toStdString());
      return;
    case Status::WriteFailed:
      ShowMessage(QStringLiteral("Writing the data file \"%1\" failed: %2. An earlier file of that name is left as it was.")
                      .arg(name, QString::fromLocal8Bit(std::strerror(r.ErrorCode)))
                      .toStdString());
      return;
  }
}

void TForm1::OpenResultClick() {
  const QString directory = chooser_->Directory();
  QString path = ChooseResultFile ? ChooseResultFile(directory) : QString();
  if (!ChooseResultFile) {
    QFileDialog dialog(this, QStringLiteral("Open Result File"), directory);
    dialog.setObjectName(QStringLiteral("ResultFileDialog"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*.*)")});
    if (dialog.exec() == QDialog::Accepted && dialog.selectedFiles().size() == 1) path = dialog.selectedFiles().front();
  }
  if (path.isEmpty()) return;
  results_->DefaultFolder = directory;
  if (results_->OpenResultFile(path)) ShowResultsBeside();
}

}  // namespace kelvane::ui
