#include "ui/HelpMenu.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMenu>
#include <QMessageBox>

#include <system_error>

#include "KelvaneVersion.h"
#include "run/GuideLocation.h"

namespace kelvane::ui {

namespace {

void Tell(QWidget* parent, QMessageBox::Icon icon, const QString& name, const QString& text) {
  QMessageBox box(icon, QStringLiteral("Kelvane"), text, QMessageBox::Ok, parent);
  box.setObjectName(name);
  box.setTextInteractionFlags(Qt::TextSelectableByMouse);
  box.exec();
}

}  // namespace

HelpMenu::HelpMenu(QWidget* window)
    : QToolButton(window),
      ProgramDir(QCoreApplication::applicationDirPath().toStdString()),
      OpenUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); }),
      window_(window) {
  setObjectName(QStringLiteral("HelpMenu"));
  // The six page tabs leave room for no more than a question mark.
  setText(QStringLiteral("?"));
  setAccessibleName(QStringLiteral("Help"));
  setAutoRaise(true);
  setPopupMode(QToolButton::InstantPopup);
  setStyleSheet(QStringLiteral("QToolButton { padding: 0 4px; } QToolButton::menu-indicator { image: none; width: 0; }"));
  setToolTip(QStringLiteral("Help: the user guide (F1) and what this program is"));
  setFocusPolicy(Qt::NoFocus);
  auto* menu = new QMenu(this);
  guide_ = menu->addAction(QStringLiteral("User Guide"));
  guide_->setObjectName(QStringLiteral("UserGuideAction"));
  guide_->setShortcut(QKeySequence(Qt::Key_F1));
  guide_->setShortcutContext(Qt::WindowShortcut);
  about_ = menu->addAction(QStringLiteral("About Kelvane"));
  about_->setObjectName(QStringLiteral("AboutAction"));
  setMenu(menu);
  // The shortcut works wherever the focus is in the window, menu shut.
  window->addAction(guide_);
  connect(guide_, &QAction::triggered, this, &HelpMenu::OpenGuide);
  connect(about_, &QAction::triggered, this, &HelpMenu::ShowAbout);
}

void HelpMenu::OpenGuide() {
  GuideSearch search = FindGuide(ProgramDir);
  std::error_code ec;
  if (search.Found && !std::filesystem::is_regular_file(*search.Found, ec)) search.Found.reset();
  if (search.Found) {
    const QString page = QString::fromStdString(search.Found->string());
    if (!OpenUrl(QUrl::fromLocalFile(page)))
      Tell(window_, QMessageBox::Warning, QStringLiteral("GuideNotOpened"),
           QStringLiteral("The user guide is at\n%1\nbut no web browser could be started to show it.").arg(page));
    return;
  }
  QString places;
  for (const std::filesystem::path& p : search.LookedAt) places += QStringLiteral("\n  ") + QString::fromStdString(p.string());
  Tell(window_, QMessageBox::Warning, QStringLiteral("NoGuide"),
       QStringLiteral("The user guide was not found. Kelvane looked for it at:%1\n\n"
                      "In a clone of the sources, ./kelvane.sh docs builds it into build/guide/; "
                      "the Debian package installs it.")
           .arg(places));
}

void HelpMenu::ShowAbout() {
  const GuideSearch search = FindGuide(ProgramDir);
  Tell(window_, QMessageBox::Information, QStringLiteral("About"),
       QStringLiteral("Kelvane %1\nThe drying of coated films in a dryer of up to 14 zones.\n\n%2")
           .arg(QStringLiteral(KELVANE_VERSION), QString::fromStdString(GuideHelpText(search)).trimmed()));
}

}  // namespace kelvane::ui
