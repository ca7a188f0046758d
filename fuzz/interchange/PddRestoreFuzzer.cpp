// Feeds arbitrary bytes to the PDD validation pass and, when it accepts them, restores them into
// a database made once per process. A restore either completes or leaves the database as it was.
#include "core/SbkError.h"
#include "FuzzDatabase.h"
#include "interchange/PddRestore.h"

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
    const qint64 banksBefore = fixture->rows("KORFBanks");
    const qint64 stylesBefore = fixture->rows("KORFStyles");
    try {
        PddRestore::restore(fixture->connection(), input, check.records);
    } catch (const SbkError&) {
        // Refused by the database (a repeated number, a text too long): nothing may have changed.
        if (fixture->rows("KORFBanks") != banksBefore || fixture->rows("KORFStyles") != stylesBefore)
            abort();
        return 0;
    }
    if (fixture->rows("KORFBanks") + fixture->rows("KORFStyles") != check.records)
        abort();
    return 0;
}
