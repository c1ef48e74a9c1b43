// The connection's wait pump: a window's thread keeps its timers running while it awaits a slow
// statement, and a statement awaited on another thread leaves the pump alone.

#include "app/database/db_session.h"
#include "tests/integration/database/db_test_support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <memory>
#include <thread>

namespace {

using database::DbProvider;

// pg_sleep gives a statement of a known length; PostgreSQL is the provider stations share.
class WaitPump : public ::testing::Test {
protected:
    void SetUp() override {
        if (!dbtest::PostgresUnavailableReason().isEmpty())
            GTEST_SKIP() << dbtest::PostgresUnavailableReason().toStdString();
        db_ = std::make_unique<dbtest::TestDatabase>(DbProvider::PostgreSQL);
        connection_.Open(db_->ConnectionString());
        connection_.SetWaitPump([this] {
            ++pumps_;
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        });
    }

    void SleepHalfASecond() {
        database::DbCommand command(connection_);
        const database::DbRecordset& rows =
            database::ExecuteQueryAwaited(command, QStringLiteral("SELECT pg_sleep(0.5) AS SLEPT"));
        EXPECT_EQ(rows.RowCount(), 1u);
    }

    std::unique_ptr<dbtest::TestDatabase> db_;
    database::DbConnection connection_;
    std::atomic<int> pumps_{0};
};

TEST_F(WaitPump, TimersOfTheWaitingThreadFireDuringASlowStatement) {
    int ticks = 0;
    QTimer timer;
    timer.setInterval(100);
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start();
    SleepHalfASecond();
    timer.stop();
    // Five periods pass; a poll can delay a tick, never swallow all of them.
    EXPECT_GE(ticks, 3);
    EXPECT_GE(pumps_.load(), 5);
}

TEST_F(WaitPump, AStatementAwaitedOnAnotherThreadDoesNotPump) {
    std::thread other([this] { SleepHalfASecond(); });
    other.join();
    EXPECT_EQ(pumps_.load(), 0);

    // Removed, it is not called on its own thread either.
    connection_.SetWaitPump({});
    SleepHalfASecond();
    EXPECT_EQ(pumps_.load(), 0);
}

}  // namespace
