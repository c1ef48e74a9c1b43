// The person information dialog of a recognized entry against real databases of both
// providers, on the offscreen platform: what it reads and shows, what goes back into the entry,
// and the failures that keep it closed. With OSTROVID_RECOGNIZED_PNG set, the page filled with
// several persons is also saved to that file, and its information dialog next to it
// ("-info.png").

#include "app/ui/person_info.h"
#include "app/ui/person_info_dialog.h"
#include "app/ui/recognized_page.h"
#include "app/ui/right_panel.h"
#include "platform/fixedtext.h"
#include "platform/oledate.h"
#include "settings/settings_hub.h"

#include "tests/integration/database/db_test_support.h"
#include "tests/integration/database/scripted_dialogs.h"
#include "tests/support/encoded_image.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>

namespace dbtest {
namespace {

using testsupport::Encoded;

// A half-transparent red PNG and an opaque JPEG of the given size.
QByteArray TranslucentPng() {
    QImage image(40, 30, QImage::Format_ARGB32);
    image.fill(QColor(255, 0, 0, 128));
    return Encoded(image, "PNG");
}

QByteArray Jpeg(int width, int height, const QColor& colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return Encoded(image, "JPEG");
}

std::unique_ptr<recognition::RecognizedListItem> Entry(int personId, QStringView surname, uint32_t listNumber) {
    auto item = std::make_unique<recognition::RecognizedListItem>();
    item->personId = uint32_t(personId);
    item->person.listNumber = listNumber;
    platform::CopyToFixed(item->person.surname, surname);
    return item;
}

class PersonInfoTest : public ProviderTest {
protected:
    void SetUp() override {
        ProviderTest::SetUp();
        if (IsSkipped()) return;
        connection_.Open(db_->ConnectionString());
        UseConnectionString(db_->ConnectionString());
        person_ = AddPerson(connection_, QStringLiteral("Сидоров"), 1, 0);
        Exec(connection_, QStringLiteral("UPDATE PERSONS SET ADDRESS=?, CONTACTS=? WHERE PERSON_ID=?"),
             {QStringLiteral("Тверская, 1"), QStringLiteral("+7 900 000"), person_});
        Exec(connection_, QStringLiteral("INSERT INTO PROPLIST (SEQ_NUM, PROPNAME) VALUES (2, ?)"),
             {QStringLiteral("Рост")});
        Exec(connection_, QStringLiteral("INSERT INTO PROPLIST (SEQ_NUM, PROPNAME) VALUES (1, ?)"),
             {QStringLiteral("Вес")});
        for (const auto& [name, value] : {std::pair{QStringLiteral("Рост"), QStringLiteral("181")},
                                          std::pair{QStringLiteral("Вес"), QStringLiteral("80")}}) {
            const int prop =
                QueryInt(connection_, QStringLiteral("SELECT PROP_ID AS N FROM PROPLIST WHERE PROPNAME=?"), {name});
            Exec(connection_, QStringLiteral("INSERT INTO PERSONPROP (PERSON_ID, PROP_ID, PROPVALUE) VALUES (?, ?, ?)"),
                 {person_, prop, value});
        }
        AddPhoto(TranslucentPng());
        AddPhoto(QByteArray("no picture"));  // left out
        AddPhoto(Jpeg(600, 300, Qt::darkCyan));
    }

    // The connection string the program works with, as the pages read it from the hub.
    void UseConnectionString(const QString& connectionString) {
        hub_.Update([&](settings::SettingsState& s) { platform::CopyToFixed(s.DbConnectionString, connectionString); });
    }

    void AddPhoto(const QByteArray& bytes) {
        Exec(connection_, QStringLiteral("INSERT INTO PHOTO (PERSON_ID, BINDATA) VALUES (?, ?)"), {person_, bytes});
    }

    // Runs step on the modal person information dialog once it is shown; counts the dialogs.
    void WhenShown(std::function<void(ui::PersonInfoDialog&)> step) {
        QTimer::singleShot(0, [this, step] {
            auto* dialog = dynamic_cast<ui::PersonInfoDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            ++shown_;
            step(*dialog);
            dialog->findChild<QPushButton*>(QStringLiteral("close"))->click();
        });
    }

