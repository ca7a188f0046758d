// Feeds arbitrary bytes to the PDD validation pass and, when it accepts them, restores them into
// a database made once per process. A restore either completes, holding as many banks, styles and
// directory entries as the file's blocks count, or leaves the database as it was. Seeds: python3
// fuzz/interchange/make_seeds.py DIR
#include "core/SbkError.h"
#include "interchange/PddRestore.h"
#include "store/Database.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <QCoreApplication>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>

namespace {

struct Fixture {
    QTemporaryDir dir;
    QString input;
    std::unique_ptr<Database> db;

    Fixture() {
        if (!dir.isValid())
            abort();
        input = dir.filePath(QStringLiteral("INPUT.PDD"));
        const QString path = dir.filePath(QStringLiteral("fuzz.mdb"));
        Database::createEmpty(path);
        db = std::make_unique<Database>(path);
        // Speed over durability: the file is thrown away with the process.
        QSqlQuery query(db->connection());
        query.exec(QStringLiteral("PRAGMA synchronous = OFF"));
        query.exec(QStringLiteral("PRAGMA journal_mode = MEMORY"));
    }
};

Fixture* fixture = nullptr;

qint64 rows(const char* table) {
    QSqlQuery query(fixture->db->connection());
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM ") + QLatin1String(table)) || !query.next())
        abort();
    return query.value(0).toLongLong();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    fixture = new Fixture;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        QFile file(fixture->input);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            abort();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    const PddRestore::Check check = PddRestore::validate(fixture->input);
    if (!check.valid)
        return 0;
    const auto counts = [] { return std::array{rows("KORFBanks"), rows("KORFStyles"), rows("KORFEntries")}; };
    const auto before = counts();
    try {
        PddRestore::restore(fixture->db->connection(), fixture->input, check.records);
    } catch (const SbkError&) {
        // Refused by the database (a repeated number, a text too long): nothing may have changed.
        if (counts() != before)
            abort();
        return 0;
    }
    const auto after = counts();
    if (after[0] + after[1] + after[2] != check.records)
        abort();
    return 0;
}
