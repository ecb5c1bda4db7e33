#include "app/main_window.h"
#include "app/options.h"
#include "app/run_mode.h"
#include "app/status_bar.h"
#include "app/window_fit.h"
#include "framework/fonts.h"
#include "framework/guard.h"
#include "i18n/builtin_catalogues.h"
#include "i18n/gnugettext.h"
#include "serial/com_error.h"
#include "serial/com_setup_dialog.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <chrono>
#include <functional>
#include <cstdio>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// SIGTERM and SIGINT (a logout, a kill, Ctrl+C in the terminal) end the program after the
// window's normal close, so the port settings are saved and the port is closed. A message box
// or the setup dialog open at that moment must not keep the program alive: every running event
// loop is left, and one started later returns at once. A message the close itself raises has no
// one to answer it; it goes to standard error.
int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t written = write(signalPipe[0], &byte, 1);
}

class EndOnSignals : public QObject {
 public:
  EndOnSignals() {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
    auto notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
      char byte;
      [[maybe_unused]] ssize_t got = read(signalPipe[1], &byte, 1);
      End();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
  }

  // The window to close. A signal taken while it was being made (a message box of its start)
  // leaves `Ended` set: the caller closes it and does not start the program.
  void Watch(QWidget& window) { window_ = &window; }
  // Instead of a window: what a signal does (a run without a window stops at its next tick).
  void Watch(std::function<void()> end) { end_ = std::move(end); }
  bool Ended() const { return ended_; }

 private:
  void End() {
    if (ended_) return;
    ended_ = true;
    if (end_) {
      end_();
      return;
    }
    framework::SetExceptionReporter(
        [](const QString& message) { qWarning("%s", qPrintable(message)); });
    QCoreApplication::exit(0);
    if (window_) window_->close();
  }

  QPointer<QWidget> window_;
  std::function<void()> end_;
  bool ended_ = false;
};

// Translation: Qt's own strings, the port error texts and the setup dialog's captions come
// from the catalogues when there are any. A refused catalogue leaves the program untranslated.
void StartTranslation(QApplication& application) {
  i18n::DefaultInstance();  // language, locale folder and built-in catalogues
  i18n::InstallResourceStringTranslator(application);
  i18n::AddResourceStringDomain(QStringLiteral("cport"));
  serial::SetComTextLookup([](const QString& text) {
    try {
      return i18n::TranslateResourceString(text);
    } catch (const framework::Exception& failure) {
      qWarning("%s", qPrintable(failure.Message()));
      return text;
    }
  });
  serial::SetDialogTranslator(
      [](QWidget* dialog, const QStringList& ignoredNames, const QString& domain) {
        i18n::TGnuGettextInstance& translation = i18n::DefaultInstance();
        for (const QString& name : ignoredNames) translation.TP_Ignore(dialog, name);
        translation.TranslateObjectTree(dialog, domain);
      });
  if (!i18n::BuiltinCatalogueError().isEmpty())
    qWarning("%s", qPrintable(i18n::BuiltinCatalogueError()));
}

// Reports the wall-clock time of the window's first painted frame and closes it: start-up time
// measured from outside, from the moment the program was started.
class FirstPaintProbe : public QObject {
 public:
  // Watches every widget: on a real display the window itself may never get a paint event of
  // its own when its children cover it (the page's scroll area does).
  explicit FirstPaintProbe(QWidget& window) : QObject(&window), window_(window) {
    qApp->installEventFilter(this);
  }
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() != QEvent::Paint || seen_ || !object->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(object);
    if (widget != &window_ && !window_.isAncestorOf(widget)) return false;
    seen_ = true;
    // The children paint in the same pass, after the window itself: report once it is done.
    QTimer::singleShot(0, &window_, [this] {
      const auto now = std::chrono::system_clock::now().time_since_epoch();
      std::printf("first paint %lld\n",
                  static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(now).count()));
      std::fflush(stdout);
      window_.close();
    });
    return false;
  }

 private:
  QWidget& window_;
  bool seen_ = false;
};

void WriteCounts(const QString& path, const app::TForm1& window) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    qWarning("cannot write the counts to %s", qPrintable(path));
    return;
  }
  file.write(QStringLiteral("Tx=%1\nEr=%2\n")
                 .arg(window.stat1->PanelText(1), window.stat1->PanelText(3))
                 .toUtf8());
}

}  // namespace

int main(int argc, char** argv) {
  // Every time of day the monitor and the capture show goes through the C library's local time.
  // With TZ unset it looks at /etc/localtime again on each call (two file checks a frame);
  // naming the same file once lets it keep what it read. A change of the system's time zone is
  // then seen at the next start.
  if (qEnvironmentVariableIsEmpty("TZ")) qputenv("TZ", ":/etc/localtime");
  const std::variant<app::Options, int> read = app::ReadOptions(argc, argv);
  if (const int* status = std::get_if<int>(&read)) return *status;
  const app::Options& options = std::get<app::Options>(read);

  // A run without a window needs no display.
  if (options.run) qputenv("QT_QPA_PLATFORM", "offscreen");
  app::DropShrinkingScaleFactor();
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("ZT_MODBUS_K"));
  framework::RegisterFontSubstitutes();
  StartTranslation(application);
  serial::InitComErrorTexts();

  EndOnSignals ending;
  if (options.run) {
    app::TUnattendedRun run(*options.run, options.captureFile);
    ending.Watch([&run] { run.Stop(); });
    if (ending.Ended()) run.Stop();
    return run.Exec();
  }
  app::TForm1 window;
  ending.Watch(window);
  if (ending.Ended()) {
    window.close();
    return 0;
  }
  if (options.captureFile) {
    const QString why = window.StartCapture(*options.captureFile);
    if (!why.isEmpty()) framework::ShowMessage(why);
  }
  if (options.exitAfterFirstPaint) new FirstPaintProbe(window);
  window.show();
  const int result = application.exec();
  if (options.countsFile) WriteCounts(*options.countsFile, window);
  return result;
}
