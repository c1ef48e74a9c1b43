// Opens the database browser on a connection string and saves the window as a PNG, for review
// (run it under Xvfb or the offscreen platform).
// Usage: ostrovid-browser-shot [--demo FILE] [--person ID] [--page 0|1|2] [--cluster] [--chooser]
//                              CONNECTION_STRING|- OUT.png
// --demo creates a SQLite database FILE (when missing) with 30 persons, the first of them with 16
//        samples in three groups, 3 photos and two property values, and opens it ("-" instead of
//        the connection string);
// --person shows that person in the card, --page opens a card page ("Метрики", "Дополнительно",
//          "Образцы"); --cluster then runs "Кластеры" on its samples;
// --chooser shows the person chooser instead of the browser.

#include "app/browser/browser_state.h"
#include "app/database/db_schema.h"
#include "app/database/person_statements.h"
#include "app/ui/database_browser.h"
#include "app/ui/person_card_widget.h"
#include "app/ui/person_chooser.h"
#include "settings/settings_hub.h"
#include "settings/settings_state.h"

#include <QApplication>
#include <QBuffer>
#include <QFileInfo>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

int Usage(const char* program) {
    std::fprintf(stderr,
                 "usage: %s [--demo FILE] [--person ID] [--page 0|1|2] [--cluster] [--chooser] "
                 "CONNECTION_STRING|- OUT.png\n",
                 program);
    return 2;
}

QByteArray Picture(QSize size, QColor colour, const QString& text) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QPainter painter(&image);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(size.height() / 5);
    painter.setFont(font);
    painter.drawText(image.rect(), Qt::AlignCenter, text);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    return bytes;
}

void Run(database::DbConnection& connection, const QString& sql,
         const std::function<void(database::DbCommand&)>& bind) {
    database::DbCommand command(connection);
    command.SetCommandText(sql);
    bind(command);
    command.Execute(database::kExecChange);
}

