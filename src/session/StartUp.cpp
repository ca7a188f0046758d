#include "session/StartUp.h"

#include "core/Prompt.h"
#include "core/SbkError.h"
#include "core/SBKSettings.h"
#include "session/SBKModule.h"
#include "store/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace {

bool isBesideProgram(const QString& path) {
    return QFileInfo(path).absolutePath() ==
           QFileInfo(QCoreApplication::applicationDirPath()).absoluteFilePath();
}

} // namespace

QString StartUp::examplePath() {
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\SBK\\SBK.MDB");
#else
    return QDir(QDir::homePath()).filePath(QStringLiteral("SBK/SBK.MDB"));
#endif
}

bool StartUp::Main(SBKSettings& settings, SBKModule& module, Prompt& prompt, const QString& defaultDatabase,
                   Progress* progress) {
    module.WorkingBankStyles.Clear();
    module.DatabasePath = settings.value(SBKSettings::Path, SBKSettings::Database);
    try {
        // A stored database that has gone is asked for like a first one, proposing the default.
        const QString gone = !module.DatabasePath.isEmpty() && !QFileInfo(module.DatabasePath).isFile()
                                 ? module.DatabasePath
                                 : QString();
        if (module.DatabasePath.isEmpty() || !gone.isEmpty()) {
            module.DatabasePath =
                defaultDatabase.isEmpty() ? SBKModule::defaultDatabasePath() : defaultDatabase;
            // An installed copy keeps its default database in the user's data folder and starts
            // it empty there; beside a writable program the user is asked as before.
            if (defaultDatabase.isEmpty() && !isBesideProgram(module.DatabasePath))
                SBKModule::ensureDefaultDatabase(module.DatabasePath);
            const QString question =
                QStringLiteral("Please insert database path (Example: %1)").arg(examplePath());
            QString reason = gone.isEmpty()
                                 ? QString()
                                 : QStringLiteral("The database file %1 was not found.\n").arg(gone);
            while (!reason.isEmpty() || !QFileInfo(module.DatabasePath).isFile()) {
                module.DatabasePath =
                    prompt.input(reason + question, Prompt::Title, module.DatabasePath).value_or(QString());
                reason.clear();
                if (module.DatabasePath.isEmpty() &&
                    prompt.message(
                        QStringLiteral("A database path is needed or SBK cannot continue. Try again?"),
                        Prompt::Title, Prompt::Icon::Critical, Prompt::Buttons::YesNo,
                        Prompt::Answer::Yes) == Prompt::Answer::No)
                    return false;
            }
            settings.setValue(SBKSettings::Path, SBKSettings::Database, module.DatabasePath);
        }
        module.readParameters(settings);
        ConnectDatabase(module, prompt, progress);
    } catch (const Database::UpgradeCancelled& e) {
        prompt.message(e.message() + QStringLiteral("\nSBK ends now."), Prompt::Title,
                       Prompt::Icon::Information);
        return false;
    } catch (const SbkError& e) {
        prompt.message(e.message(), Prompt::Title, Prompt::Icon::Critical);
        return false;
    }
    return true;
}

void StartUp::ConnectDatabase(SBKModule& module, Prompt& prompt, Progress* progress) {
    module.ConnectDatabase(progress);
    const qint64 without = module.CN01->stylesWithoutFacts();
    const DamagedStyles& damaged = module.CN01->stylesDamaged();
    if (without == 0 && damaged.isEmpty())
        return;
    QStringList text{QStringLiteral("The database was brought up to date.")};
    if (without > 0)
        text << QStringLiteral("The tempo or meter of %1 stored styles could not be read from their data; "
                               "those styles are kept as they were and show no tempo or meter.")
                    .arg(without);
    if (!damaged.isEmpty())
        text << damaged.sentence(QStringLiteral("stored")) + QLatin1Char(' ') + DamagedFilterHint;
    prompt.message(text.join(QStringLiteral("\n\n")), Prompt::Title, Prompt::Icon::Information);
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
