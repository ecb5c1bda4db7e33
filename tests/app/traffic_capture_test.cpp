// The traffic on record: the capture file the poll cycle writes frame by frame (driven tick by
// tick on the recording device), its failures, and the monitor saved with full times.
#include "app/traffic_capture.h"
#include "form_test.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <csignal>
#include <random>
#include <thread>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace app;

namespace {

QString Hex(const std::vector<uint8_t>& bytes) {
  QString text;
  for (uint8_t b : bytes) text += QStringLiteral(" %1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
  return text;
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QString kFullTime = QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz");
QString FullTime(int64_t ms) { return QDateTime::fromMSecsSinceEpoch(ms).toString(kFullTime); }

// The file's lines with their times taken off; each must have one, to the microsecond.
QStringList Untimed(const QString& path) {
  static const QRegularExpression time(
      QStringLiteral(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{6} )"));
  QStringList lines;
  for (const QString& line : QString::fromUtf8(ReadAll(path)).split(u'\n', Qt::SkipEmptyParts)) {
    EXPECT_TRUE(time.match(line).hasMatch()) << line.toStdString();
    lines << line.mid(27);
  }
  return lines;
}

const std::vector<uint8_t> kRequest1 = {0x01, 0x03, 0x00, 0x00, 0x00, 0x03, 0x05, 0xCB};

class Capture : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    OpenOnRecordingLine();
  }
  // One session of one request to slave 1, answered with the byte groups given (each one
  // receive event): the capture's Rx lines of it.
  QStringList RxLinesFor(const std::vector<std::vector<uint8_t>>& groups) {
    Start();
    Tick();
    for (const auto& bytes : groups) Answer(bytes);
    form->suiButton3Click(form->suiButton3);
    Tick();
    const QStringList lines = Untimed(path);
    return lines.sliced(lines.lastIndexOf(QStringLiteral("-- start COM1")))
        .filter(QRegularExpression(QStringLiteral("^Rx ")));
  }
  QString path = dir.filePath(QStringLiteral("traffic.log"));
};

}  // namespace

TEST_F(Capture, ASessionIsRecordedFrameByFrameWithItsFiguresAtTheStop) {
  ASSERT_EQ(form->StartCapture(path), QString());
  Start();
  Tick();
  const auto answer = ReadAnswer(1, 1, 2, 3);
  Answer(answer);
  Tick();  // no answer to this one
  form->suiButton3Click(form->suiButton3);
  Tick();
  const QStringList lines = Untimed(path);
  EXPECT_EQ(lines.size(), 8);
  EXPECT_EQ(lines.mid(0, 7),
            (QStringList{"-- start COM1", "Tx" + Hex(kRequest1), "Rx" + Hex(answer),
                         "Tx" + Hex(kRequest1), "-- stop", "## Tx=2 Er=1",
                         "## Slave\tRequests\tAnswered\tMissed\tCRC errors\tExceptions\t"
                         "Last exception\tOther address\tLast ms\tMean ms\tMin ms\tMax ms"}));
  EXPECT_TRUE(lines.last().startsWith("## 1\t2\t1\t1\t0\t0\t0\t0\t"));

  // A second session is appended to the same file.
  Start();
  Tick();
  EXPECT_EQ(Untimed(path).sliced(8), (QStringList{"-- start COM1", "Tx" + Hex(kRequest1)}));
  EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}

TEST_F(Capture, EachWayAnAnswerComesOrNotIsMarkedAndNoByteIsLeftOut) {
  const auto good = ReadAnswer(1, 1, 2, 3);
  const auto exception = WithCrc({1, 0x83, 2});
  const auto foreign = ReadAnswer(7, 0, 0, 0);
  std::vector<uint8_t> noise(60);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = uint8_t(0x40 + i);
  const std::vector<uint8_t> part(good.begin(), good.begin() + 4);
  const auto cut = exception.begin() + 2;
  const std::tuple<const char*, std::vector<std::vector<uint8_t>>, QStringList> cases[] = {
      {"a good answer", {good}, {"Rx" + Hex(good)}},
      {"a wrong CRC, then more", {BadCrc(good), {0x55}},
       {"Rx" + Hex(BadCrc(good)) + " [crc-error]", "Rx 55 [extra]"}},
      {"an exception answer in pieces", {{exception.begin(), cut}, {cut, exception.end()}, {0xFF}},
       {"Rx" + Hex(exception) + " [exception 02]", "Rx FF [extra]"}},
      {"another address", {foreign}, {"Rx" + Hex(foreign) + " [foreign-address]"}},
      {"an answer cut short", {part}, {"Rx" + Hex(part) + " [incomplete]"}},
      {"more than the buffer takes", {noise, noise},
       {"Rx" + Hex(noise) + Hex(noise) + " [overflow]"}},
      {"the answer twice", {good, good}, {"Rx" + Hex(good), "Rx" + Hex(good) + " [extra]"}},
      {"silence", {}, {}},
  };
  ASSERT_EQ(form->StartCapture(path), QString());
  for (const auto& [name, groups, rx] : cases) EXPECT_EQ(RxLinesFor(groups), rx) << name;
}

TEST_F(Capture, AFileThatCannotBeWrittenIsSaidOnceAndPollingGoesOn) {
  // One that cannot even be opened: the reason, and no capture.
  const QString refused = form->StartCapture(dir.filePath(QStringLiteral("missing/traffic.log")));
  EXPECT_TRUE(refused.contains(QStringLiteral("missing/traffic.log"))) << refused.toStdString();
  EXPECT_TRUE(refused.contains(QString::fromLocal8Bit(strerror(ENOENT))));

  // One that opens but takes nothing.
  ASSERT_EQ(form->StartCapture(QStringLiteral("/dev/full")), QString());
  Start();
  for (int r = 0; r < 5; ++r) {
    Tick();
    Answer(ReadAnswer(1, 100 + r, 0, 0));
  }
  EXPECT_EQ(Lines(QStringLiteral("记录文件写入失败")), 1);
  EXPECT_EQ(Lines(QString::fromLocal8Bit(strerror(ENOSPC))), 1);
  EXPECT_EQ(Count(1), 5);
  EXPECT_EQ(Count(3), 0);
  EXPECT_EQ(Display(1, 0), 104);
  EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}

// A line the file takes only in part is cut back off: a file cut short by a full disk or a size
// limit ends on its last whole line, and the failure is said once.
TEST(CaptureFile, ALineCutShortIsTakenBackOff) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("limited.log"));
  TTrafficCapture capture;
  ASSERT_EQ(capture.Open(path), QString());
  QStringList failures;
  capture.OnFailure = [&](const QString& reason) { failures << reason; };
  capture.Clock = [] { return int64_t(1'765'000'000'123'456); };

  rlimit before{};
  getrlimit(RLIMIT_FSIZE, &before);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  const rlimit small{200, before.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  for (int i = 0; i < 10; ++i) capture.Sent(kRequest1.data(), 8);
  setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, oldHandler);

  const std::string line = TTrafficCapture::FormatTime(1'765'000'000'123'456) +
                           " Tx 01 03 00 00 00 03 05 CB\n";
  QByteArray expected;
  while (expected.size() + qsizetype(line.size()) <= 200) expected += line.c_str();
  EXPECT_EQ(ReadAll(path), expected);
  ASSERT_EQ(failures.size(), 1);
  EXPECT_TRUE(failures[0].contains(QString::fromLocal8Bit(strerror(EFBIG))))
      << failures[0].toStdString();
  EXPECT_FALSE(capture.Active());
}

// A program killed at any moment leaves only whole lines: each goes out in one write.
TEST(CaptureFile, AKillAtAnyMomentLeavesEveryWrittenLineWhole) {
  QTemporaryDir dir;
  std::mt19937 random(3);
  const auto answer = ReadAnswer(1, 1, 2, 3);
  for (int round = 0; round < 40; ++round) {
    const QString path = dir.filePath(QStringLiteral("killed%1.log").arg(round));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      TTrafficCapture capture;
      if (!capture.Open(path).isEmpty()) _exit(1);
      for (;;) {
        capture.Sent(kRequest1.data(), 8);
        capture.Received();
        capture.Answer(answer.data(), int(answer.size()));
        capture.Note(QStringLiteral("a note of some length to vary the lines"));
      }
    }
    // Killed while it writes: once the first lines are there (a loaded machine may take a while
    // to get the child going), at a random moment.
    for (int wait = 0; wait < 5000 && QFileInfo(path).size() == 0; ++wait)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    // Only a line under way when the kill came can be cut (where it crosses a page of the
    // file); the next capture into the file takes the piece off before its first line.
    const QByteArray killed = ReadAll(path);
    ASSERT_FALSE(killed.isEmpty());
    TTrafficCapture again;
    ASSERT_TRUE(again.Open(path).isEmpty());
    EXPECT_EQ(ReadAll(path), killed.left(killed.lastIndexOf('\n') + 1)) << "round " << round;
    for (const QString& line : Untimed(path))
      ASSERT_TRUE(line == "Tx" + Hex(kRequest1) || line == "Rx" + Hex(answer) ||
                  line == QStringLiteral("-- a note of some length to vary the lines"))
          << line.toStdString();
  }
}

// What a new capture finds at the end of an existing file: a piece of one of its own lines is
// taken off, anything else unfinished is ended; whole lines stay as they are.
TEST(CaptureFile, ANewCaptureStartsOnALineOfItsOwn) {
  QTemporaryDir dir;
  const std::string whole = "2026-12-08 05:58:20.123456 Tx 01 03 00 00 00 03 05 CB\n";
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {whole, whole},
      {whole + "2", whole},
      {whole + "2026-12-08 05:5", whole},
      {whole + "2026-12-08 05:58:20.123456 Tx 01 0", whole},
      {"2026-12", ""},
      {whole + "notes of my own", whole + "notes of my own\n"},
      {whole + "2026-12-08T05", whole + "2026-12-08T05\n"},
      {"no line break at all", "no line break at all\n"},
      {std::string(5000, 'x') + "\n" + "2026", std::string(5000, 'x') + "\n"},
      {"2026" + std::string(5000, '0'), "2026" + std::string(5000, '0') + "\n"},
  };
  int n = 0;
  for (const auto& [before, after] : cases) {
    const QString path = dir.filePath(QStringLiteral("f%1.log").arg(n++));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(before.data(), qint64(before.size()));
    file.close();
    TTrafficCapture capture;
    ASSERT_TRUE(capture.Open(path).isEmpty());
    EXPECT_EQ(ReadAll(path).toStdString(), after) << before.substr(0, 60);
  }
}

