// Why a port did not open, told to the operator: the system's own words and, for the usual
// causes on a desktop (not in the device's group, another program on the line, an adapter not
// plugged in, a file that is no serial port), what to do about it.
#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/serial_device_posix_detail.h"

namespace platform::detail {

namespace {

constexpr size_t kHoldersShown = 4;

std::string SystemWords(int err) {
  char buffer[256];
  // The GNU variant: it may return a static text instead of filling the buffer.
  return strerror_r(err, buffer, sizeof buffer);
}

std::string ProcessName(long pid) {
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

bool IsNumber(const char* text) {
  return *text &&
         std::all_of(text, text + std::strlen(text), [](char c) { return c >= '0' && c <= '9'; });
}

// Processes holding a lock on the device node (flock, as we and most serial programs take it,
// or a record lock): /proc/locks names the file by its file system (hex major:minor) and inode.
std::vector<long> LockHolders(const struct stat& node) {
  char wanted[64];
  std::snprintf(wanted, sizeof wanted, "%02x:%02x:%lu", major(node.st_dev), minor(node.st_dev),
                static_cast<unsigned long>(node.st_ino));
  std::ifstream locks("/proc/locks");
  std::vector<long> pids;
  std::string line;
  while (std::getline(locks, line)) {
    std::istringstream fields(line);
    std::string id, type, mandatory, access, file;
    long pid = 0;
    if (!(fields >> id >> type) || type == "->") continue;  // "->": waiting for it, not holding
    if (!(fields >> mandatory >> access >> pid >> file)) continue;
    if (file == wanted && pid > 0 && std::find(pids.begin(), pids.end(), pid) == pids.end())
      pids.push_back(pid);
  }
  return pids;
}

bool HasOpen(const std::string& fdFolder, dev_t device) {
  DIR* fds = opendir(fdFolder.c_str());
  if (!fds) return false;  // another user's process, unless we are root
  bool found = false;
  while (const dirent* entry = readdir(fds)) {
    struct stat target {};
    if (!IsNumber(entry->d_name)) continue;
    if (stat((fdFolder + "/" + entry->d_name).c_str(), &target) == 0 && S_ISCHR(target.st_mode) &&
        target.st_rdev == device) {
      found = true;
      break;
    }
  }
  closedir(fds);
  return found;
}

// Processes that have the device open, as far as /proc lets us look. A program that made the
// terminal exclusive without a lock is found this way.
std::vector<long> OpenedBy(dev_t device) {
  std::vector<long> pids;
  DIR* proc = opendir("/proc");
  if (!proc) return pids;
  while (const dirent* entry = readdir(proc)) {
    if (!IsNumber(entry->d_name)) continue;
    if (HasOpen(std::string("/proc/") + entry->d_name + "/fd", device))
      pids.push_back(std::stol(entry->d_name));
  }
  closedir(proc);
  return pids;
}

std::string Holders(const std::string& path) {
  struct stat node {};
  if (stat(path.c_str(), &node) != 0) return {};
  std::vector<long> pids = LockHolders(node);
  if (pids.empty()) pids = OpenedBy(node.st_rdev);
  std::string text;
  for (size_t i = 0; i < pids.size() && i < kHoldersShown; ++i) {
    if (i > 0) text += "、";
    text += "进程 " + std::to_string(pids[i]) + "（" + ProcessName(pids[i]) + "）";
  }
  if (pids.size() > kHoldersShown) text += " 等";
  return text;
}

std::string GroupName(gid_t gid) {
  std::vector<char> buffer(16384);
  group entry{};
  group* found = nullptr;
  if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
    return found->gr_name;
  return std::to_string(gid);
}

// Whether the group database puts this user in the group: then only the login is stale.
bool UserListedInGroup(gid_t gid) {
  std::vector<char> userBuffer(16384), groupBuffer(16384);
  passwd user{};
  passwd* me = nullptr;
  if (getpwuid_r(geteuid(), &user, userBuffer.data(), userBuffer.size(), &me) != 0 || !me)
    return false;
  if (me->pw_gid == gid) return true;
  group entry{};
  group* found = nullptr;
  if (getgrgid_r(gid, &entry, groupBuffer.data(), groupBuffer.size(), &found) != 0 || !found)
    return false;
  for (char** member = found->gr_mem; *member; ++member)
    if (std::strcmp(*member, me->pw_name) == 0) return true;
  return false;
}

bool ProcessHasGroup(gid_t gid) {
  if (getegid() == gid) return true;
  const int count = getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  const int got = getgroups(count, groups.data());
  return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

std::string WhatToDoWhenDenied(const std::string& path) {
  struct stat node {};
  if (stat(path.c_str(), &node) != 0) return "请检查 " + path + " 及其所在文件夹的权限。";
  const std::string groupName = GroupName(node.st_gid);
  if ((node.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", node.st_mode & 07777);
    return std::string("该设备的权限是 ") + mode + "（" + groupName +
           " 组的成员也不能读写）；请让管理员修改它的权限。";
  }
  if (ProcessHasGroup(node.st_gid))
    return "当前程序已有 " + groupName + " 组的权限，系统仍然拒绝，可能是安全策略所限。";
  if (UserListedInGroup(node.st_gid))
    return "当前用户已在 " + groupName + " 组中，但本次登录尚未生效：请注销并重新登录。";
  return "该设备属于 " + groupName +
         " 组，当前用户必须加入该组，然后注销并重新登录：\nsudo usermod -aG " + groupName +
         " $USER";
}

std::string WhatItIs(const std::string& path) {
  struct stat node {};
  if (stat(path.c_str(), &node) != 0) return "不是终端设备";
  if (S_ISREG(node.st_mode)) return "是普通文件";
  if (S_ISDIR(node.st_mode)) return "是文件夹";
  if (S_ISFIFO(node.st_mode)) return "是命名管道";
  if (S_ISSOCK(node.st_mode)) return "是套接字";
  if (S_ISBLK(node.st_mode)) return "是块设备";
  return "不是串行终端设备";
}

std::string Describe(const std::string& portName, const OpenFailure& failure) {
  using Kind = OpenFailure::Kind;
  const std::string& path = failure.path;
  const std::string said =
      failure.sysError ? "（系统：" + SystemWords(failure.sysError) + "）" : "";
  const std::string choose = "请在“串口设置”中选择串口设备，例如 /dev/ttyUSB0 或 COM1。";
  switch (failure.kind) {
    case Kind::NoName:
      if (portName.empty()) return "没有设置串口。\n" + choose;
      return "“" + portName + "”不是串口名称。\n" + choose;
    case Kind::Missing: {
      const std::string which = portName == path ? "" : "端口名 " + portName + " 对应的";
      return "找不到" + which + "设备 " + path + said +
             "。\n请检查 USB 串口适配器是否已插好，或在“串口设置”中选择现有的串口。";
    }
    case Kind::NotSerial:
      return path + " 不是串口：它" + WhatItIs(path) + "。\n" + choose;
    case Kind::Denied:
      return "没有权限打开 " + path + said + "。\n" + WhatToDoWhenDenied(path);
    case Kind::Busy: {
      const std::string holders = Holders(path);
      if (holders.empty())
        return path + " 正被其他程序占用" + said +
               "。\n无法查明是哪个程序（可能属于其他用户）；请关闭其他使用串口的程序后再试。";
      return path + " 正被其他程序占用" + said + "。\n占用它的是" + holders +
             "；请先关闭该程序，再按“开始”。";
    }
    case Kind::Other:
      break;
  }
  std::string text = "打开 " + path + " 失败" + said + "。\n";
  if (failure.sysError == EIO)
    return text + "这个串口可能没有对应的硬件，或设备出了故障；请检查设备，或选择其他串口。";
  return text + "请检查设备后再试。";
}

}  // namespace

std::string OpenFailureReason(const std::string& portName, const OpenFailure& failure) {
  try {
    return Describe(portName, failure);
  } catch (...) {
    return {};  // no memory for the words: the number alone still tells
  }
}

}  // namespace platform::detail
