#pragma once
// Drives modal dialogs of the program in a test: a dialog's exec() runs its own event loop, so
// the test's steps for it are queued before the command that opens it and run once it shows.

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace testsupport {

// Runs `act` once on the first modal dialog of type T shown from now on.
template <typename T>
void WhenModal(std::function<void(T&)> act) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, act = std::move(act)] {
        auto* dialog = dynamic_cast<T*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        timer->stop();
        timer->deleteLater();
        act(*dialog);
    });
    timer->start();
}

// The named child of a dialog, which the test cannot go on without.
template <typename Child>
Child& Named(QWidget& parent, const char* name) {
    auto* child = parent.findChild<Child*>(QString::fromLatin1(name));
    if (child == nullptr) qFatal("no child named %s", name);
    return *child;
}

// Replaces the field's text as typing does (the field's edit signals fire); any letters, where
// QTest's key clicks know only ASCII.
inline void TypeInto(QLineEdit& edit, const QString& text) {
    edit.selectAll();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(&edit, &press);
}

}  // namespace testsupport