    settings::SettingsHub hub_;
    ScriptedDialogs dialogs_;
    database::DbConnection connection_;
    int person_ = 0;
    int shown_ = 0;
};

TEST_P(PersonInfoTest, ReadsTheDetailsSkipsUndecodablePhotosAndPremultipliesAlpha) {
    recognition::RecognizedPersonsList list;
    ui::PersonInfoRecord record = ui::PersonInfoFromEntry(*list.InsertAtTop(Entry(person_, u"Сидоров", 1)));
    ASSERT_TRUE(ui::LoadPersonInfo(dialogs_, db_->ConnectionString(), record));
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join(u'|').toStdString();
    EXPECT_EQ(dialogs_.waitDepth, 0);
    EXPECT_EQ(record.address, QStringLiteral("Тверская, 1"));
    EXPECT_EQ(record.contacts, QStringLiteral("+7 900 000"));
    EXPECT_TRUE(record.description.isEmpty()) << "NULL reads as empty";
    EXPECT_EQ(record.properties.size(), 2u);
    ASSERT_EQ(record.photos.size(), 2u);
    const QImage& translucent = record.photos[0].size() == QSize(40, 30) ? record.photos[0] : record.photos[1];
    ASSERT_EQ(translucent.size(), QSize(40, 30));
    const QRgb pixel = translucent.pixel(3, 3);  // ARGB32_Premultiplied: the stored products
    EXPECT_EQ(translucent.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(qAlpha(pixel), 128);
    EXPECT_EQ(translucent.constScanLine(3)[3 * 4 + 2], 255 * 128 / 255);
}

TEST_P(PersonInfoTest, TheDialogShowsTheRecordAndItsDetailsGoBackIntoTheEntry) {
    recognition::RecognizedPersonsList list;
    recognition::RememberedPersons remembered;
    auto* item = list.InsertAtTop(Entry(person_, u"Сидоров", 1));
    platform::CopyToFixed(item->person.forename, u"Иван");
    item->person.dateOfBirth = 29000;  // 25.05.1979
    ui::RecognizedPage page(list, remembered, hub_);
    page.SetDbUserInterface(&dialogs_);
    page.resize(600, 400);
    page.show();
    page.Refresh();

    page.ShowPersonInfo();  // nothing selected: nothing happens
    EXPECT_EQ(shown_, 0);

    page.View()->setCurrentIndex(page.View()->model()->index(0, 0));
    WhenShown([&](ui::PersonInfoDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Информация о персоне..."));
        auto text = [&dialog](const char* id) {
            if (auto* line = dialog.findChild<QLineEdit*>(QLatin1String(id))) return line->text();
            if (auto* edit = dialog.findChild<QPlainTextEdit*>(QLatin1String(id))) return edit->toPlainText();
            ADD_FAILURE() << id;
            return QString();
        };
        EXPECT_EQ(text("1116"), QString::number(person_));
        EXPECT_EQ(text("1117"), QStringLiteral("Красный"));
        EXPECT_EQ(text("1061"), QStringLiteral("Сидоров"));
        EXPECT_EQ(text("1104"), QStringLiteral("Женский"));
        EXPECT_EQ(text("1105"), QStringLiteral("25.05.1979"));
        EXPECT_EQ(text("1069"), QStringLiteral("Тверская, 1"));
        EXPECT_TRUE(text("1071").isEmpty());
        EXPECT_EQ(dialog.Tabs()->tabText(0), QStringLiteral("Метрики"));
        EXPECT_EQ(dialog.Tabs()->tabText(1), QStringLiteral("Дополнительно"));
        auto* props = dialog.findChild<QTableWidget*>(QStringLiteral("1053"));
        ASSERT_NE(props, nullptr);
        ASSERT_EQ(props->rowCount(), 2);
        EXPECT_EQ(props->item(0, 0)->text(), QStringLiteral("Вес"));
        EXPECT_EQ(props->item(1, 1)->text(), QStringLiteral("181"));

        // Two photos: the first shown, only "next" offered; after it, only "previous".
        EXPECT_FALSE(dialog.PreviousArrow()->isVisible());
        EXPECT_TRUE(dialog.NextArrow()->isVisible());
        const QRect first = dialog.PhotoArea()->PhotoRect();
        dialog.NextArrow()->click();
        EXPECT_TRUE(dialog.PreviousArrow()->isVisible());
        EXPECT_FALSE(dialog.NextArrow()->isVisible());
        const QRect second = dialog.PhotoArea()->PhotoRect();
        EXPECT_NE(first, second);
        // The 600 × 300 JPEG is fitted to the area's width, the 40 × 30 PNG kept as it is.
        const QRect wide = first.width() == 40 ? second : first;
        EXPECT_EQ(wide.width(), dialog.PhotoArea()->width());
        EXPECT_EQ(wide.height(), dialog.PhotoArea()->width() / 2);
    });
    page.InfoButton()->click();
    EXPECT_EQ(shown_, 1);
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join(u'|').toStdString();
    EXPECT_TRUE(item->detailsPresent);
    EXPECT_EQ(platform::FromFixed(item->address), QStringLiteral("Тверская, 1"));
    EXPECT_EQ(ui::EntryTexts(*item).contacts, QStringLiteral("Контакты:  +7 900 000"));
}

TEST_P(PersonInfoTest, FailuresAreShownAndTheDialogStaysClosed) {
    recognition::RecognizedPersonsList list;
    recognition::RememberedPersons remembered;
    list.InsertAtTop(Entry(person_, u"Сидоров", 1));
    ui::RecognizedPage page(list, remembered, hub_);
    page.SetDbUserInterface(&dialogs_);
    page.Refresh();
    page.View()->setCurrentIndex(page.View()->model()->index(0, 0));
    WhenShown([](ui::PersonInfoDialog&) {});

    // The photo table is gone: a failed query.
    Exec(connection_, QStringLiteral("DROP TABLE PHOTO"));
    page.ShowPersonInfo();
    ASSERT_EQ(dialogs_.errors.size(), 1);
    EXPECT_TRUE(dialogs_.errors[0].startsWith(QStringLiteral("Ошибка SQL запроса: ")))
        << dialogs_.errors[0].toStdString();
    EXPECT_EQ(dialogs_.waitDepth, 0);
    EXPECT_FALSE(list.At(0).detailsPresent);

    // No database where the string points.
    UseConnectionString(QStringLiteral("Provider=SQLite;Data Source=/nonexistent/folder/none.db"));
    WhenShown([](ui::PersonInfoDialog&) {});
    page.ShowPersonInfo();
    ASSERT_EQ(dialogs_.errors.size(), 2);
    EXPECT_TRUE(dialogs_.errors[1].startsWith(QStringLiteral("Соединение с базой данных: ")))
        << dialogs_.errors[1].toStdString();
    QTest::qWait(20);
    EXPECT_EQ(shown_, 0);
}

// Not a check: the page as the operator sees it, for a look at the drawing.
TEST_P(PersonInfoTest, RecognizedPageScreenshot) {
    const QString path = qEnvironmentVariable("OSTROVID_RECOGNIZED_PNG");
    if (path.isEmpty() || GetParam() != database::DbProvider::SQLite) GTEST_SKIP() << "OSTROVID_RECOGNIZED_PNG not set";
    struct Shown {
        const char16_t* surname;
        const char16_t* forename;
        const char16_t* alias;
        uint32_t list;
        double confidence;
        cv::Scalar colour;
    };
    const Shown persons[] = {
        {u"Сидоров", u"Иван", u"", 1, 81.4, {60, 60, 200}},
        {u"Петрова", u"Анна", u"Аня", 0, 77.9, {80, 160, 60}},
        {u"Ким", u"", u"", 2, 70.2, {160, 120, 40}},
        {u"Орлов", u"Пётр", u"", 0, 92.0, {40, 140, 180}},
    };
    recognition::RecognizedPersonsList list;
    recognition::RememberedPersons remembered;
    double time = platform::OleDateNow() - 0.01;
    int otherId = 1000;
    for (const Shown& p : persons) {
        // The first one is the person in the database.
        auto item = Entry(&p == persons ? person_ : ++otherId, p.surname, p.list);
        platform::CopyToFixed(item->person.forename, p.forename);
        platform::CopyToFixed(item->person.alias, p.alias);
        item->person.gender = p.list == 1 ? 0 : 1;
        item->person.dateOfBirth = 30000;
        platform::CopyToFixed(item->person.externalKey, u"EXT-7");
        item->confidence = p.confidence;
        item->time = (time += 0.0007);
        item->thumbnail = cv::Mat(150, 150, CV_8UC3, p.colour);
        list.InsertAtTop(std::move(item));
    }
    auto* snapshots = new QWidget;
    ui::RightPanel panel(list, remembered, hub_, snapshots);
    ui::RecognizedPage& page = *panel.Recognized();
    page.SetDbUserInterface(&dialogs_);
    panel.resize(720, 760);
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    page.Refresh();
    // The oldest entry (the person in the database) with its details, selected.
    page.View()->setCurrentIndex(page.View()->model()->index(3, 0));
    // The dialog goes next to the page's picture.
    WhenShown([&path](ui::PersonInfoDialog& dialog) {
        QTest::qWait(20);
        EXPECT_TRUE(dialog.grab().save(QString(path).replace(QStringLiteral(".png"), QStringLiteral("-info.png"))));
    });
    page.ShowPersonInfo();
    page.View()->setCurrentIndex(page.View()->model()->index(1, 0));
    panel.ShowPage(ui::RightTab::Snapshots);
    panel.RecognizedArrived(true);
    panel.ShowPage(ui::RightTab::Recognized);
    QTest::qWait(50);
    ASSERT_TRUE(panel.grab().save(path, "PNG")) << path.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Providers, PersonInfoTest,
                         ::testing::Values(database::DbProvider::SQLite, database::DbProvider::PostgreSQL),
                         ProviderTestName);

}  // namespace
}  // namespace dbtest
