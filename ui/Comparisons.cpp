// Other result files overlaid on the charts for comparison.

#include "ui/ResultsWindow.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>


namespace kelvane::ui {

bool ResultsWindow::AddComparison(const QString& path) {
  const ResultFileRead read = ReadResultFile(QFile::encodeName(path).toStdString());
  const QString name = QDir::toNativeSeparators(path);
  if (!read.Ok) {
    Message(QStringLiteral("\"%1\" is not a result file: %2.\nIt was not added to the comparison.")
                .arg(name, QString::fromStdString(read.Error)));
    return false;
  }
  if (read.Data.Zones.empty()) {
    Message(QStringLiteral("\"%1\" holds no zone results to compare.").arg(name));
    return false;
  }
  others_.push_back({QFileInfo(path).fileName(), read.Data});
  Rebuild();
  return true;
}

void ResultsWindow::ClearComparisons() {
  if (others_.empty()) return;
  others_.clear();
  Rebuild();
}

void ResultsWindow::CompareClicked() {
  if (!HasData()) {
    Message(QStringLiteral("Open a result file or run a calculation first; other files are compared with it."));
    return;
  }
  const QString folder = QFileInfo(source_).absolutePath();
  const QString path =
      ChooseOpenFile ? ChooseOpenFile(folder)
                     : QFileDialog::getOpenFileName(this, QStringLiteral("Compare With Result File"), folder,
                                                    QStringLiteral("Text Files (*.txt);;All Files (*.*)"));
  if (!path.isEmpty()) AddComparison(path);
}

}  // namespace kelvane::ui
