#pragma once
// The settings of the demonstration, written into its own settings store before its service
// starts (the service is the store's only writer while it runs): one IP camera started with the
// program, sound, speech and the CSV log for every list with a greeting of its own per list, a
// script for an unknown person who leaves, and the management server for stations on this
// computer only. The connection string that ostrovid-dbinit stored stays. Used on one thread.

#include "platform/registry.h"

#include <QString>

namespace demo {

struct DemoSettings {
    QString cameraUrl;      // the demonstration camera, "http://127.0.0.1:PORT/demo"
    QString unknownScript;  // an executable run for an unknown person who left the view
    QString csvFolder;      // where the CSV recognition log goes
};

// The management password of the demonstration (stations on this computer use it).
inline const QString kManagementPassword = QStringLiteral("demo");

// Sets the demonstration's values, replacing the camera list and the alert records; writing them
// again changes nothing else. 0, or the store's code of the first value that failed.
int WriteDemoSettings(platform::RegistryStore& store, const DemoSettings& settings);

}  // namespace demo
