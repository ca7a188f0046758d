#include "CliRunner.h"

#include "core/SBKSettings.h"
#include "TestEnvironment.h"

#include <csignal>
#include <QProcess>
#include <QProcessEnvironment>
#include <sys/resource.h>

namespace {

CliResult run(const TestEnvironment& env, const QString& program, const QStringList& args,
              qint64 fileSizeLimit, bool ownSettings) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), env.configFolder());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), env.path(QStringLiteral("data")));
    environment.insert(QStringLiteral("HOME"), env.path(QStringLiteral("home")));
    if (!ownSettings)
        environment.remove(SBKSettings::FileVariable);
    process.setProcessEnvironment(environment);
    process.setChildProcessModifier([fileSizeLimit] {
        // An ignored signal stays ignored across exec, and this process ignores SIGXFSZ once it
        // limited its own files (FileSizeLimit): the program must ignore it itself, as it must
        // under a user's "ulimit -f".
        std::signal(SIGXFSZ, SIG_DFL);
        if (fileSizeLimit >= 0) {
            struct rlimit limit {};
            getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = rlim_t(fileSizeLimit);
            setrlimit(RLIMIT_FSIZE, &limit);
        }
    });
    process.start(program, args);
    process.closeWriteChannel();
    CliResult result;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    // A process ended by a signal reports 128 + its number, as a shell does (153 for SIGXFSZ).
    result.exitCode =
        process.exitStatus() == QProcess::NormalExit ? process.exitCode() : 128 + process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

} // namespace

CliResult runCli(const TestEnvironment& env, const QStringList& args, qint64 fileSizeLimit) {
    return run(env, qEnvironmentVariable("SBK_CLI"), args, fileSizeLimit, true);
}

CliResult runCliCopy(const TestEnvironment& env, const QString& program, const QStringList& args) {
    return run(env, program, args, -1, false);
}

bool cliSays(const CliResult& result, int status, const QByteArray& text) {
    if (result.exitCode == status && (status == 0 ? result.out : result.err).contains(text))
        return true;
    qWarning("exit status %d, expected %d; output:\n%s\nerrors:\n%s", result.exitCode, status,
             result.out.constData(), result.err.constData());
    return false;
}
