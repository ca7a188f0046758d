#pragma once

#include "store/DbKORFStyle.h"
#include "store/StyleListing.h"
#include "store/WorkingBankState.h"
#include "sty/KORFLibrary.h"

#include <array>
#include <memory>
#include <QString>

class Database;
class Progress;
class SBKSettings;

// The program's shared state, owned by main and handed to the windows and commands: paths,
// filter state, the working bank (WorkingBankState) and the shared database objects.
class SBKModule : public WorkingBankState {
public:
    SBKModule();
    ~SBKModule();
    SBKModule(const SBKModule&) = delete;
    SBKModule& operator=(const SBKModule&) = delete;

    // The default database file "SBK.MDB": in the user's data folder (on Linux
    // ~/.local/share/SBK/SBK/), created empty there on first use; beside the program only when it
    // runs from its build tree (BuildTree).
    static QString defaultDatabasePath();
    // Creates the default database file when it is missing; throws SbkError on failure.
    static void ensureDefaultDatabase(const QString& path);

    // Reads KorgProgramPath, FloppyDrive, PaHdDrive, BackupPath and SoundFontPath (DatabasePath is
    // read by the start-up, which may have to ask for it).
    void readParameters(const SBKSettings& settings);

    // Opens CN01 on DatabasePath, replaces both shared gateways and clears the filter state. A file
    // of an older version is brought up to date, reporting to progress (the tempo and meter of its
    // styles are read). Throws SbkError with the database's message; the previous connection is
    // closed either way.
    void ConnectDatabase(Progress* progress = nullptr);
    void closeDatabase();
    bool isConnected() const { return CN01 != nullptr; }
    QSqlDatabase connection() const override;
    void clearFilter();
    // StyleRecordset := the listing with the filter state in use.
    void refreshListing();

    // Paths.
    QString DatabasePath;
    QString KorgProgramPath;
    QString FloppyDrive;
    QString PaHdDrive;
    QString BackupPath;
    QString SoundFontPath; // "" for the system's General MIDI SoundFont

    // Filter state.
    QString FilterWhere;
    QStringList FilterValues; // bound to the "?" of FilterWhere, in order
    QString FilterOrder;
    std::array<QString, 19> FilterFields;
    // The filter dialog's style facts: a meter ("3/4"; "" for any) and a tempo range (0 for an open end).
    QString FilterMeter;
    int FilterTempoFrom = 0;
    int FilterTempoTo = 0;
    // The filter dialog's "Damaged styles only": the styles whose blocks do not decode.
    bool FilterDamaged = false;
    // The filter dialog's "Similar to the selected style, at least N %": the style (0 for no such
    // test) and N, which stays for the next time when the test goes.
    qint32 FilterSimilarTo = 0;
    int FilterSimilarPercent = 80;

    // Shared objects.
    KORFLibrary StyleLibrary;
    std::unique_ptr<Database> CN01;
    std::unique_ptr<DbKORFStyle> StyleTable;
    StyleListing StyleRecordset;

    // Values exchanged between windows.
    int GridAnchorRow = 0;
    int GridEndRow = 0;
    QString ExchangeValue1;
    QString ExchangeValue2;
    QString ExchangeValue3;
    QString ExchangeValue4;
    std::array<bool, 33> PickedStyles{};
    int ImportMode = 0;
    QString WhereIsStyleNumber;
};
