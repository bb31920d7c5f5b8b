// The five pages of input fields, laid out from the field table: the groups
// of each page, one row per field, the vapour-pressure formula rows, and
// page 1's picture, data-file button, folder lists, OK, Close and line of
// outcome.

#include <QFontMetrics>
#include <QLabel>
#include <QTabBar>
#include <QVBoxLayout>

#include <stdexcept>
#include <vector>

#include "ui/Controls.h"
#include "ui/DirectoryChooser.h"
#include "ui/HelpMenu.h"
#include "ui/InputGuidance.h"
#include "ui/Kelvane_Main.h"
#include "ui/ResultsWindow.h"

namespace kelvane::ui {

// ---------------------------------------------------------------------------
// Layout.  Geometry is in pixels relative to the containing control: the
// page's panel on pages 1 to 4, the page itself on page 5.

namespace {

constexpr int PageCount = 5;
const char* const PageCaptions[PageCount] = {"Zone Cond. (1)", "Zone Cond. (2)", "Zone Cond. (3)",
                                             "General Cond. (1)", "General Cond. (2)"};

enum class Caption { Red, Maroon, Blue };

struct GroupSpec {
  std::string Key;
  int Page;            // 0-based tab index
  std::string Parent;  // key of the enclosing group; empty for the page
  std::string Title;
  Caption Colour;
  QRect Geometry;
};

std::vector<GroupSpec> Groups() {
  std::vector<GroupSpec> g;
  g.push_back({"Zone1", 0, "", "Zone 1", Caption::Red, {9, 15, 340, 302}});
  g.push_back({"Zone2", 0, "", "Zone 2", Caption::Red, {8, 332, 340, 163}});
  g.push_back({"Accuracy", 0, "", "  Calculation Accuracy  ", Caption::Red, {357, 161, 347, 79}});
  g.push_back({"SaveFile", 0, "", "  Save File Name  ", Caption::Red, {544, 244, 142, 44}});
  // Zones 3..8 on page 2 and 9..14 on page 3: three on the left, three on
  // the right.
  const int leftTops[3] = {13, 177, 340};
  const int rightTops[3] = {12, 174, 340};
  for (int z = 3; z <= 14; ++z) {
    const int page = z <= 8 ? 1 : 2;
    const int slot = (z - 3) % 6;
    const bool left = slot < 3;
    const QRect geometry(left ? 15 : 364, left ? leftTops[slot] : rightTops[slot - 3], 336, 160);
    g.push_back({"Zone" + std::to_string(z), page, "", "Zone " + std::to_string(z), Caption::Red, geometry});
  }
  g.push_back({"General", 3, "", "  General  ", Caption::Red, {10, 4, 700, 505}});
  g.push_back({"Fitting", 3, "General", "Fitting Parameter", Caption::Maroon, {9, 26, 654, 125}});
  g.push_back({"Polymer", 3, "General", "  Solid (Polymer)", Caption::Maroon, {9, 158, 678, 51}});
  g.push_back({"Solvent1", 3, "General", "  Solvent-1 ", Caption::Maroon, {9, 216, 677, 109}});
  g.push_back({"Solvent2", 3, "General", "  Solvent-2  ", Caption::Maroon, {8, 329, 678, 113}});
  g.push_back({"BaseFilm", 3, "General", "  Base Film  ", Caption::Maroon, {7, 446, 678, 52}});
  const QRect diffGroups[2] = {{21, 9, 672, 219}, {22, 247, 672, 227}};
  for (int s = 1; s <= 2; ++s) {
    const std::string key = "Diff" + std::to_string(s);
    g.push_back({key, 4, "", "Solvent " + std::to_string(s) + "/Polymer Diffusion Coefficient Parameters",
                 Caption::Maroon, diffGroups[s - 1]});
    g.push_back({key + "T", 4, key, "Dconst - T", Caption::Blue, {23, 15, 626, 40}});
    g.push_back({key + "W", 4, key, "ωg - Dconst", Caption::Blue, {23, 60, 626, 40}});
    g.push_back({key + "D", 4, key, "D - ω", Caption::Blue, {23, 102, 626, 109}});
  }
  return g;
}

// Where one field's row goes.
struct RowPlace {
  std::string Group;
  QRect Strip;      // empty: the edit sits directly in the group
  int EditX = 0;    // within the strip (or the group)
  int EditY = 0;    // only for edits directly in a group
  int EditWidth = 80;
};

// Standard row: strip `width` x 22, edit box 80 wide at its right end.
RowPlace Row(const std::string& group, int x, int y, int width) {
  return {group, QRect(x, y, width, 22), width - 82, 0, 80};
}

// Page 4's two columns.
constexpr int LeftX = 8, LeftWidth = 350, RightX = 362, RightWidth = 308;

RowPlace PlaceField(const FieldSpec& f) {
  const int number = std::stoi(f.Component.substr(4));
  switch (f.Group) {
    case FieldGroup::General:
      return Row("Zone1", 12, 17 + 23 * (number - 1), 316);
    case FieldGroup::Zone:
      if (f.Zone == 1) return Row("Zone1", 12, 17 + 23 * (5 + f.Index), 316);
      if (f.Zone == 2) return Row("Zone2", 13, 18 + 23 * (f.Index - 1), 314);
      return Row("Zone" + std::to_string(f.Zone), 10, 15 + 23 * (f.Index - 1), 316);
    case FieldGroup::Fitting:
      if (number <= 203) return Row("Fitting", 8, 18 + 24 * (number - 201), 300);
      return Row("Fitting", 316, 18 + 24 * (number - 204), 330);
    case FieldGroup::Polymer:
    case FieldGroup::BaseFilm: {
      const std::string group = f.Group == FieldGroup::Polymer ? "Polymer" : "BaseFilm";
      const bool left = number % 10 == 1;
      return Row(group, left ? LeftX : RightX, 20, left ? LeftWidth : RightWidth);
    }
    case FieldGroup::Solvent1:
    case FieldGroup::Solvent2: {
      const std::string group = f.Group == FieldGroup::Solvent1 ? "Solvent1" : "Solvent2";
      switch (f.Index) {
        case 1: return Row(group, LeftX, 17, LeftWidth);            // heat capacity
        case 2: return Row(group, RightX, 17, RightWidth);          // heat of vaporization
        case 3: return Row(group, LeftX, 42, LeftWidth);            // diffusion coefficient in air
        case 7: return Row(group, RightX, 42, RightWidth);          // density
        case 8: return Row(group, 482, 70, 188);                    // molecular weight
        default: return {group, QRect(LeftX, 67, 470, 28), 0, 0, 58};  // vapour-pressure formula
      }
    }
    case FieldGroup::Diffusion1:
    case FieldGroup::Diffusion2: {
      const std::string key = f.Group == FieldGroup::Diffusion1 ? "Diff1" : "Diff2";
      const int i = f.Index;
      int column, top;
      std::string group;
      if (i <= 2) {
        group = key + "T", column = i - 1, top = 14;
      } else if (i <= 4) {
        group = key + "W", column = i - 3, top = 14;
      } else {
        group = key + "D", column = (i - 5) % 2, top = 16 + 23 * ((i - 5) / 2);
      }
      return {group, QRect(column == 0 ? 20 : 330, top, 267, 21), 186, 0, 80};
    }
    case FieldGroup::Accuracy:
      return {"Accuracy", QRect(9, number == 19 ? 18 : 46, 329, 24), 250, 0, 76};
    case FieldGroup::SaveFile:
      return {"SaveFile", QRect(), 19, 15, 109};
  }
  throw std::logic_error("no place for " + f.Component);
}

QColor CaptionColour(Caption c) {
  switch (c) {
    case Caption::Red: return Red;
    case Caption::Maroon: return Maroon;
    case Caption::Blue: return Blue;
  }
  return Black;
}

bool IsVapourField(const FieldSpec& f) {
  return (f.Group == FieldGroup::Solvent1 || f.Group == FieldGroup::Solvent2) && f.Index >= 4 && f.Index <= 6;
}

// The vapour-pressure strip with its operator texts; BoxX holds the x of the
// A, B and C boxes.
struct VapourRow {
  RowStrip* Strip = nullptr;
  int BoxX[3] = {};
};

VapourRow BuildVapourRow(QWidget* group, const std::string& caption, const QRect& geometry, int boxWidth) {
  VapourRow row;
  row.Strip = new RowStrip(group, QString::fromStdString(caption + " "), geometry);
  const QFontMetrics captionMetrics(row.Strip->Caption()->font());
  const QFontMetrics textMetrics(WindowFont(13));
  const QString operators[3] = {QStringLiteral("- ("), QStringLiteral("/( T + "), QStringLiteral(" )) ")};
  const int textTop = 2, textHeight = geometry.height() - 4;
  int x = captionMetrics.horizontalAdvance(row.Strip->Caption()->text()) + 2;
  for (int k = 0; k < 3; ++k) {
    row.BoxX[k] = x;
    x += boxWidth + 1;
    const int w = textMetrics.horizontalAdvance(operators[k]) + 1;
    NewText(row.Strip, operators[k], QRect(x, textTop, w, textHeight))->setFont(WindowFont(13));
    x += w;
  }
  return row;
}



}  // namespace

void TForm1::BuildPages() {
  pages_ = new QTabWidget(this);
  pages_->setObjectName(QStringLiteral("PageControl1"));
  pages_->setGeometry(0, 0, 727, 545);
  pages_->setFocusPolicy(Qt::NoFocus);
  pages_->tabBar()->setFocusPolicy(Qt::NoFocus);
  pages_->tabBar()->setFont(TabFont(13));
  SetTextColour(pages_->tabBar(), Black);

  // Pages 1 to 4 are each filled by a lowered-bevel panel; page 5 holds its
  // groups directly.
  QWidget* containers[PageCount];
  for (int p = 0; p < PageCount; ++p) {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet%1").arg(p + 1));
    page->setFont(WindowFont(13));
    SetTextColour(page, Black);
    containers[p] = page;
    if (p < 4) {
      auto* layout = new QVBoxLayout(page);
      layout->setContentsMargins(0, 0, 0, 0);
      auto* panel = new QFrame(page);
      panel->setObjectName(QStringLiteral("Panel%1").arg(p + 1));
      panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      panel->setLineWidth(1);
      layout->addWidget(panel);
      containers[p] = panel;
    }
    pages_->addTab(page, QString::fromLatin1(PageCaptions[p]));
  }

  for (const GroupSpec& g : Groups()) {
    QWidget* parent = g.Parent.empty() ? containers[g.Page] : Group(g.Parent);
    QGroupBox* box = NewGroup(parent, QString::fromStdString(g.Title), CaptionColour(g.Colour), g.Geometry);
    box->setObjectName(QString::fromStdString("GroupBox" + g.Key));
    groups_[g.Key] = box;
  }

  // One row per field, in the table's order; that order is also the order
  // of tab navigation.
  std::map<std::string, VapourRow> vapourRows;
  std::map<std::string, int> groupPage;
  for (const GroupSpec& g : Groups()) groupPage[g.Key] = g.Page;
  QWidget* previous = nullptr;
  for (const FieldSpec& f : FieldTable()) {
    const RowPlace place = PlaceField(f);
    QGroupBox* group = Group(place.Group);
    const QString name = QString::fromStdString(f.Component);
    QLineEdit* edit = nullptr;

    if (place.Strip.isNull()) {
      edit = new QLineEdit(group);
      edit->setObjectName(name);
      edit->setGeometry(place.EditX, place.EditY, place.EditWidth, 21);
    } else if (IsVapourField(f)) {
      // The vapour-pressure row reads as a formula:
      //   log10 Ps = [A] - ( [B] /( T + [C] ))
      VapourRow& row = vapourRows[place.Group];
      if (!row.Strip) row = BuildVapourRow(group, f.Caption, place.Strip, place.EditWidth);
      edit = row.Strip->AddEdit(name, row.BoxX[f.Index - 4], place.EditWidth);
      edit->setTextMargins(-2, 0, -2, 0);  // the narrow boxes need every pixel
    } else {
      auto* strip = new RowStrip(group, QString::fromStdString(f.Caption), place.Strip);
      edit = strip->AddEdit(name, place.EditX, place.EditWidth);
    }

    edit->setText(QString::fromStdString(f.DefaultText));
    edit->setEnabled(f.Enabled);
    edit->setCursorPosition(0);
    SetTextColour(edit, Black);
    fields_.Add(f.Component, edit);

    if (f.Group == FieldGroup::SaveFile) {
      edit->setFocusPolicy(Qt::ClickFocus);  // not a tab stop
    } else {
      if (previous) QWidget::setTabOrder(previous, edit);
      previous = edit;
    }
    // Enter in an edit of the first page is a click on OK; the edits of
    // the other pages do nothing with it.
    if (groupPage.at(place.Group) == 0)
      connect(edit, &QLineEdit::returnPressed, this, [this] { okButton_->click(); });
  }

  // Page 1's picture, data-file button, directory chooser and buttons.
  QWidget* page1 = containers[0];
  QFrame* picturePanel = NewBevelPanel(page1, QRect(353, 12, 361, 139), 2);
  picturePanel->setObjectName(QStringLiteral("Panel6"));
  auto* picture = new SchematicView(picturePanel);
  picture->setObjectName(QStringLiteral("Image1"));
  picture->setGeometry(4, 4, 353, 131);

  inputDataButton_ = new QPushButton(QStringLiteral("Input Data File"), page1);
  inputDataButton_->setObjectName(QStringLiteral("InputData"));
  inputDataButton_->setGeometry(374, 252, 137, 31);
  inputDataButton_->setFont(WindowFont(13));
  inputDataButton_->setFocusPolicy(Qt::NoFocus);
  SetTextColour(inputDataButton_, Maroon);
  connect(inputDataButton_, &QPushButton::clicked, this, &TForm1::InputDataClick);

  chooser_ = new DirectoryChooser(page1, QRect(371, 296, 159, 19), QRect(371, 321, 158, 130),
                                  QRect(546, 295, 154, 153));

  okButton_ = new QPushButton(ResourceIcon(QStringLiteral("check.svg")), QStringLiteral("OK"), page1);
  okButton_->setObjectName(QStringLiteral("BitBtn1"));
  okButton_->setGeometry(409, 458, 110, 41);
  okButton_->setFont(WindowFont(15));
  okButton_->setIconSize(QSize(18, 18));
  okButton_->setFocusPolicy(Qt::NoFocus);
  okButton_->setDefault(true);
  connect(okButton_, &QPushButton::clicked, this, &TForm1::BitBtn1Click);

  closeButton_ = new QPushButton(ResourceIcon(QStringLiteral("door.svg")), QStringLiteral("&Close"), page1);
  closeButton_->setObjectName(QStringLiteral("BitBtn2"));
  closeButton_->setGeometry(556, 456, 110, 41);
  closeButton_->setFont(WindowFont(15));
  closeButton_->setIconSize(QSize(18, 18));
  closeButton_->setFocusPolicy(Qt::NoFocus);
  connect(closeButton_, &QPushButton::clicked, this, &TForm1::BitBtn2Click);

  // One line of outcome under OK and Close after each run, in the page's
  // type: it ends under Close and reaches as far left as it needs.  OK and
  // Close stand three pixels higher than drawn for it.
  outcomeLabel_ = new QLabel(page1);
  outcomeLabel_->setObjectName(QStringLiteral("OutcomeLabel"));
  outcomeLabel_->setGeometry(8, 499, 658, 16);
  outcomeLabel_->setFont(WindowFont(13));
  outcomeLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  outcomeLabel_->setTextFormat(Qt::RichText);
  connect(outcomeLabel_, &QLabel::linkActivated, this, [this] {
    if (!results_->HasData()) return;
    results_->ShowSummary();
    ShowResultsBeside();
  });

  // Which surface solve OK uses, right-aligned over the accuracy group it
  // goes with, in the gap under the picture; the link leads to the setting.
  const QRect accuracy = Group("Accuracy")->geometry();
  modeLabel_ = new QLabel(page1);
  modeLabel_->setObjectName(QStringLiteral("ModeLabel"));
  modeLabel_->setGeometry(accuracy.right() - 206, accuracy.top() - 10, 204, 17);
  modeLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  modeLabel_->setFont(WindowFont(12));
  modeLabel_->setTextFormat(Qt::RichText);
  connect(modeLabel_, &QLabel::linkActivated, this, [this] { pages_->setCurrentIndex(pages_->count() - 1); });

  BuildToolsPage();
  // The Help menu in the free end of the tab row, beside the last tab; a
  // corner widget would take its room from the tabs and hide one of them.
  help_ = new HelpMenu(this);
  help_->setFont(TabFont(13));
  const int row = pages_->tabBar()->sizeHint().height();
  help_->setGeometry(pages_->width() - 20, 1, 18, row - 3);
  help_->raise();
  InstallFieldGuidance(fields_);
  pages_->setCurrentIndex(0);
}

// The sixth page: what the five pages of inputs have no room for.

}  // namespace kelvane::ui
