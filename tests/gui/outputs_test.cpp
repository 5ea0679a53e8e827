// Plots and table leaving the program: the choice dialog, saving, the
// clipboard copies, printing, and which picture each output takes.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QMimeData>
#include <QPrinter>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "ui/dialogs.hpp"
#include "app/main_window.hpp"
#include "ui/choice_dialog.hpp"
#include "plots/plot_box.hpp"
#include "plots/plot_controller.hpp"
#include "plots/plot_output.hpp"

using namespace lumora;

class OutputsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> folder_;
  std::unique_ptr<MainWindow> window_;
  QStringList messages_;
  QStringList dialogTitles_;
  QString savePath_;
  int choice_ = 0;
  QString choiceCaption_;
  QString printTo_;

  QAction* action(const char* name) { return window_->findChild<QAction*>(QString::fromLatin1(name)); }
  PlotOutput* outputs() { return window_->outputs(); }
  void run() {
    window_->executeCalculation();
    window_->waitForRun();
    QVERIFY(window_->calculated());
  }
  QByteArray read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

 private slots:
  void init() {
    folder_ = std::make_unique<QTemporaryDir>();
    qputenv("TMP", folder_->path().toLocal8Bit());
    messages_.clear();
    dialogTitles_.clear();
    savePath_.clear();
    choice_ = 0;
    printTo_.clear();
    Dialogs().message = [this](QWidget*, const QString& text) { messages_ << text; };
    Dialogs().warning = [this](QWidget*, const QString& text) { messages_ << text; };
    Dialogs().saveFileName = [this](QWidget*, const QString& title, const QString& proposed, const QString&) {
      dialogTitles_ << title + QStringLiteral(" | ") + QFileInfo(proposed).fileName();
      return savePath_;
    };
    Dialogs().chooseOutput = [this](QWidget*, const QString& caption, QPoint) {
      choiceCaption_ = caption;
      return choice_;
    };
    Dialogs().setUpPrinter = [this](QWidget*, QPrinter& printer) {
      if (printTo_.isEmpty()) return false;
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(printTo_);
      return true;
    };
    window_ = std::make_unique<MainWindow>(AppPaths(folder_->path()));
    window_->resize(1000, 700);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }
  void cleanup() {
    window_.reset();
    folder_.reset();
  }

  void theChoiceDialog() {
    ChoiceDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral(" Copy to Clipboard"));
    dialog.setFrameCaption(QStringLiteral("Print"));
    QCOMPARE(dialog.findChild<QGroupBox*>(QStringLiteral("Frame1"))->title(), QStringLiteral("Print"));
    QCOMPARE(dialog.choice(), 1);
    QCOMPARE(dialog.findChild<QRadioButton*>(QStringLiteral("Option1"))->text(), QStringLiteral("2D Plot (0th layer)"));
    dialog.findChild<QRadioButton*>(QStringLiteral("Option3"))->setChecked(true);
    QCOMPARE(dialog.choice(), 3);
  }

  void everythingButTheBitmapCopySaysNoDataBeforeARun() {
    for (const char* name : {"mnuFile2", "mnuFile3", "mnuFile5", "mnuFile6", "mnuFile7", "mnuFile8", "mnuFile9"})
      action(name)->trigger();
    QCOMPARE(messages_.size(), 7);
    QCOMPARE(messages_.count(QStringLiteral("no data")), 7);
    QVERIFY(dialogTitles_.isEmpty());
    // The bitmap copy takes the empty picture as it is.
    QApplication::clipboard()->clear();
    action("mnuFile12")->trigger();
    QCOMPARE(messages_.size(), 7);
    const QImage copied = QApplication::clipboard()->image();
    QCOMPARE(copied.size(), window_->plots()->box2D()->size());
    QCOMPARE(copied.pixelColor(1, 1), QColor(Qt::black));
  }

  void theToolbarButtonsAskWhichItemIsMeant() {
    run();
    choice_ = 0;  // Cancel does nothing
    action("tbSave")->trigger();
    QCOMPARE(choiceCaption_, QStringLiteral("Save"));
    QVERIFY(dialogTitles_.isEmpty());
    choice_ = 3;  // the table
    action("tbSave")->trigger();
    QCOMPARE(dialogTitles_, QStringList{QStringLiteral("Save Table | lumora.hkl")});
    choice_ = 2;
    action("tbSave")->trigger();
    QCOMPARE(dialogTitles_.last(), QStringLiteral("Save Bitmap (*.BMP) | lumora3D.bmp"));
    action("tbCopy")->trigger();
    QCOMPARE(choiceCaption_, QStringLiteral("Copy"));
    QVERIFY(QFile::exists(outputs()->metafilePath()));
    choice_ = 1;
    action("mnuFile2")->trigger();
    QCOMPARE(dialogTitles_.last(), QStringLiteral("Save Bitmap (*.BMP) | lumora2D.bmp"));
  }

  void savingPictures() {
    run();
    savePath_.clear();  // cancelled: nothing written
    action("mnuFile2")->trigger();
    QCOMPARE(QDir(folder_->filePath(QStringLiteral("data"))).entryList(QDir::Files).size(), 0);

    savePath_ = folder_->filePath(QStringLiteral("plot2d"));  // no extension: a BMP
    action("mnuFile2")->trigger();
    const QImage saved(savePath_ + QStringLiteral(".bmp"));
    QCOMPARE(saved.size(), window_->plots()->box2D()->size());
    QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), window_->plots()->box2D()->picture());

    savePath_ = folder_->filePath(QStringLiteral("plot3d.svg"));
    action("mnuFile3")->trigger();
    QVERIFY(read(savePath_).contains("<svg"));
    QVERIFY(read(savePath_).count("<circle") + read(savePath_).count("<ellipse") > 10 ||
            read(savePath_).count("<path") > 10);
    savePath_ = folder_->filePath(QStringLiteral("plot3d.pdf"));
    action("mnuFile3")->trigger();
    QVERIFY(read(savePath_).startsWith("%PDF"));

    savePath_ = folder_->filePath(QStringLiteral("missing/folder/x.png"));
    messages_.clear();
    action("mnuFile2")->trigger();
    QCOMPARE(messages_.size(), 1);
    QVERIFY(messages_.first().startsWith(QStringLiteral("The picture was not saved")));
  }

  void theSourcePictureRule() {
    run();
    PlotController* plots = window_->plots();
    QCOMPARE(outputs()->source(k2DPlot), plots->box2D());
    QCOMPARE(outputs()->source(k3DPlot), plots->box3D());
    plots->toggleBigView(true);
    QCOMPARE(outputs()->source(k3DPlot), plots->bigBox());
    QCOMPARE(outputs()->source(k2DPlot), plots->box2D());
    plots->toggleBigView(false);
    QCOMPARE(outputs()->source(k2DPlot), plots->bigBox());
    QCOMPARE(outputs()->source(k3DPlot), plots->box3D());

    // The large view's buttons name its plot; its metafile has 3000 units per inch.
    plots->toggleBigView(true);
    window_->findChild<QToolButton*>(QStringLiteral("btCopyBig"))->click();
    const QByteArray big = read(outputs()->metafilePath());
    QCOMPARE(static_cast<unsigned char>(big[14]) | (static_cast<unsigned char>(big[15]) << 8), 3000);
    const int width = static_cast<unsigned char>(big[10]) | (static_cast<unsigned char>(big[11]) << 8);
    QCOMPARE(width, static_cast<int>(plots->bigBox()->width() * 15 + 1));
    plots->closeBigView();
    action("mnuFile9")->trigger();
    const QByteArray small = read(outputs()->metafilePath());
    QCOMPARE(static_cast<unsigned char>(small[14]) | (static_cast<unsigned char>(small[15]) << 8), 1440);
  }

  void theMetafileCopyOffersLinuxFormatsToo() {
    run();
    action("mnuFile8")->trigger();
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    QVERIFY(mime->hasFormat(QStringLiteral("image/x-wmf")));
    QCOMPARE(mime->data(QStringLiteral("image/x-wmf")), read(outputs()->metafilePath()));
    QVERIFY(mime->data(QStringLiteral("image/svg+xml")).contains("<svg"));
    QVERIFY(mime->hasImage());
  }

  void printingToPdf() {
    run();
    printTo_.clear();  // the print dialog cancelled
    action("mnuFile5")->trigger();
    QVERIFY(messages_.isEmpty());
    for (const char* name : {"mnuFile5", "mnuFile6", "mnuFile7"}) {
      printTo_ = folder_->filePath(QString::fromLatin1(name) + QStringLiteral(".pdf"));
      action(name)->trigger();
      QVERIFY2(read(printTo_).startsWith("%PDF"), name);
    }
    choice_ = 3;
    printTo_ = folder_->filePath(QStringLiteral("table.pdf"));
    action("tbPrint")->trigger();
    QCOMPARE(choiceCaption_, QStringLiteral("Print"));
    QVERIFY(read(printTo_).size() > 1000);
  }
};

QTEST_MAIN(OutputsTest)
#include "outputs_test.moc"
