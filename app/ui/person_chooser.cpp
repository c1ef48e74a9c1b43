#include "app/ui/person_chooser.h"

#include "app/browser/browser_commands.h"
#include "app/browser/display_image.h"
#include "app/browser/person_list_details.h"
#include "app/database/photo_ops.h"
#include "app/ui/new_person_dialog.h"
#include "app/ui/person_list_panel.h"
#include "app/ui/person_search_window.h"

#include <QAction>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QToolBar>
#include <QVBoxLayout>

namespace ui {

namespace {

constexpr int kPhotoStripHeight = 176;
constexpr int kPhotoMargin = 16;
constexpr int kListMinimumWidth = 420;  // the four columns and a scroll bar
const QString kPhotoItemName = QStringLiteral("Vektra:OSTROVID_V2:CHOOSE:PERSON:PHOTO:ITEM");
const QString kPhotoViewportName = QStringLiteral("Vektra:OSTROVID_V2:CHOOSE:PERSON:PHOTO:VIEWPORT");

}  // namespace

PersonChooserDialog::PersonChooserDialog(database::DbSession& session, QWidget* parent)
    : QDialog(parent), session_(session) {
    setWindowTitle(QStringLiteral("Выбор персоны для сохранения образцов"));
    setMinimumSize(800, 600);
    setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(this);

    auto* toolbar = new QToolBar(this);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    // Tool buttons drop a trailing "..." unless the icon text is given.
    const auto add = [toolbar](const QString& text, const char* name) {
        QAction* action = toolbar->addAction(text);
        action->setIconText(text);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    ok_ = add(QStringLiteral("OK"), "chooserOk");
    connect(ok_, &QAction::triggered, this, [this] { accept(); });
    connect(add(QStringLiteral("Новая персона..."), "chooserNewPerson"), &QAction::triggered, this,
            [this] { NewPerson(); });
    QAction* find = add(QStringLiteral("Поиск..."), "chooserSearch");
    connect(add(QStringLiteral("Закрыть"), "chooserClose"), &QAction::triggered, this, [this] { reject(); });
    layout->addWidget(toolbar);
    layout->addWidget(new QLabel(QStringLiteral("Выберите персону и нажмите OK, либо создайте новую персону."), this));

    // The search window slides down over the list and the details, under the toolbar.
    auto* body = new QWidget(this);
    auto* bodyLayout = new QHBoxLayout(body);
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    auto* splitter = new QSplitter(Qt::Horizontal, body);
    bodyLayout->addWidget(splitter);
    layout->addWidget(body, 1);

    list_ = new PersonListPanel(ListFilterRow::Hidden, splitter);
    list_->setMinimumWidth(kListMinimumWidth);
    splitter->addWidget(list_);

    auto* detailPane = new QWidget(splitter);
    auto* detailLayout = new QVBoxLayout(detailPane);
    auto* form = new QFormLayout;
    for (const browser::PersonDetail& detail : browser::PersonDetails(nullptr)) {
        if (detail.label == QStringLiteral("Описание:")) {
            auto* text = new QPlainTextEdit(detailPane);
            text->setReadOnly(true);
            text->setMaximumHeight(text->fontMetrics().height() * 5);
            form->addRow(detail.label, text);
            showDetail_.emplace_back([text](const QString& value) { text->setPlainText(value); });
        } else {
            auto* edit = new QLineEdit(detailPane);
            edit->setReadOnly(true);
            form->addRow(detail.label, edit);
            showDetail_.emplace_back([edit](const QString& value) {
                edit->setText(value);
                edit->setCursorPosition(0);
            });
        }
    }
    detailLayout->addLayout(form);
    detailLayout->addWidget(new QLabel(QStringLiteral("Фото персоны:"), detailPane));
    photoViewport_ = new QScrollArea(detailPane);
    photoViewport_->setObjectName(kPhotoViewportName);
    photoViewport_->setFixedHeight(kPhotoStripHeight);
    photoViewport_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    photoViewport_->setWidgetResizable(true);
    detailLayout->addWidget(photoViewport_);
    detailLayout->addStretch();
    splitter->addWidget(detailPane);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);

    search_ = new PersonSearchWindow(*list_, body);
    connect(find, &QAction::triggered, this, [this] { search_->SlideIn(); });
    list_->selectionChanged = [this] { ShowDetails(); };
    list_->personActivated = [this] { accept(); };
    ShowDetails();
}

bool PersonChooserDialog::Load(int32_t selectPersonId) {
    database::PersonList persons;
    const database::DbOpResult result = database::RetryWhileAsked(
        [&] { return database::HandleGetDbChoosePersonList(session_, selectPersonId, persons); });
    list_->SetRows(std::move(persons));
    ShowDetails();
    return result == database::DbOpDone && !givenUp_;
}

void PersonChooserDialog::accept() {
    const database::PersonRecord* person = list_->Selected();
    if (person == nullptr) return;
    chosen_ = *person;
    QDialog::accept();
}

void PersonChooserDialog::ShowDetails() {
    const database::PersonRecord* person = list_->Selected();
    ok_->setEnabled(person != nullptr);
    const std::vector<browser::PersonDetail> details = browser::PersonDetails(person);
    for (size_t i = 0; i < details.size() && i < showDetail_.size(); ++i) showDetail_[i](details[i].value);
    ShowPhotos(person);
}

void PersonChooserDialog::ShowPhotos(const database::PersonRecord* person) {
    std::vector<database::StoredPhoto> photos;
    if (person != nullptr) {
        const database::DbOpResult result = database::RetryWhileAsked(
            [&] { return database::HandleGetDbChoosePersonPhotoList(session_, person->personId, &photos); });
        if (result == database::DbOpCancel) {
            // The connection was given up: nothing more can be read or chosen on it.
            givenUp_ = true;
            reject();
        }
    }
    // A new strip for each person; the viewport deletes the previous one.
    auto* strip = new QWidget;
    auto* row = new QHBoxLayout(strip);
    const int height = kPhotoStripHeight - kPhotoMargin - photoViewport_->horizontalScrollBar()->sizeHint().height();
    for (const database::StoredPhoto& photo : photos) {
        const QImage image = browser::DecodeForDisplay(photo.image);
        if (image.isNull()) continue;
        auto* item = new QLabel(strip);
        item->setObjectName(kPhotoItemName);
        item->setPixmap(QPixmap::fromImage(image.scaledToHeight(height, Qt::SmoothTransformation)));
        row->addWidget(item);
    }
    row->addStretch();
    photoViewport_->setWidget(strip);
}

void PersonChooserDialog::NewPerson() {
    NewPersonDialog dialog(database::WatchList::Green, session_.dialogs, this);
    if (dialog.exec() != QDialog::Accepted) return;
    const database::NewPersonInput& input = dialog.Input();
    const std::optional<int32_t> id = database::HandleChooseDbDestNewPersonCmd(session_, input.list, input.fields);
    const int32_t select = id.value_or(list_->Model().SelectedPersonId());
    if (!Load(select)) {
        reject();
        return;
    }
    // The new person is chosen at once.
    if (id && list_->Selected() != nullptr && list_->Selected()->personId == *id) accept();
}

std::optional<database::PersonRecord> ChoosePerson(QWidget* owner, database::DbSession& session) {
    PersonChooserDialog dialog(session, owner);
    if (!dialog.Load()) return std::nullopt;
    dialog.setWindowState(dialog.windowState() | Qt::WindowMaximized);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Chosen();
}

database::PersonChooser SnapshotPersonChooser(QWidget* owner, database::DbUserInterface& ui,
                                              database::OperatorDialogs& dialogs, const QString& connectionString,
                                              const shell::Journal& journal) {
    return [owner, &ui, &dialogs, connectionString,
            &journal](database::DbConnection& connection) -> std::optional<database::ChosenPerson> {
        database::DbSession session{connection, ui, dialogs, connectionString, journal};
        const std::optional<database::PersonRecord> person = ChoosePerson(owner, session);
        if (!person) return std::nullopt;
        return database::ChosenPerson{person->personId, person->sampleCount, person->fields.Name()};
    };
}

}  // namespace ui
