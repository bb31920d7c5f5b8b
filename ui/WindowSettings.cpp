#include "ui/WindowSettings.h"

#include <QCheckBox>
#include <QDir>

#include "fields/FieldTable.h"
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
  // The inputs of the last session, field by field: a field this version
  // has that the session did not keep stays at its default.
  settings.beginGroup(QStringLiteral("inputs"));
  for (const FieldSpec& f : FieldTable()) {
    const QString key = QString::fromStdString(f.Component);
    if (settings.contains(key)) form.Fields().SetText(f.Component, settings.value(key).toString().toStdString());
  }
  settings.endGroup();
}

void SaveWindowSettings(TForm1& form, QSettings& settings) {
  settings.setValue(QStringLiteral("folder"), form.Directories()->Directory());
  settings.setValue(QStringLiteral("dataFile"), form.LastDataFile);
  settings.setValue(QStringLiteral("plainMarch"), !form.RobustBox()->isChecked());
  settings.remove(QStringLiteral("robust"));
  settings.setValue(QStringLiteral("askBeforeReplacing"), form.AskBeforeReplacing);
  form.Results()->Targets()->Save(settings);
  settings.beginGroup(QStringLiteral("inputs"));
  for (const FieldSpec& f : FieldTable())
    settings.setValue(QString::fromStdString(f.Component), QString::fromStdString(form.Fields().Text(f.Component)));
  settings.endGroup();
  settings.sync();
}

}  // namespace kelvane::ui
