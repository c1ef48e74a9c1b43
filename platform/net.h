#pragma once
// Purpose: socket error texts in the form every network log line uses: "(<code>) <text>", where the
//          code is the WinSock code that corresponds to the errno value, so the logs read the same on
//          every system the program runs on.
// Threads: any thread; the table is constant.
// Owns: nothing.

#include <QString>

namespace platform {

// WinSock codes the network code tests for.
constexpr int kWsaEWouldBlock = 10035;
constexpr int kWsaEMsgSize = 10040;
constexpr int kWsaEAddrInUse = 10048;
constexpr int kWsaENetReset = 10052;
constexpr int kWsaEConnAborted = 10053;
constexpr int kWsaEConnReset = 10054;
constexpr int kWsaEShutdown = 10058;

// The WinSock code for an errno value; a value without one is returned unchanged (errno values are
// far below the WinSock range, so they cannot be taken for one).
int WinSockCodeFromErrno(int err);

// "(<code>) <text>", the text being "Неизвестная ошибка" for a code without one.
QString WinSockErrorText(int code);

// WinSockErrorText(WinSockCodeFromErrno(err)).
QString SocketErrorText(int err);

}  // namespace platform
