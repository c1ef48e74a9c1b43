#pragma once
// Purpose: the operator's speech texts carry the control tags of the Windows speech engine
//          (<spell>, <emph>, <silence msec="N"/>, <lang langid="409">); eSpeak NG reads SSML.
//          This turns such a text into a well-formed SSML document: the four tags become their
//          SSML equals, other well-formed tags are dropped, everything that is not a tag is
//          escaped and spoken as text, and tags left open are closed.
// Threads: any (pure function).
// Owns: nothing.

#include <QString>
#include <QStringView>

#include <vector>

namespace actions {

struct SsmlText {
    QString ssml;  // "<speak>...</speak>"
    // For each UTF-16 unit of ssml, and one past its end, the position in the original text it
    // came from (markup maps to the start of the tag it was made from); the speech test dialog
    // turns the engine's word positions back into a selection of the text it shows.
    std::vector<qsizetype> sourcePositions;

    qsizetype SourcePosition(qsizetype ssmlPosition) const;
};

SsmlText SpeechTextToSsml(QStringView text);

}  // namespace actions
