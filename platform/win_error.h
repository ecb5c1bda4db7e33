// Win32 error numbers and the thread's last error, the one error convention of the
// operating-system layers.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

inline constexpr uint32_t ERROR_SUCCESS = 0;
inline constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr uint32_t ERROR_ACCESS_DENIED = 5;
inline constexpr uint32_t ERROR_INVALID_HANDLE = 6;
inline constexpr uint32_t ERROR_GEN_FAILURE = 31;
inline constexpr uint32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr uint32_t ERROR_NO_MORE_ITEMS = 259;
inline constexpr uint32_t ERROR_OPERATION_ABORTED = 995;
inline constexpr uint32_t ERROR_IO_INCOMPLETE = 996;
inline constexpr uint32_t ERROR_IO_PENDING = 997;

uint32_t GetLastError();
// Also forgets the reason below: a reason always belongs to the error set with it.
void SetLastError(uint32_t error);

// Why the last error happened, in the operator's words (UTF-8, one or more lines), where the
// failing call could find out more than the number says; empty otherwise. Per thread, like the
// last error. Opening a serial device records one on every failure.
std::string GetLastErrorReason();
void SetLastErrorReason(std::string reason);

// Maps an errno value to the Win32 number that means the same: a missing device 2, access
// denied or busy 5, a bad descriptor 6, an invalid argument 87, anything else 31.
uint32_t Win32ErrorFromErrno(int err);

}  // namespace platform
