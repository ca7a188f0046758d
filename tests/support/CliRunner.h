#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class TestEnvironment;

// Runs sbk-cli (its path comes from the SBK_CLI environment variable set by CTest) as a process
// with the test's settings folder, and keeps its exit code and output. With fileSizeLimit, the
// process may write files of at most that many bytes (a write past it fails, as on a full disk).
struct CliResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

CliResult runCli(const TestEnvironment& env, const QStringList& args, qint64 fileSizeLimit = -1);
