#pragma once
// What the window remembers between sessions: the folder opened in the
// folder list, the data file loaded last, the robust surface solve and
// whether to ask before replacing a result file, the summary's targets
// and thresholds, and the text of every input field: closing the window
// loses nothing, the next start shows the inputs as they were left.

#include <QSettings>

namespace kelvane::ui {

class TForm1;

void RestoreWindowSettings(TForm1& form, QSettings& settings);
void SaveWindowSettings(TForm1& form, QSettings& settings);

}  // namespace kelvane::ui
