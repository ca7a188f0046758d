// Feeds arbitrary bytes to the PDD validation pass and, when it accepts them, restores them into
// a database made once per process. A restore either completes, holding as many banks, styles and
// directory entries as the file's blocks count, or leaves the database as it was. Seeds: python3
// fuzz/interchange/make_seeds.py DIR
#include "core/SbkError.h"
#include "FuzzDatabase.h"
#include "interchange/PddRestore.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <QCoreApplication>
#include <QFile>

namespace {

FuzzDatabase* fixture = nullptr;
QString input;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    fixture = new FuzzDatabase;
    input = fixture->path(QStringLiteral("INPUT.PDD"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        QFile file(input);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            abort();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    const PddRestore::Check check = PddRestore::validate(input);
    if (!check.valid)
        return 0;
    const auto counts = [] {
        return std::array{fixture->rows("KORFBanks"), fixture->rows("KORFStyles"),
                          fixture->rows("KORFEntries")};
    };
    const auto before = counts();
    try {
        PddRestore::restore(fixture->connection(), input, check.records);
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
