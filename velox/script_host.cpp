#include "velox/script_host.h"

#include "platform/log.h"
#include "velox/child_process.h"

#include <QEventLoop>
#include <QFile>
#include <QJSEngine>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <cstring>

namespace velox {

namespace {

constexpr char16_t kCallKey[] = u"call";

// Each function hands its name and arguments to the map and unpacks the answer.
constexpr char16_t kHostPrelude[] =
    uR"((function (bridge) {
    function call(op, args) {
        bridge.call = JSON.stringify({ op: op, args: args });
        var answer = JSON.parse(bridge.call);
        if (answer.error !== undefined) throw new Error(answer.error);
        return answer.value;
    }
    return Object.freeze({
        log: function (text) { call("log", [String(text)]); },
        run: function (program, args) {
            return call("run", [String(program), (args || []).map(String)]);
        },
        readText: function (path) { return call("readText", [String(path)]); },
        writeText: function (path, text, append) {
            call("writeText", [String(path), String(text), !!append]);
        },
        httpGet: function (url) { return call("httpGet", [String(url)]); },
        httpPost: function (url, body) { return call("httpPost", [String(url), String(body)]); },
        message: function (text) { call("message", [String(text)]); }
    });
}))";

QJsonObject Value(const QJsonValue& value) { return {{QStringLiteral("value"), value}}; }
QJsonObject Failure(const QString& text) { return {{QStringLiteral("error"), text}}; }

}  // namespace

ScriptHost::ScriptHost(HostServices services) : services_(std::move(services)) {
    insert(QString::fromUtf16(kCallKey), QString());
}

ScriptHost::~ScriptHost() = default;

void ScriptHost::Install(QJSEngine& engine) {
    QJSValue make = engine.evaluate(QString::fromUtf16(kHostPrelude));
    engine.globalObject().setProperty(QStringLiteral("Velox"), make.call({engine.newQObject(this)}));
    // The engine must not delete the map it did not make.
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
}

QVariant ScriptHost::updateValue(const QString& key, const QVariant& input) {
    if (key != QString::fromUtf16(kCallKey)) return input;
    const QJsonObject request = QJsonDocument::fromJson(input.toString().toUtf8()).object();
    const QJsonObject answer =
        Call(request.value(QStringLiteral("op")).toString(), request.value(QStringLiteral("args")).toArray());
    return QString::fromUtf8(QJsonDocument(answer).toJson(QJsonDocument::Compact));
}

QJsonObject ScriptHost::Call(const QString& operation, const QJsonArray& arguments) {
    const QString first = arguments.at(0).toString();
    if (operation == u"log") {
        WriteLog(QStringLiteral("Velox %1: %2").arg(services_.scriptFile, first));
        return Value({});
    }
    if (operation == u"run") {
        ChildCommand command;
        command.program = first;
        for (const QJsonValue& argument : arguments.at(1).toArray()) command.arguments.append(argument.toString());
        const ChildResult child = RunChild(command, *services_.watchdog);
        if (child.startError != 0)
            return Failure(QStringLiteral("Программа не запущена: %1: %2")
                               .arg(first, QString::fromLocal8Bit(strerror(child.startError))));
        return Value(child.signal != 0 ? 128 + child.signal : child.exitCode);
    }
    if (operation == u"readText") {
        QFile file(first);
        if (!file.open(QIODevice::ReadOnly))
            return Failure(QStringLiteral("Файл не прочитан: %1: %2").arg(first, file.errorString()));
        return Value(QString::fromUtf8(file.readAll()));
    }
    if (operation == u"writeText") {
        QFile file(first);
        const auto mode = arguments.at(2).toBool() ? QIODevice::Append : QIODevice::Truncate;
        const QByteArray text = arguments.at(1).toString().toUtf8();
        if (!file.open(QIODevice::WriteOnly | mode) || file.write(text) != text.size())
            return Failure(QStringLiteral("Файл не записан: %1: %2").arg(first, file.errorString()));
        return Value({});
    }
    if (operation == u"httpGet") return Http(first, nullptr);
    if (operation == u"httpPost") {
        const QByteArray body = arguments.at(1).toString().toUtf8();
        return Http(first, &body);
    }
    if (operation == u"message") {
        if (!services_.showMessage)
            return Failure(
                QStringLiteral("Сообщения недоступны: интерфейс пользователя не разрешён настройками или нет дисплея"));
        Watchdog* watchdog = services_.watchdog;
        services_.showMessage(first, [watchdog] { return watchdog->Expired(); });
        return Value({});
    }
    return Failure(QStringLiteral("Неизвестная операция: %1").arg(operation));
}

QJsonObject ScriptHost::Http(const QString& url, const QByteArray* body) {
    if (!network_) network_ = std::make_unique<QNetworkAccessManager>();
    QNetworkRequest request{QUrl(url)};
    request.setTransferTimeout(30000);
    if (body) request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("text/plain; charset=utf-8"));
    std::unique_ptr<QNetworkReply> reply(body ? network_->post(request, *body) : network_->get(request));
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // The engine cannot be interrupted while it waits here; the watchdog is looked at instead.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
        if (services_.watchdog->Expired()) reply->abort();
    });
    watch.start(50);
    if (!reply->isFinished()) loop.exec();
    if (reply->error() != QNetworkReply::NoError)
        return Failure(QStringLiteral("Ошибка запроса %1: %2").arg(url, reply->errorString()));
    return Value(QString::fromUtf8(reply->readAll()));
}

}  // namespace velox