TEST(CaptureFile, TimesAreLocalDateAndTimeToTheMicrosecond) {
  const QDateTime at(QDate(2026, 12, 8), QTime(5, 58, 20, 123));
  const int64_t us = at.toMSecsSinceEpoch() * 1000 + 456;
  EXPECT_EQ(TTrafficCapture::FormatTime(us), "2026-12-08 05:58:20.123456");
  EXPECT_EQ(TTrafficCapture::FormatTime(at.toMSecsSinceEpoch() * 1000 - 1),
            "2026-12-08 05:58:20.122999");
}

// The monitor saved: each line with its full date and time where the screen shows ss:zzz.
class MonitorSave : public Capture {
 protected:
  MonitorSave() { path = dir.filePath(QStringLiteral("monitor.txt")); }
  QStringList Saved() {
    EXPECT_EQ(form->SaveMonitor(path), QString());
    return QString::fromUtf8(ReadAll(path)).split(u'\n');
  }
};

TEST_F(MonitorSave, EachLineGetsItsFullTimeInPlaceOfTheScreensAndTheScreenKeepsItsOwn) {
  const int64_t before = QDateTime::currentMSecsSinceEpoch();
  Start();
  Tick();
  Answer(BadCrc(ReadAnswer(1, 1, 2, 3)));
  Tick();
  Answer(ReadAnswer(1, 1, 2, 3));
  const int64_t after = QDateTime::currentMSecsSinceEpoch();
  const QStringList screen = MonitorLines();
  const QStringList saved = Saved();
  ASSERT_EQ(saved.size(), screen.size() + 1);  // the file ends with a line break
  EXPECT_EQ(saved.last(), QString());
  const QRegularExpression screenTime(QStringLiteral(R"(^[TR]x-\d\d:\d\d\d> )"));
  for (int i = 0; i < screen.size(); ++i) {
    SCOPED_TRACE(screen[i].toStdString());
    ASSERT_TRUE(screenTime.match(screen[i]).hasMatch());
    // "Tx-" + "yyyy-MM-dd hh:mm:ss.zzz" + the rest, seconds and milliseconds as on screen.
    const QDateTime time = QDateTime::fromString(saved[i].mid(3, 23), kFullTime);
    ASSERT_TRUE(time.isValid()) << saved[i].toStdString();
    EXPECT_GE(time.toMSecsSinceEpoch(), before);
    EXPECT_LE(time.toMSecsSinceEpoch(), after);
    EXPECT_EQ(saved[i].left(3) + time.toString(QStringLiteral("ss:zzz")) + saved[i].mid(26),
              screen[i]);
  }
  EXPECT_TRUE(saved[1].endsWith(QStringLiteral("  CRC错误")));
}

