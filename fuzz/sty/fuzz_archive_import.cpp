// libFuzzer target of the import from archives: any bytes, as an archive file found in a folder,
// are imported into a database made once per process. The run must end in its log or an
// SbkError, never in a crash or a hang; the database must hold exactly what the run says it
// stored, and the run is then rolled back, which leaves the database as it was. The bytes are the
// archive itself (ZIP, 7z, RAR, tar, compressed or not), so entries inside archives are reached too.
#include "core/SbkError.h"
#include "FuzzDatabase.h"
#include "sty/StyImport.h"

#include <cstdint>
#include <cstdlib>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace {

FuzzDatabase* fixture = nullptr;
QString folder;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    fixture = new FuzzDatabase;
    folder = fixture->path(QStringLiteral("in"));
    QDir().mkpath(folder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        // A name of every kind the import reads: the bytes decide what it is.
        QFile file(folder + QStringLiteral("/FUZZ.zip"));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            abort();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    const qint64 styles = fixture->rows("KORFStyles");
    const qint64 banks = fixture->rows("KORFBanks");
    StyImport import(fixture->connection());
    import.setPolicy(StyImport::Policy::ImportAll);
    try {
        import.begin(folder, true, QString(), QString(), QString());
        while (import.importNext()) {
        }
        if (fixture->rows("KORFStyles") != styles + import.stylesStored() ||
            fixture->rows("KORFBanks") != banks + import.banksStored())
            abort();
        import.cancel();
    } catch (const SbkError&) {
        // An entry that cannot be taken apart stops the run, which is rolled back.
    }
    if (fixture->rows("KORFStyles") != styles || fixture->rows("KORFBanks") != banks)
        abort();
    return 0;
}
