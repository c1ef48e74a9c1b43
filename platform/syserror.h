#pragma once
// System error codes and their texts. Codes are the Windows codes the logs and the channel
// replies carry ("Отказано в доступе. (5)"); errno values are translated to them.

#include <QString>

namespace platform {

constexpr int kErrorSuccess = 0;
constexpr int kErrorFileNotFound = 2;
constexpr int kErrorPathNotFound = 3;
constexpr int kErrorAccessDenied = 5;
constexpr int kErrorInvalidHandle = 6;
constexpr int kErrorNotEnoughMemory = 8;
constexpr int kErrorInvalidData = 13;  // ERROR_INVALID_DATA: a damaged store, an area of the wrong size
constexpr int kErrorWriteProtect = 19;
constexpr int kErrorAlreadyExists = 183;
constexpr int kErrorInvalidParameter = 87;
constexpr int kErrorDiskFull = 112;
constexpr int kErrorMoreData = 234;
constexpr int kErrorKeyDeleted = 1018;
constexpr int kErrorBadFormat = 1010;  // ERROR_BADKEY: the store's data is damaged
constexpr int kErrorNoSuchGroup = 1319;

// The Windows code that corresponds to an errno value; unknown values map to themselves
// offset by 0x20000000, the customer-code bit, so they never collide with a real code.
int ErrorCodeFromErrno(int err);

// The system's message for the code without its line break, or empty when there is none.
QString SystemMessage(int code);

// "<message> (<code>)", or empty when there is no message or it does not fit into
// capacityChars together with 14 more characters (the routine every error line uses).
QString FormatSystemError(int code, int capacityChars = 1024);

// Writes FormatSystemError(code) behind the prefix already in the buffer text, keeping the
// whole within 1024 characters; the prefix stays as it is when the message does not fit.
QString AppendSystemError(const QString& prefix, int code);

}  // namespace platform
