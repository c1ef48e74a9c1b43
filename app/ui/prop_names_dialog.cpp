#include "app/ui/prop_names_dialog.h"

#include "app/browser/browser_prop_names.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace ui {

namespace {

QPushButton* AddButton(QVBoxLayout* column, const QString& text, const QString& name) {
    auto* button = new QPushButton(text);
    button->setObjectName(name);
    column->addWidget(button);
    return button;
}

}  // namespace

PropNameInputDialog::PropNameInputDialog(const QString& name, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Название поля"));
    auto* layout = new QVBoxLayout(this);
    edit_ = new QLineEdit(name, this);
    edit_->setObjectName(QStringLiteral("name"));
    edit_->setMaxLength(database::PropNameEditor::kNameInputLimit);
    edit_->setMinimumWidth(320);
    layout->addWidget(edit_);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    const auto enable = [this, ok] { ok->setEnabled(!Name().isEmpty()); };
    enable();
    connect(edit_, &QLineEdit::textChanged, this, enable);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QString PropNameInputDialog::Name() const { return database::PropNameEditor::NameAsTyped(edit_->text()); }

PropNamesDialog::PropNamesDialog(database::PropNameEditor& editor, QWidget* parent) : QDialog(parent), editor_(editor) {
    setWindowTitle(QStringLiteral("Дополнительные поля персон"));
    auto* layout = new QHBoxLayout(this);
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("names"));
    list_->setColumnCount(1);
    list_->setHeaderLabels({QStringLiteral("Название поля")});
    list_->header()->setStretchLastSection(false);
    list_->header()->resizeSection(0, 400);
    list_->setRootIsDecorated(false);
    list_->setMinimumSize(420, 300);
    list_->setContextMenuPolicy(Qt::ActionsContextMenu);
    layout->addWidget(list_, 1);

    auto* column = new QVBoxLayout;
    layout->addLayout(column);
    QPushButton* add = AddButton(column, QStringLiteral("Добавить..."), QStringLiteral("add"));
    edit_ = AddButton(column, QStringLiteral("Изменить..."), QStringLiteral("edit"));
    remove_ = AddButton(column, QStringLiteral("Удалить"), QStringLiteral("remove"));
    up_ = AddButton(column, QStringLiteral("Поднять выше"), QStringLiteral("up"));
    down_ = AddButton(column, QStringLiteral("Опустить ниже"), QStringLiteral("down"));
    column->addStretch();
    QPushButton* ok = AddButton(column, QStringLiteral("OK"), QStringLiteral("ok"));
    QPushButton* cancel = AddButton(column, QStringLiteral("Отмена"), QStringLiteral("cancel"));
    ok->setDefault(true);

    // The list's context menu, with the keys that reach its items while the list has the focus.
    const auto item = [this](const QString& text, const QKeySequence& key, void (PropNamesDialog::*step)()) {
        auto* action = new QAction(text, list_);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetShortcut);
        list_->addAction(action);
        connect(action, &QAction::triggered, this, step);
        return action;
    };
    item(QStringLiteral("Добавить..."), QKeySequence(Qt::Key_Insert), &PropNamesDialog::Add);
    editItem_ = item(QStringLiteral("Редактировать..."), QKeySequence(Qt::Key_Space), &PropNamesDialog::Edit);
    removeItem_ = item(QStringLiteral("Удалить"), QKeySequence(Qt::Key_Delete), &PropNamesDialog::Remove);
    upItem_ = item(QStringLiteral("Поднять выше"), QKeySequence(Qt::ALT | Qt::Key_Up), &PropNamesDialog::MoveUp);
    downItem_ = item(QStringLiteral("Опустить ниже"), QKeySequence(Qt::ALT | Qt::Key_Down), &PropNamesDialog::MoveDown);

    connect(add, &QPushButton::clicked, this, &PropNamesDialog::Add);
    connect(edit_, &QPushButton::clicked, this, &PropNamesDialog::Edit);
    connect(remove_, &QPushButton::clicked, this, &PropNamesDialog::Remove);
    connect(up_, &QPushButton::clicked, this, &PropNamesDialog::MoveUp);
    connect(down_, &QPushButton::clicked, this, &PropNamesDialog::MoveDown);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { Edit(); });
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &PropNamesDialog::UpdateCommands);
    Refill(editor_.Names().empty() ? std::nullopt : std::optional<size_t>(0));
}

std::optional<size_t> PropNamesDialog::Selected() const {
    const int row = list_->indexOfTopLevelItem(list_->currentItem());
    if (row < 0 || list_->selectedItems().isEmpty()) return std::nullopt;
    return static_cast<size_t>(row);
}

void PropNamesDialog::Refill(std::optional<size_t> selected) {
    list_->clear();
    for (const auto& name : editor_.Names()) list_->addTopLevelItem(new QTreeWidgetItem({name->name}));
    if (selected && *selected < editor_.Names().size()) {
        QTreeWidgetItem* item = list_->topLevelItem(static_cast<int>(*selected));
        list_->setCurrentItem(item);
        item->setSelected(true);
        list_->scrollToItem(item);
    }
    UpdateCommands();
}

void PropNamesDialog::UpdateCommands() {
    const browser::PropNameCommands commands = browser::PropNameCommandsFor(editor_.Names().size(), Selected());
    edit_->setEnabled(commands.edit);
    editItem_->setEnabled(commands.edit);
    remove_->setEnabled(commands.remove);
    removeItem_->setEnabled(commands.remove);
    up_->setEnabled(commands.moveUp);
    upItem_->setEnabled(commands.moveUp);
    down_->setEnabled(commands.moveDown);
    downItem_->setEnabled(commands.moveDown);
}

void PropNamesDialog::Add() {
    PropNameInputDialog input(QString(), this);
    if (input.exec() != QDialog::Accepted) return;
    if (const std::optional<size_t> added = editor_.Add(input.Name())) Refill(added);
}

void PropNamesDialog::Edit() {
    const std::optional<size_t> selected = Selected();
    if (!selected) return;
    PropNameInputDialog input(editor_.Names()[*selected]->name, this);
    if (input.exec() != QDialog::Accepted) return;
    if (editor_.Rename(*selected, input.Name())) Refill(selected);
}

void PropNamesDialog::Remove() {
    const std::optional<size_t> selected = Selected();
    if (!selected) return;
    editor_.Remove(*selected);
    const size_t count = editor_.Names().size();
    Refill(count == 0 ? std::nullopt : std::optional<size_t>(std::min(*selected, count - 1)));
}

void PropNamesDialog::MoveUp() {
    const std::optional<size_t> selected = Selected();
    if (selected && editor_.MoveUp(*selected)) Refill(*selected - 1);
}

void PropNamesDialog::MoveDown() {
    const std::optional<size_t> selected = Selected();
    if (selected && editor_.MoveDown(*selected)) Refill(*selected + 1);
}

}  // namespace ui
