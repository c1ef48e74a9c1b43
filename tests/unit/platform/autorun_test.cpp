#include "platform/autorun.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

namespace {

TEST(Autorun, EntryRoundTripsAwkwardPathsAndDeletingMissingFails) {
    QTemporaryDir dir;
    ::setenv("OSTROVID_AUTOSTART_DIR", dir.path().toLocal8Bit().constData(), 1);
    QString path;
    EXPECT_EQ(platform::QueryAutorun(&path), 2);
    EXPECT_EQ(platform::DeleteAutorun(), 2);

    for (const QString& program : {QStringLiteral("/opt/ostrovid/Ostrovid"),
                                   QStringLiteral("/opt/Моя папка/a \"b\" $HOME `x` 100%\\c/Ostrovid")}) {
        ASSERT_EQ(platform::SetAutorun(program), 0);
        ASSERT_EQ(platform::QueryAutorun(&path), 0);
        EXPECT_EQ(path, program);
    }
    QFile entry(platform::AutorunEntryPath());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_EQ(entry.readAll(),
              QByteArray("[Desktop Entry]\nType=Application\nName=Ostrovid\n"
                         "Exec=\"/opt/Моя папка/a \\\\\"b\\\\\" \\\\$HOME \\\\`x\\\\` 100%%\\\\\\\\c/Ostrovid\"\n"));
    EXPECT_EQ(platform::DeleteAutorun(), 0);
    EXPECT_EQ(platform::QueryAutorun(&path), 2);
}

}  // namespace
