#pragma once

// What the command-line benchmarks share: a generated library of many styles, stored by plain
// prepared inserts in one transaction (the floor that the restore and the import are measured
// against), the peak memory of this process and of a child, and the printing of figures.

#include <array>
#include <memory>
#include <optional>
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class QSqlQuery;

class BenchLibrary {
public:
    // One generated style: its number, its texts and its two blocks (a compressed style block
    // and a compressed performance block that give a meter and a tempo, as instruments save them).
    struct Style {
        qint32 prog = 0;
        QString name;
        QString desc;
        QString family;
        QString group;
        QString author;
        QString file;
        QByteArray content1;
        QByteArray content2;
    };

    // What the style blocks hold besides their facts: bytes that no reader looks at, or music (15
    // elements, their chord variations and eight tracks of notes each, as StyleBlocks builds them)
    // that the music reader reads to its end. Styles of music share the pool's blocks unnumbered.
    enum class Content { Filler, Music };

    // blockSize: the first block's size in bytes (about); the second is a quarter of it.
    BenchLibrary(int blockSize, quint32 seed, Content content = Content::Filler);
    // A style block of music of about size bytes, in the meter of the signature.
    static QByteArray musicBlock(int size, quint8 signature, bool newer, quint32 seed);

    // The style of number n (1, 2, ...): blocks from a pool of 64, made different in their first
    // 250 bytes (the search key) by the number, so that every style has a key of its own; names
    // in another order than the numbers.
    Style style(qint32 n) const;

    // Inserts count styles numbered first.. first + count - 1 with prepared statements in one
    // transaction (its own, or the caller's when inTransaction), the way the floor is measured,
    // each with its tempo, meter and fingerprints as the program stores them (read from the blocks
    // before the time counts, and kept for the next call); returns the seconds spent in the database.
    double insertStyles(QSqlDatabase db, qint32 first, int count, bool inTransaction = false) const;
    // banks of 32 slots, inserted as the styles are; slot k of bank b holds a style chosen from
    // 1..styles, and every fourth bank holds style 1 in its first slot (a style many banks hold).
    // Returns the seconds spent.
    static double insertBanks(QSqlDatabase db, int banks, int styles, bool inTransaction = false);

private:
    struct Pooled {
        QByteArray content1;
        QByteArray content2;
        qsizetype mark; // where the style's number goes in content1; -1: it goes nowhere
    };
    QList<Pooled> m_pool;
    // The fingerprints (exact, renamed, settings) of the styles inserted so far, by number.
    mutable QHash<qint32, std::array<std::optional<qint64>, 3>> m_fingerprints;
};

namespace bench {

// Waits until the writes of earlier runs reached the disk (sync), so that a measured run does not
// pay for the write-back of the one before it.
void settle();

// The CPU time (user and system, of all its threads) this process has spent so far, in seconds:
// on a machine that other work shares, it tells runs apart where wall time cannot.
double cpuSeconds();

// The peak resident memory of this process so far, in MB (getrusage).
double peakMegabytes();

// A child's run: its wall time, its processor time (user and system, from wait4), its peak
// resident memory, its exit status and the size and SHA-1 of what it wrote to standard output.
struct ChildRun {
    double seconds = 0;
    double cpuSeconds = 0;
    double peakMegabytes = 0;
    int exitStatus = -1;
    qint64 outputBytes = 0;
    QByteArray outputSha1;
};
ChildRun runChild(const QString& program, const QStringList& args);

// "  <what, padded>  1.23 s  (1.05 x floor)" and the like, flushed at once.
void line(const QString& text);
QString padded(const QString& what, int width = 44);

// The "--name value" pairs of a benchmark's command line, every name one of known; std::nullopt for
// another name or a name without its value.
std::optional<QHash<QString, QString>> options(const QStringList& args, const QStringList& known);
// The folder a benchmark works in: the one given, made when missing, else the temporary one.
QString workFolder(const QString& given, const QTemporaryDir& temporary);

// A fresh empty database at folder/name (an older file of that name is removed first).
QString freshDatabase(const QString& folder, const QString& name);

// The bare floor's library: one table of the styles' numbers, the blocks with their lengths and the
// search key, with one index on (search key, lengths), the least a library that finds copies by
// content needs, and nothing else. bareDatabase makes a fresh one at folder/name. A BareLibrary
// is an open connection to one (closed with it), with its insert prepared once; the journal and
// the synchronous setting are SQLite's defaults, as the program's.
QString bareDatabase(const QString& folder, const QString& name);
class BareLibrary {
public:
    explicit BareLibrary(const QString& path);
    ~BareLibrary();
    BareLibrary(const BareLibrary&) = delete;
    BareLibrary& operator=(const BareLibrary&) = delete;
    void exec(const QString& sql);
    void begin() { exec(QStringLiteral("BEGIN")); }
    void commit();
    void insert(qint32 prog, const QByteArray& content1, const QByteArray& content2);
    QSqlDatabase connection() const;

private:
    QString m_name;
    std::unique_ptr<QSqlQuery> m_insert;
};

// What the page cache of a connection did since it was opened, from SQLite: its misses (pages
// read), the pages it wrote and those it spilled in the middle of a transaction.
QString pageCounts(QSqlDatabase db);

// The median of the figures of the rounds.
double median(QList<double> values);

// Where a style block made by StyleBlocks::styleBlock has room for a number that makes its first
// 250 bytes (the search key) its own: 8 zeros of the first element's information, inside the
// stream's first literal run. writeNumber writes n there twice, which keeps the stream's check
// byte, so the block still decodes to its end as an instrument's does.
qsizetype numberMark(const QByteArray& styleBlock);
void writeNumber(char* mark, quint32 n);

} // namespace bench
