#include "app/ui/recognized_page.h"

#include "app/ui/camera_panel.h"
#include "app/ui/operator_boxes.h"
#include "app/ui/person_info.h"
#include "app/ui/person_info_dialog.h"
#include "settings/settings_state.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QFrame>
#include <QListView>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <chrono>

namespace ui {

namespace {

constexpr std::chrono::seconds kExpiryInterval{30};
constexpr int kCmdPersonInfo = 40042;
constexpr int kCmdRemoveEntry = 40062;

QFont HeadlineFont() {
    QFont font(QStringLiteral("Calibri"));
    font.setPixelSize(18);
    font.setWeight(QFont::Medium);
    return font;
}

// One line, tabs expanded, cut with an ellipsis at the rectangle's right edge.
void DrawTabbedLine(QPainter& painter, const QRect& rect, const QString& text) {
    const QFontMetrics metrics = painter.fontMetrics();
    int offset = 0;
    const QStringList parts = text.split(QLatin1Char('\t'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0) offset = NextTabStop(offset, metrics.averageCharWidth());
        const int room = rect.width() - offset;
        if (room <= 0) return;
        const QString shown = metrics.elidedText(parts[i], Qt::ElideRight, room);
        painter.drawText(QRect(rect.left() + offset, rect.top(), room, metrics.height()),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, shown);
        if (shown != parts[i]) return;
        offset += metrics.horizontalAdvance(parts[i]);
    }
}

// Paints one entry as RecognizedPageModel's layout says.
class EntryDelegate final : public QStyledItemDelegate {
public:
    EntryDelegate(const RecognizedPageModel& model, QObject* parent) : QStyledItemDelegate(parent), model_(model) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return {option.rect.width(), kEntryHeight};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        if (index.row() < 0 || size_t(index.row()) >= model_.Count()) return;
        const recognition::RecognizedListItem& item = model_.At(size_t(index.row()));
        const QPalette& palette = option.palette;
        const EntryLayout layout = LayOutEntry(option.rect);
        painter->save();
        painter->setClipRect(option.rect);
        painter->fillRect(option.rect, palette.color(QPalette::Base));
        if (option.state.testFlag(QStyle::State_Selected)) {
            painter->setPen(palette.color(QPalette::Highlight));
            for (const QRect& frame : layout.selection) painter->drawRect(frame.adjusted(0, 0, -1, -1));
        }
        painter->fillRect(layout.strip, ListColour(item.person.listNumber));
        const QImage thumbnail = ImageFromMat(item.thumbnail);
        if (!thumbnail.isNull()) painter->drawImage(layout.thumbnail, thumbnail);

        const RecognizedEntryTexts texts = EntryTexts(item);
        painter->setPen(palette.color(QPalette::Text));
        painter->setFont(HeadlineFont());
        const int headlineHeight = painter->fontMetrics().height();
        const QFont lineFont = QApplication::font("QStatusBar");
        const EntryLines lines = LayOutEntryLines(layout.text.top(), headlineHeight, QFontMetrics(lineFont).height());
        DrawTabbedLine(*painter, QRect(layout.text.left(), lines.headlineTop, layout.text.width(), headlineHeight),
                       texts.headline);
        painter->setPen(kHeadlineRuleColour);
        painter->drawLine(layout.text.left(), lines.ruleY, layout.text.right(), lines.ruleY);

        painter->setPen(palette.color(QPalette::Text));
        painter->setFont(lineFont);
        const int lineHeight = painter->fontMetrics().height();
        DrawTabbedLine(*painter, QRect(layout.text.left(), lines.identityTop, layout.text.width(), lineHeight),
                       texts.identity);
        int y = lines.detailsTop;
        for (const QString* line : {&texts.address, &texts.contacts}) {
            if (line->isEmpty()) continue;
            DrawTabbedLine(*painter, QRect(layout.text.left(), y, layout.text.width(), lineHeight), *line);
            y += lineHeight + kDetailLineGap;
        }
        if (!texts.description.isEmpty() && y < layout.text.bottom()) {
            painter->drawText(QRect(layout.text.left(), y, layout.text.width(), layout.text.bottom() + 1 - y),
                              Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, texts.description);
        }
        painter->restore();
    }

private:
    const RecognizedPageModel& model_;
};

}  // namespace

// The list's rows for the view: the entries themselves are read by the delegate.
class RecognizedEntryItems final : public QAbstractListModel {
public:
    RecognizedEntryItems(const RecognizedPageModel& model, QObject* parent)
        : QAbstractListModel(parent), model_(model) {}

    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : int(model_.Count()); }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return {};
        if (!index.isValid() || size_t(index.row()) >= model_.Count()) return {};
        return EntryTexts(model_.At(size_t(index.row()))).headline;
    }
    void Reset() {
        beginResetModel();
        endResetModel();
    }

