#pragma once
// Purpose: the modal "Информация о персоне..." dialog of a recognized entry: the photo area with
//          its arrows, the "Метрики" page of read-only fields and the "Дополнительно" list of
//          properties. It only shows a loaded PersonInfoRecord; the texts, the photo browsing and
//          the photo fitting come from person_info.h.
// Threads: the user-interface thread only.
// Owns: its child widgets (Qt parent ownership) and the photo browsing state.

#include "app/ui/person_info.h"

#include <QDialog>

class QTabWidget;
class QToolButton;

namespace ui {

// Control 1112: the current photo, centred and fitted.
class PersonPhotoArea final : public QWidget {
public:
    PersonPhotoArea(const std::vector<QImage>& photos, QWidget* parent);
    PhotoBrowsing& Browsing() { return browsing_; }
    // Where the current photo is drawn now; empty without photos.
    QRect PhotoRect() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    const std::vector<QImage>& photos_;
    PhotoBrowsing browsing_;
    double aspect_;  // width ÷ height when the dialog started
};

class PersonInfoDialog final : public QDialog {
public:
    // record must outlive the dialog.
    PersonInfoDialog(const PersonInfoRecord& record, QWidget* parent = nullptr);

    PersonPhotoArea* PhotoArea() const { return photo_; }
    QToolButton* PreviousArrow() const { return previous_; }
    QToolButton* NextArrow() const { return next_; }
    QTabWidget* Tabs() const { return tabs_; }

private:
    QWidget* MakeMetricsPage(const PersonInfoRecord& record);
    QWidget* MakePropertiesPage(const PersonInfoRecord& record);
    void Move(bool (PhotoBrowsing::*step)());
    void ShowArrows();

    PersonPhotoArea* photo_;
    QToolButton* previous_;
    QToolButton* next_;
    QTabWidget* tabs_;
};

}  // namespace ui
