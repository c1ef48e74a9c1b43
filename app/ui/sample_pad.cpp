#include "app/ui/sample_pad.h"

#include "app/ui/pad_marks.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace ui {

namespace {

const QString kItemName = QStringLiteral("Vektra:OSTROVID_V2:PERSON:SAMPLES:ITEM");
constexpr int kCell = browser::SamplePadModel::kCellSize;
constexpr int kMark = browser::SamplePadModel::kMarkSize;
constexpr int kImageMargin = 5;

}  // namespace

void SamplePad::CommandActions::SetEnabled(bool enabled) const {
    button->setEnabled(enabled);
    item->setEnabled(enabled);
}

SamplePad::SamplePad(QWidget* parent) : ItemPad(parent) {
    setObjectName(QStringLiteral("Vektra:OSTROVID_V2:PERSON:SAMPLES:PAD"));
    add_ = CreatePictureAddActions(
        this,
        [this](const QString& path) {
            ClearClustersThen([this, path] {
                if (onAddFromFile) onAddFromFile(path);
            });
        },
        [this] {
            ClearClustersThen([this] {
                if (onAddFromClipboard) onAddFromClipboard();
            });
        });
    const auto removeSamples = [this] { RunWithTarget(onDelete); };
    const auto cutSamples = [this] { RunWithTarget(onCut); };
    const auto pasteSamples = [this] {
        RefreshCommands();
        if (paste_.item->isEnabled() && onPaste) onPaste();
    };
    const auto showClusters = [this] {
        RefreshCommands();
        if (clusters_.item->isEnabled() && onClusters) ClearClustersThen(onClusters);
    };

    selectAll_ = AddCommand(QStringLiteral("Выбрать все"), QKeySequence(Qt::CTRL | Qt::Key_A), [this] {
        model_.SelectAll();
        Place();
    });
    clearAll_ = AddCommand(QStringLiteral("Снять выбор со всех"), QKeySequence(Qt::CTRL | Qt::Key_D), [this] {
        model_.ClearAll();
        Place();
    });
    cut_.item =
        AddCommand(QStringLiteral("Вырезать выбранные образцы"), QKeySequence(Qt::CTRL | Qt::Key_X), cutSamples);
    paste_.item =
        AddCommand(QStringLiteral("Вставить вырезанные образцы"), QKeySequence(Qt::CTRL | Qt::Key_V), pasteSamples);
    remove_.item = AddCommand(QStringLiteral("Удалить выбранные образцы"), QKeySequence::Delete, removeSamples);
    clusters_.item = AddCommand(QStringLiteral("Показать кластеры персон"), QKeySequence(), showClusters);

    itemMenu_ = new QMenu(this);
    itemMenu_->addAction(selectAll_);
    itemMenu_->addAction(clearAll_);
    itemMenu_->addSeparator();
    itemMenu_->addAction(cut_.item);
    itemMenu_->addAction(paste_.item);
    itemMenu_->addSeparator();
    itemMenu_->addAction(add_.fromFile);
    itemMenu_->addAction(add_.fromClipboard);
    itemMenu_->addAction(remove_.item);
    itemMenu_->addSeparator();
    itemMenu_->addAction(clusters_.item);

    auto* toolbar = new QToolBar(this);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    addButton_ = AddPictureButton(toolbar, add_, QStringLiteral("Добавить образец персоны..."));
    const auto addButton = [toolbar](const QString& text, const QString& toolTip, const std::function<void()>& run) {
        QAction* action = toolbar->addAction(text);
        action->setToolTip(toolTip);
        QObject::connect(action, &QAction::triggered, toolbar, run);
        return action;
    };
    remove_.button =
        addButton(QStringLiteral("Удалить"), QStringLiteral("Удалить выбранные образцы персоны"), removeSamples);
    cut_.button =
        addButton(QStringLiteral("Вырезать"), QStringLiteral("Вырезать выбранные образцы (Ctrl+X)"), cutSamples);
    paste_.button =
        addButton(QStringLiteral("Вставить"), QStringLiteral("Вставить вырезанные образцы (Ctrl+V)"), pasteSamples);
    clusters_.button = addButton(QStringLiteral("Кластеры"), QStringLiteral("Показать кластеры персон"), showClusters);

    viewport_ = new QWidget(this);
    viewport_->setObjectName(QStringLiteral("Vektra:OSTROVID_V2:PERSON:SAMPLES:VIEWPORT"));
    viewport_->setFocusPolicy(Qt::StrongFocus);
    viewport_->setMinimumSize(kCell, kCell);
    viewport_->setAutoFillBackground(true);
    scrollBar_ = new QScrollBar(Qt::Vertical, this);
    QObject::connect(scrollBar_, &QScrollBar::valueChanged, this, [this](int row) {
        model_.SetTopRow(row);
        Place();
    });
    // Resizes reach Place() only once the scroll bar exists.
    viewport_->installEventFilter(this);

    auto* grid = new QHBoxLayout;
    grid->setSpacing(0);
    grid->addWidget(viewport_, 1);
    grid->addWidget(scrollBar_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolbar);
    layout->addLayout(grid, 1);

    QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] { RefreshCommands(); });
    ShowNoPerson();
}

