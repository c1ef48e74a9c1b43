#include "app/ui/image_file_dialog.h"

#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QToolBar>
#include <QToolButton>

namespace ui {

const std::vector<ImageFileFilter>& ImageFileFilters() {
    // "*.*" matches every file, also one without an extension, as the operator expects of it.
    static const std::vector<ImageFileFilter> filters{
        {QStringLiteral("Точечные рисунки (*.bmp;*.png;*.jpg;*.gif)"),
         {QStringLiteral("*.bmp"), QStringLiteral("*.png"), QStringLiteral("*.jpg"), QStringLiteral("*.gif")}},
        {QStringLiteral("Все файлы (*.*)"), {QStringLiteral("*")}},
    };
    return filters;
}

namespace {

// Qt reads a filter's patterns as separated by blanks; the filters name theirs with semicolons, so
// the dialog's file list gets the patterns set by hand whenever a filter is chosen.
void MatchFilterPatterns(QFileDialog& dialog, const QString& filterText) {
    auto* files = dialog.findChild<QFileSystemModel*>();
    if (files == nullptr) return;
    for (const ImageFileFilter& filter : ImageFileFilters()) {
        if (filter.text == filterText) files->setNameFilters(filter.patterns);
    }
}

}  // namespace

std::optional<QString> ChooseImageFile(QWidget* owner) {
    QFileDialog dialog(owner);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    QStringList texts;
    for (const ImageFileFilter& filter : ImageFileFilters()) texts << filter.text;
    dialog.setNameFilters(texts);
    dialog.selectNameFilter(texts.front());
    MatchFilterPatterns(dialog, texts.front());
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString& text) { MatchFilterPatterns(dialog, text); });
    const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    // The dialog may have moved the current directory; relative program paths count on it.
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    if (!chosen) return std::nullopt;
    return dialog.selectedFiles().front();
}

bool ClipboardHoldsBitmap() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data != nullptr && data->hasImage();
}

PictureAddActions CreatePictureAddActions(QWidget* owner, std::function<void(const QString& path)> onFile,
                                          std::function<void()> onClipboard) {
    PictureAddActions actions;
    actions.fromFile = new QAction(QStringLiteral("Добавить из файла..."), owner);
    actions.fromClipboard = new QAction(QStringLiteral("Добавить из буфера обмена"), owner);
    QObject::connect(actions.fromFile, &QAction::triggered, owner, [owner, onFile = std::move(onFile)] {
        if (const std::optional<QString> path = ChooseImageFile(owner->window())) onFile(*path);
    });
    QObject::connect(actions.fromClipboard, &QAction::triggered, owner,
                     [onClipboard = std::move(onClipboard)] { onClipboard(); });
    return actions;
}

QToolButton* AddPictureButton(QToolBar* toolbar, const PictureAddActions& actions, const QString& toolTip) {
    auto* menu = new QMenu(toolbar);
    menu->addAction(actions.fromFile);
    menu->addAction(actions.fromClipboard);
    auto* button = new QToolButton(toolbar);
    button->setText(QStringLiteral("Добавить..."));
    button->setToolTip(toolTip);
    button->setMenu(menu);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setObjectName(QStringLiteral("add"));
    toolbar->addWidget(button);
    return button;
}

}  // namespace ui
