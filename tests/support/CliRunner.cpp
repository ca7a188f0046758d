#include "CliRunner.h"

#include "TestEnvironment.h"

#include <csignal>
#include <QProcess>
#include <QProcessEnvironment>
#include <sys/resource.h>

CliResult runCli(const TestEnvironment& env, const QStringList& args, qint64 fileSizeLimit) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), env.configFolder());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), env.path(QStringLiteral("data")));
    environment.insert(QStringLiteral("HOME"), env.path(QStringLiteral("home")));
    process.setProcessEnvironment(environment);
    if (fileSizeLimit >= 0)
        process.setChildProcessModifier([fileSizeLimit] {
            // A write past the limit then fails with EFBIG instead of ending the process.
            std::signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit {};
            getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = rlim_t(fileSizeLimit);
            setrlimit(RLIMIT_FSIZE, &limit);
        });
    process.start(qEnvironmentVariable("SBK_CLI"), args);
    process.closeWriteChannel();
    process.waitForFinished(120000);
    CliResult result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}
