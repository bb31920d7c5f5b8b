#pragma once
// The linked drive box, directory list and file list of the main window.
// The drive box lists the file-system roots and mount points; the directory
// list shows the path of the open directory from its root down, then that
// directory's subdirectories; the file list shows its files, and both follow
// the directory as files come and go.  Opening a
// directory (double-click in the list, or choosing a drive) makes it the
// process's current directory, so relative file names resolve there.

#include <QComboBox>
#include <QFileSystemWatcher>
#include <QListWidget>
#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>

namespace kelvane::ui {

class DirectoryChooser : public QObject {
  Q_OBJECT

 public:
  DirectoryChooser(QWidget* parent, const QRect& driveGeometry, const QRect& directoryGeometry,
                   const QRect& fileGeometry);

  // The directory the list shows (absolute, canonical).
  QString Directory() const { return directory_; }

  // Shows `path` in the three controls and makes it the current directory.
  // False (and nothing changes) when it cannot be entered.
  bool OpenDirectory(const QString& path);

  QComboBox* DriveBox() const { return drives_; }
  QListWidget* DirectoryList() const { return directories_; }
  QListWidget* FileList() const { return files_; }

  // The drive box's entries: "/" and the mount points, sorted.
  static QStringList DriveRoots();

 signals:
  void DirectoryChanged(const QString& path);

 private:
  void FillDrives();
  void FillDirectoryList();
  void FillFileList();
  void Refresh();
  void DriveChosen(int index);
  void DirectoryItemOpened(QListWidgetItem* item);

  QComboBox* drives_;
  QListWidget* directories_;
  QListWidget* files_;
  QString directory_;
  QFileSystemWatcher* watcher_ = nullptr;
};

}  // namespace kelvane::ui
