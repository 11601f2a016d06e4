// CReceiverSocket: the socket calls of a receiver thread, with one POSIX
// (receiver_socket_posix.cpp) and one Windows (receiver_socket_windows.cpp)
// implementation beside each other. Error numbers are the platform's own
// (errno, or WSAGetLastError()), so a taken port reads "socket: bind error
// 98" on Linux, "socket: bind error 48" on macOS and "socket: bind error
// 10048" on Windows.
//
// Thread-safety: every call acts on the calling thread's socket only;
// StartThread and EndThread bracket a receiver thread's use of the calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#if defined(_WIN32)
#include <winsock2.h>
#else
#include <netinet/in.h>
#endif

class CReceiverSocket {
 public:
#if defined(_WIN32)
  using Handle = SOCKET;
  static constexpr Handle kNone = INVALID_SOCKET;
#else
  using Handle = int;
  // Not 0: descriptor 0 is a valid socket in a process whose stdin is closed.
  static constexpr Handle kNone = -1;
#endif

  // WSAStartup(1.1) on Windows, nothing elsewhere; 0 or the error number.
  static int StartThread();
  // WSACleanup after a successful StartThread on Windows.
  static void EndThread();

  // The error number of the last failed call on this thread.
  static int LastError();

  // A UDP socket that is not handed to programs the host starts and whose
  // reads never block (WaitReadable waits); kNone on failure.
  static Handle Open();
  // Joins the IPv4 multicast group `group` on every interface.
  static bool JoinGroup(Handle socket, const std::string& group);
  static bool Bind(Handle socket, const sockaddr_in& address);

  // True when a datagram is waiting; false after `milliseconds` or an
  // interrupted wait.
  static bool WaitReadable(Handle socket, int milliseconds);

  enum class EReceive { kReceived, kDrained, kRetry, kFailed };
  // Takes one waiting datagram into `buffer`; a datagram longer than `size`
  // is cut to it on every platform. kDrained when none is waiting, kRetry
  // after an error that does not end the socket, kFailed (with `error`) for
  // one that does.
  static EReceive Receive(Handle socket, uint8_t* buffer, size_t size, size_t* length, int* error);

  // Shuts down sending and closes; the close result.
  static int Close(Handle socket);
};
