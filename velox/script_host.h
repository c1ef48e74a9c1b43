#pragma once
// Purpose: the host object a JavaScript script sees as `Velox`: log, run, readText, writeText,
//          httpGet, httpPost and message. Calls cross into C++ through one property of a property
//          map: the script writes the call as JSON and reads the answer back from the same property.
// Threads: the runner's main thread (the engine's).
// Owns: nothing it is given; the network manager of its own.

#include "velox/watchdog.h"

#include <QJsonObject>
#include <QQmlPropertyMap>

#include <functional>

class QJSEngine;
class QNetworkAccessManager;

namespace velox {

struct HostServices {
    QString scriptFile;
    // Shows a message to the user until closed or `stopped` turns true; empty when the request
    // does not allow a user interface.
    std::function<void(const QString& text, const std::function<bool()>& stopped)> showMessage;
    Watchdog* watchdog = nullptr;
};

class ScriptHost : public QQmlPropertyMap {
public:
    explicit ScriptHost(HostServices services);
    ~ScriptHost() override;

    // Makes `Velox` a global of the engine.
    void Install(QJSEngine& engine);

protected:
    QVariant updateValue(const QString& key, const QVariant& input) override;

private:
    QJsonObject Call(const QString& operation, const QJsonArray& arguments);
    QJsonObject Http(const QString& url, const QByteArray* body);

    HostServices services_;
    std::unique_ptr<QNetworkAccessManager> network_;
};

}  // namespace velox
