#include "ui/InputGuidance.h"

#include <QCheckBox>
#include <QPalette>
#include <QPushButton>

#include "run/FieldHelp.h"
#include "ui/BoxPlacement.h"
#include "run/MessageExplanations.h"
#include "ui/Kelvane_Main.h"

namespace kelvane::ui {
namespace {

const char* const kMarked = "kelvaneMarked";

void Unmark(QLineEdit* edit) {
  if (!edit->property(kMarked).toBool()) return;
  edit->setProperty(kMarked, false);
  QPalette palette = edit->palette();
  palette.setColor(QPalette::Base, edit->property("kelvaneBase").value<QColor>());
  edit->setPalette(palette);
}

}  // namespace

void InstallFieldGuidance(const EditFieldTexts& fields) {
  for (const FieldSpec& f : FieldTable()) {
    QLineEdit* edit = fields.Edit(f.Component);
    if (!edit) continue;
    edit->setToolTip(QString::fromStdString(FieldTooltip(f)));
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit] { Unmark(edit); });
  }
}

void ShowField(QTabWidget* pages, const EditFieldTexts& fields, const std::string& component) {
  const FieldSpec* f = FindField(component);
  QLineEdit* edit = fields.Edit(component);
  if (!f || !edit) return;
  pages->setCurrentIndex(FieldPage(*f));
  if (!edit->property(kMarked).toBool()) {
    edit->setProperty("kelvaneBase", edit->palette().color(QPalette::Base));
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, QColor(255, 214, 150));
    edit->setPalette(palette);
    edit->setProperty(kMarked, true);
  }
  if (edit->isEnabled()) {
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
  }
}

bool FieldMarked(const QLineEdit* edit) { return edit && edit->property(kMarked).toBool(); }

void ClearFieldMarks(const EditFieldTexts& fields) {
  for (const FieldSpec& f : FieldTable())
    if (QLineEdit* edit = fields.Edit(f.Component)) Unmark(edit);
}

QString CauseAndActions(const MessageDetail& detail) { return QString::fromStdString(WindowExplanation(detail)); }

bool ExplainedMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& objectName, const std::string& text,
                         const MessageDetail& detail, bool offerRobust, QWidget* field, const QString& notes) {
  PlacedMessageBox box(icon, QStringLiteral("Kelvane"), QString::fromStdString(text), QMessageBox::Ok, parent);
  box.SetBeside(field);
  box.setObjectName(objectName);
  QString informative = CauseAndActions(detail);
  if (!notes.isEmpty()) informative += (informative.isEmpty() ? QString() : QStringLiteral("\n\n")) + notes;
  if (!informative.isEmpty()) box.setInformativeText(informative);
  QPushButton* robust = nullptr;
  if (offerRobust) {
    robust = box.addButton(QStringLiteral("Run again with the robust surface solve"), QMessageBox::ActionRole);
    robust->setObjectName(QStringLiteral("RunAgainRobust"));
  }
  box.setDefaultButton(QMessageBox::Ok);
  box.exec();
  return robust && box.clickedButton() == robust;
}

WarningChoice AskAboutWarnings(QWidget* parent, const std::vector<PlausibilityWarning>& warnings, QWidget* field) {
  QString list;
  for (const PlausibilityWarning& w : warnings) {
    const FieldSpec* f = FindField(w.Field);
    list += QStringLiteral("• ") + (f ? QString::fromStdString(FieldInWindow(*f)) + QStringLiteral(": ") : QString()) +
            QString::fromStdString(w.Text).replace(QStringLiteral(" degC"), QStringLiteral(" ℃")) + QStringLiteral("\n");
  }
  PlacedMessageBox box(QMessageBox::Warning, QStringLiteral("Kelvane"), QStringLiteral("These inputs look wrong:"),
                       QMessageBox::NoButton, parent);
  box.SetBeside(field);
  box.setObjectName(QStringLiteral("PlausibilityWarnings"));
  box.setInformativeText(list.trimmed());
  QPushButton* go = box.addButton(QStringLiteral("Go to field"), QMessageBox::ActionRole);
  go->setObjectName(QStringLiteral("GoToField"));
  QPushButton* run = qobject_cast<QPushButton*>(box.addButton(QMessageBox::Yes));
  run->setText(QStringLiteral("Run anyway"));
  box.addButton(QMessageBox::Cancel);
  box.setDefaultButton(go);
  box.setEscapeButton(QMessageBox::Cancel);
  box.exec();
  if (box.clickedButton() == go) return WarningChoice::GoToField;
  if (box.clickedButton() == run) return WarningChoice::RunAnyway;
  return WarningChoice::Cancel;
}

bool AskReplaceResult(QWidget* parent, const QString& path, bool& dontAskAgain) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Kelvane"),
                  QStringLiteral("The result file \"%1\" already exists and was not written by the last run of this "
                                 "window. Replace it?")
                      .arg(path),
                  QMessageBox::Yes | QMessageBox::Cancel, parent);
  box.setObjectName(QStringLiteral("ReplaceQuestion"));
  box.button(QMessageBox::Yes)->setText(QStringLiteral("Replace"));
  box.setDefaultButton(QMessageBox::Cancel);
  auto* check = new QCheckBox(QStringLiteral("Don't ask again"));
  box.setCheckBox(check);
  const bool replace = box.exec() == QMessageBox::Yes;
  dontAskAgain = replace && check->isChecked();
  return replace;
}

bool AskKeepPartial(QWidget* parent, const QString& path) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Kelvane"),
                  QStringLiteral("The calculation was cancelled. Keep its partial result as \"%1\", or keep the "
                                 "earlier file of that name?")
                      .arg(path),
                  QMessageBox::Yes | QMessageBox::No, parent);
  box.setObjectName(QStringLiteral("KeepPartialQuestion"));
  box.button(QMessageBox::Yes)->setText(QStringLiteral("Keep the partial result"));
  box.button(QMessageBox::No)->setText(QStringLiteral("Keep the earlier file"));
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace kelvane::ui
