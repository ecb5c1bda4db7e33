// Why a port did not open, as the operator reads it: a missing device by the name looked up, a
// file that is no serial port, a line another program holds (and which one), a device the user
// may not open (and the group to join). The Win32 numbers stay what they were.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <memory>
#include <vector>

#include "tests/platform/pty_pair.h"

namespace platform {
namespace {

using testing::PtyPair;
using testing::TempDir;

constexpr uid_t kNobody = 65534;

struct Failure {
  uint32_t error = 0;
  std::string reason;
};

Failure OpenFailure(const std::string& name) {
  SetLastError(0);
  if (OpenSerialDevice(name)) return {};
  return {GetLastError(), GetLastErrorReason()};
}

// Becomes another user with no supplementary groups, as a desktop user not in the device's
// group is. Only root can.
bool BecomeUser(uid_t uid, gid_t gid) {
  return setgroups(0, nullptr) == 0 && setresgid(gid, gid, gid) == 0 &&
         setresuid(uid, uid, uid) == 0;
}

// Runs `fn` in a child process and returns what it answered.
std::string InChild(const std::function<std::string()>& fn) {
  int answer[2];
  if (pipe(answer) != 0) return "no pipe";
  const pid_t child = fork();
  if (child == 0) {
    close(answer[0]);
    const std::string text = fn();
    (void)!write(answer[1], text.data(), text.size());
    _exit(0);
  }
  close(answer[1]);
  std::string text;
  char chunk[512];
  for (ssize_t n; (n = read(answer[0], chunk, sizeof chunk)) > 0;) text.append(chunk, size_t(n));
  close(answer[0]);
  waitpid(child, nullptr, 0);
  return text;
}

// The error number and reason of opening `path` as another user, in a child process.
std::string OpenFailureAs(const std::string& path, uid_t uid, gid_t gid) {
  return InChild([&] {
    if (!BecomeUser(uid, gid)) return std::string("could not become the user");
    const Failure failure = OpenFailure(path);
    return std::to_string(failure.error) + "\n" + failure.reason;
  });
}

// A program of another name that keeps the line open until the test ends.
class Holder {
 public:
  // `take` runs in the holder once it is named; it returns false when it could not take the line.
  explicit Holder(const std::function<bool()>& take) {
    int ready[2];
    if (pipe(ready) != 0 || pipe(release_) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_NAME, "zt-holder");
      close(ready[0]);
      close(release_[1]);
      const char taken = take() ? 1 : 0;
      (void)!write(ready[1], &taken, 1);
      char end;
      (void)!read(release_[0], &end, 1);
      _exit(0);
    }
    close(ready[1]);
    close(release_[0]);
    char taken = 0;
    holding_ = read(ready[0], &taken, 1) == 1 && taken == 1;
    close(ready[0]);
  }
  ~Holder() {
    close(release_[1]);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
  }
  bool Holding() const { return holding_; }
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int release_[2] = {-1, -1};
  bool holding_ = false;
};

TEST(OpenReason, AMissingDeviceNamesWhatWasLookedUp) {
  TempDir dir;
  Failure missing = OpenFailure(dir.Path("ttyUSB7"));
  EXPECT_EQ(missing.error, ERROR_FILE_NOT_FOUND);
  EXPECT_NE(missing.reason.find("找不到设备 " + dir.Path("ttyUSB7")), std::string::npos)
      << missing.reason;
  EXPECT_NE(missing.reason.find("适配器"), std::string::npos) << "what to do";

  // A plain name and a COM name are looked up in /dev/: both names are told.
  missing = OpenFailure("zt-no-port");
  EXPECT_NE(missing.reason.find("端口名 zt-no-port 对应的设备 /dev/zt-no-port"), std::string::npos)
      << missing.reason;
  missing = OpenFailure("COM250");
  EXPECT_NE(missing.reason.find("COM250 对应的设备 /dev/ttyS249"), std::string::npos)
      << missing.reason;

  // Names that can be no device at all.
  EXPECT_NE(OpenFailure("").reason.find("没有设置串口"), std::string::npos);
  missing = OpenFailure("../etc/passwd");
  EXPECT_EQ(missing.error, ERROR_FILE_NOT_FOUND);
  EXPECT_NE(missing.reason.find("“../etc/passwd”不是串口名称"), std::string::npos)
      << missing.reason;
}

TEST(OpenReason, WhatIsNoTerminalIsNoSerialPort) {
  TempDir dir;
  std::ofstream(dir.Path("file")) << "not a line";
  ASSERT_EQ(symlink(dir.Path("file").c_str(), dir.Path("link").c_str()), 0);
  const std::pair<std::string, std::string> cases[] = {{dir.Path("file"), "是普通文件"},
                                                       {dir.Path("link"), "是普通文件"},
                                                       {dir.root, "是文件夹"},
                                                       {"/dev/null", "不是串行终端设备"},
                                                       {"/dev/tty", "不是串行终端设备"},
                                                       {"/dev/ptmx", "不是串行终端设备"}};
  for (const auto& [path, what] : cases) {
    const Failure failure = OpenFailure(path);
    EXPECT_EQ(failure.error, ERROR_FILE_NOT_FOUND) << path;
    EXPECT_NE(failure.reason.find(path + " 不是串口：它" + what), std::string::npos)
        << failure.reason;
  }
}

TEST(OpenReason, AHeldLineNamesItsHolder) {
  PtyPair pty;
  const std::string path = pty.SlavePath();
  Holder holder([&path] {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    return fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
  });
  ASSERT_TRUE(holder.Holding());
  const Failure busy = OpenFailure(path);
  EXPECT_EQ(busy.error, ERROR_ACCESS_DENIED);
  EXPECT_NE(busy.reason.find(path + " 正被其他程序占用"), std::string::npos) << busy.reason;
  EXPECT_NE(busy.reason.find("进程 " + std::to_string(holder.Pid()) + "（zt-holder）"),
            std::string::npos)
      << busy.reason;
  // The test's own descriptor of the line holds no lock: only the holder is named.
  EXPECT_EQ(busy.reason.find("platform_tests"), std::string::npos) << busy.reason;
}

// Four holders are all named; a fifth is only hinted at.
TEST(OpenReason, ManyHoldersAreCut) {
  PtyPair pty;
  const std::string path = pty.SlavePath();
  auto share = [&path] {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    return fd >= 0 && flock(fd, LOCK_SH | LOCK_NB) == 0;
  };
  std::vector<std::unique_ptr<Holder>> holders;
  for (const char* more : {"", " 等"}) {
    while (holders.size() < (*more ? 5u : 4u)) holders.push_back(std::make_unique<Holder>(share));
    const std::string reason = OpenFailure(path).reason;
    EXPECT_NE(reason.find("）" + std::string(more) + "；请先关闭"), std::string::npos) << reason;
  }
  // Each holder also holds the release pipes of those before it: they do not end on their own.
  for (const auto& holder : holders) kill(holder->Pid(), SIGKILL);
}

// The permission cases need a user other than root: the test drops to nobody in a child.
class AsNobody : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0)
      GTEST_SKIP() << "needs root to become another user (nobody) and to hand the line a group";
  }
  // The line's group and mode as a distribution's udev rules set them for a serial adapter.
  void Own(gid_t group, mode_t mode) {
    ASSERT_EQ(chown(pty.SlavePath().c_str(), 0, group), 0);
    ASSERT_EQ(chmod(pty.SlavePath().c_str(), mode), 0);
  }
  std::string OpenAs(uid_t uid, gid_t gid) { return OpenFailureAs(pty.SlavePath(), uid, gid); }
  PtyPair pty;
};

