#include "ui/SummarySettingsPanel.h"

#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QVBoxLayout>

namespace kelvane::ui {

namespace {

// The unit box's entries and the suffixes the reader takes.
struct UnitChoice {
  const char* Label;
  const char* Suffix;
};
const UnitChoice kUnits[] = {{"% of the initial solvent", "%"},
                             {"g/m² of web", "g/m2"},
                             {"ppm of the dry coating", "ppm"}};

const QColor kTint(255, 214, 150);

void Tint(QLineEdit* edit, bool on) {
  QPalette palette = edit->palette();
  palette.setColor(QPalette::Base, on ? kTint : QApplication::palette(edit).color(QPalette::Base));
  edit->setPalette(palette);
}

}  // namespace

SummarySettingsPanel::SummarySettingsPanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("TargetsPage"));
  auto* layout = new QVBoxLayout(this);
  auto* intro = new QLabel(QStringLiteral("What the run summary checks and how it reports. The main window's "
                                          "outcome line and the Summary page follow these settings at once; "
                                          "an empty field sets no target."),
                           this);
  intro->setWordWrap(true);
  layout->addWidget(intro);
  auto* form = new QFormLayout;
  layout->addLayout(form);
  auto edit = [this](const char* name, const QString& placeholder) {
    auto* e = new QLineEdit(this);
    e->setObjectName(QString::fromLatin1(name));
    e->setPlaceholderText(placeholder);
    e->setMaximumWidth(120);
    connect(e, &QLineEdit::editingFinished, this, [this] { Apply(); });
    connect(e, &QLineEdit::textEdited, this, [e] { Tint(e, false); });
    return e;
  };
  residual_ = edit("ResidualTargetValue", QStringLiteral("none"));
  unit_ = new QComboBox(this);
  unit_->setObjectName(QStringLiteral("ResidualTargetUnit"));
  for (const UnitChoice& u : kUnits) unit_->addItem(QString::fromUtf8(u.Label), QString::fromLatin1(u.Suffix));
  connect(unit_, &QComboBox::currentIndexChanged, this, [this] { Apply(); });
  auto* residualRow = new QHBoxLayout;
  residualRow->addWidget(residual_);
  residualRow->addWidget(unit_);
  residualRow->addStretch(1);
  form->addRow(QStringLiteral("Residual solvent target at the exit:"), residualRow);
  maxTemperature_ = edit("FilmTemperatureLimit", QStringLiteral("none"));
  form->addRow(QStringLiteral("Film-temperature limit (℃):"), maxTemperature_);
  webWidth_ = edit("WebWidth", QStringLiteral("none"));
  form->addRow(QStringLiteral("Web width for the heat in kW (m):"), webWidth_);
  boilingShare_ = edit("BoilingPointShare", QString());
  boilingShare_->setText(QStringLiteral("1"));
  form->addRow(QStringLiteral("Above-boiling-point warning while a solvent is at least (% of the coating):"),
               boilingShare_);
  skinPolymer_ = edit("SkinSurfacePolymer", QString());
  skinPolymer_->setText(QStringLiteral("0.85"));
  form->addRow(QStringLiteral("Skin: surface polymer volume fraction of at least:"), skinPolymer_);
  skinRemaining_ = edit("SkinSolventRemaining", QString());
  skinRemaining_->setText(QStringLiteral("50"));
  form->addRow(QStringLiteral("Skinning warning while the solvent left is at least (% of the initial):"),
               skinRemaining_);
  error_ = new QLabel(this);
  error_->setObjectName(QStringLiteral("TargetsError"));
  error_->setWordWrap(true);
  error_->setStyleSheet(QStringLiteral("QLabel { color: #b01010; }"));
  layout->addWidget(error_);
  layout->addStretch(1);
  Apply();
}

QLineEdit* SummarySettingsPanel::Field(SummarySettingField field) const {
  switch (field) {
    case SummarySettingField::ResidualTarget: return residual_;
    case SummarySettingField::MaxFilmTemperature: return maxTemperature_;
    case SummarySettingField::WebWidth: return webWidth_;
    case SummarySettingField::BoilingPointShare: return boilingShare_;
    case SummarySettingField::SkinSurfacePolymer: return skinPolymer_;
    case SummarySettingField::SkinSolventRemaining: return skinRemaining_;
    case SummarySettingField::None: break;
  }
  return nullptr;
}

