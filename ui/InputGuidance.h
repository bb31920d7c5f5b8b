#pragma once
// Helping people get the inputs right in the window: tooltips from the field
// table, the field a message is about shown and marked until it is edited,
// the message boxes with their English explanation, the "These inputs look
// wrong" question before a run, and the questions about replacing a result
// file.

#include <QLineEdit>
#include <QMessageBox>
#include <QString>
#include <QTabWidget>
#include <QWidget>

#include <string>
#include <vector>

#include "engine/EngineHost.h"
#include "fields/FieldTable.h"
#include "run/Plausibility.h"

namespace kelvane::ui {

class EditFieldTexts;

// Tooltips on every edit box, and the mark of a field cleared when its
// text changes.
void InstallFieldGuidance(const EditFieldTexts& fields);

// Switches to the page of `component`, focuses its edit box, selects its
// text and marks it (a tinted background) until it is edited.
void ShowField(QTabWidget* pages, const EditFieldTexts& fields, const std::string& component);
bool FieldMarked(const QLineEdit* edit);
// Every mark cleared: the causes of earlier messages are gone.
void ClearFieldMarks(const EditFieldTexts& fields);

// A message box holding `text` with the explanation as its informative
// text.  With `offerRobust` it has a button "Run again with the robust
// surface solve"; true when that was chosen.  The box opens beside
// `field` when one is given; `notes` (what else the run did) follow the
// explanation.
bool ExplainedMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& objectName, const std::string& text,
                         const MessageDetail& detail, bool offerRobust, QWidget* field = nullptr,
                         const QString& notes = QString());

enum class WarningChoice { RunAnyway, GoToField, Cancel };
// "These inputs look wrong: ..." with [Go to field] [Run anyway] [Cancel],
// beside `field` when one is given.
WarningChoice AskAboutWarnings(QWidget* parent, const std::vector<PlausibilityWarning>& warnings,
                               QWidget* field = nullptr);

// "result.txt exists ...; replace it?"  `dontAskAgain` receives the box's
// check box.
bool AskReplaceResult(QWidget* parent, const QString& path, bool& dontAskAgain);
// After a cancelled run: true keeps the partial result, false the earlier
// file.
bool AskKeepPartial(QWidget* parent, const QString& path);

}  // namespace kelvane::ui