QAction* SamplePad::AddCommand(const QString& text, const QKeySequence& shortcut, std::function<void()> run) {
    auto* action = new QAction(text, this);
    action->setShortcut(shortcut);
    // The keys work while the focus is in the pad, not elsewhere in the browser.
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(action, &QAction::triggered, this, std::move(run));
    addAction(action);
    return action;
}

void SamplePad::SetSampleClipboard(const database::SampleClipboard* clipboard) {
    clipboard_ = clipboard;
    RefreshCommands();
}

void SamplePad::RefreshCommands() {
    const browser::SamplePadCommands commands = model_.Commands(ClipboardHoldsBitmap(), clipboard_);
    add_.fromFile->setEnabled(commands.addFromFile);
    add_.fromClipboard->setEnabled(commands.addFromClipboard);
    addButton_->setEnabled(commands.addFromFile);
    selectAll_->setEnabled(commands.selectAll);
    clearAll_->setEnabled(commands.clearAll);
    remove_.SetEnabled(commands.remove);
    cut_.SetEnabled(commands.cut);
    paste_.SetEnabled(commands.paste);
    clusters_.SetEnabled(commands.clusters);
}

void SamplePad::ShowSamples(int32_t personId, const std::vector<database::StoredSample>& samples) {
    std::vector<browser::SampleItem> items;
    items.reserve(samples.size());
    for (const database::StoredSample& sample : samples) items.push_back(browser::SampleItem::FromStored(sample));
    model_.ShowPerson(personId, std::move(items));
    RebuildItems(static_cast<size_t>(model_.Count()), kItemName);
}

void SamplePad::ShowNoPerson() {
    model_.ShowNoPerson();
    RebuildItems(static_cast<size_t>(model_.Count()), kItemName);
}

void SamplePad::AddSample(int32_t sampleId, const QByteArray& image, const recognition::FaceDescriptor& descriptor) {
    model_.Add(browser::SampleItem::FromStored({sampleId, image, descriptor}));
    RebuildItems(static_cast<size_t>(model_.Count()), kItemName);
}

void SamplePad::RemoveSamples(const std::vector<int32_t>& sampleIds) {
    model_.Remove(sampleIds);
    RebuildItems(static_cast<size_t>(model_.Count()), kItemName);
}

void SamplePad::SetClusterLabels(const std::vector<int>& labels) {
    model_.SetClusterLabels(labels);
    Place();
}

void SamplePad::RunWithTarget(const std::function<void(const browser::SampleTarget&)>& command) {
    const std::optional<browser::SampleTarget> target = model_.Target();
    if (target && command) command(*target);
}

void SamplePad::ClearClustersThen(const std::function<void()>& command) {
    model_.ClearClusterLabels();
    Place();
    command();
}

void SamplePad::Place() {
    model_.SetViewport(viewport_->width(), viewport_->height());
    {
        const QSignalBlocker block(scrollBar_);
        scrollBar_->setRange(0, model_.ScrollRange());
        scrollBar_->setPageStep(model_.PageRows());
        scrollBar_->setValue(model_.TopRow());
    }
    for (size_t i = 0; i < items_.size(); ++i) {
        items_[i]->setGeometry(model_.CellRect(static_cast<int>(i)));
        items_[i]->update();
    }
    RefreshCommands();
}

bool SamplePad::HandleKey(int key) {
    if (key == Qt::Key_Space) {
        if (model_.ToggleCurrent()) Place();
        return true;
    }
    const std::optional<browser::GridKey> gridKey = browser::GridKeyOf(key);
    if (!gridKey) return false;
    if (model_.Key(*gridKey)) Place();
    return true;
}

void SamplePad::ClickAt(QPoint viewportPoint, Qt::MouseButton button) {
    model_.Click(viewportPoint, button == Qt::LeftButton ? browser::PadButton::Left : browser::PadButton::Right);
}

bool SamplePad::ViewportKey(const QKeyEvent& press) {
    if (press.modifiers() != Qt::NoModifier && press.modifiers() != Qt::KeypadModifier) return false;
    return HandleKey(press.key());
}

void SamplePad::PaintItem(QWidget* item, int index) {
    const browser::SampleItem& sample = model_.Items()[index];
    QPainter painter(item);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect room = item->rect().adjusted(kImageMargin, kImageMargin, -kImageMargin, -kImageMargin);
    if (sample.image.isNull()) {
        painter.fillRect(room, palette().color(QPalette::Mid));
    } else {
        QRect drawn(QPoint(), sample.image.size().scaled(room.size(), Qt::KeepAspectRatio));
        drawn.moveCenter(room.center());
        painter.drawImage(drawn, sample.image);
    }
    DrawSelectionMark(painter, item->rect(), kMark, sample.selected);
    if (sample.cluster > 0) DrawClusterNumber(painter, item->rect(), kMark, sample.cluster);
    if (model_.Current() == index) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 3));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(item->rect()).adjusted(1.5, 1.5, -1.5, -1.5));
    }
}

}  // namespace ui
