#include "CliRunner.h"

#include "TestEnvironment.h"

#include <QProcess>
#include <QProcessEnvironment>

CliResult runCli(const TestEnvironment& env, const QStringList& args) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), env.configFolder());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), env.path(QStringLiteral("data")));
    environment.insert(QStringLiteral("HOME"), env.path(QStringLiteral("home")));
    process.setProcessEnvironment(environment);
    process.start(qEnvironmentVariable("SBK_CLI"), args);
    process.closeWriteChannel();
    process.waitForFinished(120000);
    CliResult result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}