private:
    const RecognizedPageModel& model_;
};

RecognizedPage::RecognizedPage(recognition::RecognizedPersonsList& list, recognition::RememberedPersons& remembered,
                               const settings::SettingsHub& hub, QWidget* parent)
    : QWidget(parent), model_(list), remembered_(remembered), hub_(hub) {
    setObjectName(QStringLiteral("RecognizedPage"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* toolbar = new QToolBar(this);
    toolbar->setIconSize(QSize(16, 16));
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto addButton = [this, toolbar](int command, const QString& text, const QString& tip, QStyle::StandardPixmap icon,
                                     void (RecognizedPage::*run)()) {
        auto* button = new QToolButton(toolbar);
        button->setObjectName(QString::number(command));
        button->setText(text);
        button->setToolTip(tip);
        button->setIcon(style()->standardIcon(icon));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setAutoRaise(true);
        toolbar->addWidget(button);
        QObject::connect(button, &QToolButton::clicked, this, [this, run] { (this->*run)(); });
        return button;
    };
    info_ = addButton(kCmdPersonInfo, QStringLiteral("Инфо..."), QStringLiteral("Информация о распознанной персоне..."),
                      QStyle::SP_FileDialogInfoView, &RecognizedPage::ShowPersonInfo);
    remove_ = addButton(kCmdRemoveEntry, QStringLiteral("Удалить"), QStringLiteral("Удалить из списка"),
                        QStyle::SP_TrashIcon, &RecognizedPage::RemoveSelected);
    layout->addWidget(toolbar);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFixedHeight(1);
    layout->addWidget(line);

    view_ = new QListView(this);
    view_->setObjectName(QStringLiteral("1096"));
    view_->setFrameShape(QFrame::StyledPanel);
    view_->setFrameShadow(QFrame::Sunken);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setUniformItemSizes(true);
    view_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    items_ = new RecognizedEntryItems(model_, view_);
    view_->setModel(items_);
    view_->setItemDelegate(new EntryDelegate(model_, view_));
    QObject::connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                     [this] { SelectionChanged(); });
    layout->addWidget(view_, 1);
    RefreshCommands();

    expiryTimer_.setInterval(kExpiryInterval);
    QObject::connect(&expiryTimer_, &QTimer::timeout, this, [this] {
        remembered_.Expire(platform::OleDateNow(), hub_.Get(&settings::SettingsState::recognition)->RememberRecognized);
    });
    expiryTimer_.start();
}

RecognizedPage::~RecognizedPage() = default;

void RecognizedPage::Refresh() {
    items_->Reset();
    RestoreSelection();
    RefreshCommands();
}

void RecognizedPage::Redraw() { view_->viewport()->update(); }

void RecognizedPage::SelectionChanged() {
    const QModelIndexList selected = view_->selectionModel()->selectedIndexes();
    model_.Select(selected.isEmpty() ? -1 : selected.front().row());
    RefreshCommands();
}

void RecognizedPage::RestoreSelection() {
    const int row = model_.SelectedRow();
    QItemSelectionModel* selection = view_->selectionModel();
    if (row < 0) {
        selection->clearSelection();
        return;
    }
    // Selected without becoming current, which would scroll the view to it.
    selection->select(items_->index(row), QItemSelectionModel::ClearAndSelect);
}

void RecognizedPage::RefreshCommands() {
    info_->setEnabled(model_.CanShowInfo());
    remove_->setEnabled(model_.CanRemove());
}

void RecognizedPage::RemoveSelected() {
    if (!model_.RemoveSelected()) return;
    Refresh();
}

void RecognizedPage::ShowPersonInfo() {
    const recognition::RecognizedListItem* item = model_.Selected();
    if (item == nullptr) return;
    PersonInfoRecord record = PersonInfoFromEntry(*item);
    const QString connectionString = QString::fromUtf16(hub_.Snapshot()->DbConnectionString);
    QWidget* focused = QApplication::focusWidget();
    QWidget* owner = focused != nullptr ? focused->window() : window();
    OperatorBoxes ownerBoxes(owner);
    database::DbUserInterface& ui = dbUi_ != nullptr ? *dbUi_ : ownerBoxes;
    if (!LoadPersonInfo(ui, connectionString, record)) return;
    {
        PersonInfoDialog dialog(record, owner);
        dialog.exec();
    }
    if (CopyDetailsBack(model_.List(), record) == CopyBackResult::Copied) Redraw();
}

}  // namespace ui
