#include "BenchLibrary.h"

#include "core/SbkError.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/SqliteConnection.h"
#include "sty/StyleFacts.h"
#include "StyleBlocks.h"

#include <cstdio>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <QAtomicInt>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <sqlite3.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int PoolSize = 64;
const char* const meters[] = {"4/4", "3/4", "6/8", "12/8", "2/4"};
const quint8 signatures[] = {0x22, 0x1A, 0x33, 0x63, 0x12};

QByteArray randomBytes(QRandomGenerator& random, int size) {
    QByteArray body(size, Qt::Uninitialized);
    random.fillRange(reinterpret_cast<quint32*>(body.data()), size / 4);
    return body;
}

int tempoOf(int pooled) {
    return 40 + pooled * 3;
}

} // namespace

BenchLibrary::BenchLibrary(int blockSize, quint32 seed, Content content) {
    QRandomGenerator random(seed);
    for (int p = 0; p < PoolSize; ++p) {
        const bool newer = p % 2;
        const int size = (blockSize - 512 + int(random.bounded(1024))) & ~3;
        Pooled pooled;
        if (content == Content::Music) {
            pooled.content1 = musicBlock(size, signatures[p % 5], newer, random.generate());
            pooled.mark = -1;
        } else {
            pooled.content1 = StyleBlocks::styleBlock(signatures[p % 5], newer,
                                                      randomBytes(random, qMax(4, size - 220) & ~3));
            pooled.mark = bench::numberMark(pooled.content1);
        }
        pooled.content2 = StyleBlocks::performanceBlock(tempoOf(p), newer,
                                                        randomBytes(random, qMax(4, size / 4 - 250) & ~3));
        m_pool.append(pooled);
    }
    const Style numbered = style(123457);
    if (!StyleFacts::read(numbered.content1, numbered.content2).FingerprintSettings)
        qFatal("a generated style does not decode to its end");
}

QByteArray BenchLibrary::musicBlock(int size, quint8 signature, bool newer, quint32 seed) {
    QRandomGenerator random(seed);
    StyleBlocks::Music music;
    music.newer = newer;
    const quint32 measure = quint32(1536 * (signature >> 3) / (1 << (signature & 7)));
    // 368 tracks (8 in each of 46 chord variations); a note takes some 13 bytes with its end.
    const int notesPerTrack = qMax(1, size / 13 / 368);
    for (int e = 0; e < music.elements.size(); ++e) {
        const quint32 ticks = measure * (e < 4 ? 4 : 2);
        for (int v = 0; v < (e < 4 ? 6 : 2); ++v) {
            StyleBlocks::Variation variation{ticks, {}, {}};
            for (int t = 0; t < 8; ++t) {
                QList<StyleBlocks::Event> events;
                for (int i = 0; i < notesPerTrack; ++i) {
                    const quint32 tick = quint32(random.bounded(ticks - 96));
                    const quint8 key = quint8(36 + random.bounded(48));
                    events << StyleBlocks::Event{tick, 0x90, key, quint8(40 + random.bounded(80))}
                           << StyleBlocks::Event{tick + 96, 0x80, key, 64};
                }
                variation.tracks << StyleBlocks::Track{t, events};
            }
            music.elements[e].signature = signature;
            music.elements[e].variations << variation;
        }
    }
    return StyleBlocks::musicBlock(music);
}

BenchLibrary::Style BenchLibrary::style(qint32 n) const {
    const Pooled& pooled = m_pool.at(n % PoolSize);
    Style style;
    style.prog = n;
    style.name = QStringLiteral("Style %1")
                     .arg((qint64(n) * 7919) % 100003, 6, 10, QLatin1Char('0'))
                     .leftJustified(16);
    style.desc = QStringLiteral("A description of style number %1").arg(n);
    style.family = QStringLiteral("FAMILY%1").arg(n % 37);
    style.group = QStringLiteral("GROUP%1").arg(n % 11);
    style.author = QStringLiteral("Author %1").arg(n % 101);
    style.file = QStringLiteral("B%1.STY").arg(n / 32, 4, 10, QLatin1Char('0'));
    style.content1 = pooled.content1;
    if (pooled.mark >= 0)
        bench::writeNumber(style.content1.data() + pooled.mark, quint32(n));
    style.content2 = pooled.content2;
    return style;
}

