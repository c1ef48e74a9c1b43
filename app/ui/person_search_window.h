#pragma once
// Purpose: the search window "Поиск персоны": a panel that slides down from the top of its parent
//          over a person list, with the search fields, the three search buttons and a status bar.
//          The rules (matching, directions, enabling, status) live in browser::PersonSearch.
// Threads: the user-interface thread only.
// Owns: the entered values (through the search) and its child widgets (Qt parent ownership).

#include "app/browser/person_search.h"

#include <QFrame>

#include <chrono>
#include <functional>

class QLabel;
class QPropertyAnimation;
class QPushButton;
class QWidget;

namespace ui {

class PersonListPanel;

class PersonSearchWindow final : public QFrame {
public:
    static constexpr std::chrono::milliseconds kSlideIn{200};
    static constexpr std::chrono::milliseconds kSlideOut{300};

    // list: the list searched (it must outlive this window); parent: the window it slides over.
    PersonSearchWindow(PersonListPanel& list, QWidget* parent);

    // Slides in from the top of the parent (or stays) and focuses the first field.
    void SlideIn();
    // Slides up out of sight and hides.
    void SlideOut();

    // A person was found and selected in the list (the browser shows the card's first page).
    std::function<void()> found;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Run(browser::SearchDirection direction);
    void Refresh();
    void Slide(int toY, std::chrono::milliseconds duration);
    int CentredX() const;

    PersonListPanel& list_;
    browser::PersonSearch search_;
    QPushButton* fromTop_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* previous_ = nullptr;
    QLabel* statusIcon_ = nullptr;
    QLabel* statusText_ = nullptr;
    QWidget* firstField_ = nullptr;
    QPropertyAnimation* animation_ = nullptr;
    bool leaving_ = false;  // sliding out: hidden at the end
};

}  // namespace ui
