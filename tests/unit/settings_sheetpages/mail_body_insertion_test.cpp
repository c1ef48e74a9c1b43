// The "%" list of the multi-line mail body: it opens at the caret on any line, the chosen entry
// replaces the "%", and an entry that would take the body past its limit is not inserted.

#include "app/ui/mail_parameters_dialog.h"

#include <gtest/gtest.h>

#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>

namespace {

QAction* Entry(QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions())
        if (action->text().startsWith(text + u'\t')) return action;
    ADD_FAILURE() << text.toStdString();
    return nullptr;
}

TEST(MailBodyInsertion, PercentInTheBodyOpensTheEventsListAtTheCaret) {
    ui::MailParametersDialog dialog(actions::TemplateFamily::UnrecognizedMail,
                                    {{}, QStringLiteral("Тема"), QStringLiteral("Камера:\r\nконец")});
    dialog.show();
    auto* body = dialog.findChild<QPlainTextEdit*>(QStringLiteral("BodyFormat"));
    ASSERT_NE(body, nullptr);
    auto* menu = body->findChild<QMenu*>(QStringLiteral("UnrecognizedPersonMail"));
    ASSERT_NE(menu, nullptr);

    body->setFocus();
    QTextCursor cursor = body->textCursor();
    cursor.setPosition(7);  // after "Камера:", before the line break
    body->setTextCursor(cursor);
    QTest::keyClick(body, '%');
    ASSERT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000));
    Entry(menu, QStringLiteral("%КАМЕРА%"))->trigger();
    menu->close();
    EXPECT_EQ(body->toPlainText(), QStringLiteral("Камера:%КАМЕРА%\nконец"));
    EXPECT_EQ(body->textCursor().position(), 15);
    EXPECT_EQ(dialog.Parameters().body, QStringLiteral("Камера:%КАМЕРА%\r\nконец"));

    // Escape leaves the typed "%" alone; a full body takes no entry.
    QTest::keyClick(body, '%');
    ASSERT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000));
    QTest::keyClick(menu, Qt::Key_Escape);
    EXPECT_EQ(body->toPlainText(), QStringLiteral("Камера:%КАМЕРА%%\nконец"));
    body->setPlainText(QString(ui::MailParametersRules::kBodyMax - 1, u'a'));
    body->moveCursor(QTextCursor::End);
    QTest::keyClick(body, '%');
    ASSERT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000));
    Entry(menu, QStringLiteral("%ДЛИТ%"))->trigger();
    menu->close();
    EXPECT_EQ(body->toPlainText().size(), ui::MailParametersRules::kBodyMax);
    EXPECT_TRUE(body->toPlainText().endsWith(u'%'));
}

}  // namespace