TEST_F(AsNobody, NotInTheGroupTellsWhichGroupToJoin) {
  const group* dialout = getgrnam("dialout");
  if (!dialout) GTEST_SKIP() << "this machine has no dialout group";
  Own(dialout->gr_gid, 0660);
  const std::string answer = OpenAs(kNobody, kNobody);
  EXPECT_EQ(answer.substr(0, 2), "5\n") << answer;
  EXPECT_NE(answer.find("没有权限打开 " + pty.SlavePath()), std::string::npos) << answer;
  EXPECT_NE(answer.find("该设备属于 dialout 组"), std::string::npos) << answer;
  EXPECT_NE(answer.find("然后注销并重新登录：\nsudo usermod -aG dialout $USER"), std::string::npos)
      << answer;
}

TEST_F(AsNobody, ListedInTheGroupButNotYetLoggedInAgain) {
  // nobody's own group is nogroup; a process of nobody's that runs without it is a session
  // started before the user joined the group.
  Own(kNobody, 0660);
  const std::string answer = OpenAs(kNobody, kNobody - 1);
  EXPECT_NE(answer.find("已在 nogroup 组中，但本次登录尚未生效"), std::string::npos) << answer;
  EXPECT_EQ(answer.find("usermod"), std::string::npos) << "joining again would not help";
}

TEST_F(AsNobody, AGroupWithoutAccessIsNoAdviceToJoinIt) {
  Own(0, 0600);
  const std::string answer = OpenAs(kNobody, kNobody);
  EXPECT_EQ(answer.substr(0, 2), "5\n") << answer;
  EXPECT_NE(answer.find("该设备的权限是 0600"), std::string::npos) << answer;
  EXPECT_EQ(answer.find("usermod"), std::string::npos) << answer;
}

// A program that made the terminal exclusive without taking a lock stops everybody but root
// (open fails with EBUSY); it is found among the processes that have the line open.
TEST_F(AsNobody, AnExclusiveTerminalWithoutALockNamesItsHolder) {
  Own(0, 0666);
  const std::string path = pty.SlavePath();
  Holder holder([&path] {
    // Dumpable again after the change of user, so that the user's other processes see its fds.
    if (!BecomeUser(kNobody, kNobody) || prctl(PR_SET_DUMPABLE, 1) != 0) return false;
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    return fd >= 0 && ioctl(fd, TIOCEXCL) == 0;
  });
  ASSERT_TRUE(holder.Holding());
  const std::string answer = OpenAs(kNobody, kNobody);
  EXPECT_EQ(answer.substr(0, 2), "5\n") << answer;
  EXPECT_NE(answer.find("进程 " + std::to_string(holder.Pid()) + "（zt-holder）"),
            std::string::npos)
      << answer;
}

}  // namespace
}  // namespace platform
