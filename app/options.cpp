#include "app/options.h"

#include <QCommandLineParser>
#include <QStringList>
#include <cstdio>

namespace app {

namespace {

// The options that QGuiApplication and QApplication read and take out of argv themselves.
struct QtOption {
  const char* name;
  bool takesValue;
};
constexpr QtOption kQtOptions[] = {
    {"platform", true},        {"platformpluginpath", true},
    {"platformtheme", true},   {"plugin", true},
    {"qwindowgeometry", true}, {"qwindowicon", true},
    {"qwindowtitle", true},    {"session", true},
    {"display", true},         {"geometry", true},
    {"style", true},           {"stylesheet", true},
    {"reverse", false},        {"widgetcount", false},
};

void Print(std::FILE* stream, const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), stream);
}

}  // namespace

std::variant<Options, int> ReadOptions(int argc, char** argv) {
  QCommandLineParser parser;
  // Qt's options are single words after one dash; ours read the same after one dash or two.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.setApplicationDescription(QStringLiteral(
      "Modbus RTU slave test tool. Qt's own options (-platform NAME, -style NAME, ...) are "
      "accepted too."));
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Show this help and exit."));
  const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                   QStringLiteral("Show the program's name and version and exit."));
  const QCommandLineOption counts(
      QStringLiteral("counts"),
      QStringLiteral("At exit, write the request (Tx) and unanswered (Er) counts to <file>."),
      QStringLiteral("file"));
  const QCommandLineOption firstPaint(
      QStringLiteral("exit-after-first-paint"),
      QStringLiteral("Print the time of the first painted window (microseconds since the "
                     "epoch) and exit."));
  const QCommandLineOption capture(
      QStringLiteral("capture"),
      QStringLiteral("Append every frame of the session, with its time, to <file>."),
      QStringLiteral("file"));
  for (const auto& option : {help, version, counts, firstPaint, capture}) parser.addOption(option);
  for (const QtOption& qt : kQtOptions) {
    QCommandLineOption option(QString::fromLatin1(qt.name), QString());
    if (qt.takesValue) option.setValueName(QStringLiteral("value"));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }

  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  // The parser knows no program name without an application object: the usage line is ours.
  const QString usage = QStringLiteral("Usage: " ZT_PROGRAM " [options]\n") +
                        parser.helpText().section(QLatin1Char('\n'), 1);

  QString mistake;
  if (!parser.parse(arguments))
    mistake = parser.errorText();
  else if (!parser.positionalArguments().isEmpty())
    mistake = QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
  if (!mistake.isEmpty()) {
    Print(stderr, QStringLiteral(ZT_PROGRAM ": %1\n\n").arg(mistake) + usage);
    return 1;
  }
  if (parser.isSet(help)) {
    Print(stdout, usage);
    return 0;
  }
  if (parser.isSet(version)) {
    Print(stdout, QStringLiteral(ZT_PROGRAM " " ZT_VERSION "\n"));
    return 0;
  }
  Options options;
  if (parser.isSet(counts)) options.countsFile = parser.value(counts);
  options.exitAfterFirstPaint = parser.isSet(firstPaint);
  if (parser.isSet(capture)) options.captureFile = parser.value(capture);
  return options;
}

}  // namespace app
