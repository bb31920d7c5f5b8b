// Kelvane: the desktop calculator for the drying of coated films.

#include <QApplication>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

#include "ui/Controls.h"
#include "ui/Kelvane_Main.h"

namespace {

// Without a display and without an explicit platform, Qt would abort with a
// terse message; say what to do instead.
bool DisplayAvailable() {
#if defined(Q_OS_LINUX) || defined(Q_OS_UNIX)
#if !defined(Q_OS_MACOS)
  const auto set = [](const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
  };
  return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
#endif
#endif
  return true;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (!DisplayAvailable()) {
    std::fprintf(stderr,
                 "kelvane: no display found.  Run the window under a virtual display with\n"
                 "  xvfb-run -a kelvane\n"
                 "or run the default calculation without a window with kelvane-run.\n");
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kelvane"));
  kelvane::ui::InstallFontSubstitutions();
  QApplication::setWindowIcon(kelvane::ui::ResourceIcon(QStringLiteral("kelvane.svg")));

  kelvane::ui::TForm1 form;
  form.show();
  return app.exec();
}
