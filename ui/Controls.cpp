#include "ui/Controls.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QStringList>

namespace kelvane::ui {

void InstallFontSubstitutions() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  // fontconfig knows no alias for the Japanese system font; name the
  // proportional Gothics that free systems ship instead.
  const QStringList gothics{"IPAPGothic", "IPA Pゴシック", "VL PGothic", "Noto Sans CJK JP", "Noto Sans JP",
                            "TakaoPGothic", "IPAGothic"};
  QFont::insertSubstitutions(QString::fromUtf8(WindowFontFamily), gothics);
  QFont::insertSubstitutions(QStringLiteral("MS PGothic"), gothics);
  QFont::insertSubstitutions(QString::fromUtf8(TabFontFamily),
                             {"Liberation Sans", "Arimo", "Helvetica", "Nimbus Sans", "DejaVu Sans"});
}

QFont WindowFont(int pixelHeight) {
  InstallFontSubstitutions();
  QFont font(QString::fromUtf8(WindowFontFamily));
  font.setPixelSize(pixelHeight);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

QFont TabFont(int pixelHeight) {
  InstallFontSubstitutions();
  QFont font(QString::fromUtf8(TabFontFamily));
  font.setPixelSize(pixelHeight);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

void SetTextColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  palette.setColor(QPalette::ButtonText, colour);
  widget->setPalette(palette);
}

QFrame* NewBevelPanel(QWidget* parent, const QRect& geometry, int bevelWidth) {
  auto* panel = new QFrame(parent);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setLineWidth(bevelWidth);
  panel->setGeometry(geometry);
  return panel;
}

QGroupBox* NewGroup(QWidget* parent, const QString& caption, const QColor& captionColour, const QRect& geometry) {
  auto* group = new QGroupBox(caption, parent);
  group->setFlat(false);
  group->setGeometry(geometry);
  group->setFocusPolicy(Qt::NoFocus);
  // The caption takes the group's WindowText; children reset it to black.
  SetTextColour(group, captionColour);
  return group;
}

QLabel* NewText(QWidget* parent, const QString& text, const QRect& geometry, const QColor& colour) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(geometry);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  SetTextColour(label, colour);
  return label;
}

RowStrip::RowStrip(QWidget* parent, const QString& caption, const QRect& geometry, int captionPixelHeight)
    : QFrame(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(1);
  setGeometry(geometry);
  SetTextColour(this, Black);
  caption_ = new QLabel(QStringLiteral("  ") + caption, this);
  caption_->setGeometry(1, 1, geometry.width() - 2, geometry.height() - 2);
  caption_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  caption_->setFont(WindowFont(captionPixelHeight));
  SetTextColour(caption_, Blue);
}

QLineEdit* RowStrip::AddEdit(const QString& objectName, int x, int width, int height) {
  auto* edit = new QLineEdit(this);
  edit->setObjectName(objectName);
  const int y = (this->height() - height) / 2;
  edit->setGeometry(x, y < 0 ? 0 : y, width, height);
  edit->raise();
  FitCaption(x - caption_->x() - 2);
  return edit;
}

void RowStrip::FitCaption(int width) {
  // A substitute font can run a few pixels wider than the one the rows were
  // laid out for; tighten the letters rather than hide the caption's end
  // under the edit box.
  QFont font = caption_->font();
  font.setLetterSpacing(QFont::AbsoluteSpacing, 0);
  const QString text = caption_->text();
  const int natural = QFontMetrics(font).horizontalAdvance(text);
  if (natural > width && text.size() > 1) {
    const qreal squeeze = qMin<qreal>(0.6, qreal(natural - width) / (text.size() - 1));
    font.setLetterSpacing(QFont::AbsoluteSpacing, -squeeze);
  }
  caption_->setFont(font);
}

QIcon ResourceIcon(const QString& name) {
  QSvgRenderer renderer(QStringLiteral(":/kelvane/") + name);
  QIcon icon;
  if (!renderer.isValid()) return icon;
  for (int size : {16, 18, 24, 32, 48, 64, 128}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

SchematicView::SchematicView(QWidget* parent)
    : QWidget(parent), renderer_(QStringLiteral(":/kelvane/schematic.svg")) {
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void SchematicView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setClipRect(rect());
  painter.fillRect(rect(), palette().window());
  // Native size, anchored top-left: a smaller area cuts the right and bottom
  // edges rather than scaling the drawing.
  renderer_.render(&painter, QRectF(QPointF(0, 0), renderer_.defaultSize()));
}

}  // namespace kelvane::ui
