#include "platform/win_error.h"

#include <cerrno>

namespace platform {

namespace {
thread_local uint32_t lastError = 0;
}

uint32_t GetLastError() { return lastError; }

void SetLastError(uint32_t error) { lastError = error; }

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
