#include "app/actions/speech_markup.h"

#include <algorithm>
#include <optional>

namespace actions {

namespace {

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsNameChar(char16_t c) { return IsAsciiLetter(c) || IsAsciiDigit(c) || c == u'_' || c == u'-' || c == u':'; }
bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

// A character XML 1.0 allows in content (surrogates are checked in pairs by the caller).
bool IsXmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

struct Attribute {
    QStringView name;
    QStringView value;
};

// One tag as written: "<name attr="v">", "<name/>" or "</name>".
struct Tag {
    enum class Form { Open, SelfClosing, Close };
    Form form = Form::Open;
    QString name;  // lower case
    std::vector<Attribute> attributes;
    qsizetype end = 0;  // just past the ">"

    std::optional<QStringView> AttributeValue(QStringView attributeName) const {
        for (const Attribute& attribute : attributes)
            if (attribute.name.compare(attributeName, Qt::CaseInsensitive) == 0) return attribute.value;
        return std::nullopt;
    }
};

class TagReader {
public:
    TagReader(QStringView text, qsizetype start) : text_(text), at_(start + 1) {}

    // The tag starting at the "<", or nothing when the text there is no well-formed tag.
    std::optional<Tag> Read() {
        Tag tag;
        if (Peek() == u'/') {
            tag.form = Tag::Form::Close;
            ++at_;
        }
        const QStringView name = Name();
        if (name.isEmpty()) return std::nullopt;
        tag.name = name.toString().toLower();
        for (;;) {
            const bool spaced = SkipSpaces();
            if (Peek() == u'>') break;
            if (tag.form == Tag::Form::Open && Peek() == u'/' && Peek(1) == u'>') {
                tag.form = Tag::Form::SelfClosing;
                ++at_;
                break;
            }
            if (!spaced || tag.form == Tag::Form::Close) return std::nullopt;
            const QStringView attributeName = Name();
            if (attributeName.isEmpty()) return std::nullopt;
            SkipSpaces();
            if (Peek() != u'=') return std::nullopt;
            ++at_;
            SkipSpaces();
            const char16_t quote = Peek();
            if (quote != u'"' && quote != u'\'') return std::nullopt;
            const qsizetype valueStart = ++at_;
            while (at_ < text_.size() && text_[at_] != quote && text_[at_] != u'<') ++at_;
            if (Peek() != quote) return std::nullopt;
            tag.attributes.push_back({attributeName, text_.sliced(valueStart, at_ - valueStart)});
            ++at_;
        }
        tag.end = at_ + 1;
        return tag;
    }

private:
    char16_t Peek(qsizetype ahead = 0) const {
        return at_ + ahead < text_.size() ? text_[at_ + ahead].unicode() : char16_t(0);
    }
    QStringView Name() {
        const qsizetype start = at_;
        if (!IsAsciiLetter(Peek())) return {};
        while (IsNameChar(Peek())) ++at_;
        return text_.sliced(start, at_ - start);
    }
    bool SkipSpaces() {
        const qsizetype start = at_;
        while (IsSpace(Peek())) ++at_;
        return at_ > start;
    }

