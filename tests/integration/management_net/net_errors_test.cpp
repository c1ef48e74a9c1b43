// The socket error texts of the logs.

#include "platform/net.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

TEST(SocketErrorTextTest, ErrnoValuesReadAsTheirWinSockCodesAndEveryCodeOfTheTableHasItsText) {
    EXPECT_EQ(platform::SocketErrorText(EADDRINUSE), QStringLiteral("(10048) Адрес уже используется"));
    EXPECT_EQ(platform::SocketErrorText(ECONNABORTED),
              QStringLiteral("(10053) Программное обеспечение аварийно отключило соединение"));
    EXPECT_EQ(platform::SocketErrorText(ECONNRESET), QStringLiteral("(10054) Соединение прервано партнером"));
    EXPECT_EQ(platform::SocketErrorText(ETIMEDOUT), QStringLiteral("(10060) Превышен таймаут на соединение"));
    EXPECT_EQ(platform::SocketErrorText(ECONNREFUSED), QStringLiteral("(10061) Отказано в подключении"));
    EXPECT_EQ(platform::WinSockCodeFromErrno(EAGAIN), 10035);
    EXPECT_EQ(platform::WinSockCodeFromErrno(EPIPE), 10058);
    EXPECT_EQ(platform::WinSockErrorText(12345), QStringLiteral("(12345) Неизвестная ошибка"));
    EXPECT_EQ(platform::SocketErrorText(ENOENT), QStringLiteral("(%1) Неизвестная ошибка").arg(ENOENT));

    const int singles[] = {10004, 10009, 10013, 10014, 10022, 10024};
    auto hasText = [](int code) {
        return !platform::WinSockErrorText(code).endsWith(QStringLiteral("Неизвестная ошибка"));
    };
    for (int code : singles) EXPECT_TRUE(hasText(code)) << code;
    for (int code = 10035; code <= 10071; ++code) EXPECT_TRUE(hasText(code)) << code;
    for (int code = 10091; code <= 10094; ++code) EXPECT_TRUE(hasText(code)) << code;
    for (int code = 10101; code <= 10112; ++code) EXPECT_TRUE(hasText(code)) << code;
    for (int code = 11001; code <= 11004; ++code) EXPECT_TRUE(hasText(code)) << code;
    EXPECT_FALSE(hasText(10072));
}

}  // namespace