TEST_F(MonitorSave, TheTextIsExactAndLinesDroppedFromTheFrontTakeTheirTimesAlong) {
  const QDateTime t0(QDate(2026, 12, 8), QTime(5, 58, 20, 123));
  auto at = [&](int ms) { return t0.toMSecsSinceEpoch() + ms; };
  form->mm1->SetMaxLines(3);
  form->mm1->Append(QStringLiteral("Tx-20:123> 01 03 00 00 00 03 05 CB"), at(0));
  form->mm1->Append(QStringLiteral("Rx-20:160> 01 03 06  CRC错误"), at(37));
  form->mm1->Append(QStringLiteral("**-21:001> 串口已断开：COM1，等待重新连接"), at(878));
  form->mm1->Append(QStringLiteral("a line of another form"), at(1000));
  // Across midnight and a year: the date of each line is its own.
  form->mm1->Append(QStringLiteral("Tx-00:000> 01"),
                    QDateTime(QDate(2027, 1, 1), QTime(0, 0)).toMSecsSinceEpoch());
  EXPECT_EQ(Saved(), (QStringList{"**-2026-12-08 05:58:21.001> 串口已断开：COM1，等待重新连接",
                                  "2026-12-08 05:58:21.123 a line of another form",
                                  "Tx-2027-01-01 00:00:00.000> 01", ""}));

  // A monitor of its full size keeps every line's time with it.
  const int limit = TForm1::MonitorLineLimit;
  form->mm1->SetMaxLines(limit);
  form->mm1->Clear();
  for (int i = 0; i < limit + 5000; ++i)
    form->mm1->Append(QString::asprintf("Rx-%02d:%03d> 01 03", i / 1000 % 60, i % 1000), at(i));
  const QStringList saved = Saved();
  ASSERT_EQ(saved.size(), limit + 1);
  EXPECT_EQ(saved[0], "Rx-" + FullTime(at(5000)) + "> 01 03");
  EXPECT_EQ(saved[limit - 1], "Rx-" + FullTime(at(limit + 4999)) + "> 01 03");
}

TEST_F(MonitorSave, AFileThatCannotBeWrittenSaysWhy) {
  Start();
  Tick();
  EXPECT_FALSE(form->SaveMonitor(dir.filePath(QStringLiteral("missing/monitor.txt"))).isEmpty());
  // A folder in the way: it stays a folder.
  QDir(dir.path()).mkdir(QStringLiteral("taken"));
  EXPECT_FALSE(form->SaveMonitor(dir.filePath(QStringLiteral("taken"))).isEmpty());
  EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("taken"))).isDir());
}
