#include "app/options.h"

#include <QCommandLineParser>
#include <QStringList>
#include <tuple>
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

// A whole number or a decimal within [low, high]; nothing for any other text.
std::optional<double> Number(const QString& text, double low, double high, bool whole) {
  bool ok = false;
  const double value = whole ? double(text.toLongLong(&ok)) : text.toDouble(&ok);
  if (!ok || !(value >= low && value <= high)) return std::nullopt;
  return value;
}

// Fills options.run from the parsed --run options; gives the mistake, or empty.
QString ReadRunOptions(const QCommandLineParser& parser, const QList<QCommandLineOption>& runOnly,
                       Options& options) {
  const auto& [port, baud, slaves, seconds, polls, report, minAnswered] =
      std::tie(runOnly[0], runOnly[1], runOnly[2], runOnly[3], runOnly[4], runOnly[5],
               runOnly[6]);
  RunOptions run;
  const auto number = [&](const QCommandLineOption& option, double low, double high,
                          bool whole) -> std::optional<double> {
    if (!parser.isSet(option)) return std::nullopt;
    return Number(parser.value(option), low, high, whole);
  };
  const auto wrong = [&](const QCommandLineOption& option, const char* what) {
    return QStringLiteral("--%1: '%2' is not %3.")
        .arg(option.names().first(), parser.value(option), QLatin1String(what));
  };
  if (parser.isSet(port)) {
    if (parser.value(port).isEmpty()) return QStringLiteral("--port: the name is empty.");
    run.port = parser.value(port);
  }
  if (parser.isSet(baud)) {
    const auto rate = number(baud, 1, 0x7FFFFFFF, true);
    if (!rate) return wrong(baud, "a baud rate (a whole number above 0)");
    run.baud = int(*rate);
  }
  if (parser.isSet(slaves)) {
    const auto n = number(slaves, 1, 10, true);
    if (!n) return wrong(slaves, "a number of slaves from 1 to 10");
    run.slaves = int(*n);
  }
  if (parser.isSet(seconds) && parser.isSet(polls))
    return QStringLiteral("--seconds and --polls: give one of them, not both.");
  if (parser.isSet(seconds)) {
    const auto s = number(seconds, 0.001, 1e9, false);
    if (!s) return wrong(seconds, "a number of seconds above 0");
    run.seconds = *s;
  }
  if (parser.isSet(polls)) {
    const auto k = number(polls, 1, 1e15, true);
    if (!k) return wrong(polls, "a number of requests above 0");
    run.polls = int64_t(*k);
  }
  if (parser.isSet(report)) {
    if (parser.value(report).isEmpty()) return QStringLiteral("--report: the file name is empty.");
    run.report = parser.value(report);
  }
  if (parser.isSet(minAnswered)) {
    const auto p = number(minAnswered, 0, 100, false);
    if (!p) return wrong(minAnswered, "a percentage from 0 to 100");
    run.minAnswered = *p;
  }
  options.run = run;
  return QString();
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
  const QCommandLineOption run(
      QStringLiteral("run"),
      QStringLiteral("Poll without a window (no display needed) and report: the options below "
                     "go with it. Exit status 0: every polled slave answered enough of its "
                     "requests; 1: one did not; 2: bad options, or the port or a file cannot "
                     "be opened. Ctrl+C or SIGTERM stops at the next request and still "
                     "reports."));
  const QCommandLineOption port(QStringLiteral("port"),
                                QStringLiteral("--run: the port (default: the stored one)."),
                                QStringLiteral("name"));
  const QCommandLineOption baud(QStringLiteral("baud"),
                                QStringLiteral("--run: the baud rate (default: the stored one)."),
                                QStringLiteral("rate"));
  const QCommandLineOption slaves(
      QStringLiteral("slaves"), QStringLiteral("--run: poll slaves 1..<n>, 1 to 10 (default 1)."),
      QStringLiteral("n"));
  const QCommandLineOption seconds(QStringLiteral("seconds"),
                                   QStringLiteral("--run: stop after <s> seconds."),
                                   QStringLiteral("s"));
  const QCommandLineOption polls(QStringLiteral("polls"),
                                 QStringLiteral("--run: stop after <k> requests (without this "
                                                "or --seconds: run until stopped)."),
                                 QStringLiteral("k"));
  const QCommandLineOption report(
      QStringLiteral("report"),
      QStringLiteral("--run: write the report as JSON to <file> (\"-\": standard output)."),
      QStringLiteral("file"));
  const QCommandLineOption minAnswered(
      QStringLiteral("min-answered"),
      QStringLiteral("--run: the share of its requests each polled slave must answer, in "
                     "percent (default 100)."),
      QStringLiteral("percent"));
  const QList<QCommandLineOption> runOnly{port, baud, slaves, seconds, polls, report, minAnswered};
  for (const auto& option : {help, version, counts, firstPaint, capture, run}) parser.addOption(option);
  for (const auto& option : runOnly) parser.addOption(option);
  for (const QtOption& qt : kQtOptions) {
    QCommandLineOption option(QString::fromLatin1(qt.name), QString());
    if (qt.takesValue) option.setValueName(QStringLiteral("value"));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }

  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  // The parser knows no program name without an application object: the usage line is ours.
  const QString usage = QStringLiteral(
                            "Usage: " ZT_PROGRAM " [options]\n"
                            "       " ZT_PROGRAM " --run [--port NAME] [--baud RATE] [--slaves N]"
                            " [--seconds S | --polls K]\n"
                            "           [--report FILE] [--min-answered PERCENT]"
                            " [--capture FILE]\n") +
                        parser.helpText().section(QLatin1Char('\n'), 1);

  QString mistake;
  if (!parser.parse(arguments))
    mistake = parser.errorText();
  else if (!parser.positionalArguments().isEmpty())
    mistake = QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
  const bool running = arguments.contains(QStringLiteral("--run")) ||
                       arguments.contains(QStringLiteral("-run"));
  Options options;
  if (mistake.isEmpty() && parser.isSet(run))
    mistake = ReadRunOptions(parser, runOnly, options);
  else if (mistake.isEmpty())
    for (const QCommandLineOption& option : runOnly)
      if (parser.isSet(option))
        mistake = QStringLiteral("--%1 goes with --run.").arg(option.names().first());
  if (mistake.isEmpty() && parser.isSet(run) && (parser.isSet(counts) || parser.isSet(firstPaint)))
    mistake = QStringLiteral("--%1 is for the window, not for --run.")
                  .arg(parser.isSet(counts) ? QStringLiteral("counts")
                                            : QStringLiteral("exit-after-first-paint"));
  if (!mistake.isEmpty()) {
    Print(stderr, QStringLiteral(ZT_PROGRAM ": %1\n\n").arg(mistake) + usage);
    return running ? RunCannotRun : 1;
  }
  if (parser.isSet(help)) {
    Print(stdout, usage);
    return 0;
  }
  if (parser.isSet(version)) {
    Print(stdout, QStringLiteral(ZT_PROGRAM " " ZT_VERSION "\n"));
    return 0;
  }
  if (parser.isSet(counts)) options.countsFile = parser.value(counts);
  options.exitAfterFirstPaint = parser.isSet(firstPaint);
  if (parser.isSet(capture)) options.captureFile = parser.value(capture);
  return options;
}

}  // namespace app
