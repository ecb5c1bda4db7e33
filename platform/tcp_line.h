// A serial line reached over the network: a device server or gateway that carries the RTU
// bytes on a plain TCP connection. The port name "tcp://HOST:PORT" stands for it; we only ever
// connect out. The connection then runs as a serial device (serial_device_posix.cpp) whose line
// settings are kept but go nowhere.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace platform {

// How long one connect may take, name lookup included.
inline constexpr std::chrono::milliseconds kTcpConnectTimeout{3000};
// Sent bytes the far end has not acknowledged for this long mean the connection is dead (a
// gateway switched off while we poll): the line hangs up instead of retrying for minutes.
inline constexpr std::chrono::milliseconds kTcpUnacknowledgedLimit{10000};

// Winsock's numbers for the same failures, so the "win error code" means what it would there.
inline constexpr uint32_t WSAENETUNREACH = 10051;
inline constexpr uint32_t WSAETIMEDOUT = 10060;
inline constexpr uint32_t WSAECONNREFUSED = 10061;
inline constexpr uint32_t WSAEHOSTUNREACH = 10065;
inline constexpr uint32_t WSAHOST_NOT_FOUND = 11001;

// Whether the name asks for a network line ("tcp://", in any case).
bool IsTcpPortName(const std::string& portName);

struct TcpAddress {
  std::string host;  // without the brackets of an IPv6 address
  uint16_t port = 0;
};
// "tcp://HOST:PORT": a host name, an IPv4 address or an IPv6 address in brackets, and a port
// from 1 to 65535. False for anything else.
bool ParseTcpPortName(const std::string& portName, TcpAddress& address);

// Opens a "tcp://" line for the serial device: takes the connection a background attempt made
// for this name (PortReadyToReopen), or connects within kTcpConnectTimeout. Returns the socket,
// or -1 with the last error and its reason set.
int TakeTcpLine(const std::string& portName);

namespace detail {

struct TcpFailure {
  enum class Kind { BadName, NameNotFound, Refused, NoRoute, TimedOut, Other };
  Kind kind = Kind::Other;
  uint32_t error = 0;    // the Win32 number, what callers report
  int sysError = 0;      // errno of the call that failed, if one did
  std::string sysWords;  // the resolver's own words, for a name not found
  TcpAddress address;
};

// Connects to the line a "tcp://" name stands for, within `timeout` in all. Returns a
// non-blocking socket with TCP_NODELAY set, or -1 and what went wrong.
int OpenTcpLine(const std::string& portName, std::chrono::milliseconds timeout,
                TcpFailure& failure);
// The failure in the operator's words (UTF-8, several lines): what happened and what to check.
std::string TcpFailureReason(const std::string& portName, const TcpFailure& failure);

}  // namespace detail

}  // namespace platform
