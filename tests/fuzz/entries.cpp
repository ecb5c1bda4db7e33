#include "entries.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/main_window.h"
#include "app/modbus_frames.h"
#include "framework/guard.h"
#include "i18n/domain.h"
#include "instruments/integer_output.h"
#include "instruments/seven_segment_display.h"
#include "platform/ini_file.h"
#include "platform/recording_serial_device.h"
#include "platform/registry.h"
#include "platform/registry_file.h"
#include "skin/button.h"
#include "skin/theme_file.h"

namespace fuzz {

namespace {

// A folder of this process for the files the readers open.
const QString& WorkDir() {
  static QTemporaryDir dir(QDir::temp().filePath(QStringLiteral("zt-fuzz-XXXXXX")));
  static const QString path = dir.path();
  return path;
}

QString WriteInput(const QString& relative, const uint8_t* data, size_t size) {
  const QString path = WorkDir() + u'/' + relative;
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    std::abort();
  }
  file.write(reinterpret_cast<const char*>(data), qint64(size));
  return path;
}

// A check that must hold for every input; its failure is a finding like a crash.
void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

// Short names taken from the input, so that lookups can hit what the input holds.
std::vector<QString> NamesIn(const QByteArray& text) {
  std::vector<QString> names;
  for (const QByteArray& line : text.split('\n')) {
    if (names.size() >= 8) break;
    const QByteArray trimmed = line.trimmed();
    if (trimmed.startsWith('[')) {
      names.push_back(QString::fromUtf8(trimmed.mid(1, trimmed.indexOf(']') - 1)));
    } else if (const int eq = trimmed.indexOf('='); eq > 0) {
      names.push_back(QString::fromUtf8(trimmed.left(eq)));
    }
  }
  return names;
}

// The window the answer entry drives: made once, polling on a recording line, its timer and
// receive events called directly.
struct Window {
  Window() {
    EnsureApplication();
    platform::SetRegistryFilePath(WorkDir() + QStringLiteral("/registry.reg"));
    framework::SetExceptionReporter([](const QString&) {});
    form = std::make_unique<app::TForm1>();
    form->ComPort->SetDeviceOpener(line.Opener());
    form->ComPort->SetEvents({});
    form->ComPort->SetPort(QStringLiteral("COM1"));
    form->suiButton2Click(form->suiButton2);
    form->tmr1->SetEnabled(false);
  }
  platform::RecordingLine line;
  std::unique_ptr<app::TForm1> form;
};

}  // namespace

void EnsureApplication() {
  static std::unique_ptr<QApplication> application = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "zt-fuzz";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QApplication>(argc, argv);
  }();
}

// Each event starts with one byte: a multiple of 4 is a timer tick (a new request, which
// starts a new answer); otherwise the next byte gives up to 63 bytes of one receive event.
void FeedAnswers(const uint8_t* data, size_t size) {
  static Window window;
  window.form->tmr1Timer(window.form->tmr1);
  size_t at = 0;
  while (at < size) {
    const uint8_t op = data[at++];
    if (op % 4 == 0) {
      window.form->tmr1Timer(window.form->tmr1);
    } else if (at < size) {
      const size_t wanted = data[at++] % 64;
      const size_t count = std::min(wanted, size - at);
      window.line.Inject(std::vector<uint8_t>(data + at, data + at + count));
      at += count;
      window.form->ComPortRxChar(window.form->ComPort, int(count));
    }
    // Every answer test must stay within the frame, whatever was collected.
    Require(app::RxLength >= 0 && app::RxLength <= app::RxLimit, "answer length");
    app::AnswerComplete();
    app::AnswerCrcValid();
    app::ExceptionAnswer();
    uint16_t value = 0;
    for (int i = 0; i < 3; ++i) app::AnswerRegister(i, value);
  }
  window.line.TakeWritten();
  window.line.ClearCalls();  // the fake device's call record would grow with every input
  // The monitor draws from its own timer in the program; here now and then.
  static unsigned inputs = 0;
  if (++inputs % 64 == 0) window.form->mm1->Refresh();
}

