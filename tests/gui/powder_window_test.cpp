// The Powder Pattern window: the main window's run as a pattern, a measured
// file laid over it, peaks found and edited, indexing and refinement, the
// refined constants handed back, the plot's navigation and its files.
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QPrinter>
#include <QComboBox>
#include <QFile>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QtTest>
#include <cmath>
#include <memory>
#include <random>
#include <variant>

#include "reflections/emission_lines.hpp"
#include "ui/dialogs.hpp"
#include "test_sandbox.hpp"
#include "app/main_window.hpp"
#include "app/parameter_panel.hpp"
#include "powder/powder_lines.hpp"
#include "powder/powder_plot_widget.hpp"
#include "powder/powder_profile.hpp"
#include "powder/powder_window.hpp"
#include "reflections/calculation.hpp"
#include "inputs/parameters.hpp"

using namespace lumora;

class PowderWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> folder_;
  QStringList messages_;
  QString nextOpenPath_;
  QString nextSavePath_;

  std::unique_ptr<MainWindow> makeMainWindow() {
    auto window = std::make_unique<MainWindow>(AppPaths(folder_->path()));
    window->show();
    window->executeCalculation();
    window->waitForRun();
    return window;
  }
  static PowderWindow* openPowder(MainWindow* w) {
    w->findChild<QAction*>(QStringLiteral("mnuView12"))->trigger();
    auto* powder = w->findChild<PowderWindow*>() ? w->findChild<PowderWindow*>() : nullptr;
    if (!powder)
      for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<PowderWindow*>(top)) powder = found;
    if (!powder) qFatal("no powder window");
    powder->waitForIdle();
    return powder;
  }
  // A measured pattern of the run's lines at lattice constant aTrue (and cTrue)
  // with a zero shift and a little noise, made from a run of its own.
  QString writeSynthetic(const CalculationInputs& base, double aTrue, double cTrue, double zero) {
    CalculationInputs inputs = base;
    inputs.a = aTrue;
    inputs.c = cTrue;
    const CalculationResult run = RunCalculation(inputs);
    if (run.status != RunStatus::Completed) qFatal("synthetic run failed");
    PowderLines lines = BuildPowderLines(run.records, nullptr, inputs.wavelength);
    ScaleLinesToPercent(lines.lines);
    for (PowderLine& line : lines.lines) line.twoTheta += zero;
    ProfileOptions options;
    options.twoThetaMin = 10.0;
    options.twoThetaMax = 50.0;
    options.step = 0.01;
    options.w = 0.004;
    const Profile profile = ComputeProfile(lines.lines, options);
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 0.2);
    QString text = QStringLiteral("# synthetic\n");
    for (std::size_t i = 0; i < profile.twoTheta.size(); ++i)
      text += QStringLiteral("%1 %2\n").arg(profile.twoTheta[i], 0, 'f', 4).arg(5.0 + profile.intensity[i] + noise(random), 0, 'f', 4);
    const QString path = folder_->filePath(QStringLiteral("measured.xy"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0) qFatal("cannot write %s", qPrintable(path));
    return path;
  }
  // The main window's inputs as a run reads them.
  static CalculationInputs DecagonalInputs(const MainWindow* w) {
    const auto read = ReadInputs(w->parameters()->texts());
    if (!std::holds_alternative<CalculationInputs>(read)) qFatal("start-up inputs unreadable");
    return std::get<CalculationInputs>(read);
  }
  static int CountColour(const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        const QRgb p = image.pixel(x, y);
        n += std::abs(qRed(p) - qRed(colour)) < 30 && std::abs(qGreen(p) - qGreen(colour)) < 30 &&
             std::abs(qBlue(p) - qBlue(colour)) < 30;
      }
    return n;
  }

 private slots:
  void init() {
    folder_ = testing::MakeScratchFolder();
    testing::RecordMessages(messages_);
    Dialogs().openFileName = [this](QWidget*, const QString&, const QString&, const QString&) { return nextOpenPath_; };
    Dialogs().saveFileName = [this](QWidget*, const QString&, const QString&, const QString&) { return nextSavePath_; };
    Dialogs().openUrl = [](const QUrl&) { return true; };
    Dialogs().confirm = [](QWidget*, const QString&, bool&) { return true; };
  }

  void linesHoldWholeOrbitsUnlessUnticked() {
    auto w = makeMainWindow();
    PowderWindow* powder = openPowder(w.get());
    const CalculationInputs inputs = DecagonalInputs(w.get());
    QVERIFY(!inputs.completeLoops);  // the classic run keeps its loop box
    auto* complete = powder->findChild<QCheckBox*>(QStringLiteral("chkCompleteOrbits"));
    QVERIFY(complete && complete->isChecked());
    auto totalOf = [](const PowderLines& lines) {
      std::size_t n = lines.droppedAtBackscatter;
      for (const PowderLine& line : lines.lines) n += static_cast<std::size_t>(line.multiplicity);
      return n;
    };
    // Every reflection of the filters, counted by the plain box walk over a box
    // two wider in every index than the smallest one said to hold them all.
    CalculationInputs probe = inputs;
    probe.completeLoops = true;
    const CalculationResult smallest = RunCalculation(probe);
    QCOMPARE(smallest.status, RunStatus::Completed);
    CalculationInputs wide = inputs;
    for (std::size_t k = 0; k < 6; ++k) wide.loopLimits[k] = smallest.loopLimits[k] + 2;
    RunControl box;
    box.algorithm = WalkAlgorithm::Box;
    const CalculationResult all = RunCalculation(wide, box);
    QCOMPARE(all.status, RunStatus::Completed);
    const std::size_t boxed = RunCalculation(inputs).records.size();
    QVERIFY(all.records.size() > boxed);  // the main window's box cuts orbits

    QCOMPARE(totalOf(*powder->lines()), all.records.size());
    for (const PowderLine& line : powder->lines()->lines) QVERIFY(line.completeMultiplicity <= line.multiplicity);

    // Unticked: the main window's box, and the lines it cut say so in the table.
    complete->setChecked(false);
    powder->waitForIdle();
    QCOMPARE(totalOf(*powder->lines()), boxed);
    auto* table = powder->findChild<QTableView*>(QStringLiteral("tblLines"));
    int marked = 0, cut = 0;
    for (int row = 0; row < table->model()->rowCount(); ++row) {
      const PowderLine& line = powder->lines()->lines[static_cast<std::size_t>(row)];
      cut += line.completeMultiplicity > line.multiplicity;
      marked += table->model()->index(row, 2).data().toString().endsWith(QStringLiteral("(incomplete)"));
    }
    QVERIFY(cut > 0);
    QCOMPARE(marked, cut);
  }

  void measuredPatternIsIndexedAndTheConstantGoesBack() {
    auto w = makeMainWindow();
    QCOMPARE(w->parameters()->texts().systemIndex, 1);  // decagonal at start-up
    PowderWindow* powder = openPowder(w.get());
    QVERIFY(powder->lines() && !powder->lines()->lines.empty());
    QVERIFY(!powder->profile().twoTheta.empty());

    const double aTrue = 2.8312, cTrue = 12.06, zero = 0.03;
    powder->findChild<QLineEdit*>(QStringLiteral("tfW"))->setText(QStringLiteral("0.004"));  // the file's width
    // A monochromated Mo K-alpha1 measurement, indexed with the "K-alpha1 only" model.
    CalculationInputs mo = DecagonalInputs(w.get());
    mo.wavelength = AnodeEmissionLines(0)->kAlpha1;
    nextOpenPath_ = writeSynthetic(mo, aTrue, cTrue, zero);
    powder->findChild<QComboBox*>(QStringLiteral("cmbWavelengthModel"))->setCurrentIndex(1);
    powder->findChild<QPushButton*>(QStringLiteral("btOpenMeasured"))->click();
    powder->waitForIdle();
    QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join(QLatin1Char('\n'))));
    QVERIFY(powder->measured().has_value());
    QVERIFY(powder->peaks().size() >= 5);
    QVERIFY(powder->fit().scale > 0.0);

    powder->findChild<QCheckBox*>(QStringLiteral("chkRefineC"))->setChecked(false);
    QVERIFY(powder->findChild<QPushButton*>(QStringLiteral("btRefine"))->isEnabled());
    powder->findChild<QPushButton*>(QStringLiteral("btRefine"))->click();
    powder->waitForIdle();
    QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join(QLatin1Char('\n'))));
    QVERIFY(powder->refinement().has_value());
    QVERIFY(std::abs(powder->refinement()->a - aTrue) < 1e-4 * aTrue);
    QVERIFY(std::abs(powder->refinement()->zero - zero) < 0.005);
    QVERIFY(powder->findChild<QLabel*>(QStringLiteral("lblRefined"))->text().contains(QStringLiteral("a = 2.831")));
    QVERIFY(powder->findChild<QPlainTextEdit*>(QStringLiteral("txtRefinement"))->toPlainText().contains(QStringLiteral("F(N)")));
    QVERIFY(powder->refinement()->reliable);
    QCOMPARE(powder->refinement()->wavelength.model, WavelengthModel::KAlpha1);

    auto* use = powder->findChild<QPushButton*>(QStringLiteral("btUseRefined"));
    QVERIFY(use->isEnabled());
    use->click();
    w->waitForRun();
    powder->waitForIdle();
    QCOMPARE(QString::fromStdString(w->parameters()->texts().a).left(5), QStringLiteral("2.831"));
    // The pattern now follows the refined a: indexed again, every peak sits on its line.
    QVERIFY(std::abs(powder->findChild<QLineEdit*>(QStringLiteral("tfZero"))->text().toDouble() - zero) < 0.005);
    double worst = 0.0;
    powder->refine();
    powder->waitForIdle();
    for (const IndexedPeak& peak : powder->refinement()->indexed) worst = std::max(worst, std::abs(peak.difference));
    QVERIFY(worst < 0.02);
    // The overlay is drawn at the main window's (classic mean) wavelength, not the file's K-alpha1:
    // its scale is only positive here (pattern_scale is checked in the core tests).
    QVERIFY(powder->fit().scale > 0.0);
  }

  void aRefusalKeepsTheConstantsBackAndANewRunClearsIt() {
    auto w = makeMainWindow();
    PowderWindow* powder = openPowder(w.get());
    QVERIFY(powder->openMeasured(writeSynthetic(DecagonalInputs(w.get()), 2.82, 12.06, 0.0)));
    powder->waitForIdle();
    // Peaks no decagonal cell near the start explains (seeded, 10-50 degrees).
    std::mt19937 random(3);
    std::uniform_real_distribution<double> at(10.0, 50.0);
    std::vector<double> noise;
    for (int i = 0; i < 12; ++i) noise.push_back(at(random));
    powder->setPeaks(noise);
    powder->refine();
    powder->waitForIdle();
    QVERIFY(powder->refinement().has_value());
    QVERIFY(!powder->refinement()->reliable);
    auto* use = powder->findChild<QPushButton*>(QStringLiteral("btUseRefined"));
    auto* anyway = powder->findChild<QPushButton*>(QStringLiteral("btUseAnyway"));
    QVERIFY(!use->isEnabled());
    QVERIFY(anyway->isVisibleTo(powder));
    QVERIFY(powder->findChild<QLabel*>(QStringLiteral("lblRefined"))->text().startsWith(QStringLiteral("No reliable solution")));
    anyway->click();
    QVERIFY(use->isEnabled());
    QVERIFY(!anyway->isVisibleTo(powder));
    // A new run (here of another system) clears the result and the button.
    w->parameters()->findChild<QComboBox*>(QStringLiteral("cmbSystem"))->setCurrentIndex(0);
    w->executeCalculation();
    w->waitForRun();
    powder->waitForIdle();
    QVERIFY(!powder->refinement().has_value());
    QVERIFY(!use->isEnabled());
    QVERIFY(!anyway->isVisibleTo(powder));
    QVERIFY(powder->findChild<QPlainTextEdit*>(QStringLiteral("txtRefinement"))->toPlainText().isEmpty());
  }

  void peaksAreEditedByClicking() {
    auto w = makeMainWindow();
    PowderWindow* powder = openPowder(w.get());
    powder->resize(1000, 700);
    QVERIFY(powder->openMeasured(writeSynthetic(DecagonalInputs(w.get()), 2.82, 12.06, 0.0)));
    powder->waitForIdle();
    const std::vector<double> found = powder->peaks();
    QVERIFY(found.size() >= 3);
    // Clicking a peak removes it; clicking beside a measured maximum adds a
    // peak on it. The most isolated peak, so that no neighbour is in reach.
    std::size_t lone = 0;
    double gap = 0.0;
    for (std::size_t i = 1; i + 1 < found.size(); ++i) {
      const double g = std::min(found[i] - found[i - 1], found[i + 1] - found[i]);
      if (g > gap) {
        gap = g;
        lone = i;
      }
    }
    powder->plot()->setView({found[lone] - 1.0, found[lone] + 1.0});  // zoomed in, as a user picks peaks
    QVERIFY(std::abs(powder->plot()->pixelOf(found[lone] + gap / 2) - powder->plot()->pixelOf(found[lone])) > 12.0);
    const double picked = found[lone];
    powder->togglePeak(picked);
    QCOMPARE(powder->peaks().size(), found.size() - 1);
    QVERIFY(std::find(powder->peaks().begin(), powder->peaks().end(), picked) == powder->peaks().end());
    powder->togglePeak(picked + 0.01);
    QCOMPARE(powder->peaks().size(), found.size());
    QVERIFY(std::abs(powder->peaks()[lone] - picked) < 0.02);
    // A refinement overtaken by a new run is not shown as the new run's.
    powder->refine();
    PowderWindow::Run newer;
    newer.inputs = DecagonalInputs(w.get());
    newer.result = std::make_shared<CalculationResult>(RunCalculation(newer.inputs));
    powder->setRun(newer);
    powder->waitForIdle();
    QVERIFY(!powder->refinement().has_value());

    // With fewer than 3 peaks nothing is refined and the user is told.
    powder->setPeaks({found[0], found[1]});
    QVERIFY(!powder->findChild<QPushButton*>(QStringLiteral("btRefine"))->isEnabled());
    // The measurement reaches 50 degrees, the start-up run 2 x 30 = 60: nothing to warn of.
    QVERIFY(!powder->findChild<QLabel*>(QStringLiteral("lblStatus"))->text().contains(QStringLiteral("reaches")));
    powder->refine();
    QVERIFY(!powder->refinement().has_value());
    QCOMPARE(messages_.size(), 1);
    QVERIFY(messages_.first().contains(QStringLiteral("3 peaks")));

    // A run that stops short of the measurement says how far it reaches.
    ParameterTexts texts = w->parameters()->texts();
    texts.thetaMax = "20";
    w->parameters()->setTexts(texts);
    w->executeCalculation();
    w->waitForRun();
    powder->waitForIdle();
    QVERIFY(powder->findChild<QLabel*>(QStringLiteral("lblStatus"))->text().contains(QString::fromUtf8("reaches 2θ = 40.00°")));
  }

  void badInputIsNamedAndChangesNothing() {
    auto w = makeMainWindow();
    PowderWindow* powder = openPowder(w.get());
    const std::size_t points = powder->profile().twoTheta.size();
    auto* step = powder->findChild<QLineEdit*>(QStringLiteral("tf2ThStep"));
    step->setText(QStringLiteral("abc"));
    QVERIFY(!powder->recalculate());
    QCOMPARE(messages_.size(), 1);
    QVERIFY(messages_.first().contains(QStringLiteral("Step")) && messages_.first().contains(QStringLiteral("abc")));
    QCOMPARE(powder->profile().twoTheta.size(), points);
    step->setText(QStringLiteral("0,02"));  // a decimal comma is read as a point
    QVERIFY(powder->recalculate());
    powder->waitForIdle();
    QVERIFY(powder->profile().twoTheta.size() < points);

    // A file with a bad line names it, and the window keeps what it had.
    const QString bad = folder_->filePath(QStringLiteral("bad.xy"));
    QFile file(bad);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("10 5\n10.01 6\n10.02 seven\n");
    file.close();
    messages_.clear();
    QVERIFY(!powder->openMeasured(bad));
    QCOMPARE(messages_.size(), 1);
    QVERIFY(messages_.first().contains(QStringLiteral("line 3")));
    QVERIFY(!powder->measured().has_value());
  }

  void diffractometerFileRangesAndItsWavelength() {
    auto w = makeMainWindow();
    PowderWindow* powder = openPowder(w.get());
    // A UXD file of two ranges that states Cu K-alpha1; the main window's run is Mo.
    const QString path = folder_->filePath(QStringLiteral("scan.uxd"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("_FILEVERSION=1\n_WL1=1.540598\n; Data for range 1\n_DRIVE='COUPLED'\n_STEPSIZE=0.5\n_START=10\n"
               "_2THETA=10\n_COUNTS\n1 2 3\n; Data for range 2\n_DRIVE='COUPLED'\n_STEPSIZE=0.1\n_START=20\n"
               "_2THETA=20\n_COUNTS\n5 6 7 8 9 10\n");
    file.close();
    QVERIFY(powder->openMeasured(path));
    powder->waitForIdle();
    auto* ranges = powder->findChild<QComboBox*>(QStringLiteral("cmbRange"));
    QVERIFY(ranges && ranges->isEnabled());
    QCOMPARE(ranges->count(), 2);
    QCOMPARE(powder->measured()->twoTheta.size(), std::size_t{3});
    // Choosing the second range reads it.
    ranges->setCurrentIndex(1);
    emit ranges->activated(1);
    powder->waitForIdle();
    QCOMPARE(powder->measured()->twoTheta.size(), std::size_t{6});
    QCOMPARE(powder->measured()->twoTheta.front(), 20.0);
    QCOMPARE(ranges->currentIndex(), 1);
    auto* label = powder->findChild<QLabel*>(QStringLiteral("lblMeasured"));
    QVERIFY2(label->text().contains(QStringLiteral("1.540598")), qPrintable(label->text()));
    // The lines obey Bragg's law at the file's wavelength, and at the run's once unticked.
    auto braggWavelength = [powder] {
      const PowderLine& line = powder->lines()->lines.front();
      return 2.0 * line.d * std::sin(line.twoTheta * M_PI / 360.0);
    };
    QVERIFY(std::abs(braggWavelength() - 1.540598) < 1e-6);
    auto* use = powder->findChild<QCheckBox*>(QStringLiteral("chkFileWavelength"));
    QVERIFY(use && use->isEnabled() && use->isChecked());
    use->setChecked(false);
    powder->waitForIdle();
    QVERIFY(std::abs(braggWavelength() - DecagonalInputs(w.get()).wavelength) < 1e-6);
    QVERIFY(std::abs(braggWavelength() - 1.540598) > 0.1);
  }

  void plotShowsBothPatternsAndNavigates() {
    auto w = makeMainWindow();
    PowderWindow* powder = openPowder(w.get());
    powder->resize(1000, 700);
    // Off the calculated a, so that the two patterns do not cover each other.
    QVERIFY(powder->openMeasured(writeSynthetic(DecagonalInputs(w.get()), 2.86, 12.06, 0.0)));
    powder->waitForIdle();
    PowderPlotWidget* plot = powder->plot();
    QImage image(plot->size(), QImage::Format_RGB32);
    plot->render(&image);
    QVERIFY(CountColour(image, qRgb(0, 70, 200)) > 50);   // measured
    QVERIFY(CountColour(image, qRgb(210, 30, 30)) > 50);  // calculated
    QVERIFY(CountColour(image, qRgb(0, 120, 0)) > 10);    // line ticks

    // The wheel zooms about the cursor; Home shows everything again.
    const AxisRange whole = plot->scene().view;
    const QPointF at(plot->width() / 2.0, plot->height() / 3.0);
    const double before = plot->twoThetaAt(at);
    QWheelEvent wheel(at, plot->mapToGlobal(at), QPoint(), QPoint(0, 240), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(plot, &wheel);
    QVERIFY(plot->scene().view.width() < whole.width() * 0.7);
    QVERIFY(std::abs(plot->twoThetaAt(at) - before) < 1e-6);
    QTest::keyClick(plot, Qt::Key_Home);
    QCOMPARE(plot->scene().view.width(), whole.width());

    // On the d axis the limits are the d of the ends.
    powder->findChild<QComboBox*>(QStringLiteral("cmbAxis"))->setCurrentIndex(1);
    const double lambda = std::stod(w->parameters()->texts().wavelength);
    const double dHigh = lambda / (2.0 * std::sin(powder->measured()->twoTheta.front() * M_PI / 360.0));
    QVERIFY(std::abs(plot->limits().high - std::min(dHigh, 50.0)) < 1e-3 * dHigh);
    // The log scale starts near the weakest value on show (the file's background of 5), not decades below it.
    powder->findChild<QComboBox*>(QStringLiteral("cmbScale"))->setCurrentIndex(2);
    const PowderPlotLayout layout = LayoutPowderPlot(plot->scene(), QRectF(plot->rect()), QFontMetricsF(plot->font()));
    QVERIFY(layout.yLow > 0.0 && layout.yLow < std::log10(5.0));
  }

  void settingsOutliveTheWindow() {
    auto w = makeMainWindow();
    PowderWindow* powder = openPowder(w.get());
    powder->findChild<QLineEdit*>(QStringLiteral("tfW"))->setText(QStringLiteral("0.02"));
    powder->findChild<QComboBox*>(QStringLiteral("cmbScale"))->setCurrentIndex(2);
    powder->close();  // deletes itself
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    PowderWindow* again = openPowder(w.get());
    QVERIFY(again != nullptr);
    QCOMPARE(again->findChild<QLineEdit*>(QStringLiteral("tfW"))->text(), QStringLiteral("0.02"));
    QCOMPARE(again->plot()->scene().scale, IntensityScale::Log);
  }

  void patternLinesAndPicturesAreSaved() {
    auto w = makeMainWindow();
    PowderWindow* powder = openPowder(w.get());
    nextSavePath_ = folder_->filePath(QStringLiteral("pattern.xy"));
    powder->savePattern();
    QFile pattern(nextSavePath_);
    QVERIFY(pattern.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = pattern.readAll().split('\n');
    QCOMPARE(rows.first(), QByteArray("# 2theta intensity"));
    QCOMPARE(static_cast<std::size_t>(rows.size() - 2), powder->profile().twoTheta.size());
    nextSavePath_ = folder_->filePath(QStringLiteral("lines.csv"));
    powder->saveLines();
    QFile lines(nextSavePath_);
    QVERIFY(lines.open(QIODevice::ReadOnly));
    QVERIFY(lines.readLine().startsWith("two_theta,d,multiplicity,intensity,indices,qi"));
    const std::pair<const char*, QByteArray> pictures[] = {{"plot.png", "\x89PNG"}, {"plot.svg", "<svg"}, {"plot.pdf", "%PDF"}};
    for (const auto& [name, magic] : pictures) {
      nextSavePath_ = folder_->filePath(QString::fromLatin1(name));
      powder->savePicture();
      QFile picture(nextSavePath_);
      QVERIFY2(picture.open(QIODevice::ReadOnly), name);
      QVERIFY2(picture.readAll().contains(magic), name);
    }
    QVERIFY(messages_.isEmpty());
    // Printing paints the plot on the page; copying puts the plot's picture on the clipboard.
    const QString printed = folder_->filePath(QStringLiteral("printed.pdf"));
    Dialogs().setUpPrinter = [&printed](QWidget*, QPrinter& printer) {
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(printed);
      return true;
    };
    powder->printPlot();
    QFile page(printed);
    QVERIFY(page.open(QIODevice::ReadOnly));
    QVERIFY(page.readAll().startsWith("%PDF"));
    powder->copyPlot();
    QCOMPARE(QApplication::clipboard()->image().size(), powder->plot()->size());
    // A write that cannot happen is reported, never silent.
    nextSavePath_ = folder_->filePath(QStringLiteral("missing/pattern.xy"));
    powder->savePattern();
    QCOMPARE(messages_.size(), 1);
  }
};

QTEST_MAIN(PowderWindowTest)
#include "powder_window_test.moc"
