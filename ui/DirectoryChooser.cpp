#include "ui/DirectoryChooser.h"

#include <QApplication>
#include <QFileSystemWatcher>
#include <QScrollBar>
#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <QStyle>

#include <algorithm>

namespace kelvane::ui {
namespace {

constexpr int PathRole = Qt::UserRole;

QString Canonical(const QString& path) {
  const QString canonical = QFileInfo(path).canonicalFilePath();
  return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(path).absoluteFilePath()) : canonical;
}

// The mount point that holds `path` (the longest matching root).
QString RootOf(const QString& path, const QStringList& roots) {
  QString best = QStringLiteral("/");
  for (const QString& root : roots) {
    const bool inside = path == root || path.startsWith(root.endsWith('/') ? root : root + '/');
    if (inside && root.size() > best.size()) best = root;
  }
  return best;
}

}  // namespace

DirectoryChooser::DirectoryChooser(QWidget* parent, const QRect& driveGeometry, const QRect& directoryGeometry,
                                   const QRect& fileGeometry)
    : QObject(parent) {
  drives_ = new QComboBox(parent);
  drives_->setObjectName(QStringLiteral("DriveComboBox1"));
  drives_->setGeometry(driveGeometry);
  drives_->setFocusPolicy(Qt::ClickFocus);

  directories_ = new QListWidget(parent);
  directories_->setObjectName(QStringLiteral("DirectoryListBox1"));
  directories_->setGeometry(directoryGeometry);
  directories_->setFocusPolicy(Qt::ClickFocus);
  directories_->setUniformItemSizes(true);
  directories_->setIconSize(QSize(14, 14));

  files_ = new QListWidget(parent);
  files_->setObjectName(QStringLiteral("FileListBox1"));
  files_->setGeometry(fileGeometry);
  files_->setFocusPolicy(Qt::ClickFocus);
  files_->setUniformItemSizes(true);

  connect(drives_, &QComboBox::activated, this, &DirectoryChooser::DriveChosen);
  connect(directories_, &QListWidget::itemDoubleClicked, this, &DirectoryChooser::DirectoryItemOpened);

  // The lists follow the folder: files and folders made or removed while it
  // is open (a study's CSV, the runner's result file) show at once.
  watcher_ = new QFileSystemWatcher(this);
  connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &DirectoryChooser::Refresh);

  FillDrives();
  if (!OpenDirectory(QDir::currentPath())) OpenDirectory(QDir::rootPath());
}

void DirectoryChooser::Refresh() {
  if (!QFileInfo(directory_).isDir()) return;
  const QString chosen = files_->currentItem() ? files_->currentItem()->text() : QString();
  const int scrolled = files_->verticalScrollBar()->value();
  FillDirectoryList();
  FillFileList();
  if (!chosen.isEmpty()) {
    const auto found = files_->findItems(chosen, Qt::MatchExactly);
    if (!found.isEmpty()) files_->setCurrentItem(found.front());
  }
  files_->verticalScrollBar()->setValue(scrolled);
}

QStringList DirectoryChooser::DriveRoots() {
  QStringList roots{QDir::rootPath()};
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (!volume.isValid() || !volume.isReady()) continue;
    const QString root = volume.rootPath();
    if (!roots.contains(root) && QFileInfo(root).isDir()) roots << root;
  }
  std::sort(roots.begin(), roots.end());
  return roots;
}

void DirectoryChooser::FillDrives() {
  drives_->clear();
  const QIcon icon = QApplication::style()->standardIcon(QStyle::SP_DriveHDIcon);
  for (const QString& root : DriveRoots()) drives_->addItem(icon, root);
}

bool DirectoryChooser::OpenDirectory(const QString& path) {
  const QString target = Canonical(path);
  const QFileInfo info(target);
  if (!info.isDir() || !info.isExecutable() || !QDir::setCurrent(target)) return false;
  directory_ = target;
  if (!watcher_->directories().isEmpty()) watcher_->removePaths(watcher_->directories());
  watcher_->addPath(directory_);

  QStringList roots;
  for (int i = 0; i < drives_->count(); ++i) roots << drives_->itemText(i);
  const int driveIndex = drives_->findText(RootOf(directory_, roots));
  if (driveIndex >= 0) drives_->setCurrentIndex(driveIndex);

  FillDirectoryList();
  FillFileList();
  emit DirectoryChanged(directory_);
  return true;
}

void DirectoryChooser::FillDirectoryList() {
  directories_->clear();
  QStyle* style = QApplication::style();
  const QIcon openIcon = style->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closedIcon = style->standardIcon(QStyle::SP_DirClosedIcon);
  auto add = [&](const QString& text, const QString& fullPath, int level, const QIcon& icon) {
    auto* item = new QListWidgetItem(icon, QString(level * 2, ' ') + text, directories_);
    item->setData(PathRole, fullPath);
    item->setSizeHint(QSize(0, 16));
    return item;
  };

  // The path from the root down to the open directory, one entry per level.
  QStringList parts = directory_.split('/', Qt::SkipEmptyParts);
  QString walked = QStringLiteral("/");
  QListWidgetItem* current = add(QStringLiteral("/"), walked, 0, openIcon);
  int level = 0;
  for (const QString& part : parts) {
    walked = QDir::cleanPath(walked + '/' + part);
    current = add(part, walked, ++level, openIcon);
  }
  // Then the open directory's subdirectories.
  const QDir dir(directory_);
  const QStringList children =
      dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
  for (const QString& child : children) add(child, dir.filePath(child), level + 1, closedIcon);
  directories_->setCurrentItem(current);
}

void DirectoryChooser::FillFileList() {
  files_->clear();
  const QDir dir(directory_);
  const QStringList names = dir.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
  for (const QString& name : names) {
    auto* item = new QListWidgetItem(name, files_);
    item->setSizeHint(QSize(0, 13));
  }
}

void DirectoryChooser::DriveChosen(int index) {
  const QString previous = directory_;
  if (!OpenDirectory(drives_->itemText(index))) OpenDirectory(previous);
}

void DirectoryChooser::DirectoryItemOpened(QListWidgetItem* item) {
  if (!item) return;
  if (!OpenDirectory(item->data(PathRole).toString())) QApplication::beep();
}

}  // namespace kelvane::ui
