#include "ui/WindowSettings.h"

#include <QCheckBox>
#include <QDir>

#include "ui/DirectoryChooser.h"
#include "ui/Kelvane_Main.h"
#include "ui/ResultsWindow.h"
#include "ui/SummarySettingsPanel.h"

namespace kelvane::ui {

void RestoreWindowSettings(TForm1& form, QSettings& settings) {
  const QString folder = settings.value(QStringLiteral("folder")).toString();
  if (!folder.isEmpty() && QDir(folder).exists()) form.Directories()->OpenDirectory(folder);
  form.LastDataFile = settings.value(QStringLiteral("dataFile")).toString();
  // The robust surface solve is on unless the engineer unticked it.  The
  // key is new: the one before it ("robust") was saved on every close with
  // the old default off, and does not tell a choice from that default.
  form.RobustBox()->setChecked(!settings.value(QStringLiteral("plainMarch"), false).toBool());
  form.AskBeforeReplacing = settings.value(QStringLiteral("askBeforeReplacing"), true).toBool();
  form.Results()->Targets()->Restore(settings);
}

void SaveWindowSettings(TForm1& form, QSettings& settings) {
  settings.setValue(QStringLiteral("folder"), form.Directories()->Directory());
  settings.setValue(QStringLiteral("dataFile"), form.LastDataFile);
  settings.setValue(QStringLiteral("plainMarch"), !form.RobustBox()->isChecked());
  settings.remove(QStringLiteral("robust"));
  settings.setValue(QStringLiteral("askBeforeReplacing"), form.AskBeforeReplacing);
  form.Results()->Targets()->Save(settings);
  settings.sync();
}

}  // namespace kelvane::ui
