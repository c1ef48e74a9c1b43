// The speech test dialogs' rules at their edges and the arithmetic of the "%" insertion list.

#include "app/actions/speech_test_state.h"
#include "app/actions/template_insertion.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

using actions::SpeechProgress;
using actions::SpeechTestKind;
using actions::SpeechTestState;
using actions::TextSelection;

SpeechProgress Word(qsizetype position, qsizetype length) { return {SpeechProgress::Kind::Word, position, length}; }
const SpeechProgress kEnd{SpeechProgress::Kind::EndOfText, 0, 0};

TEST(SpeechTestState, ReportsAreHeldToTheTextAndALateOneLeavesTheOperatorAlone) {
    SpeechTestState state(SpeechTestKind::PersonText, QStringLiteral("Добрый день, шеф"));
    ASSERT_TRUE(state.Speak());
    EXPECT_EQ(state.Speak(), std::nullopt);  // not twice at once
    state.OnProgress(Word(13, 100));
    EXPECT_EQ(state.Selection(), (TextSelection{13, 3}));
    state.OnProgress(Word(-5, -1));
    EXPECT_EQ(state.Selection(), (TextSelection{0, 0}));
    state.OnProgress(Word(1, std::numeric_limits<qsizetype>::max()));
    EXPECT_EQ(state.Selection(), (TextSelection{1, 15}));
    state.OnProgress(kEnd);
    state.Edit(QStringLiteral("Привет"));
    state.OnProgress(Word(0, 3));
    EXPECT_EQ(state.Selection(), std::nullopt);

    // A text of tags alone may end without a word.
    SpeechTestState silent(SpeechTestKind::Pronunciation, QStringLiteral("<silence msec=\"1000\"/>"));
    ASSERT_TRUE(silent.Speak());
    silent.OnProgress(kEnd);
    EXPECT_FALSE(silent.FieldReadOnly());
    EXPECT_EQ(silent.Selection(), (TextSelection{0, silent.Text().size()}));
}

TEST(SpeechTestState, TypingIsCutAtTheLimitButAStoredTextIsNotAndAnEmptyOneIsNotSpoken) {
    SpeechTestState state(SpeechTestKind::Template, QStringLiteral("а"));
    state.Edit(QString(300, u'я'));
    EXPECT_EQ(state.Text().size(), 255);
    state.Edit({});
    EXPECT_EQ(state.Speak(), std::nullopt);  // an empty text would never report its end
    EXPECT_EQ(SpeechTestState(SpeechTestKind::PersonText, QString(256, u'ж')).TextLimit(), 256);
}

TEST(TemplateInsertion, TheTypedPercentGivesWayToTheEntryUnlessTheFieldWouldOverflow) {
    struct Case {
        QString text;
        qsizetype caret;
        QString entry;
        QString result;  // empty: refused
        qsizetype newCaret;
    };
    const QString full = QString(250, u'ы') + u'%';
    const Case cases[] = {
        {"%Ф%%", 4, "<emph></emph>", "%Ф%<emph></emph>", 16},  // only the "%" just typed
        {"Камера:\r\n%\r\nконец", 10, "%КАМЕРА%", "Камера:\r\n%КАМЕРА%\r\nконец", 17},
        {"шеф", 0, "%И%", "%И%шеф", 3},  // the "%" is gone: at the caret
        {"ab", 99, "%О%", "ab%О%", 5},
        {full, 251, "%ФИО%", QString(250, u'ы') + "%ФИО%", 255},
        {full, 251, "<lang langid=\"409\"></lang>", {}, 0},
    };
    for (const Case& c : cases) {
        const auto insertion = actions::PlanInsertion(c.text, c.caret, c.entry, 255);
        if (c.result.isEmpty()) {
            EXPECT_FALSE(insertion.has_value()) << c.entry.toStdString();
            continue;
        }
        ASSERT_TRUE(insertion) << c.text.toStdString();
        EXPECT_EQ(actions::ApplyInsertion(c.text, *insertion), c.result);
        EXPECT_EQ(insertion->Caret(), c.newCaret) << c.text.toStdString();
    }
}

}  // namespace
