// Both stores under a writer killed at random moments and under two writers at once: the file
// always reads, holds one whole save or the other, and nobody's keys get lost.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>

#include <array>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "platform/ini_file.h"
#include "store_fixture.h"

namespace {

using namespace platform;

// A save of one key to both stores: two numbers that must always agree, and a long text
// between them that would make a torn file likely if either were written in place.
void Save(const QString& iniFile, const QString& key, int n) {
  const QString padding(8000, QChar(u'端'));
  RegistryKeyPtr handle;
  if (RegCreateKeyEx(HKEY_CURRENT_USER, key, handle) != ERROR_SUCCESS) _exit(1);
  RegSetValueEx(*handle, QStringLiteral("First"), store_test::Dword(n));
  RegSetValueEx(*handle, QStringLiteral("Padding"), store_test::Sz(padding));
  RegSetValueEx(*handle, QStringLiteral("Last"), store_test::Dword(n));
  if (RegCloseKey(handle) != ERROR_SUCCESS) _exit(2);
  IniFile ini(iniFile);
  ini.WriteInteger(key, QStringLiteral("First"), n);
  ini.WriteString(key, QStringLiteral("Padding"), padding);
  ini.WriteInteger(key, QStringLiteral("Last"), n);
  ini.UpdateFile();
}

// Both stores' First and Last of key; -1 where missing.
std::array<int, 4> Load(const QString& iniFile, const QString& key) {
  std::array<int, 4> numbers{-1, -1, -1, -1};
  RegistryKeyPtr handle;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, key, KEY_READ, handle) == ERROR_SUCCESS) {
    RegValue value;
    if (RegQueryValueEx(*handle, QStringLiteral("First"), value) == 0) numbers[0] = value.number;
    if (RegQueryValueEx(*handle, QStringLiteral("Last"), value) == 0) numbers[1] = value.number;
  }
  const IniFile ini(iniFile);
  numbers[2] = ini.ReadInteger(key, QStringLiteral("First"), -1);
  numbers[3] = ini.ReadInteger(key, QStringLiteral("Last"), -1);
  return numbers;
}

bool ExitedCleanly(pid_t pid) {
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

using StoreCrash = store_test::StoreTest;

TEST_F(StoreCrash, AKilledWriterLeavesOldOrNewValues) {
  const QString ini = Path(QStringLiteral("port.ini"));
  std::mt19937 rng(1234);
  std::uniform_int_distribution<int> delayUs(0, 8000);
  for (int round = 1; round <= 50; ++round) {
    // The child reports each save through a pipe, so the kill comes at a random moment after
    // its first one even on a slow machine.
    int saved[2];
    ASSERT_EQ(pipe2(saved, O_CLOEXEC | O_NONBLOCK), 0);
    const pid_t pid = store_test::RunChild([&] {
      for (int i = 1;; ++i) {
        Save(ini, QStringLiteral("K"), round * 100000 + i);
        [[maybe_unused]] const ssize_t n = write(saved[1], "s", 1);
      }
    });
    ASSERT_GT(pid, 0);
    close(saved[1]);
    pollfd first{saved[0], POLLIN, 0};
    EXPECT_EQ(poll(&first, 1, 5000), 1) << "no save within 5 s";
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs(rng)));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    close(saved[0]);

    const auto [regFirst, regLast, iniFirst, iniLast] = Load(ini, QStringLiteral("K"));
    ASSERT_EQ(regFirst, regLast) << "round " << round;
    ASSERT_EQ(iniFirst, iniLast) << "round " << round;
    // Both hold a save of this round; the registry, saved first, may be one save ahead.
    ASSERT_GT(iniFirst, round * 100000);
    ASSERT_LE(iniFirst, regFirst);
  }
}

TEST_F(StoreCrash, TwoWritersKeepEachOthersKeys) {
  const QString ini = Path(QStringLiteral("port.ini"));
  const int saves = 40;
  const QString keys[] = {QStringLiteral("A"), QStringLiteral("B")};
  std::vector<pid_t> writers;
  for (const QString& key : keys)
    writers.push_back(store_test::RunChild([&] { for (int i = 1; i <= saves; ++i) Save(ini, key, i); }));
  for (const pid_t writer : writers) ASSERT_TRUE(ExitedCleanly(writer));
  for (const QString& key : keys)
    EXPECT_EQ(Load(ini, key), (std::array<int, 4>{saves, saves, saves, saves})) << key.toStdString();
}

}  // namespace
