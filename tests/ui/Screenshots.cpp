// Writes PNG pictures of the five pages of the main window and of the finish
// dialog, so the layout can be inspected without a desktop:
//   QT_QPA_PLATFORM=offscreen kelvane_ui_screens [folder]
// (or under xvfb-run).  The folder defaults to the current directory.

#include <QApplication>
#include <QDir>
#include <QTabWidget>

#include <cstdio>

#include "ui/F_Form.h"
#include "ui/Kelvane_Main.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
  QDir().mkpath(folder);
  const QString startDirectory = QDir::currentPath();

  kelvane::ui::TForm1 form;
  form.show();
  QApplication::processEvents();

  int failures = 0;
  auto save = [&](QWidget* widget, const QString& name) {
    QApplication::processEvents();
    const QString path = QDir(folder).filePath(name);
    const QPixmap shot = widget->grab();
    if (shot.isNull() || !shot.save(path)) {
      std::fprintf(stderr, "could not write %s\n", qPrintable(path));
      ++failures;
    } else {
      std::printf("%s (%d x %d)\n", qPrintable(path), shot.width(), shot.height());
    }
  };
  for (int page = 0; page < form.PageControl()->count(); ++page) {
    form.PageControl()->setCurrentIndex(page);
    save(&form, QStringLiteral("kelvane-page%1.png").arg(page + 1));
  }
  form.PageControl()->setCurrentIndex(0);

  kelvane::ui::TFinishForm* finish = form.FinishForm();
  finish->show();
  save(finish, QStringLiteral("kelvane-finish.png"));
  finish->hide();

  QDir::setCurrent(startDirectory);
  return failures == 0 ? 0 : 1;
}
