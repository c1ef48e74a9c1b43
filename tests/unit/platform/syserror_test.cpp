#include "platform/syserror.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

using platform::AppendSystemError;
using platform::ErrorCodeFromErrno;
using platform::FormatSystemError;
using platform::SystemMessage;

TEST(SysErrorTest, MessageAndCodeInOneFormat) {
    EXPECT_EQ(FormatSystemError(5), QString::fromUtf8("Отказано в доступе. (5)"));
    EXPECT_EQ(FormatSystemError(2), QString::fromUtf8("Не удается найти указанный файл. (2)"));
    EXPECT_EQ(FormatSystemError(10048), QString::fromUtf8("Адрес уже используется (10048)"));
}

TEST(SysErrorTest, CapacityMustHoldTheMessageAndFourteenMore) {
    const int length = static_cast<int>(SystemMessage(5).size());
    EXPECT_FALSE(FormatSystemError(5, length + 14).isEmpty());
    EXPECT_TRUE(FormatSystemError(5, length + 13).isEmpty());
}

TEST(SysErrorTest, CodeWithoutMessageGivesEmptyText) {
    EXPECT_TRUE(SystemMessage(424242).isEmpty());
    EXPECT_TRUE(FormatSystemError(424242).isEmpty());
    EXPECT_EQ(AppendSystemError("Error. Can't open App2SvcMapFile object: ", 424242),
              "Error. Can't open App2SvcMapFile object: ");
}

TEST(SysErrorTest, AppendStaysWithinTheLineBudget) {
    const QString prefix = "Error. Can't create GlobalAppMutex object: ";
    EXPECT_EQ(AppendSystemError(prefix, 5), prefix + QString::fromUtf8("Отказано в доступе. (5)"));
    const QString longPrefix(1024 - 20, u'p');
    EXPECT_EQ(AppendSystemError(longPrefix, 5), longPrefix);
    const QString fullPrefix(1100, u'p');
    EXPECT_EQ(AppendSystemError(fullPrefix, 5), fullPrefix);
}

TEST(SysErrorTest, ErrnoValuesMapToWindowsCodes) {
    EXPECT_EQ(ErrorCodeFromErrno(0), platform::kErrorSuccess);
    EXPECT_EQ(ErrorCodeFromErrno(ENOENT), platform::kErrorFileNotFound);
    EXPECT_EQ(ErrorCodeFromErrno(EACCES), platform::kErrorAccessDenied);
    EXPECT_EQ(ErrorCodeFromErrno(EPERM), platform::kErrorAccessDenied);
    EXPECT_EQ(ErrorCodeFromErrno(ENOSPC), platform::kErrorDiskFull);
    EXPECT_EQ(ErrorCodeFromErrno(EEXIST), platform::kErrorAlreadyExists);
    EXPECT_EQ(ErrorCodeFromErrno(EADDRINUSE), 10048);
    EXPECT_EQ(ErrorCodeFromErrno(ECONNRESET), 10054);
    EXPECT_EQ(ErrorCodeFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(ErrorCodeFromErrno(ETIMEDOUT), 10060);
}

TEST(SysErrorTest, UnmappedErrnoKeepsTheLibraryText) {
    const int code = ErrorCodeFromErrno(ELOOP);
    EXPECT_NE(code, ELOOP);
    EXPECT_EQ(code & ~0x20000000, ELOOP);
    EXPECT_EQ(FormatSystemError(code), QString::fromUtf8(strerrordesc_np(ELOOP)) + QString(" (%1)").arg(code));
    EXPECT_TRUE(SystemMessage(0x20000000 | 99999).isEmpty());
}

}  // namespace
