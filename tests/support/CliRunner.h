#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class TestEnvironment;

// Runs sbk-cli (its path comes from the SBK_CLI environment variable set by CTest) as a process
// with the test's settings file and folders, and keeps its exit code and output. The process
// starts as from a user's shell: SIGXFSZ at its default action, whatever this process set. With
// fileSizeLimit, it may write files of at most that many bytes (as under "ulimit -f").
struct CliResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

CliResult runCli(const TestEnvironment& env, const QStringList& args, qint64 fileSizeLimit = -1);
// Another copy of sbk-cli, run with the test's folders as its home but without SBK_SETTINGS, so
// that it chooses its settings store itself.
CliResult runCliCopy(const TestEnvironment& env, const QString& program, const QStringList& args);
// The command ended with status and its output (status 0) or its errors hold text; when not, it
// prints both, so that the failure shows what the command said.
bool cliSays(const CliResult& result, int status, const QByteArray& text = {});