double BenchLibrary::insertStyles(QSqlDatabase db, qint32 first, int count, bool inTransaction) const {
    QElapsedTimer timer;
    qint64 spent = 0;
    QSqlQuery query(db);
    timer.start();
    if (!inTransaction)
        Database::exec(query, QStringLiteral("BEGIN"));
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral(
        "INSERT INTO KORFStyles (StyleProg,StyleName1,StyleName2,StyleLength1,StyleLength2,StyleContent1,"
        "StyleContent2,StyleSeek,StyleDate,StyleDesc,StyleCat,StyleFamily,StyleFile,StyleAuthor,Tempo,Meter,"
        "FingerprintExact,FingerprintRenamed,FingerprintSettings) VALUES "
        "(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    spent += timer.nsecsElapsed();
    const QString date = QStringLiteral("2024/06/01");
    const QString name2 = QStringLiteral("Perf").leftJustified(16);
    for (qint32 n = first; n < first + count; ++n) {
        const Style style = this->style(n);
        const int pooled = n % PoolSize;
        auto known = m_fingerprints.constFind(n);
        if (known == m_fingerprints.cend()) {
            const StyleFactsValues facts = StyleFacts::read(style.content1, style.content2);
            known = m_fingerprints.insert(
                n, {facts.FingerprintExact, facts.FingerprintRenamed, facts.FingerprintSettings});
        }
        timer.restart();
        insert.bindValue(0, n);
        insert.bindValue(1, style.name);
        insert.bindValue(2, name2);
        insert.bindValue(3, qint32(style.content1.size()));
        insert.bindValue(4, qint32(style.content2.size()));
        insert.bindValue(5, style.content1);
        insert.bindValue(6, style.content2);
        insert.bindValue(7, style.content1.left(250));
        insert.bindValue(8, date);
        insert.bindValue(9, style.desc);
        insert.bindValue(10, style.group);
        insert.bindValue(11, style.family);
        insert.bindValue(12, style.file);
        insert.bindValue(13, style.author);
        insert.bindValue(14, tempoOf(pooled));
        insert.bindValue(15, QString::fromLatin1(meters[pooled % 5]));
        for (int k = 0; k < 3; ++k)
            insert.bindValue(16 + k, known->at(size_t(k)) ? QVariant(*known->at(size_t(k)))
                                                          : QVariant(QMetaType::fromType<qint64>()));
        Database::exec(insert);
        spent += timer.nsecsElapsed();
    }
    timer.restart();
    insert.finish();
    if (!inTransaction)
        Database::exec(query, QStringLiteral("COMMIT"));
    spent += timer.nsecsElapsed();
    return spent / 1e9;
}

double BenchLibrary::insertBanks(QSqlDatabase db, int banks, int styles, bool inTransaction) {
    QElapsedTimer timer;
    timer.start();
    QSqlQuery query(db);
    if (!inTransaction)
        Database::exec(query, QStringLiteral("BEGIN"));
    QStringList columns{QStringLiteral("BankProg"), QStringLiteral("BankName"), QStringLiteral("BankDesc")};
    for (int k = 1; k <= DbKORFBank::SlotCount; ++k)
        columns << DbKORFBank::slotColumn(k);
    QSqlQuery insert(db);
    insert.prepare(
        QStringLiteral("INSERT INTO KORFBanks (%1) VALUES (?%2)")
            .arg(columns.join(QLatin1Char(',')), QStringLiteral(",?").repeated(columns.size() - 1)));
    for (int b = 1; b <= banks; ++b) {
        insert.bindValue(0, b);
        insert.bindValue(1,
                         QStringLiteral("BANK%1").arg((qint64(b) * 7919) % banks, 5, 10, QLatin1Char('0')));
        insert.bindValue(2, QStringLiteral("Bank number %1").arg(b));
        for (int k = 1; k <= DbKORFBank::SlotCount; ++k)
            insert.bindValue(2 + k, k == 1 && b % 4 == 0 ? 1 : 1 + int((qint64(b) * 31 + k * 977) % styles));
        Database::exec(insert);
    }
    insert.finish();
    if (!inTransaction)
        Database::exec(query, QStringLiteral("COMMIT"));
    return timer.nsecsElapsed() / 1e9;
}

namespace bench {

std::optional<QHash<QString, QString>> options(const QStringList& args, const QStringList& known) {
    if (args.size() % 2)
        return std::nullopt;
    QHash<QString, QString> values;
    for (qsizetype i = 0; i + 1 < args.size(); i += 2) {
        if (!known.contains(args.at(i)))
            return std::nullopt;
        values.insert(args.at(i), args.at(i + 1));
    }
    return values;
}

QString workFolder(const QString& given, const QTemporaryDir& temporary) {
    const QString folder = given.isEmpty() ? temporary.path() : given;
    QDir().mkpath(folder);
    return folder;
}

qsizetype numberMark(const QByteArray& styleBlock) {
    // The information chunk of either layout: its id, its size, then 3F, the meter, 18 and zeros.
    qsizetype information = styleBlock.indexOf(QByteArray("\x01\x01\x01\x08", 4));
    if (information < 0)
        information = styleBlock.indexOf(QByteArray("\x01\x01\x03\x08", 4));
    const qsizetype mark = information + 8 + 4;
    if (information < 0 || mark + 8 > 250 || styleBlock.mid(mark, 8) != QByteArray(8, '\0'))
        qFatal("the generated style block has no room for its number");
    return mark;
}

void writeNumber(char* mark, quint32 n) {
    for (int i = 0; i < 4; ++i)
        mark[i] = mark[i + 4] = char(n >> (8 * i));
}

void settle() {
    ::sync();
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

ChildRun runChild(const QString& program, const QStringList& args) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        throw SbkError(QStringLiteral("cannot make a pipe"));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
    QList<QByteArray> argBytes{QFile::encodeName(program)};
    for (const QString& arg : args)
        argBytes << arg.toLocal8Bit();
    QList<char*> argv;
    for (QByteArray& arg : argBytes)
        argv << arg.data();
    argv << nullptr;

    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0) {
        close(pipeEnds[0]);
        throw SbkError(QStringLiteral("cannot start %1").arg(program));
    }
    ChildRun run;
    QCryptographicHash sha1(QCryptographicHash::Sha1);
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(pipeEnds[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        sha1.addData(QByteArrayView(buffer, got));
        run.outputBytes += got;
    }
    close(pipeEnds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.seconds = timer.nsecsElapsed() / 1e9;
    run.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.peakMegabytes = usage.ru_maxrss / 1024.0;
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.outputSha1 = sha1.result().toHex().left(12);
    return run;
}

void line(const QString& text) {
    std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

QString padded(const QString& what, int width) {
    return what.leftJustified(width);
}

QString freshDatabase(const QString& folder, const QString& name) {
    const QString path = QDir(folder).filePath(name);
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
    Database::createEmpty(path);
    return path;
}

QString bareDatabase(const QString& folder, const QString& name) {
    const QString path = QDir(folder).filePath(name);
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
    BareLibrary library(path);
    library.exec(QStringLiteral("CREATE TABLE KORFStyles (StyleProg INTEGER PRIMARY KEY NOT NULL, StyleLength1 "
                                "INTEGER, StyleLength2 INTEGER, StyleContent1 BLOB, StyleContent2 BLOB, "
                                "StyleSeek BLOB)"));
    library.exec(
        QStringLiteral("CREATE INDEX KORFStyles_Seek ON KORFStyles (StyleSeek, StyleLength1, StyleLength2)"));
    return path;
}

namespace {
QAtomicInt bareConnections;
}

BareLibrary::BareLibrary(const QString& path)
    : m_name(QStringLiteral("bare-%1").arg(bareConnections.fetchAndAddOrdered(1))) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(path);
    if (!db.open())
        throw SbkError(QStringLiteral("cannot open %1: %2").arg(path, db.lastError().text()));
}

BareLibrary::~BareLibrary() {
    m_insert.reset();
    QSqlDatabase::database(m_name, false).close();
    QSqlDatabase::removeDatabase(m_name);
}

QSqlDatabase BareLibrary::connection() const {
    return QSqlDatabase::database(m_name, false);
}

QString pageCounts(QSqlDatabase db) {
    sqlite3* handle = SqliteConnection::handle(db);
    int counts[3] = {};
    const int kinds[3] = {SQLITE_DBSTATUS_CACHE_MISS, SQLITE_DBSTATUS_CACHE_WRITE, SQLITE_DBSTATUS_CACHE_SPILL};
    for (int k = 0; k < 3; ++k) {
        int highest = 0;
        if (handle)
            sqlite3_db_status(handle, kinds[k], &counts[k], &highest, 0);
    }
    return QStringLiteral("pages read %1, written %2, spilled %3").arg(counts[0]).arg(counts[1]).arg(counts[2]);
}

void BareLibrary::exec(const QString& sql) {
    QSqlQuery query(QSqlDatabase::database(m_name, false));
    Database::exec(query, sql);
}

void BareLibrary::commit() {
    if (m_insert)
        m_insert->finish();
    exec(QStringLiteral("COMMIT"));
}

void BareLibrary::insert(qint32 prog, const QByteArray& content1, const QByteArray& content2) {
    if (!m_insert) {
        m_insert = std::make_unique<QSqlQuery>(QSqlDatabase::database(m_name, false));
        if (!m_insert->prepare(QStringLiteral("INSERT INTO KORFStyles (StyleProg, StyleLength1, StyleLength2, "
                                              "StyleContent1, StyleContent2, StyleSeek) VALUES (?,?,?,?,?,?)")))
            throw SbkError(m_insert->lastError().text());
    }
    m_insert->bindValue(0, prog);
    m_insert->bindValue(1, qint32(content1.size()));
    m_insert->bindValue(2, qint32(content2.size()));
    m_insert->bindValue(3, content1);
    m_insert->bindValue(4, content2);
    m_insert->bindValue(5, QByteArray::fromRawData(content1.constData(), qMin<qsizetype>(250, content1.size())));
    Database::exec(*m_insert);
}

double median(QList<double> values) {
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype half = values.size() / 2;
    return values.size() % 2 ? values.at(half) : (values.at(half - 1) + values.at(half)) / 2;
}

} // namespace bench
