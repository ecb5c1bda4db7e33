#include "app/main_window.h"
#include "framework/fonts.h"
#include "i18n/builtin_catalogues.h"
#include "i18n/gnugettext.h"
#include "serial/com_error.h"
#include "serial/com_setup_dialog.h"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// SIGTERM and SIGINT (a logout, a kill, Ctrl+C in the terminal) close the window the normal
// way, so the port settings are saved and the port is closed.
int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t written = write(signalPipe[0], &byte, 1);
}

void CloseOnSignals(QWidget& window) {
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
  auto notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, &window);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
    char byte;
    [[maybe_unused]] ssize_t got = read(signalPipe[1], &byte, 1);
    window.close();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

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

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("ZT_MODBUS_K"));
  framework::RegisterFontSubstitutes();
  StartTranslation(application);
  serial::InitComErrorTexts();

  app::TForm1 window;
  CloseOnSignals(window);
  window.show();
  return application.exec();
}