    QStringView text_;
    qsizetype at_;
};

// The language code eSpeak NG knows for a Windows language id in hex ("409", "419;9"); only the
// primary language counts.
QStringView LanguageCode(QStringView langid) {
    bool ok = false;
    const uint id = langid.left(langid.indexOf(u';')).trimmed().toUInt(&ok, 16);
    if (!ok) return {};
    switch (id & 0x3FF) {
    case 0x07:
        return u"de";
    case 0x09:
        return u"en";
    case 0x0A:
        return u"es";
    case 0x0C:
        return u"fr";
    case 0x10:
        return u"it";
    case 0x19:
        return u"ru";
    case 0x22:
        return u"uk";
    default:
        return {};
    }
}

// A pause in milliseconds as decimal digits; nothing for anything else. Absurd lengths are cut to
// just under twelve days rather than overflow the engine.
std::optional<QString> PauseMilliseconds(QStringView msec) {
    msec = msec.trimmed();
    if (msec.isEmpty() || !std::all_of(msec.begin(), msec.end(), [](QChar c) { return IsAsciiDigit(c.unicode()); }))
        return std::nullopt;
    while (msec.size() > 1 && msec.front() == u'0') msec = msec.sliced(1);
    return msec.size() > 9 ? QStringLiteral("999999999") : msec.toString();
}

// The character of "#1055" or "#x41F" (the text between "&" and ";"), when it may stand in XML.
std::optional<char32_t> NumericReference(QStringView body) {
    if (!body.startsWith(u'#')) return std::nullopt;
    const bool hex = body.startsWith(u"#x");
    const QStringView digits = body.sliced(hex ? 2 : 1);
    const bool wellFormed =
        !digits.isEmpty() && digits.size() <= 8 && std::all_of(digits.begin(), digits.end(), [hex](QChar c) {
            const char16_t u = c.unicode();
            return IsAsciiDigit(u) || (hex && ((u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F')));
        });
    if (!wellFormed) return std::nullopt;
    const char32_t code = digits.toUInt(nullptr, hex ? 16 : 10);
    if (!IsXmlChar(code)) return std::nullopt;
    return code;
}

enum class Element { Spell, Emphasis, Language };

struct OpenElement {
    Element element;
    QStringView closing;  // empty for a <lang> whose language eSpeak does not know
};

class SsmlWriter {
public:
    explicit SsmlWriter(QStringView text) : text_(text) {}

    SsmlText Translate() {
        Emit(u"<speak>", 0);
        qsizetype at = 0;
        while (at < text_.size()) at = Step(at);
        while (!open_.empty()) CloseTop(text_.size());
        Emit(u"</speak>", text_.size());
        result_.sourcePositions.push_back(text_.size());
        return std::move(result_);
    }

private:
    // Writes what starts at `at` and returns where the next piece starts.
    qsizetype Step(qsizetype at) {
        const char16_t c = text_[at].unicode();
        if (c == u'<') {
            if (const std::optional<Tag> tag = TagReader(text_, at).Read()) {
                Apply(*tag, at);
                return tag->end;
            }
            Emit(u"&lt;", at);
            return at + 1;
        }
        if (c == u'&') return Reference(at);
        if (c == u'>') {
            Emit(u"&gt;", at);
            return at + 1;
        }
        if (QChar::isHighSurrogate(c) && at + 1 < text_.size() && QChar::isLowSurrogate(text_[at + 1].unicode())) {
            Emit(text_.sliced(at, 2), at);
            return at + 2;
        }
        // Control characters and lone surrogates cannot appear in XML; they are read as a space.
        const bool allowed = !QChar::isSurrogate(c) && IsXmlChar(c);
        Emit(allowed ? text_.sliced(at, 1) : QStringView(u" "), at);
        return at + 1;
    }

    // "&amp;" and its kind pass as they are; a numeric reference becomes its character; any other
    // "&" is text.
    qsizetype Reference(qsizetype at) {
        const qsizetype semicolon = text_.indexOf(u';', at + 1);
        const QStringView body = semicolon > at ? text_.sliced(at + 1, semicolon - at - 1) : QStringView();
        for (QStringView named : {u"amp", u"lt", u"gt", u"quot", u"apos"}) {
            if (body == named) {
                Emit(text_.sliced(at, semicolon - at + 1), at);
                return semicolon + 1;
            }
        }
        if (const std::optional<char32_t> code = NumericReference(body)) {
            EmitCharacter(*code, at);
            return semicolon + 1;
        }
        Emit(u"&amp;", at);
        return at + 1;
    }

    void EmitCharacter(char32_t code, qsizetype at) {
        switch (code) {
        case U'<':
            Emit(u"&lt;", at);
            return;
        case U'>':
            Emit(u"&gt;", at);
            return;
        case U'&':
            Emit(u"&amp;", at);
            return;
        default:
            Emit(QString::fromUcs4(&code, 1), at);
        }
    }

    void Apply(const Tag& tag, qsizetype at) {
        if (tag.name == u"silence") {
            if (tag.form == Tag::Form::Close) return;
            if (const auto msec = tag.AttributeValue(u"msec")) {
                if (const std::optional<QString> pause = PauseMilliseconds(*msec))
                    Emit(QStringLiteral("<break time=\"%1ms\"/>").arg(*pause), at);
            }
            return;
        }
        std::optional<Element> element;
        if (tag.name == u"spell") element = Element::Spell;
        if (tag.name == u"emph") element = Element::Emphasis;
        if (tag.name == u"lang") element = Element::Language;
        // Tags of the engine that eSpeak has no use for are dropped, as is an empty <spell/>.
        if (!element || tag.form == Tag::Form::SelfClosing) return;
        if (tag.form == Tag::Form::Close) {
            CloseThrough(*element, at);
            return;
        }
        switch (*element) {
        case Element::Spell:
            Open({Element::Spell, u"</say-as>"}, u"<say-as interpret-as=\"characters\">", at);
            return;
        case Element::Emphasis:
            Open({Element::Emphasis, u"</emphasis>"}, u"<emphasis>", at);
            return;
        case Element::Language: {
            const QStringView language = LanguageCode(tag.AttributeValue(u"langid").value_or(QStringView()));
            if (language.isEmpty())
                Open({Element::Language, {}}, {}, at);
            else
                Open({Element::Language, u"</voice>"}, QStringLiteral("<voice xml:lang=\"%1\">").arg(language), at);
            return;
        }
        }
    }

    void Open(OpenElement element, QStringView markup, qsizetype at) {
        Emit(markup, at);
        open_.push_back(element);
    }

    // A closing tag closes the innermost element of its kind and every element opened inside it;
    // one without an open element of its kind is dropped.
    void CloseThrough(Element element, qsizetype at) {
        const auto match = std::find_if(open_.rbegin(), open_.rend(),
                                        [element](const OpenElement& open) { return open.element == element; });
        if (match == open_.rend()) return;
        const size_t keep = open_.size() - static_cast<size_t>(match - open_.rbegin()) - 1;
        while (open_.size() > keep) CloseTop(at);
    }

    void CloseTop(qsizetype at) {
        Emit(open_.back().closing, at);
        open_.pop_back();
    }

    void Emit(QStringView piece, qsizetype sourcePosition) {
        result_.ssml += piece;
        result_.sourcePositions.insert(result_.sourcePositions.end(), piece.size(), sourcePosition);
    }

    QStringView text_;
    std::vector<OpenElement> open_;
    SsmlText result_;
};

}  // namespace

qsizetype SsmlText::SourcePosition(qsizetype ssmlPosition) const {
    if (sourcePositions.empty()) return 0;
    const qsizetype last = static_cast<qsizetype>(sourcePositions.size()) - 1;
    return sourcePositions[static_cast<size_t>(std::clamp<qsizetype>(ssmlPosition, 0, last))];
}

SsmlText SpeechTextToSsml(QStringView text) { return SsmlWriter(text).Translate(); }

}  // namespace actions
