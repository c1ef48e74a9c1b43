// Rules of the database page and its creation dialog: the masked string, the form's fields and
// the questions before an existing database is replaced.

#include "app/ui/database_page_rules.h"

#include <gtest/gtest.h>

#include <QDir>

namespace {

using database::DbProvider;
using ui::DatabaseCreationForm;

const QString kPgString = QStringLiteral(
    "Provider=PostgreSQL;Data Source=db.local:5433;User ID=operator;Password=s3cret;Initial Catalog=Faces");

TEST(DatabasePageRulesTest, PasswordIsMaskedAndKeptWhileTheMaskStands) {
    const QString shown = ui::ConnectionStringForDisplay(kPgString);
    EXPECT_FALSE(shown.contains(QStringLiteral("s3cret")));
    EXPECT_EQ(ui::ConnectionStringFromDisplay(shown, kPgString), kPgString);

    // Another server, same password.
    QString moved = shown;
    moved.replace(QStringLiteral("db.local"), QStringLiteral("db2"));
    QString expected = kPgString;
    expected.replace(QStringLiteral("db.local"), QStringLiteral("db2"));
    EXPECT_EQ(ui::ConnectionStringFromDisplay(moved, kPgString), expected);

    // A typed password replaces the mask.
    QString typed = shown;
    typed.replace(QStringLiteral("***"), QStringLiteral("new"));
    EXPECT_EQ(ui::ConnectionStringFromDisplay(typed, kPgString), typed);

    // Quoted passwords with a separator inside survive the round trip.
    const QString quoted =
        QStringLiteral("Provider=PostgreSQL;Data Source=h;User ID=u;Password=\"a;b\";Initial Catalog=x");
    EXPECT_EQ(ui::ConnectionStringFromDisplay(ui::ConnectionStringForDisplay(quoted), quoted), quoted);

    const QString sqlite = QStringLiteral("Provider=SQLite;Data Source=/var/lib/o.db");
    EXPECT_EQ(ui::ConnectionStringForDisplay(sqlite), sqlite);
    EXPECT_EQ(ui::ConnectionStringFromDisplay(sqlite, kPgString), sqlite);
}

TEST(DatabasePageRulesTest, FormStartsFromTheCurrentString) {
    const DatabaseCreationForm pg(kPgString);
    EXPECT_EQ(pg.provider, DbProvider::PostgreSQL);
    EXPECT_EQ(pg.host, QStringLiteral("db.local"));
    EXPECT_EQ(pg.portText, QStringLiteral("5433"));
    EXPECT_EQ(pg.user, QStringLiteral("operator"));
    EXPECT_EQ(pg.databaseName, QStringLiteral("Faces"));
    EXPECT_EQ(pg.ConnectionString(), kPgString);
    EXPECT_EQ(pg.ServerLevelString(), database::ServerLevelString(kPgString));

    const DatabaseCreationForm empty{QString()};
    EXPECT_EQ(empty.provider, DbProvider::SQLite);
    EXPECT_EQ(empty.databaseName, QStringLiteral("Ostrovid"));
    EXPECT_FALSE(empty.CanCreate());
    EXPECT_FALSE(empty.CanTest());
}

TEST(DatabasePageRulesTest, CreateNeedsEveryServerField) {
    DatabaseCreationForm form{QString()};
    form.provider = DbProvider::PostgreSQL;
    form.host = QStringLiteral("localhost");
    form.user = QStringLiteral("u");
    EXPECT_FALSE(form.CanCreate());  // no password
    form.password = QStringLiteral("p");
    EXPECT_TRUE(form.CanCreate());
    form.databaseName.clear();
    EXPECT_FALSE(form.CanCreate());
    EXPECT_TRUE(form.CanTest());
    form.databaseName = QStringLiteral("bad'name");
    EXPECT_FALSE(form.Problem().isEmpty());
    form.databaseName = QStringLiteral("good");
    EXPECT_TRUE(form.Problem().isEmpty());
    for (const char* port : {"0", "65536", "99999"}) {
        form.portText = QString::fromLatin1(port);
        EXPECT_FALSE(form.Problem().isEmpty()) << port;
    }
    form.portText = QStringLiteral("65535");
    EXPECT_TRUE(form.Problem().isEmpty());
    form.host = QStringLiteral("   ");
    EXPECT_FALSE(form.CanTest());
}

TEST(DatabasePageRulesTest, SqliteFileGetsItsSuffixAndName) {
    DatabaseCreationForm form{QString()};
    form.sqliteFile = QStringLiteral("/data/faces");
    EXPECT_TRUE(form.CanCreate());
    EXPECT_EQ(form.TargetName(), QStringLiteral("faces"));
    EXPECT_EQ(form.ServerLevelString(), QStringLiteral("Provider=SQLite;Data Source=/data"));
    EXPECT_EQ(form.ConnectionString(), QStringLiteral("Provider=SQLite;Data Source=/data/faces.db"));
    // The database is always a ".db" file, on a file system where case counts.
    form.sqliteFile = QStringLiteral("/data/Faces.DB");
    EXPECT_EQ(form.TargetName(), QStringLiteral("Faces.DB"));
    form.sqliteFile = QDir::tempPath();
    EXPECT_FALSE(form.Problem().isEmpty()) << "a folder chosen as the file";

    const DatabaseCreationForm opened(QStringLiteral("Provider=SQLite;Data Source=/srv/o.db"));
    EXPECT_EQ(opened.sqliteFile, QStringLiteral("/srv/o.db"));
}

TEST(DatabasePageRulesTest, ReplacingADatabaseAsksMoreTheMoreItIsUsed) {
    const auto questions = [](bool inUse, int otherSessions) {
        return ui::ReplaceQuestions({QStringLiteral("Faces"), inUse, otherSessions});
    };
    const QStringList idle = questions(false, 0);
    ASSERT_EQ(idle.size(), 1);
    EXPECT_TRUE(idle[0].contains(QStringLiteral("\"Faces\"")));
    EXPECT_TRUE(idle[0].contains(QStringLiteral("будут удалены")));
    EXPECT_FALSE(idle[0].contains(QStringLiteral("работает")));

    const QStringList live = questions(true, 0);
    ASSERT_EQ(live.size(), 1);
    EXPECT_TRUE(live[0].contains(QStringLiteral("Программа сейчас работает с этой базой данных")));

    // Other stations: asked twice, each time with their connections named.
    const QStringList shared = questions(true, 3);
    ASSERT_EQ(shared.size(), 2);
    for (const QString& question : shared) {
        EXPECT_TRUE(question.contains(QStringLiteral("\"Faces\""))) << question.toStdString();
        EXPECT_TRUE(question.contains(QStringLiteral("открытых соединений: 3"))) << question.toStdString();
    }

    std::vector<bool> answers;
    QStringList asked;
    const auto ask = [&](const QString& question) {
        asked << question;
        const bool answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    };
    answers = {true, false};
    EXPECT_FALSE(ui::ConfirmReplace({QStringLiteral("Faces"), false, 1}, ask)) << "one Yes is not enough";
    EXPECT_EQ(asked.size(), 2);
    asked.clear();
    answers = {false};
    EXPECT_FALSE(ui::ConfirmReplace({QStringLiteral("Faces"), false, 1}, ask));
    EXPECT_EQ(asked.size(), 1) << "the first No ends the asking";
    asked.clear();
    answers = {true, true};
    EXPECT_TRUE(ui::ConfirmReplace({QStringLiteral("Faces"), false, 1}, ask));
    answers = {true};
    EXPECT_TRUE(ui::ConfirmReplace({QStringLiteral("Faces"), false, 0}, ask));
}

TEST(DatabasePageRulesTest, SameDatabaseComparesServerAndNameOrTheFile) {
    EXPECT_TRUE(ui::SameDatabase(kPgString, QStringLiteral("Provider=PostgreSQL;Data Source=DB.local:5433;User "
                                                           "ID=other;Password=x;Initial Catalog=Faces")));
    EXPECT_FALSE(ui::SameDatabase(kPgString, QStringLiteral("Provider=PostgreSQL;Data Source=db.local:5433;User "
                                                            "ID=operator;Password=s3cret;Initial Catalog=faces")));
    EXPECT_FALSE(ui::SameDatabase(kPgString, QStringLiteral("Provider=PostgreSQL;Data Source=db.local;User "
                                                            "ID=operator;Password=s3cret;Initial Catalog=Faces")));
    EXPECT_TRUE(ui::SameDatabase(QStringLiteral("Provider=PostgreSQL;Data Source=h;Initial Catalog=d"),
                                 QStringLiteral("Provider=PostgreSQL;Data Source=h:5432;Initial Catalog=d")));
    EXPECT_TRUE(ui::SameDatabase(QStringLiteral("Provider=SQLite;Data Source=/srv/o.db"),
                                 QStringLiteral("Provider=SQLite;Data Source=/srv;Initial Catalog=o")));
    EXPECT_FALSE(ui::SameDatabase(QStringLiteral("Provider=SQLite;Data Source=/srv/o.db"),
                                  QStringLiteral("Provider=SQLite;Data Source=/srv/p.db")));
    EXPECT_FALSE(ui::SameDatabase(QStringLiteral("Provider=SQLite;Data Source=/srv/o.db"), QString()));
}

}  // namespace
