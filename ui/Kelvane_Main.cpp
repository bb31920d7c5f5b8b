#include "ui/Kelvane_Main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QTabBar>
#include <QPointer>
#include <QVBoxLayout>

#include <cstring>
#include <optional>
#include <stdexcept>
#include <vector>

#include "engine/MiscCalc.h"
#include "files/DataFile.h"
#include "files/ResultFileReader.h"
#include "ui/Controls.h"
#include "ui/DirectoryChooser.h"
#include "ui/F_Form.h"
#include "ui/InputGuidance.h"
#include "ui/ResultsWindow.h"
#include "ui/WindowPlacement.h"
#include "summary/SummaryText.h"
#include "ui/RunWorker.h"
#include "ui/FastestSpeedDialog.h"
#include "ui/StudyDialog.h"

namespace kelvane::ui {

// ---------------------------------------------------------------------------
// Field texts over the edit boxes.

QLineEdit* EditFieldTexts::Edit(std::string_view component) const {
  auto it = edits_.find(component);
  return it == edits_.end() ? nullptr : it->second;
}

std::string EditFieldTexts::Text(std::string_view component) const {
  QLineEdit* edit = Edit(component);
  if (!edit) throw std::out_of_range("unknown field " + std::string(component));
  return edit->text().toStdString();
}

void EditFieldTexts::SetText(std::string_view component, const std::string& text) {
  QLineEdit* edit = Edit(component);
  if (!edit) throw std::out_of_range("unknown field " + std::string(component));
  edit->setText(QString::fromStdString(text));
  edit->setCursorPosition(0);  // show a long value from its start
}

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
        case 8: return Row(group, 468, 70, 202);                    // molecular weight
        default: return {group, QRect(LeftX, 67, 455, 28), 0, 0, 54};  // vapour-pressure formula
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

// The decimal mark of field texts and result files.  The window's own
// default texts, the data files users exchange and the files kelvane-run
// writes all use a full stop; taking a comma from the desktop's locale would
// make the window refuse its own defaults ("Input value is not correct!")
// and write files that other installations cannot read back.
char DecimalSeparator() { return '.'; }

}  // namespace

// ---------------------------------------------------------------------------

TForm1::TForm1(QWidget* parent) : QWidget(parent), calc_(std::make_unique<Calculation>()) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Kelvane"));
  // Fixed dialog-style border: title and close box, no minimise, maximise or
  // resizing.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(727, 545);
  setFont(WindowFont(12));
  setWindowIcon(ResourceIcon(QStringLiteral("kelvane.svg")));
  Options.DecimalSeparator = DecimalSeparator();

  BuildPages();
  finishForm_ = new TFinishForm(this);
  results_ = new ResultsWindow(this);
  worker_ = new RunWorker(*this, this);
  connect(worker_, &RunWorker::Finished, this, [this] {
    if (runLoop_) runLoop_->quit();
  });
  progressTimer_ = new QTimer(this);
  progressTimer_->setInterval(100);
  connect(progressTimer_, &QTimer::timeout, this, &TForm1::UpdateProgress);
}

TForm1::~TForm1() {
  // A run still in progress is stopped before the calculation it works on
  // goes away.
  worker_->Abandon();
  if (runLoop_) runLoop_->quit();
  if (busy_) QApplication::restoreOverrideCursor();
}

QGroupBox* TForm1::Group(const std::string& key) const {
  auto it = groups_.find(key);
  if (it == groups_.end()) throw std::logic_error("no group " + key);
  return it->second;
}

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
  okButton_->setGeometry(409, 461, 110, 41);
  okButton_->setFont(WindowFont(15));
  okButton_->setIconSize(QSize(18, 18));
  okButton_->setFocusPolicy(Qt::NoFocus);
  okButton_->setDefault(true);
  connect(okButton_, &QPushButton::clicked, this, &TForm1::BitBtn1Click);

  closeButton_ = new QPushButton(ResourceIcon(QStringLiteral("door.svg")), QStringLiteral("&Close"), page1);
  closeButton_->setObjectName(QStringLiteral("BitBtn2"));
  closeButton_->setGeometry(556, 459, 110, 41);
  closeButton_->setFont(WindowFont(15));
  closeButton_->setIconSize(QSize(18, 18));
  closeButton_->setFocusPolicy(Qt::NoFocus);
  connect(closeButton_, &QPushButton::clicked, this, &TForm1::BitBtn2Click);

  // One line of outcome along the bottom of the page after each run.
  outcomeLabel_ = new QLabel(page1);
  outcomeLabel_->setObjectName(QStringLiteral("OutcomeLabel"));
  outcomeLabel_->setGeometry(10, 501, 710, 16);
  outcomeLabel_->setFont(WindowFont(11));
  outcomeLabel_->setTextFormat(Qt::RichText);
  connect(outcomeLabel_, &QLabel::linkActivated, this, [this] {
    if (!results_->HasData()) return;
    results_->ShowSummary();
    ShowResultsBeside();
  });

  BuildToolsPage();
  InstallFieldGuidance(fields_);
  pages_->setCurrentIndex(0);
}

