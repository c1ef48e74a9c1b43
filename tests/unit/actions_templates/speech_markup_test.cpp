#include "app/actions/speech_markup.h"
#include "app/actions/template_vocabulary.h"

#include <QXmlStreamReader>

#include "tests/unit/actions_templates/qstring_printer.h"

#include <gtest/gtest.h>

namespace {

// The SSML between <speak> and </speak>, after checking the whole is well-formed XML.
QString Body(QStringView text) {
    const QString ssml = actions::SpeechTextToSsml(text).ssml;
    QXmlStreamReader reader(ssml);
    while (!reader.atEnd()) reader.readNext();
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString() << " in " << ssml.toStdString();
    EXPECT_TRUE(ssml.startsWith(u"<speak>") && ssml.endsWith(u"</speak>")) << ssml.toStdString();
    return ssml.mid(7, ssml.size() - 15);
}

TEST(SpeechMarkupTest, TheFourEngineTagsBecomeSsml) {
    EXPECT_EQ(Body(u"Псевдоним <spell>шеф</spell>."), u"Псевдоним <say-as interpret-as=\"characters\">шеф</say-as>.");
    EXPECT_EQ(Body(u"<emph>Внимание</emph>"), u"<emphasis>Внимание</emphasis>");
    EXPECT_EQ(Body(u"раз<silence msec=\"1000\"/>два"), u"раз<break time=\"1000ms\"/>два");
    EXPECT_EQ(Body(u"<lang langid=\"409\">Hello</lang> мир"), u"<voice xml:lang=\"en\">Hello</voice> мир");
    // Written the way XML allows: any case, spaces, single quotes, other attributes.
    EXPECT_EQ(Body(u"<SPELL>a</Spell><silence  MSEC = '250' ></silence><Lang LangId='419;9' x=\"1\">б</LANG>"),
              u"<say-as interpret-as=\"characters\">a</say-as><break time=\"250ms\"/><voice xml:lang=\"ru\">б</voice>");
    EXPECT_EQ(Body(u"<silence msec=\"007\"/><silence msec=\"12345678901234\"/>"),
              u"<break time=\"7ms\"/><break time=\"999999999ms\"/>");
}

TEST(SpeechMarkupTest, EveryTagTheSpeechListInsertsIsUnderstood) {
    for (const actions::InsertionEntry& entry : actions::InsertionListOf(actions::TemplateFamily::Speech).entries) {
        if (!entry.text.startsWith(u'<')) continue;
        const QString body = Body(entry.text);
        EXPECT_FALSE(body.isEmpty() || body.contains(u"&lt;")) << entry.text.toString().toStdString();
    }
}

TEST(SpeechMarkupTest, TextThatIsNoTagIsEscapedAndSpoken) {
    EXPECT_EQ(Body(u"5 < 7 & 9 > 3"), u"5 &lt; 7 &amp; 9 &gt; 3");
    EXPECT_EQ(Body(u"AT&T; ООО \"Рога & копыта\""), u"AT&amp;T; ООО \"Рога &amp; копыта\"");
    EXPECT_EQ(Body(u"<Иван> <1> < spell> <spell"), u"&lt;Иван&gt; &lt;1&gt; &lt; spell&gt; &lt;spell");
    EXPECT_EQ(Body(u"<silence msec=\"1000\"<"), u"&lt;silence msec=\"1000\"&lt;");
    EXPECT_EQ(Body(u"<silence msec=1000/>"), u"&lt;silence msec=1000/&gt;");
    EXPECT_EQ(Body(u"]]> <!-- x -->"), u"]]&gt; &lt;!-- x --&gt;");
    // References the engine would have read stay; numeric ones become their character.
    EXPECT_EQ(Body(u"&amp; &lt; &#1055; &#x41F; &#60; &#0; &#xD800; &#12a; &bogus;"),
              u"&amp; &lt; П П &lt; &amp;#0; &amp;#xD800; &amp;#12a; &amp;bogus;");
    // Characters XML cannot carry become spaces; a proper surrogate pair stays.
    EXPECT_EQ(Body(u"a\u0001b\u0007c"), u"a b c");
    const char16_t pair[] = {u'x', 0xD83D, 0xDE00, 0xD800, u'y', 0};
    EXPECT_EQ(Body(pair), QString::fromUtf16(u"x\U0001F600 y"));
}

TEST(SpeechMarkupTest, MalformedMarkupStillGivesAWellFormedDocument) {
    // Left open: closed at the end, innermost first.
    EXPECT_EQ(Body(u"<spell><emph>аб"), u"<say-as interpret-as=\"characters\"><emphasis>аб</emphasis></say-as>");
    // Closed without being opened: dropped.
    EXPECT_EQ(Body(u"аб</spell></lang></emph></silence>"), u"аб");
    // Crossed: the outer closing tag closes the inner element too; the late inner one is dropped.
    EXPECT_EQ(Body(u"<spell>а<emph>б</spell>в</emph>"),
              u"<say-as interpret-as=\"characters\">а<emphasis>б</emphasis></say-as>в");
    // Other tags of the engine, and empty ones, are not read out.
    EXPECT_EQ(Body(u"<volume level=\"50\">тихо</volume><spell/><pitch middle=\"5\"/>"), u"тихо");
    // Pauses that are no number, and languages eSpeak does not know, are dropped without
    // unbalancing anything.
    EXPECT_EQ(Body(u"<silence msec=\"-5\"/><silence msec=\"\"/><silence/><silence msec=\"1e3\"/>"), u"");
    EXPECT_EQ(Body(u"<lang langid=\"411\">a<lang>b</lang>c</lang><lang langid=\"zz\">d"), u"abcd");
    EXPECT_EQ(Body(u"<lang langid=\"409\">a<lang langid=\"407\">b</lang>c"),
              u"<voice xml:lang=\"en\">a<voice xml:lang=\"de\">b</voice>c</voice>");
    EXPECT_EQ(Body(u""), u"");
}

TEST(SpeechMarkupTest, PositionsLeadBackToTheOriginalText) {
    const QString text = QStringLiteral("Это <spell>шеф</spell> & Ко");
    const actions::SsmlText ssml = actions::SpeechTextToSsml(text);
    ASSERT_EQ(ssml.sourcePositions.size(), static_cast<size_t>(ssml.ssml.size()) + 1);
    // Each word of the SSML maps onto the same word of the text.
    for (QStringView word : {u"Это", u"шеф", u"Ко"}) {
        const qsizetype at = ssml.ssml.indexOf(word);
        ASSERT_GE(at, 0);
        EXPECT_EQ(text.mid(ssml.SourcePosition(at), word.size()), word);
    }
    EXPECT_EQ(ssml.SourcePosition(ssml.ssml.indexOf(u"&amp;")), text.indexOf(u'&'));
    EXPECT_EQ(ssml.SourcePosition(ssml.ssml.size()), text.size());
    EXPECT_EQ(ssml.SourcePosition(-3), 0);
}

}  // namespace
