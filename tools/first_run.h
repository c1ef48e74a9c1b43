#pragma once
// Whether a settings store and its person database are still as a fresh installation left
// them: no camera in the store and no person in the database. The start script shows the
// demonstration only then, so that it never hides a configuration somebody made. Used on one
// thread; opens the database for the one query and closes it.

#include <QString>

namespace demo {

enum class Configuration {
    Fresh,    // no camera and no person
    InUse,    // a camera or a person exists
    Unknown,  // the store or the database could not be read
};

struct FirstRunFinding {
    Configuration configuration = Configuration::Unknown;
    QString reason;  // for the start script's message; never holds a password
};

FirstRunFinding InspectConfiguration(const QString& storePath);

}  // namespace demo
