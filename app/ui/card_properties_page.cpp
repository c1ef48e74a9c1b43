#include "app/ui/card_properties_page.h"

#include "app/ui/card_marker_icon.h"

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace ui {

namespace {

enum Column : int { kMarkerColumn = 0, kNameColumn = 1, kValueColumn = 2 };

// The list with the page's keys: Enter and Space open the value's edit.
class PropertyList final : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;
    std::function<void()> onEditKey;

protected:
    void keyPressEvent(QKeyEvent* e) override {
        switch (e->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            if (e->modifiers() == Qt::NoModifier || e->modifiers() == Qt::KeypadModifier) {
                if (onEditKey) onEditKey();
                return;
            }
            break;
        default:
            break;
        }
        QTreeWidget::keyPressEvent(e);
    }
};

// The in-place edit: Esc closes it like Enter (every change is already taken).
class ValueEdit final : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    std::function<void()> onClose;

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Escape) {
            if (onClose) onClose();
            return;
        }
        QLineEdit::keyPressEvent(e);
        // A line edit passes Enter on to its parent, where the list would open the edit again.
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) e->accept();
    }
};

}  // namespace

CardPropertiesPage::CardPropertiesPage(browser::CardEditor& editor, QWidget* parent)
    : QWidget(parent), editor_(editor) {
    auto* layout = new QVBoxLayout(this);
    auto* list = new PropertyList(this);
    list_ = list;
    list_->setObjectName(QStringLiteral("properties"));
    list_->setColumnCount(3);
    list_->setHeaderLabels({QString(), QStringLiteral("Название"), QStringLiteral("Значение")});
    list_->setRootIsDecorated(false);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionsMovable(false);
    list_->setColumnWidth(kMarkerColumn, 28);
    list_->setColumnWidth(kNameColumn, 250);
    list_->setColumnWidth(kValueColumn, 350);
    list_->setIconSize(QSize(kCardMarkerSize, kCardMarkerSize));
    layout->addWidget(list_);

    auto* valueEdit = new ValueEdit(list_->viewport());
    valueEdit_ = valueEdit;
    valueEdit_->setObjectName(QStringLiteral("valueEdit"));
    valueEdit_->setMaxLength(browser::CardEditor::kPropertyInputLimit);
    valueEdit_->hide();
    valueEdit->onClose = [this] { CloseEdit(); };
    connect(valueEdit_, &QLineEdit::editingFinished, this, [this] { CloseEdit(); });
    connect(valueEdit_, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (!editedRow_) return;
        editor_.EditProperty(*editedRow_, text);
        ShowRow(*editedRow_);
        ShowCommands();
        if (onEdited) onEdited();
    });

    edit_ = new QAction(QStringLiteral("Изменить значение"), list_);
    clear_ = new QAction(QStringLiteral("Удалить значение"), list_);
    clear_->setShortcut(QKeySequence::Delete);
    clear_->setShortcutContext(Qt::WidgetShortcut);
    list_->addAction(clear_);
    connect(edit_, &QAction::triggered, this, [this] { EditCurrentValue(); });
    connect(clear_, &QAction::triggered, this, [this] { ClearCurrentValue(); });
    list->onEditKey = [this] { EditCurrentValue(); };

    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (QTreeWidgetItem* item = list_->itemAt(at)) list_->setCurrentItem(item);
        ShowCommands();
        QMenu menu(this);
        menu.addAction(edit_);
        menu.addAction(clear_);
        menu.exec(list_->viewport()->mapToGlobal(at));
    });
    connect(list_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int column) {
        if (column == kValueColumn) OpenEdit(static_cast<size_t>(list_->indexOfTopLevelItem(item)));
    });
    connect(list_, &QTreeWidget::currentItemChanged, this, [this] { ShowCommands(); });
    // Resizing a column or scrolling would leave the edit over another cell: it closes.
    connect(list_->header(), &QHeaderView::sectionResized, this, [this] { CloseEdit(); });
    connect(list_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { CloseEdit(); });
    connect(list_->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { CloseEdit(); });

    Fill();
}

void CardPropertiesPage::Fill() {
    CloseEdit();
    list_->clear();
    for (size_t row = 0; row < editor_.PropertyCount(); ++row) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(kNameColumn, editor_.Property(row).name);
        ShowRow(row);
    }
    if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
    ShowCommands();
}

void CardPropertiesPage::Refresh() {
    CloseEdit();
    for (size_t row = 0; row < editor_.PropertyCount(); ++row) ShowRow(row);
    ShowCommands();
}

void CardPropertiesPage::ShowRow(size_t row) {
    QTreeWidgetItem* item = list_->topLevelItem(static_cast<int>(row));
    const database::PropValue& value = editor_.Property(row);
    item->setText(kValueColumn, value.editedValue);
    item->setIcon(kMarkerColumn, value.changed ? CardMarkerIcon() : QIcon());
}

std::optional<size_t> CardPropertiesPage::CurrentRow() const {
    const int row = list_->indexOfTopLevelItem(list_->currentItem());
    if (row < 0) return std::nullopt;
    return static_cast<size_t>(row);
}

void CardPropertiesPage::ShowCommands() {
    const std::optional<size_t> row = CurrentRow();
    edit_->setEnabled(row.has_value());
    clear_->setEnabled(row && editor_.CanClearProperty(*row));
}

void CardPropertiesPage::EditCurrentValue() {
    if (const std::optional<size_t> row = CurrentRow()) OpenEdit(*row);
}

void CardPropertiesPage::ClearCurrentValue() {
    const std::optional<size_t> row = CurrentRow();
    if (!row || !editor_.CanClearProperty(*row)) return;
    CloseEdit();
    editor_.ClearProperty(*row);
    ShowRow(*row);
    ShowCommands();
    if (onEdited) onEdited();
}

void CardPropertiesPage::OpenEdit(size_t row) {
    CloseEdit();
    QTreeWidgetItem* item = list_->topLevelItem(static_cast<int>(row));
    list_->setCurrentItem(item);
    list_->scrollToItem(item);
    const QRect rowRect = list_->visualItemRect(item);
    QHeaderView* header = list_->header();
    valueEdit_->setGeometry(header->sectionViewportPosition(kValueColumn), rowRect.top(),
                            header->sectionSize(kValueColumn), rowRect.height());
    valueEdit_->setText(editor_.Property(row).editedValue);
    editedRow_ = row;
    valueEdit_->show();
    valueEdit_->setFocus();
    valueEdit_->selectAll();
}

void CardPropertiesPage::CloseEdit() {
    if (!editedRow_) return;
    editedRow_.reset();
    const bool hadFocus = valueEdit_->hasFocus();
    valueEdit_->hide();
    if (hadFocus) list_->setFocus();
}

}  // namespace ui
