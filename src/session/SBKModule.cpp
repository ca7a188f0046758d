#include "session/SBKModule.h"

#include "core/BuildTree.h"
#include "core/SbkError.h"
#include "core/SBKSettings.h"
#include "store/Database.h"
#include "music/NoteFingerprint.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

SBKModule::SBKModule() = default;

SBKModule::~SBKModule() {
    closeDatabase();
}

QString SBKModule::defaultDatabasePath() {
    // Never beside an installed program: its folder may be writable (for root under /usr/bin),
    // and a library there would outlive the package and be every user's.
    const QString buildTree = BuildTree::folder();
    const QString folder =
        !buildTree.isEmpty() ? buildTree : QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QDir(folder).filePath(QStringLiteral("SBK.MDB"));
}

void SBKModule::ensureDefaultDatabase(const QString& path) {
    if (QFileInfo::exists(path))
        return;
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        throw SbkError(QStringLiteral("Cannot create the folder %1 for the database.").arg(folder));
    Database::createEmpty(path);
}

void SBKModule::readParameters(const SBKSettings& settings) {
    KorgProgramPath = settings.value(SBKSettings::Parameters, SBKSettings::KorgProg);
    FloppyDrive = settings.value(SBKSettings::Parameters, SBKSettings::FloppyDrive);
    PaHdDrive = settings.value(SBKSettings::Parameters, SBKSettings::PaHdDrive);
    BackupPath = settings.value(SBKSettings::Parameters, SBKSettings::SbkBackup);
    SoundFontPath = settings.value(SBKSettings::Parameters, SBKSettings::SoundFont);
}

void SBKModule::closeDatabase() {
    // Gateways and the listing go before the connection they use.
    StyleTable.reset();
    BankTable.reset();
    CN01.reset();
}

void SBKModule::ConnectDatabase(Progress* progress) {
    closeDatabase();
    CN01 = std::make_unique<Database>(DatabasePath, Database::Upgrade{&NoteFingerprint::readFacts, progress});
    StyleTable = std::make_unique<DbKORFStyle>(CN01->connection());
    BankTable = std::make_unique<DbKORFBank>(CN01->connection());
    clearFilter();
}

QSqlDatabase SBKModule::connection() const {
    return CN01 ? CN01->connection() : QSqlDatabase();
}

void SBKModule::clearFilter() {
    FilterFields.fill(QString());
    FilterMeter.clear();
    FilterTempoFrom = FilterTempoTo = 0;
    FilterDamaged = false;
    FilterSimilarTo = 0;
    FilterWhere.clear();
    FilterValues.clear();
    FilterOrder.clear();
}

void SBKModule::refreshListing() {
    StyleRecordset = StyleLibrary.GetAllStyles(connection(), FilterWhere, FilterOrder, FilterValues);
}
