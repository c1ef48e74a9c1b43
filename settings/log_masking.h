#pragma once
// Secrets out of log lines: both programs log settings that carry passwords (the management
// password, the database connection string) and neither may write a password into its log.
// Any thread may call these.

#include <QString>

namespace settings {

// What a log line shows in place of a password.
inline constexpr const char* kMaskedSecret = "***";

// The connection string with every password value replaced by kMaskedSecret.
QString ConnectionStringForLog(const QString& connectionString);

}  // namespace settings
