#pragma once
// The demonstration as its own scripts prepare it, in a folder of a test: the preparation run
// and the folder layout the start script uses. The including target defines OSTROVID_SOURCE_DIR,
// OSTROVID_BUILD_DIR and OSTROVID_DATA_DIR.

#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace testsupport {

struct ScriptRun {
    int status = -1;  // -1 when it did not start or did not end in time
    QString output;
    QString errors;
};

// bash with the arguments, the variables `extra` added to this process's environment.
inline ScriptRun RunBash(const QStringList& arguments, const QMap<QString, QString>& extra = {},
                         int timeoutMs = 600000) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (auto it = extra.cbegin(); it != extra.cend(); ++it) environment.insert(it.key(), it.value());
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("bash"), arguments);
    ScriptRun run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
    } else if (process.exitStatus() == QProcess::NormalExit) {
        run.status = process.exitCode();
    }
    run.output = QString::fromUtf8(process.readAllStandardOutput());
    run.errors = QString::fromUtf8(process.readAllStandardError());
    return run;
}

inline QString DemoScript(const char* name) {
    return QStringLiteral(OSTROVID_SOURCE_DIR "/scripts/demo/") + QString::fromLatin1(name);
}

// scripts/demo/prepare.sh into `demoDir` with the repository's models.
inline ScriptRun PrepareDemo(const QString& demoDir,
                             const QString& examples = QStringLiteral("/usr/share/doc/libdlib19.1/examples"),
                             const QString& models = QStringLiteral(OSTROVID_DATA_DIR)) {
    return RunBash({DemoScript("prepare.sh"), demoDir, QStringLiteral(OSTROVID_BUILD_DIR), examples},
                   {{QStringLiteral("OSTROVID_DATA_DIR"), models}});
}

// The variables scripts/demo/layout.sh gives the service and the program of the demonstration.
inline QMap<QString, QString> DemoLayout(const QString& demoDir) {
    QMap<QString, QString> layout;
    const ScriptRun run = RunBash({DemoScript("layout.sh"), demoDir});
    for (const QString& line : run.output.split(u'\n', Qt::SkipEmptyParts)) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0) layout.insert(line.left(equals), line.mid(equals + 1));
    }
    return layout;
}

}  // namespace testsupport
