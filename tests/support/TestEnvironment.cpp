#include "TestEnvironment.h"

#include "core/SBKSettings.h"
#include "store/Database.h"
#include "music/NoteFingerprint.h"

#include <csignal>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QtTest>
#include <sys/resource.h>

TestEnvironment::TestEnvironment() {
    if (!m_dir.isValid())
        qFatal("cannot create a temporary folder");
    QDir().mkpath(configFolder());
    // The programs and the tests' own settings use the one file, where the user's settings
    // store would put it under XDG_CONFIG_HOME.
    qputenv(qPrintable(SBKSettings::FileVariable), settingsFile().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", configFolder().toLocal8Bit());
    qputenv("XDG_DATA_HOME", path(QStringLiteral("data")).toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configFolder());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, configFolder());
}

TestEnvironment::~TestEnvironment() = default;

QString TestEnvironment::path(const QString& name) const {
    return m_dir.filePath(name);
}

QString TestEnvironment::configFolder() const {
    return m_dir.filePath(QStringLiteral("config"));
}

QString TestEnvironment::settingsFile() const {
    return QDir(configFolder()).filePath(QStringLiteral("SBK/SBK.conf"));
}

QString TestEnvironment::createDatabase(const QString& name) const {
    const QString file = path(name);
    Database::createEmpty(file);
    return file;
}

std::unique_ptr<Database> TestEnvironment::openDatabase(const QString& name) const {
    return std::make_unique<Database>(path(name), Database::Upgrade{&NoteFingerprint::readFacts});
}

QString TestEnvironment::writeFile(const QString& name, const QByteArray& bytes) const {
    const QString file = path(name);
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        qFatal("cannot write a test file");
    return file;
}

QByteArray TestEnvironment::readFile(const QString& path) {
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    return in.readAll();
}

QByteArray TestEnvironment::allBytes() {
    QByteArray bytes;
    for (int b = 0; b < 256; ++b)
        bytes.append(char(b));
    return bytes;
}

QStringList queryRows(QSqlDatabase db, const QString& sql) {
    QSqlQuery query(db);
    if (!query.exec(sql))
        qFatal("%s: %s", qPrintable(sql), qPrintable(query.lastError().text()));
    QStringList rows;
    while (query.next()) {
        QStringList values;
        for (int i = 0; i < query.record().count(); ++i)
            values << query.value(i).toString();
        rows << values.join(QLatin1Char('|'));
    }
    return rows;
}

QString TestEnvironment::createForeignDatabase(const QString& name) const {
    QString banks = QStringLiteral("CREATE TABLE KORFBANKS (BANKPROG int, BANKNAME text, BANKDESC text");
    for (int k = 1; k <= 32; ++k)
        banks += QStringLiteral(", BANKSTYLE%1 int").arg(k, 2, 10, QLatin1Char('0'));
    runSql(path(name),
           {QStringLiteral("CREATE TABLE korfstyles (STYLEPROG int, STYLENAME1 text, STYLENAME2 text, "
                           "STYLELENGTH1 int, STYLELENGTH2 int, STYLECONTENT1 blob, STYLECONTENT2 "
                           "blob, STYLESEEK blob, STYLEDATE text, STYLEDESC text, STYLECAT text, "
                           "STYLEFAMILY text, STYLEFILE text, STYLEAUTHOR text)"),
            banks + QLatin1Char(')')});
    return path(name);
}

QStringList runSql(const QString& path, const QStringList& statements) {
    const QString name = QStringLiteral("runSql");
    QStringList rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open())
            qFatal("cannot open %s", qPrintable(path));
        for (const QString& statement : statements)
            rows = queryRows(db, statement);
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
}

FileSizeLimit::FileSizeLimit(qint64 bytes) {
    struct rlimit limit {};
    getrlimit(RLIMIT_FSIZE, &limit);
    m_previous = limit.rlim_cur;
    std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = rlim_t(bytes);
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
    struct rlimit limit {};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = rlim_t(m_previous);
    setrlimit(RLIMIT_FSIZE, &limit);
}
