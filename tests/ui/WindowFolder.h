#pragma once
// Where each window test starts: the window shown with a fresh temporary
// folder opened in it; after the test the working folder is put back and the
// temporary one removed.

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <memory>

#include "ui/DirectoryChooser.h"
#include "ui/Kelvane_Main.h"

struct WindowFolder {
  QString startDirectory;
  std::unique_ptr<QTemporaryDir> folder;

  // Shows `form` and opens a new temporary folder in it; false when either
  // fails.
  bool OpenIn(kelvane::ui::TForm1& form) {
    startDirectory = QDir::currentPath();
    folder = std::make_unique<QTemporaryDir>();
    if (!folder->isValid()) return false;
    form.show();
    return form.Directories()->OpenDirectory(folder->path());
  }
  // After the window has gone.
  void Close() {
    QDir::setCurrent(startDirectory);
    folder.reset();
  }
  QString Path() const { return folder->path(); }
};