SummarySettingsTexts SummarySettingsPanel::Texts() const {
  SummarySettingsTexts t;
  const QString residual = residual_->text().trimmed();
  if (!residual.isEmpty()) t.ResidualTarget = (residual + unit_->currentData().toString()).toStdString();
  t.MaxFilmTemperature = maxTemperature_->text().trimmed().toStdString();
  t.WebWidth = webWidth_->text().trimmed().toStdString();
  t.BoilingPointShare = boilingShare_->text().trimmed().toStdString();
  t.SkinSurfacePolymer = skinPolymer_->text().trimmed().toStdString();
  t.SkinSolventRemaining = skinRemaining_->text().trimmed().toStdString();
  return t;
}

bool SummarySettingsPanel::SetTexts(const SummarySettingsTexts& t) {
  QString residual = QString::fromStdString(t.ResidualTarget);
  for (int i = 0; i < unit_->count(); ++i) {
    const QString suffix = unit_->itemData(i).toString();
    if (residual.endsWith(suffix)) {
      residual.chop(suffix.size());
      const QSignalBlocker block(unit_);
      unit_->setCurrentIndex(i);
      break;
    }
  }
  residual_->setText(residual);
  maxTemperature_->setText(QString::fromStdString(t.MaxFilmTemperature));
  webWidth_->setText(QString::fromStdString(t.WebWidth));
  boilingShare_->setText(QString::fromStdString(t.BoilingPointShare));
  skinPolymer_->setText(QString::fromStdString(t.SkinSurfacePolymer));
  skinRemaining_->setText(QString::fromStdString(t.SkinSolventRemaining));
  return Apply();
}

bool SummarySettingsPanel::Apply() {
  const SummarySettingsTexts texts = Texts();
  const SummarySettingsRead read = ReadSummarySettings(texts);
  for (auto f : {SummarySettingField::ResidualTarget, SummarySettingField::MaxFilmTemperature,
                 SummarySettingField::WebWidth, SummarySettingField::BoilingPointShare,
                 SummarySettingField::SkinSurfacePolymer, SummarySettingField::SkinSolventRemaining})
    Tint(Field(f), f == read.Field);
  if (!read.Ok()) {
    error_->setText(QStringLiteral("%1: \"%2\" — %3. The settings read last stay in force.")
                        .arg(QString::fromLatin1(SummarySettingCaption(read.Field)), Field(read.Field)->text(),
                             QString::fromStdString(read.Error)));
    return false;
  }
  error_->clear();
  const bool same = texts.ResidualTarget == applied_.ResidualTarget &&
                    texts.MaxFilmTemperature == applied_.MaxFilmTemperature && texts.WebWidth == applied_.WebWidth &&
                    texts.BoilingPointShare == applied_.BoilingPointShare &&
                    texts.SkinSurfacePolymer == applied_.SkinSurfacePolymer &&
                    texts.SkinSolventRemaining == applied_.SkinSolventRemaining;
  settings_ = read.Settings;
  applied_ = texts;
  if (!same) emit Changed();
  return true;
}

QString SummarySettingsPanel::Error() const { return error_->text(); }

void SummarySettingsPanel::Save(QSettings& s) const {
  const SummarySettingsTexts t = Texts();
  s.beginGroup(QStringLiteral("summary"));
  s.setValue(QStringLiteral("residualTarget"), QString::fromStdString(t.ResidualTarget));
  s.setValue(QStringLiteral("maxFilmTemperature"), QString::fromStdString(t.MaxFilmTemperature));
  s.setValue(QStringLiteral("webWidth"), QString::fromStdString(t.WebWidth));
  s.setValue(QStringLiteral("boilingPointShare"), QString::fromStdString(t.BoilingPointShare));
  s.setValue(QStringLiteral("skinSurfacePolymer"), QString::fromStdString(t.SkinSurfacePolymer));
  s.setValue(QStringLiteral("skinSolventRemaining"), QString::fromStdString(t.SkinSolventRemaining));
  s.endGroup();
}

void SummarySettingsPanel::Restore(QSettings& s) {
  s.beginGroup(QStringLiteral("summary"));
  const SummarySettingsTexts now = Texts();
  auto text = [&](const char* key, const std::string& fallback) {
    return s.value(QString::fromLatin1(key), QString::fromStdString(fallback)).toString().toStdString();
  };
  SummarySettingsTexts t;
  t.ResidualTarget = text("residualTarget", now.ResidualTarget);
  t.MaxFilmTemperature = text("maxFilmTemperature", now.MaxFilmTemperature);
  t.WebWidth = text("webWidth", now.WebWidth);
  t.BoilingPointShare = text("boilingPointShare", now.BoilingPointShare);
  t.SkinSurfacePolymer = text("skinSurfacePolymer", now.SkinSurfacePolymer);
  t.SkinSolventRemaining = text("skinSolventRemaining", now.SkinSolventRemaining);
  s.endGroup();
  SetTexts(t);
}

}  // namespace kelvane::ui
