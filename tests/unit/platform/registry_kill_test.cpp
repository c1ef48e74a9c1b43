#include "platform/registry.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <QTemporaryDir>
#include <csignal>
#include <random>

namespace {

const QString kKey = QStringLiteral("SOFTWARE\\Vektra\\Ostrovid");
constexpr int kValues = 3000;

// Every value of one generation holds the generation number, so a mix of two files shows.
void FillGeneration(platform::RegistryStore& store, uint32_t generation) {
    store.CreateKey(kKey);
    for (int i = 0; i < kValues; ++i) store.SetDword(kKey, QString::number(i), generation);
}

TEST(StoreWriterKilled, ReadersAlwaysSeeOneWholeGeneration) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("registry.reg"));
    {
        platform::RegistryStore first(path);
        FillGeneration(first, 0);
        ASSERT_EQ(first.Save(), 0);
    }
    std::mt19937 random(17);
    for (int round = 0; round < 25; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            platform::RegistryStore writer(path);
            for (uint32_t generation = 1;; ++generation) {
                FillGeneration(writer, generation);
                writer.Save();
            }
        }
        ::usleep(std::uniform_int_distribution<useconds_t>(1000, 60000)(random));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);

        platform::RegistryStore reader(path);
        ASSERT_EQ(reader.Load(), 0);
        ASSERT_EQ(reader.ValueNames(kKey).size(), kValues) << round;
        uint32_t first = 0, value = 0, size = 4;
        ASSERT_EQ(reader.QueryValue(kKey, QStringLiteral("0"), nullptr, &first, &size), 0);
        for (int i = 1; i < kValues; ++i) {
            size = 4;
            ASSERT_EQ(reader.QueryValue(kKey, QString::number(i), nullptr, &value, &size), 0);
            ASSERT_EQ(value, first) << round << " value " << i;
        }
    }
}

}  // namespace
