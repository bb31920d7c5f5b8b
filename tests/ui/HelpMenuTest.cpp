// The window's Help menu: the user guide it opens (the build's beside the
// program, or the installed one) from the menu and from F1, and what it
// says when there is none.

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <memory>

#include "ModalCloser.h"
#include "ui/HelpMenu.h"
#include "ui/Kelvane_Main.h"

using kelvane::ui::HelpMenu;
using kelvane::ui::TForm1;
using kelvane::ui::test::ModalCloser;

namespace {

bool Touch(const QString& path) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write("<html></html>\n") > 0;
}

}  // namespace

class HelpMenuTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    qunsetenv("KELVANE_GUIDE");
    QVERIFY(scratch_.isValid());
    form_ = std::make_unique<TForm1>();
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    help_ = form_->Help();
    QVERIFY(help_);
    help_->OpenUrl = [this](const QUrl& url) {
      opened_.append(url);
      return true;
    };
  }
  void cleanup() {
    form_.reset();
    opened_.clear();
  }

  void guideOpensTheBuildsOrTheInstalledPage() {
    // The menu sits at the free end of the tab row, beside every tab: none
    // is covered or pushed behind scroll arrows.
    QTabWidget* pages = form_->PageControl();
    QVERIFY(help_->isVisible());
    QVERIFY(form_->rect().contains(help_->geometry()));
    const QTabBar* bar = pages->tabBar();
    const QRect last = bar->tabRect(bar->count() - 1);
    QVERIFY2(bar->mapTo(form_.get(), last.topRight()).x() < help_->mapTo(form_.get(), QPoint(0, 0)).x(),
             "the last tab runs under the Help menu");
    for (int i = 0; i < bar->count(); ++i)
      QVERIFY2(bar->rect().contains(bar->tabRect(i)), qPrintable(bar->tabText(i)));
    QVERIFY(help_->menu()->actions().contains(help_->GuideAction()));

    // Run from a build: build/ui/kelvane, build/guide/index.html.
    const QString built = scratch_.filePath(QStringLiteral("build/guide/index.html"));
    QVERIFY(Touch(built));
    help_->ProgramDir = scratch_.filePath(QStringLiteral("build/ui")).toStdString();
    help_->GuideAction()->trigger();
    QCOMPARE(opened_, QList<QUrl>{QUrl::fromLocalFile(built)});

    // Installed under a prefix, opened with F1 from a field of any page.
    const QString installed = scratch_.filePath(QStringLiteral("usr/share/doc/kelvane/guide/index.html"));
    QVERIFY(Touch(installed));
    help_->ProgramDir = scratch_.filePath(QStringLiteral("usr/bin")).toStdString();
    form_->PageControl()->setCurrentIndex(2);
    form_->activateWindow();
    QTest::keyClick(form_.get(), Qt::Key_F1);
    QCOMPARE(opened_.size(), 2);
    QCOMPARE(opened_.last(), QUrl::fromLocalFile(installed));
  }

  void noGuideSaysWhereItLookedAndHowToGetIt() {
    if (QFile::exists(QStringLiteral("/usr/share/doc/kelvane/guide/index.html")))
      QSKIP("the package's guide is installed here");
    help_->ProgramDir = scratch_.filePath(QStringLiteral("bare/bin")).toStdString();
    ModalCloser closer;
    help_->GuideAction()->trigger();
    QVERIFY(opened_.isEmpty());
    QCOMPARE(closer.Seen().size(), 1);
    const QString text = closer.Seen().first().Text;
    QVERIFY2(text.startsWith(QStringLiteral("The user guide was not found.")), qPrintable(text));
    QVERIFY2(text.contains(scratch_.filePath(QStringLiteral("bare/guide/index.html"))), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("/usr/share/doc/kelvane/guide/index.html")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("./kelvane.sh docs")), qPrintable(text));

    // A named guide that is not there is no guide either.
    qputenv("KELVANE_GUIDE", scratch_.filePath(QStringLiteral("gone/index.html")).toUtf8());
    help_->GuideAction()->trigger();
    qunsetenv("KELVANE_GUIDE");
    QVERIFY(opened_.isEmpty());
    QCOMPARE(closer.Seen().size(), 2);
  }

 private:
  QTemporaryDir scratch_;
  std::unique_ptr<TForm1> form_;
  HelpMenu* help_ = nullptr;
  QList<QUrl> opened_;
};

QTEST_MAIN(HelpMenuTest)
#include "HelpMenuTest.moc"
