#pragma once
#include <string>

namespace glimor::platform {

// WinSock error numbers that the program names in its messages. Every platform reports its
// socket failures with these numbers, so a message reads the same wherever it comes from.
namespace wsa {
inline constexpr int accessDenied = 10013;
inline constexpr int addressInUse = 10048;
inline constexpr int addressNotAvailable = 10049;
inline constexpr int networkDown = 10050;
inline constexpr int networkUnreachable = 10051;
inline constexpr int connectionAborted = 10053;
inline constexpr int connectionReset = 10054;
inline constexpr int noBufferSpace = 10055;
inline constexpr int notConnected = 10057;
inline constexpr int shutDown = 10058;
inline constexpr int timedOut = 10060;
inline constexpr int connectionRefused = 10061;
inline constexpr int hostDown = 10064;
inline constexpr int hostUnreachable = 10065;
inline constexpr int hostNotFound = 11001;
inline constexpr int tryAgain = 11002;
inline constexpr int noRecovery = 11003;
inline constexpr int noData = 11004;
} // namespace wsa

// The text for a WinSock error number ("Connection refused."); empty for numbers without one.
std::string socketErrorText(int error);

// "Socket Error # <error>" CR LF <text>, the message of every socket failure.
std::string socketErrorMessage(int error);

} // namespace glimor::platform
