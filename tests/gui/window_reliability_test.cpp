// The window where things go wrong: a settings file that is no file, a
// settings folder that cannot be written when the program is told to end,
// a runaway run, a shared temporary folder.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <memory>
#include <string>

#include "ui/dialogs.hpp"
#include "app/main_window.hpp"
#include "app/parameter_panel.hpp"
#include "common/file_io.hpp"

extern char** environ;

using namespace lumora;

namespace {

// True when the process has a handler for SIGTERM, read from /proc.
bool CatchesSigterm(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("SigCgt:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1u;
  return false;
}

}  // namespace

class WindowReliabilityTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> folder_;
  QStringList messages_;

  std::unique_ptr<MainWindow> makeWindow() {
    auto window = std::make_unique<MainWindow>(AppPaths(folder_->path()));
    window->show();
    return window;
  }
  QString settingsPath() const { return QDir(folder_->path()).filePath(QStringLiteral("Lumora.cfg")); }
  QLineEdit* field(QWidget* w, const char* name) { return w->findChild<QLineEdit*>(QString::fromLatin1(name)); }

 private slots:
  void init() {
    folder_ = std::make_unique<QTemporaryDir>();
    qputenv("TMP", folder_->path().toLocal8Bit());
    messages_.clear();
    Dialogs().warning = [this](QWidget*, const QString& text) { messages_ << text; };
    Dialogs().message = [this](QWidget*, const QString& text) { messages_ << text; };
  }

  void settingsThatAreNoFileGiveAMessageAndTheDefaults_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("problem");
    QTest::newRow("pipe") << "pipe" << "is a pipe, not a file";
    QTest::newRow("device") << "device" << "is a device, not a file";
    QTest::newRow("folder") << "folder" << "is a folder, not a file";
    QTest::newRow("huge") << "huge" << "is larger than 65536 bytes";
  }
  void settingsThatAreNoFileGiveAMessageAndTheDefaults() {
    QFETCH(QString, kind);
    QFETCH(QString, problem);
    const QByteArray path = QFile::encodeName(settingsPath());
    if (kind == "pipe") QCOMPARE(::mkfifo(path.constData(), 0600), 0);
    if (kind == "device") QVERIFY(QFile::link(QStringLiteral("/dev/zero"), settingsPath()));
    if (kind == "folder") QVERIFY(QDir().mkdir(settingsPath()));
    if (kind == "huge") std::ofstream(path.constData()) << "3\r\n" << std::string(70000, '1');
    {
      // A blocking read of the pipe or device would never get here.
      auto w = makeWindow();
      QTRY_COMPARE(messages_.size(), 1);
      QVERIFY2(messages_[0].contains(settingsPath()) && messages_[0].contains(problem), qPrintable(messages_[0]));
      QCOMPARE(w->findChild<QComboBox*>(QStringLiteral("cmbSystem"))->currentText(), QStringLiteral("Decagonal"));
      QCOMPARE(field(w.get(), "tfA")->text(), QStringLiteral("2.82"));
      w->close();
    }
    // Closing does not write into the pipe or device (it would block or vanish) but says so.
    if (kind != "huge") {
      QCOMPARE(messages_.size(), 2);
      QVERIFY2(messages_[1].contains(QStringLiteral("could not be saved")), qPrintable(messages_[1]));
    }
  }

  void terminationWithUnwritableSettingsEndsAtOnce() {
    // The program in a folder of its own, where a folder named Lumora.cfg
    // makes saving the settings fail.
    const QString program = QDir(folder_->path()).filePath(QStringLiteral("lumora"));
    QVERIFY(QFile::copy(QStringLiteral(LUMORA_GUI_PATH), program));
    QVERIFY(QDir().mkdir(settingsPath()));
    const std::string errors = QFile::encodeName(QDir(folder_->path()).filePath(QStringLiteral("stderr"))).toStdString();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::string path = QFile::encodeName(program).toStdString();
    char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
    pid_t pid = 0;
    QCOMPARE(posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);

    // Told to end once it listens for the signal, with the window up.
    bool ready = false;
    for (int i = 0; i < 600 && !ready; ++i) {
      ready = CatchesSigterm(pid);
      if (!ready) QTest::qWait(50);
    }
    QVERIFY(ready);
    QTest::qWait(300);
    QCOMPARE(::kill(pid, SIGTERM), 0);
    // A modal box would keep it alive; a generous bound, not a measurement.
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 200 && ended == 0; ++i) {
      ended = ::waitpid(pid, &status, WNOHANG);
      if (ended == 0) QTest::qWait(50);
    }
    if (ended == 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      QFAIL("the program did not end after SIGTERM");
    }
    QVERIFY(WIFEXITED(status));
    const QString said = QString::fromStdString(ReadWholeFile(errors).value_or(""));
    QVERIFY2(said.contains(QStringLiteral("The inputs could not be saved")) && said.contains(QStringLiteral("Lumora.cfg")),
             qPrintable(said));
  }

  void runawayRunShowsTheVisitedVectorMessage() {
    auto w = makeWindow();
    w->parameters()->chooseSystem(3);
    for (const char* name : {"tfH0", "tfH1", "tfH2", "tfH3", "tfH4", "tfH5"}) field(w.get(), name)->setText("32767");
    field(w.get(), "tfTH1")->setText(QStringLiteral("0"));
    field(w.get(), "tfTH2")->setText(QStringLiteral("90"));
    field(w.get(), "tfQI")->setText(QStringLiteral("1e300"));
    w->executeCalculation();
    w->waitForRun();
    QCOMPARE(messages_.size(), 1);
    QVERIFY2(messages_[0].contains(QStringLiteral("would visit more than 10000000000 index vectors")),
             qPrintable(messages_[0]));
    QVERIFY(!w->calculated());
  }

  void temporaryFilesStayInAPrivateFolder() {
    // Someone else's link waits in the shared folder under the report's old name.
    const QString planted = QDir(folder_->path()).filePath(QStringLiteral("tmp.hkl"));
    const QString victim = QDir(folder_->path()).filePath(QStringLiteral("victim.txt"));
    std::ofstream(QFile::encodeName(victim).constData()) << "keep";
    QVERIFY(QFile::link(victim, planted));
    auto w = makeWindow();
    w->executeCalculation();
    w->waitForRun();
    QVERIFY(w->calculated());
    QList<QUrl> opened;
    const auto desktop = Dialogs().openUrl;
    Dialogs().openUrl = [&opened](const QUrl& url) {
      opened << url;
      return true;
    };
    w->viewInEditor();  // the report is written for the editor
    Dialogs().openUrl = desktop;
    QCOMPARE(opened.size(), 1);
    const QFileInfo report(w->temporaryReportPath());
    QVERIFY(report.exists());
    QVERIFY(IsPrivateFolder(QFile::encodeName(report.absolutePath()).toStdString(), ::geteuid()));
    QCOMPARE(QFileInfo(report.absolutePath()).absolutePath(), QFileInfo(folder_->path()).absoluteFilePath());
    QCOMPARE(ReadWholeFile(QFile::encodeName(victim).toStdString()).value_or(""), std::string("keep"));
  }
};

QTEST_MAIN(WindowReliabilityTest)
#include "window_reliability_test.moc"