void FillDemo(const QString& file) {
    database::CreateSqliteDatabaseFile(file);
    database::DbConnection connection;
    connection.Open(QStringLiteral("Provider=SQLite;Data Source=") + file);
    const QStringList surnames = {"Иванов", "Петров", "Сидоров", "Смирнов", "Кузнецов", "Попов"};
    int32_t first = 0;
    for (int i = 0; i < 30; ++i) {
        database::PersonFields fields;
        fields.surname = surnames[i % surnames.size()] + (i < surnames.size() ? QString() : QString::number(i));
        fields.forename = QStringLiteral("Иван");
        fields.secondName = QStringLiteral("Петрович");
        fields.address = QStringLiteral("Москва, ул. Садовая, %1").arg(i + 1);
        const int32_t id = database::InsertPersonRow(connection, static_cast<database::WatchList>(i % 3), fields);
        if (i == 0) first = id;
    }
    const QColor groups[] = {QColor(40, 90, 160), QColor(160, 70, 40), QColor(60, 130, 60)};
    for (int s = 0; s < 16; ++s) {
        recognition::FaceDescriptor descriptor;
        for (size_t v = 0; v < descriptor.values.size(); ++v) descriptor.values[v] = (s % 3) + v / 1000.0f + s * 0.001f;
        Run(connection, QStringLiteral("INSERT INTO SAMPLES (PERSON_ID, BINDATA, DESCRIPTOR) VALUES (?,?,?)"),
            [&](database::DbCommand& command) {
                command.AppendInteger(QStringLiteral("PERSON_ID"), first);
                command.AppendBinary(QStringLiteral("BINDATA"),
                                     Picture(QSize(150, 150), groups[s % 3], QString::number(s + 1)));
                command.AppendBinary(QStringLiteral("DESCRIPTOR"), descriptor.ToStorage());
            });
    }
    for (int p = 0; p < 3; ++p) {
        Run(connection, QStringLiteral("INSERT INTO PHOTO (PERSON_ID, BINDATA) VALUES (?,?)"),
            [&](database::DbCommand& command) {
                command.AppendInteger(QStringLiteral("PERSON_ID"), first);
                command.AppendBinary(QStringLiteral("BINDATA"),
                                     Picture(QSize(300, 400), groups[p], QStringLiteral("Фото %1").arg(p + 1)));
            });
    }
    const QStringList props = {"Рост", "Цвет глаз"};
    const QStringList values = {"182", "карие"};
    for (int i = 0; i < props.size(); ++i) {
        Run(connection, QStringLiteral("INSERT INTO PROPLIST (SEQ_NUM, PROPNAME) VALUES (?,?)"),
            [&](database::DbCommand& command) {
                command.AppendInteger(QStringLiteral("SEQ_NUM"), i + 1);
                command.AppendText(QStringLiteral("PROPNAME"), props[i]);
            });
        Run(connection, QStringLiteral("INSERT INTO PERSONPROP (PERSON_ID, PROP_ID, PROPVALUE) VALUES (?,?,?)"),
            [&](database::DbCommand& command) {
                command.AppendInteger(QStringLiteral("PERSON_ID"), first);
                command.AppendInteger(QStringLiteral("PROP_ID"), i + 1);
                command.AppendText(QStringLiteral("PROPVALUE"), values[i]);
            });
    }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int person = 0;
    int page = 0;
    bool cluster = false;
    bool chooser = false;
    QString demo;
    QStringList positional;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--person" && i + 1 < args.size()) {
            person = args[++i].toInt();
        } else if (args[i] == "--demo" && i + 1 < args.size()) {
            demo = args[++i];
        } else if (args[i] == "--page" && i + 1 < args.size()) {
            page = args[++i].toInt();
        } else if (args[i] == "--cluster") {
            cluster = true;
        } else if (args[i] == "--chooser") {
            chooser = true;
        } else if (args[i].startsWith("--")) {
            return Usage(argv[0]);
        } else {
            positional.append(args[i]);
        }
    }
    if (positional.size() != 2) return Usage(argv[0]);
    QString connectionString = positional[0];
    try {
        if (!demo.isEmpty()) {
            if (!QFileInfo::exists(demo)) FillDemo(demo);
            connectionString = QStringLiteral("Provider=SQLite;Data Source=") + demo;
        }
    } catch (const database::DbError& error) {
        std::fprintf(stderr, "%s: %s\n", argv[0], qPrintable(error.Description()));
        return 1;
    }
    settings::SettingsState state;
    state.dbWin = {1, 1, 1};
    state.DbDivProportion = 0.4;
    settings::SettingsHub hub(state);

    const shell::Journal journal;  // no sink: the journal lines are dropped
    ui::OperatorBoxes boxes(nullptr);
    auto connection = browser::OpenBrowserConnection(boxes, connectionString);
    if (!connection) return 1;
    std::unique_ptr<database::DbSession> session;  // the chooser's; it outlives the chooser
    std::unique_ptr<QWidget> shown;
    if (chooser) {
        session = std::make_unique<database::DbSession>(
            database::DbSession{*connection, boxes, boxes, connectionString, journal});
        auto dialog = std::make_unique<ui::PersonChooserDialog>(*session, nullptr);
        if (!dialog->Load(person)) return 1;
        shown = std::move(dialog);
    } else {
        auto window = std::make_unique<ui::DatabaseBrowser>(std::move(connection), connectionString, journal, hub,
                                                            nullptr, nullptr);
        if (person != 0) window->SelectPerson(person);
        window->Card()->ShowPage(static_cast<ui::PersonCardWidget::Page>(std::clamp(page, 0, 2)));
        // The clusters' notice closes itself; the picture is taken once it has.
        if (cluster) window->State().ClusterSamples();
        shown = std::move(window);
    }
    shown->resize(1280, 900);
    shown->show();
    int status = 0;
    QTimer::singleShot(300, shown.get(), [&] {
        if (!shown->grab().save(positional[1])) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], qPrintable(positional[1]));
            status = 1;
        }
        app.quit();
    });
    app.exec();
    return status;
}
