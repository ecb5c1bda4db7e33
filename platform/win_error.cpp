#include "platform/win_error.h"

#include <cerrno>
#include <utility>

namespace platform {

namespace {
thread_local uint32_t lastError = 0;
thread_local std::string lastReason;
}  // namespace

uint32_t GetLastError() { return lastError; }

void SetLastError(uint32_t error) {
  lastError = error;
  lastReason.clear();
}

std::string GetLastErrorReason() { return lastReason; }

void SetLastErrorReason(std::string reason) { lastReason = std::move(reason); }

uint32_t Win32ErrorFromErrno(int err) {
  switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
      return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EWOULDBLOCK:
      return ERROR_ACCESS_DENIED;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    default:
      return ERROR_GEN_FAILURE;
  }
}

}  // namespace platform