// The sixth page: what the five pages of inputs have no room for.
void TForm1::BuildToolsPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("TabSheet6"));
  page->setFont(WindowFont(13));
  SetTextColour(page, Black);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* panel = new QFrame(page);
  panel->setObjectName(QStringLiteral("Panel7"));
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setLineWidth(1);
  layout->addWidget(panel);
  pages_->addTab(page, QStringLiteral("Tools"));

  auto explain = [](QWidget* parent, const QString& text, const QRect& geometry) {
    QLabel* label = NewText(parent, text, geometry);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
  };
  auto button = [](QWidget* parent, const QString& text, const char* name, const QRect& geometry) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(geometry);
    b->setFont(WindowFont(13));
    b->setFocusPolicy(Qt::NoFocus);
    SetTextColour(b, Maroon);
    return b;
  };

  QGroupBox* data = NewGroup(panel, QStringLiteral("  Data File  "), Red, QRect(10, 10, 699, 88));
  saveDataButton_ = button(data, QStringLiteral("Save Data File…"), "SaveDataFile", QRect(16, 30, 160, 31));
  explain(data,
          QStringLiteral("Writes the texts of the input fields as a data file of 141 lines, which "
                         "\"Input Data File\" on the first page reads back."),
          QRect(196, 26, 490, 44));
  connect(saveDataButton_, &QPushButton::clicked, this, &TForm1::SaveDataClick);

  QGroupBox* result = NewGroup(panel, QStringLiteral("  Result File  "), Red, QRect(10, 108, 699, 88));
  openResultButton_ = button(result, QStringLiteral("Open Result File…"), "OpenResultFile", QRect(16, 30, 160, 31));
  explain(result,
          QStringLiteral("Plots the tables of a result file written earlier in the Results window. "
                         "The Results window also opens by itself after each calculation."),
          QRect(196, 26, 490, 44));
  connect(openResultButton_, &QPushButton::clicked, this, &TForm1::OpenResultClick);

  QGroupBox* options = NewGroup(panel, QStringLiteral("  Calculation  "), Red, QRect(10, 206, 699, 110));
  robustBox_ = new QCheckBox(QStringLiteral("Robust surface solve"), options);
  robustBox_->setObjectName(QStringLiteral("RobustSurfaceSolve"));
  robustBox_->setGeometry(18, 30, 170, 22);
  robustBox_->setFont(WindowFont(13));
  robustBox_->setFocusPolicy(Qt::NoFocus);
  SetTextColour(robustBox_, Blue);
  robustBox_->setChecked(Options.Robust);
  connect(robustBox_, &QCheckBox::toggled, this, [this](bool on) { Options.Robust = on; });
  explain(options,
          QStringLiteral("Where the search for the surface composition of a step does not converge, a damped "
                         "Newton iteration takes the step over instead of ending the calculation. Steps the "
                         "search finishes are computed exactly as without it. Off: every step is solved by "
                         "the search alone."),
          QRect(196, 26, 490, 70));

  QGroupBox* inputs = NewGroup(panel, QStringLiteral("  Inputs  "), Red, QRect(10, 326, 699, 88));
  resetButton_ = button(inputs, QStringLiteral("Reset to defaults"), "ResetToDefaults", QRect(16, 30, 160, 31));
  explain(inputs,
          QStringLiteral("Puts the default text back into every input field of the five pages, the save file "
                         "name included."),
          QRect(196, 26, 490, 44));
  connect(resetButton_, &QPushButton::clicked, this, &TForm1::ResetToDefaults);

  QGroupBox* studies = NewGroup(panel, QStringLiteral("  Studies  "), Red, QRect(10, 424, 699, 88));
  studyButton_ = button(studies, QStringLiteral("Study…"), "Study", QRect(16, 30, 110, 31));
  fastestButton_ =
      button(studies, QStringLiteral("Fastest line speed…"), "FastestLineSpeed", QRect(136, 30, 180, 31));
  explain(studies,
          QStringLiteral("Study: the current inputs with one or two fields varied, as a table and a chart. "
                         "Fastest line speed: the largest web speed that meets your targets."),
          QRect(330, 26, 356, 58));
  connect(studyButton_, &QPushButton::clicked, this, [this] {
    auto* dialog = new StudyDialog(fields_, Options.Robust, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
  });
  connect(fastestButton_, &QPushButton::clicked, this, [this] {
    auto* dialog = new FastestSpeedDialog(fields_, Options.Robust, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
  });
}

void TForm1::ResetToDefaults() {
  for (const FieldSpec& f : FieldTable()) fields_.SetText(f.Component, f.DefaultText);
}

void TForm1::showEvent(QShowEvent* event) {
  if (!centred_) {
    centred_ = true;
    if (QScreen* screen = QGuiApplication::primaryScreen())
      move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    if (QLineEdit* first = Edit("Edit1")) first->setFocus();
  }
  QWidget::showEvent(event);
}

void TForm1::keyPressEvent(QKeyEvent* event) {
  // Escape (and Enter outside the first page's edits) does nothing.
  if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

// ---------------------------------------------------------------------------
// Buttons.

void TForm1::BitBtn1Click() {
  // A second OK while a run is in progress does nothing.
  if (running_ || worker_->Running()) return;
  running_ = true;
  closeAfterRun_ = false;
  lastRescued_.clear();

  // The worker reads a copy of the field texts, never the edit boxes.
  FieldTextMap texts;
  for (const FieldSpec& f : FieldTable()) texts.SetText(f.Component, fields_.Text(f.Component));
  // Where the result file goes: a relative name resolves against the
  // current directory, which cannot change while the run holds the window.
  std::string resultPath = fields_.Text("Edit250");
  if (resultPath.empty() || resultPath.front() != '/')
    resultPath = QFile::encodeName(QDir::currentPath()).toStdString() + "/" + resultPath;
  runResultPath_ = QFile::decodeName(QByteArray::fromStdString(resultPath));
  rerunRobust_ = false;

  QPointer<TForm1> alive(this);
  QEventLoop loop;
  runLoop_ = &loop;
  elapsed_.start();
  // The run's zones are recorded for its summary; the results shown so far
  // are now those of an earlier calculation.
  recorder_ = {};
  RunOptions options = Options;
  options.ZoneMarched = [this](const Calculation& c, int zone, int lastRow, bool complete) {
    recorder_.Zone(c, zone, lastRow, complete);
  };
  outcomeLabel_->clear();
  results_->MarkEarlier(QStringLiteral("a new calculation is running."));
  if (!worker_->Start(texts, *calc_, options)) {
    runLoop_ = nullptr;
    running_ = false;
    return;
  }
  loop.exec();
  if (!alive) return;  // the window went away during the run
  runLoop_ = nullptr;
  lastRun_ = worker_->Report();
  lastRescued_ = calc_->Rescued;
  lastMarchedAgain_ = calc_->Stats.Marches > 1;
  HideProgress();
  SetBusyCursor(false);
  running_ = false;
  const RunOutcome outcome = lastRun_.Outcome;
  if (outcome != RunOutcome::Refused && outcome != RunOutcome::Declined && outcome != RunOutcome::GeneralError &&
      QFile::exists(runResultPath_))
    lastWritten_ = runResultPath_;
  AfterRun(resultPath);
  if (closeAfterRun_) {
    QTimer::singleShot(0, this, &QWidget::close);
  } else if (rerunRobust_) {
    // "Run again with the robust surface solve": the box shows it is on.
    rerunRobust_ = false;
    robustBox_->setChecked(true);
    QTimer::singleShot(0, this, &TForm1::BitBtn1Click);
  }
}

// After the finish dialog (or the run's last message): the note of the
// robust surface solve, the word that a cancelled run was cancelled, and the
// results window when the file holds results.
void TForm1::AfterRun(const std::string& resultPath) {
  if (lastMarchedAgain_) Note(QString::fromUtf8(MarchedAgainNote));
  if (!lastRescued_.empty()) {
    std::map<int, int> perZone;
    for (const RescuedStep& step : lastRescued_) ++perZone[step.Zone];
    QStringList zones;
    for (const auto& [zone, count] : perZone) zones << QStringLiteral("zone %1: %2").arg(zone).arg(count);
    const int total = static_cast<int>(lastRescued_.size());
    Note(QStringLiteral("The robust surface solve took over %1 step%2 that the secant search could not finish "
                        "(%3).")
             .arg(total)
             .arg(total == 1 ? "" : "s")
             .arg(zones.join(QStringLiteral(", "))));
  }
  if (lastRun_.Outcome == RunOutcome::Cancelled)
    Note(QStringLiteral("The calculation was cancelled."));
  // The summary of the zones the run marched, and its line of outcome.
  RunTrace& trace = recorder_.Trace();
  trace.End = RunEndOf(lastRun_, *calc_);
  std::optional<RunSummary> summary;
  if (!trace.Zones.empty() && trace.End.Kind != RunEndKind::Refused) summary = SummarizeRun(trace);
  ShowOutcome(summary ? QString::fromStdString(OutcomeLine(*summary)) : QString());

  const ResultFileRead read = lastRun_.ZonesWritten < 1 || lastRun_.Outcome == RunOutcome::Refused
                                  ? ResultFileRead{}
                                  : ReadResultFile(resultPath);
  if (!read.Ok || read.Data.Zones.empty()) {
    results_->MarkEarlier(lastRun_.Outcome == RunOutcome::Refused || lastRun_.Outcome == RunOutcome::GeneralError ||
                                  lastRun_.Outcome == RunOutcome::Declined
                              ? QStringLiteral("the last calculation was refused and wrote nothing.")
                              : QStringLiteral("the last calculation wrote no zone results."));
    return;
  }
  results_->DefaultFolder = chooser_->Directory();
  results_->Plot(read.Data, QFile::decodeName(QByteArray::fromStdString(resultPath)), lastRescued_,
                 summary ? &*summary : nullptr);
  ShowResultsBeside();
}

// "Dry: 2.6 % of solvent left at the exit · 1 warning — see Results", the
// last words a link to the Results window's summary.
void TForm1::ShowOutcome(const QString& line) {
  QString html = line.toHtmlEscaped();
  html.replace(QStringLiteral("see Results"), QStringLiteral("<a href=\"results\">see Results</a>"));
  outcomeLabel_->setText(html);
  outcomeLabel_->setToolTip(line);
}

void TForm1::ShowResultsBeside() {
  bool behind = false;
  if (!results_->isVisible()) {
    QRect available(QPoint(0, 0), QSize(1600, 1200));
    if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
      available = screen->availableGeometry();
    const Placement place = PlaceBeside(frameGeometry(), results_->size(), available);
    if (place.MoveMain) move(place.MainTopLeft);
    results_->resize(place.Results.size());
    results_->move(place.Results.topLeft());
    behind = place.Behind;
  }
  results_->show();
  if (behind) raise();
  else results_->raise();
}

void TForm1::Note(const QString& text) {
  QMessageBox box(QMessageBox::Information, QStringLiteral("Kelvane"), text, QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("Note"));
  box.exec();
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (!running_) {
    results_->close();
    QWidget::closeEvent(event);
    return;
  }
  event->ignore();
  if (closeAfterRun_) return;
  QMessageBox box(QMessageBox::Question, QStringLiteral("Kelvane"),
                  QStringLiteral("A calculation is in progress. Stop it and close the window?"),
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setObjectName(QStringLiteral("StopQuestion"));
  box.setDefaultButton(QMessageBox::No);
  if (box.exec() == QMessageBox::Yes && running_) {
    closeAfterRun_ = true;
    worker_->RequestCancel();
  }
}

// ---------------------------------------------------------------------------
// Progress.

void TForm1::ShowProgress() {
  if (!progress_) {
    progress_ = new QProgressDialog(this);
    progress_->setObjectName(QStringLiteral("ProgressDialog"));
    progress_->setWindowTitle(QStringLiteral("Kelvane"));
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    progress_->setMinimumDuration(0);
    progress_->setRange(0, 100);
    progress_->setMinimumWidth(340);
    // Cancel, the dialog's close box and Escape all stop the run.
    auto stop = [this] {
      worker_->RequestCancel();
      if (progress_) progress_->setLabelText(QStringLiteral("Stopping after the current step…"));
    };
    connect(progress_, &QProgressDialog::canceled, this, stop);
    connect(progress_, &QDialog::rejected, this, stop);
  }
  progress_->setValue(0);
  UpdateProgress();
  progress_->show();
  progressTimer_->start();
}

void TForm1::HideProgress() {
  progressTimer_->stop();
  if (progress_) {
    progress_->hide();
    progress_->deleteLater();
    progress_ = nullptr;
  }
}

void TForm1::UpdateProgress() {
  if (!progress_ || progress_->wasCanceled()) return;
  const RunProgress p = worker_->Progress();
  const int percent = p.StepsTotal > 0 ? static_cast<int>(p.StepsDone * 100 / p.StepsTotal) : 0;
  const qint64 seconds = elapsed_.elapsed() / 1000;
  const QString time = QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
  const QString zone = p.Zone > 0 ? QStringLiteral("Zone %1 of %2").arg(p.Zone).arg(p.ZoneCount)
                                  : QStringLiteral("Starting the calculation");
  progress_->setLabelText(QStringLiteral("%1 — %2 % of the run\nElapsed time %3").arg(zone).arg(percent).arg(time));
  progress_->setValue(percent);
}

void TForm1::BitBtn2Click() { close(); }

QString TForm1::ShowOpenFileDialog(const QString& initialDirectory) {
  QFileDialog dialog(this, QString(), initialDirectory);
  dialog.setObjectName(QStringLiteral("OpenFileDialog"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  // Data files are written as .dat (Save Data File) or kept as .txt.
  dialog.setNameFilters({QStringLiteral("Data Files (*.dat *.txt)"), QStringLiteral("Text Files (*.txt)"),
                         QStringLiteral("All Files (*.*)")});
  dialog.selectNameFilter(QStringLiteral("Data Files (*.dat *.txt)"));
  if (!LastDataFile.isEmpty() && QFileInfo(LastDataFile).absolutePath() == QFileInfo(initialDirectory + "/").absolutePath())
    dialog.selectFile(QFileInfo(LastDataFile).fileName());
  if (dialog.exec() != QDialog::Accepted) return QString();
  const QStringList chosen = dialog.selectedFiles();
  return chosen.size() == 1 ? chosen.front() : QString();
}

void TForm1::InputDataClick() {
  try {
    const QString directory = chooser_->Directory();
    const QString path = ChooseDataFile ? ChooseDataFile(directory) : ShowOpenFileDialog(directory);
    if (path.isEmpty()) {
      ShowMessage(SelectOneDataFileMessage);
      return;
    }
    if (InputDataFile(QFile::encodeName(path).toStdString(), fields_, *this) == DataFileStatus::Applied)
      LastDataFile = QFileInfo(path).absoluteFilePath();
  } catch (const std::exception& e) {
    ShowErrorReport(e.what());
  }
}

void TForm1::SaveDataClick() {
  const QString directory = chooser_->Directory();
  QString path = ChooseSaveDataFile ? ChooseSaveDataFile(directory) : QString();
  if (!ChooseSaveDataFile) {
    QFileDialog dialog(this, QStringLiteral("Save Data File"), directory);
    dialog.setObjectName(QStringLiteral("SaveFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({QStringLiteral("Data Files (*.dat)"), QStringLiteral("Text Files (*.txt)"),
                           QStringLiteral("All Files (*.*)")});
    dialog.setDefaultSuffix(QStringLiteral("dat"));
    dialog.selectFile(QStringLiteral("data.dat"));
    if (dialog.exec() == QDialog::Accepted && dialog.selectedFiles().size() == 1) path = dialog.selectedFiles().front();
  }
  if (path.isEmpty()) return;  // cancelled

  using Status = DataFileWriteResult::Status;
  const DataFileWriteResult r = WriteDataFileChecked(QFile::encodeName(path).toStdString(), fields_);
  const QString name = QDir::toNativeSeparators(path);
  switch (r.Result) {
    case Status::Ok: return;
    case Status::UnwritableText: {
      const FieldSpec* f = FindField(r.Field);
      QString field = f ? QString::fromStdString(f->Caption) : QString::fromStdString(r.Field);
      if (f && f->Zone > 0) field = QStringLiteral("Zone %1: %2").arg(f->Zone).arg(field);
      ShowMessage(QStringLiteral("The text of \"%1\" (%2) cannot go into a data file: it holds a space, a line "
                                 "end or a character that Shift_JIS cannot hold. Nothing was written.")
                      .arg(field, QString::fromStdString(r.Field))
                      .toStdString());
      return;
    }
    case Status::OpenFailed:
      ShowMessage(QStringLiteral("The data file \"%1\" cannot be written: %2.")
                      .arg(name, QString::fromLocal8Bit(r.Reason.c_str()))
                      .toStdString());
      return;
    case Status::WriteFailed:
      ShowMessage(QStringLiteral("Writing the data file \"%1\" failed: %2. An earlier file of that name is left as it was.")
                      .arg(name, QString::fromLocal8Bit(std::strerror(r.ErrorCode)))
                      .toStdString());
      return;
  }
}

void TForm1::OpenResultClick() {
  const QString directory = chooser_->Directory();
  QString path = ChooseResultFile ? ChooseResultFile(directory) : QString();
  if (!ChooseResultFile) {
    QFileDialog dialog(this, QStringLiteral("Open Result File"), directory);
    dialog.setObjectName(QStringLiteral("ResultFileDialog"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*.*)")});
    if (dialog.exec() == QDialog::Accepted && dialog.selectedFiles().size() == 1) path = dialog.selectedFiles().front();
  }
  if (path.isEmpty()) return;
  results_->DefaultFolder = directory;
  if (results_->OpenResultFile(path)) ShowResultsBeside();
}

// ---------------------------------------------------------------------------
// The run's host.

void TForm1::ShowMessage(const std::string& text) {
  // The message needs a pointer the user can aim with, even mid-run.
  if (busy_) QApplication::setOverrideCursor(Qt::ArrowCursor);
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Kelvane"), QString::fromStdString(text), QMessageBox::Ok,
                  this);
  box.setObjectName(QStringLiteral("MessageBox"));
  box.exec();
  if (busy_) QApplication::restoreOverrideCursor();
}

// The march runs behind the progress dialog: busy, but the Cancel button
// takes clicks.
void TForm1::SetBusyCursor(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
    if (running_) ShowProgress();
  } else {
    HideProgress();
    QApplication::restoreOverrideCursor();
  }
}

// The message with its explanation beside it; the field it is about is
// shown and marked first, so the box sits over it.
void TForm1::ShowExplainedMessage(const std::string& text, const MessageDetail& detail) {
  if (!detail.Field.empty()) ShowField(pages_, fields_, detail.Field);
  if (busy_) QApplication::setOverrideCursor(Qt::ArrowCursor);
  const bool offer = detail.SuggestRobust && !Options.Robust && running_;
  if (ExplainedMessageBox(this, QMessageBox::NoIcon, QStringLiteral("MessageBox"), text, detail, offer))
    rerunRobust_ = true;
  if (busy_) QApplication::restoreOverrideCursor();
}

void TForm1::ShowExplainedErrorReport(const std::string& text, const MessageDetail& detail) {
  SetBusyCursor(false);
  if (!detail.Field.empty()) ShowField(pages_, fields_, detail.Field);
  ExplainedMessageBox(this, QMessageBox::Critical, QStringLiteral("ErrorReport"), text, detail, false);
}

bool TForm1::RunDespite(const std::vector<PlausibilityWarning>& warnings) {
  switch (AskAboutWarnings(this, warnings)) {
    case WarningChoice::RunAnyway: return true;
    case WarningChoice::GoToField: ShowField(pages_, fields_, warnings.front().Field); return false;
    case WarningChoice::Cancel: return false;
  }
  return false;
}

bool TForm1::ReplaceResult(const std::string& path) {
  const QString absolute = QFileInfo(QFile::decodeName(QByteArray::fromStdString(path))).absoluteFilePath();
  if (!AskBeforeReplacing || absolute == lastWritten_) return true;
  bool dontAskAgain = false;
  const bool replace = AskReplaceResult(this, QDir::toNativeSeparators(absolute), dontAskAgain);
  if (dontAskAgain) AskBeforeReplacing = false;
  return replace;
}

bool TForm1::KeepPartialResult() {
  if (busy_) QApplication::setOverrideCursor(Qt::ArrowCursor);
  const bool keep = AskKeepPartial(this, QDir::toNativeSeparators(runResultPath_));
  if (busy_) QApplication::restoreOverrideCursor();
  return keep;
}

void TForm1::ShowFinishDialog() {
  SetBusyCursor(false);
  finishForm_->exec();
}

void TForm1::ShowErrorReport(const std::string& text) {
  // An error that ends the run must not leave the hourglass behind.
  SetBusyCursor(false);
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Kelvane"), QString::fromStdString(text), QMessageBox::Ok,
                  this);
  box.setObjectName(QStringLiteral("ErrorReport"));
  box.exec();
}

}  // namespace kelvane::ui
