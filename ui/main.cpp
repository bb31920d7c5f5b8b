// Kelvane: the desktop calculator for the drying of coated films.

#include <QApplication>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "KelvaneVersion.h"
#include "run/GuideLocation.h"
#include "ui/Controls.h"
#include "ui/Kelvane_Main.h"
#include "ui/WindowSettings.h"

namespace {

// Without a display and without an explicit platform, Qt would abort with a
// terse message; say what to do instead.
bool DisplayAvailable(int argc, char* argv[]) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "-platform") == 0) return true;
  const auto set = [](const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
  };
  return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
#else
  (void)argc;
  (void)argv;
  return true;
#endif
}

bool AskedForHelp(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
  return false;
}

void PrintHelp() {
  std::printf(
      "Usage: kelvane [-platform NAME] [Qt options]\n"
      "Kelvane: the desktop calculator for the drying of coated films in a dryer of\n"
      "up to 14 zones.  Opens the main window: type the inputs on its five pages or\n"
      "load them with \"Input Data File\", and press OK.  The result file goes to the\n"
      "\"Save File Name\" field's name in the folder chosen in the folder list; the\n"
      "Results window then shows the drying curves and the run summary.\n"
      "\n"
      "Options:\n"
      "  -h, --help        Show this help and exit\n"
      "  --version         Show the version and exit\n"
      "  -platform NAME    Qt platform plugin (xcb, wayland, offscreen, ...)\n"
      "\n"
      "Without a display, run it under a virtual one (xvfb-run -a kelvane) or compute\n"
      "without a window with kelvane-run(1).  The Help menu (F1) opens the user guide.\n\n");
  std::fputs(kelvane::GuideHelpText(kelvane::FindGuide(kelvane::ProgramDir())).c_str(), stdout);
}

}  // namespace

int main(int argc, char* argv[]) {
  if (AskedForHelp(argc, argv)) {
    PrintHelp();
    return 0;
  }
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("kelvane %s\n", KELVANE_VERSION);
      return 0;
    }
  if (!DisplayAvailable(argc, argv)) {
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

  // The folder, data file and robust setting of the last session.
  QSettings settings(QStringLiteral("Kelvane"), QStringLiteral("Kelvane"));
  kelvane::ui::TForm1 form;
  kelvane::ui::RestoreWindowSettings(form, settings);
  form.show();
  const int status = app.exec();
  kelvane::ui::SaveWindowSettings(form, settings);
  return status;
}
