// The database browser on 10,000 persons: opening it (connection, list read, window), showing a
// person with 16 samples and 10 photos, and clustering those samples, on SQLite and PostgreSQL.
// Prints the times; run under the offscreen platform.

#include "app/browser/browser_state.h"
#include "app/ui/database_browser.h"
#include "settings/settings_hub.h"
#include "settings/settings_state.h"
#include "tests/integration/database/db_test_support.h"
#include "tests/integration/database/scripted_dialogs.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>

#include <cstdio>

namespace {

using database::DbProvider;

constexpr int kPersons = 10000;

QByteArray Jpeg(int width, int height, int seed) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb((x * seed) & 255, (y + seed) & 255, (x ^ y) & 255));
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    return bytes;
}

// 10,000 persons in the three lists; the first one with 16 samples and 10 photos.
int Fill(const QString& connectionString) {
    database::DbConnection connection;
    connection.Open(connectionString);
    database::DbTransaction transaction(connection);
    transaction.Begin();
    for (int i = 0; i < kPersons; ++i) {
        dbtest::Exec(
            connection,
            QStringLiteral("INSERT INTO PERSONS (STATE, LIST_NUM, SURNAME, FORENAME, SECONDNAME, Gender) "
                           "VALUES (0, ?, ?, ?, ?, ?)"),
            {i % 3, QStringLiteral("Фамилия%1").arg(i), QStringLiteral("Имя"), QStringLiteral("Отчество"), i % 2});
    }
    const int person = dbtest::QueryInt(connection, QStringLiteral("SELECT MIN(PERSON_ID) AS N FROM PERSONS"));
    for (int s = 0; s < 16; ++s) {
        dbtest::Exec(connection,
                     QStringLiteral("INSERT INTO SAMPLES (PERSON_ID, BINDATA, DESCRIPTOR) VALUES (?, ?, ?)"),
                     {person, Jpeg(150, 150, s + 1), dbtest::DescriptorBytes(static_cast<float>(s % 3) * 0.2f)});
    }
    for (int p = 0; p < 10; ++p) {
        dbtest::Exec(connection, QStringLiteral("INSERT INTO PHOTO (PERSON_ID, BINDATA) VALUES (?, ?)"),
                     {person, Jpeg(300, 400, p + 7)});
    }
    transaction.Commit();
    return person;
}

class NullView : public browser::BrowserView {
public:
    void ShowPersons(const database::PersonRows&, const database::PersonRecord*) override {}
    void ShowFilters(const settings::DbWinSettings&) override {}
    void ShowPerson(const browser::PersonPage*) override {}
    void PhotosChanged(const browser::PersonPage&) override {}
    void SamplesChanged(const browser::PersonPage&) override {}
    void ClustersChanged(const browser::PersonPage&) override {}
    bool CardDirty() const override { return false; }
    browser::LeaveOutcome ConfirmLeaveCard(database::DbSession&) override { return browser::LeaveOutcome::Proceed; }
    database::DbOpResult SaveCard(database::DbSession&) override { return database::DbOpDone; }
    void PostClose() override {}
    std::optional<database::NewPersonInput> AskNewPerson(database::WatchList) override { return std::nullopt; }
    bool EditPropNames(database::PropNameEditor&) override { return false; }
    std::optional<recognition::DescribedFace> RunSampleWizard(const QString&) override { return std::nullopt; }
};

double Ms(const QElapsedTimer& timer) { return static_cast<double>(timer.nsecsElapsed()) / 1e6; }

void Run(DbProvider provider, settings::SettingsHub& hub) {
    const char* name = provider == DbProvider::SQLite ? "SQLite" : "PostgreSQL";
    if (provider == DbProvider::PostgreSQL && !dbtest::PostgresUnavailableReason().isEmpty()) {
        std::printf("%s: skipped (%s)\n", name, qPrintable(dbtest::PostgresUnavailableReason()));
        return;
    }
    dbtest::TestDatabase db(provider);
    const int person = Fill(db.ConnectionString());
    dbtest::ScriptedDialogs dialogs;
    const shell::Journal journal;

    QElapsedTimer timer;
    timer.start();
    NullView view;
    browser::BrowserState state(browser::OpenBrowserConnection(dialogs, db.ConnectionString()), db.ConnectionString(),
                                dialogs, dialogs, journal, hub, view);
    state.Start();
    const double brain = Ms(timer);

    timer.restart();
    state.SelectPerson(person);
    const double show = Ms(timer);
    timer.restart();
    state.ClusterSamples();
    const double cluster = Ms(timer);

    timer.restart();
    {
        ui::DatabaseBrowser window(browser::OpenBrowserConnection(dialogs, db.ConnectionString()),
                                   db.ConnectionString(), journal, hub, nullptr, nullptr);
        window.setWindowState(Qt::WindowMaximized);
        window.show();
        QApplication::processEvents();
        const double opened = Ms(timer);
        timer.restart();
        window.SelectPerson(person);
        QApplication::processEvents();
        std::printf(
            "%s, %d persons: brain open %.0f ms, window open %.0f ms; person with 16 samples and 10 photos "
            "%.0f ms (in the window %.0f ms); clustering 16 samples %.1f ms\n",
            name, kPersons, brain, opened, show, Ms(timer), cluster);
    }
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    settings::SettingsState state;
    state.dbWin = {1, 1, 1};
    state.DbDivProportion = 0.4;
    settings::SettingsHub hub(state);
    try {
        Run(DbProvider::SQLite, hub);
        Run(DbProvider::PostgreSQL, hub);
    } catch (const database::DbError& error) {
        std::fprintf(stderr, "browser_bench: %s\n", qPrintable(error.Description()));
        return 1;
    }
    return 0;
}
