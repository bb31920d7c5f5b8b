#pragma once
// The window's Help menu, a "?" at the free end of its page tabs: the user
// guide (also F1 anywhere in the window) and what the program is.

#include <QAction>
#include <QToolButton>
#include <QUrl>

#include <filesystem>
#include <functional>

namespace kelvane::ui {

class HelpMenu : public QToolButton {
  Q_OBJECT

 public:
  // `window` takes the F1 shortcut; the button goes where the caller puts it.
  explicit HelpMenu(QWidget* window);

  QAction* GuideAction() const { return guide_; }
  QAction* AboutAction() const { return about_; }

  // The folder of the program, beside which the guide is looked for (the
  // running program's by default).
  std::filesystem::path ProgramDir;
  // Opens a page in the desktop's browser; false when none could be started.
  std::function<bool(const QUrl&)> OpenUrl;

  // Opens the guide, or says where it was looked for and how to get it.
  void OpenGuide();
  void ShowAbout();

 private:
  QWidget* window_;
  QAction* guide_;
  QAction* about_;
};

}  // namespace kelvane::ui
