#include "session/StartUp.h"

#include "core/BuildTree.h"
#include "core/Prompt.h"
#include "core/SbkError.h"
#include "core/SBKSettings.h"
#include "session/SBKModule.h"
#include "store/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

// Runs work; an SbkError is shown as a critical message and gives false.
template <typename Work> bool shownOnError(Prompt& prompt, Work work) {
    try {
        return work();
    } catch (const SbkError& e) {
        prompt.message(e.message(), Prompt::Title, Prompt::Icon::Critical);
        return false;
    }
}

// DatabasePath := the stored path, else the default one, asking while no file is there; false when
// the user gave up. A stored database that has gone is asked for like a first one, proposing the
// default.
bool knowDatabase(SBKSettings& settings, SBKModule& module, Prompt& prompt, const QString& defaultDatabase) {
    module.DatabasePath = settings.value(SBKSettings::Path, SBKSettings::Database);
    const QString gone = !module.DatabasePath.isEmpty() && !QFileInfo(module.DatabasePath).isFile()
                             ? module.DatabasePath
                             : QString();
    if (!module.DatabasePath.isEmpty() && gone.isEmpty())
        return true;
    module.DatabasePath = defaultDatabase.isEmpty() ? SBKModule::defaultDatabasePath() : defaultDatabase;
    // An installed program keeps its default database in the user's data folder and starts it
    // empty there; run from its build tree, it asks while the file is missing.
    if (defaultDatabase.isEmpty() && BuildTree::folder().isEmpty())
        SBKModule::ensureDefaultDatabase(module.DatabasePath);
    // The example is the path proposed, so the answer that needs no typing is the one shown.
    const QString question = QStringLiteral("Please insert database path (Example: %1)")
                                 .arg(QDir::toNativeSeparators(module.DatabasePath));
    QString reason =
        gone.isEmpty() ? QString() : QStringLiteral("The database file %1 was not found.\n").arg(gone);
    while (!reason.isEmpty() || !QFileInfo(module.DatabasePath).isFile()) {
        module.DatabasePath =
            prompt.input(reason + question, Prompt::Title, module.DatabasePath).value_or(QString());
        reason.clear();
        if (module.DatabasePath.isEmpty() &&
            prompt.message(QStringLiteral("A database path is needed or SBK cannot continue. Try again?"),
                           Prompt::Title, Prompt::Icon::Critical, Prompt::Buttons::YesNo,
                           Prompt::Answer::Yes) == Prompt::Answer::No)
            return false;
    }
    settings.setValue(SBKSettings::Path, SBKSettings::Database, module.DatabasePath);
    return true;
}

} // namespace

bool StartUp::Main(SBKSettings& settings, SBKModule& module, Prompt& prompt, const QString& defaultDatabase,
                   Progress* progress) {
    module.WorkingBankStyles.Clear();
    return shownOnError(prompt, [&] {
        if (!knowDatabase(settings, module, prompt, defaultDatabase))
            return false;
        module.readParameters(settings);
        ConnectDatabase(module, prompt, progress);
        return true;
    });
}

bool StartUp::MainOn(const QString& database, SBKSettings& settings, SBKModule& module, Prompt& prompt,
                     Progress* progress) {
    module.WorkingBankStyles.Clear();
    module.DatabasePath = QFileInfo(database).absoluteFilePath();
    return shownOnError(prompt, [&] {
        module.readParameters(settings);
        ConnectDatabase(module, prompt, progress);
        return true;
    });
}

void StartUp::ConnectDatabase(SBKModule& module, Prompt& prompt, Progress* progress) {
    module.ConnectDatabase(progress);
    if (const qint64 without = module.CN01->stylesWithoutFacts(); without > 0)
        prompt.message(QStringLiteral("The database was brought up to date. The tempo or meter of %1 stored "
                                      "styles could not be read from their data; those styles are kept as "
                                      "they were and show no tempo or meter.")
                           .arg(without),
                       Prompt::Title, Prompt::Icon::Information);
}

void StartUp::ExitApplication(SBKModule& module) {
    module.closeDatabase();
    module.WorkingBankStyles.Clear();
    QCoreApplication::processEvents();
    QCoreApplication::exit(0);
}

QString StartUp::ShowOpenDialog(Prompt& prompt, const QString& filter) {
    try {
        return prompt.openFile(filter);
    } catch (...) {
        return QString();
    }
}

QString StartUp::ShowSaveDialog(Prompt& prompt, const QString& filter, const QString& proposedName) {
    try {
        return prompt.saveFile(filter, proposedName);
    } catch (...) {
        return QString();
    }
}
