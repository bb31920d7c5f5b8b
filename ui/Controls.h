#pragma once
// Building blocks of the Kelvane windows: fonts, colours, bevelled panels,
// coloured group boxes, the labelled input row and the schematic picture.

#include <QColor>
#include <QFont>
#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QRect>
#include <QString>
#include <QSvgRenderer>
#include <QWidget>

namespace kelvane::ui {

// The standard colours of group captions and row labels.
inline const QColor Red{0xff, 0x00, 0x00};
inline const QColor Maroon{0x80, 0x00, 0x00};
inline const QColor Blue{0x00, 0x00, 0xff};
inline const QColor Black{0x00, 0x00, 0x00};

// The windows' Japanese Gothic and the tabs' Arial.  Machines without them
// get IPAPGothic (or another installed Gothic) and a sans instead; the
// substitutions are registered once, before the first window is built.
inline constexpr const char* WindowFontFamily = "ＭＳ Ｐゴシック";
inline constexpr const char* TabFontFamily = "Arial";
void InstallFontSubstitutions();
QFont WindowFont(int pixelHeight);
QFont TabFont(int pixelHeight);

// Sets the colour of a widget's own text (labels, group captions, buttons).
void SetTextColour(QWidget* widget, const QColor& colour);

// A panel with a lowered inner bevel of `bevelWidth` pixels.
QFrame* NewBevelPanel(QWidget* parent, const QRect& geometry, int bevelWidth = 1);

// A group box with a coloured caption; its contents keep black text.
QGroupBox* NewGroup(QWidget* parent, const QString& caption, const QColor& captionColour, const QRect& geometry);

// A borderless text (the operators of the vapour-pressure formula).
QLabel* NewText(QWidget* parent, const QString& text, const QRect& geometry, const QColor& colour = Black);

// An input row: a lowered-bevel strip whose caption, in blue and preceded by
// two blanks, is left-aligned; edit boxes are placed inside it by AddEdit.
class RowStrip : public QFrame {
 public:
  RowStrip(QWidget* parent, const QString& caption, const QRect& geometry, int captionPixelHeight = 12);
  QLineEdit* AddEdit(const QString& objectName, int x, int width, int height = 21);
  QLabel* Caption() const { return caption_; }

 private:
  void FitCaption(int width);
  QLabel* caption_;
};

// An icon drawn from one of the program's SVG resources (":/kelvane/<name>").
QIcon ResourceIcon(const QString& name);

// The schematic of the dryer, drawn unscaled from the top-left corner and cut
// off at the widget's edges.
class SchematicView : public QWidget {
 public:
  explicit SchematicView(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QSvgRenderer renderer_;
};

}  // namespace kelvane::ui