void FeedCatalogue(const uint8_t* data, size_t size) {
  const QString path = WriteInput(QStringLiteral("locale/de/LC_MESSAGES/fuzz.mo"), data, size);
  i18n::TDomain domain(QStringLiteral("fuzz"), WorkDir() + QStringLiteral("/locale/"),
                       QStringLiteral("de"));
  const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
  const QByteArray keys[] = {QByteArray(), "Start", "Stop", text.left(6), text.right(6)};
  // The second round runs after the file was emptied under the open catalogue.
  for (int round = 0; round < 2; ++round) {
    for (const QByteArray& key : keys) {
      try {
        domain.Lookup(key);
      } catch (...) {
      }
    }
    QFile::resize(path, 0);
  }
  domain.StringCount();
}

void FeedTheme(const uint8_t* data, size_t size) {
  const QString path = WriteInput(QStringLiteral("fuzz.sui"), data, size);
  skin::IsValidThemeFile(path);
  try {
    skin::TsuiThemeFileReader reader(path);
    const QString names[] = {QStringLiteral("ButtonImage"), QStringLiteral("ButtonTransparentBool"),
                             QStringLiteral("TitleBarButtonLeftOffsetInt"),
                             QStringLiteral("FormBorderColor"), QString()};
    for (const QString& name : names) {
      reader.Boolean(name);
      reader.Image(name);
      reader.Integer(name);
      reader.Text(name);
    }
  } catch (...) {
  }
}

void FeedRegistry(const uint8_t* data, size_t size) {
  namespace regfile = platform::regfile;
  regfile::Document doc;
  QString error;
  if (!regfile::Parse(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), doc, error))
    return;
  // What was read is written so that it reads back as the same document.
  const QByteArray written = regfile::Write(doc);
  regfile::Document again;
  Require(regfile::Parse(written, again, error), "written registry file reads back");
  Require(regfile::Write(again) == written, "registry file round trip");
}

void FeedIni(const uint8_t* data, size_t size) {
  const QString path = WriteInput(QStringLiteral("fuzz.ini"), data, size);
  const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
  const std::vector<QString> names = NamesIn(text);
  try {
    platform::IniFile ini(path);
    for (const QString& section : names) {
      for (const QString& key : names) {
        ini.ReadString(section, key, QString());
        ini.ReadInteger(section, key, -1);
      }
    }
    ini.WriteString(QStringLiteral("Fuzz"), QStringLiteral("Key"), QStringLiteral(" value "));
    ini.UpdateFile();
    platform::IniFile again(path);
    Require(again.ReadString(QStringLiteral("Fuzz"), QStringLiteral("Key"), QString()) ==
                QStringLiteral(" value "),
            "ini value written reads back");
  } catch (const std::runtime_error&) {
  }
}

void FeedProperties(const uint8_t* data, size_t size) {
  EnsureApplication();
  framework::SetExceptionReporter([](const QString&) {});
  static instruments::TiSevenSegmentInteger display;
  static instruments::TiIntegerOutput output;
  const QString path = WriteInput(QStringLiteral("fuzz.txt"), data, size);
  for (instruments::TiComponent* control : {static_cast<instruments::TiComponent*>(&display),
                                            static_cast<instruments::TiComponent*>(&output)}) {
    try {
      control->LoadPropertiesFromFile(path);
    } catch (...) {
    }
  }
}

Entry EntryFor(std::string_view target) {
  if (target == "answers") return FeedAnswers;
  if (target == "catalogue") return FeedCatalogue;
  if (target == "theme") return FeedTheme;
  if (target == "registry") return FeedRegistry;
  if (target == "ini") return FeedIni;
  if (target == "properties") return FeedProperties;
  return nullptr;
}

}  // namespace fuzz
