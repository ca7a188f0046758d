#pragma once

#include "core/SbkError.h"

#include <memory>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class Database;

// A temporary folder for one test, with the settings store redirected into it so that no test
// touches the real user's settings. Create one per test function.
class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();

    QString path(const QString& name) const;
    // The folder that holds the redirected settings (XDG_CONFIG_HOME for child processes).
    QString configFolder() const;
    // The settings file of the programs run in the test and of the test itself (SBK_SETTINGS).
    QString settingsFile() const;
    // A new empty database file in the folder.
    QString createDatabase(const QString& name = QStringLiteral("test.mdb")) const;
    std::unique_ptr<Database> openDatabase(const QString& name = QStringLiteral("test.mdb")) const;

    // Writes a file of bytes (folders created as needed) and returns its path.
    QString writeFile(const QString& name, const QByteArray& bytes) const;
    static QByteArray readFile(const QString& path);
    // The 256 byte values 0..255 in order.
    static QByteArray allBytes();

private:
    QTemporaryDir m_dir;
};

// Limits the files this process writes to at most bytes while it lives: a write past the limit
// fails with EFBIG (the signal it would raise is ignored), as a write to a full disk fails.
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    quint64 m_previous = 0;
};

// The rows a statement gives on an open connection, each row's values joined by "|".
QStringList queryRows(QSqlDatabase db, const QString& sql);
// Runs statements on a database file through a connection of its own, as another program would,
// and returns the rows of the last one.
QStringList runSql(const QString& path, const QStringList& statements);

// The message of the SbkError that work throws; empty when it throws none.
template <typename Work> QString errorOf(Work work) {
    try {
        work();
    } catch (const SbkError& error) {
        return error.message();
    }
    return QString();
}
