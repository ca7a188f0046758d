#pragma once

#include <QString>

class Progress;
class Prompt;
class SBKModule;
class SBKSettings;

// The program's start-up and its shared procedures around the database and the file dialogs.
class StartUp {
public:
    // Reads the settings, makes sure a database file is known (asking for it while none exists at
    // the path; a stored file that has gone is asked for again, proposing the default), opens the
    // shared connection and reads the parameters. Returns false when the program must end: the user
    // gave up asking for a path, or the database could not be opened (its message has then been
    // shown). defaultDatabase overrides SBKModule::defaultDatabasePath; progress shows the bringing
    // up to date of a library of an older version (see ConnectDatabase).
    static bool Main(SBKSettings& settings, SBKModule& module, Prompt& prompt,
                     const QString& defaultDatabase = QString(), Progress* progress = nullptr);

    // SBKModule::ConnectDatabase on module.DatabasePath, a library of an older version brought up to
    // date with its progress shown; when the tempo or meter of stored styles could not be read then,
    // a message says how many. Throws SbkError as ConnectDatabase does.
    static void ConnectDatabase(SBKModule& module, Prompt& prompt, Progress* progress);

    // Main on the database the command line names (sbk --db PATH): nothing is asked and the
    // stored path stays the default of later runs. Returns false when it cannot be opened (its
    // message has then been shown).
    static bool MainOn(const QString& database, SBKSettings& settings, SBKModule& module, Prompt& prompt,
                       Progress* progress = nullptr);

    // Orderly end: releases the shared objects, closes the database and ends the event loop.
    static void ExitApplication(SBKModule& module);

    // The shared file dialogs; any failure, cancelling included, gives "".
    static QString ShowOpenDialog(Prompt& prompt, const QString& filter);
    static QString ShowSaveDialog(Prompt& prompt, const QString& filter, const QString& proposedName);
};
