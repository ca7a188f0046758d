#include "gui/banks/KorgUtility.h"

#include "banks/KorgWorkFile.h"
#include "core/Prompt.h"
#include "core/SbkError.h"
#include "session/SBKModule.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>

KorgUtility::Typer& KorgUtility::typer() {
    static Typer installed;
    return installed;
}

void KorgUtility::setTyper(Typer typer) {
    KorgUtility::typer() = std::move(typer);
}

KorgUtility::Outcome KorgUtility::send(SBKModule& module, Prompt& prompt, qint32 style, const QString& name,
                                       const QString& workFolder) {
    // The typing waits for the utility's window while the program's windows go on: a second send
    // meanwhile would type into the same window.
    static bool sending = false;
    if (sending)
        return Outcome::Failed;
    sending = true;
    const auto done = qScopeGuard([] { sending = false; });
    // Nothing is written or started without a utility to hand it to.
    const QString program = module.KorgProgramPath.trimmed();
    if (program.isEmpty()) {
        prompt.message(QStringLiteral("No KORG utility is set. Please click on Parameter button inside main "
                                      "form and insert its path!"),
                       Prompt::Title, Prompt::Icon::Critical);
        return Outcome::NoProgram;
    }
    const QFileInfo info(program);
    if (!info.isFile() || !info.isExecutable()) {
        prompt.message(
            QStringLiteral("The KORG utility %1 %2. Please click on Parameter button inside main form "
                           "and correct its path!")
                .arg(QDir::toNativeSeparators(program),
                     info.exists() ? QStringLiteral("is not a program that can be started")
                                   : QStringLiteral("does not exist")),
            Prompt::Title, Prompt::Icon::Critical);
        return Outcome::NoProgram;
    }

    QString workFile;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        workFile = KorgWorkFile::path(workFolder.isEmpty() ? KorgWorkFile::userFolder() : workFolder);
        const bool written = KorgWorkFile::write(module.connection(), module.StyleLibrary, style, workFile);
        QApplication::restoreOverrideCursor();
        if (!written) {
            // Deleted by another window or program since the grid was filled.
            prompt.message(QStringLiteral("The style %1 is no longer in the database, so it was not sent to "
                                          "the KORG utility.")
                               .arg(name.trimmed()),
                           Prompt::Title, Prompt::Icon::Exclamation);
            return Outcome::NotStored;
        }
    } catch (const SbkError& error) {
        QApplication::restoreOverrideCursor();
        prompt.message(error.message(), Prompt::Title, Prompt::Icon::Critical);
        return Outcome::Failed;
    }

    // Started in its own folder, as a program started from its icon would be.
    QProcess process;
    process.setProgram(info.absoluteFilePath());
    process.setWorkingDirectory(info.absolutePath());
    if (!process.startDetached()) {
        prompt.message(QStringLiteral("The KORG utility %1 could not be started.")
                           .arg(QDir::toNativeSeparators(info.absoluteFilePath())),
                       Prompt::Title, Prompt::Icon::Critical);
        return Outcome::Failed;
    }
    if (typer() && typer()(workFile))
        return Outcome::Typed;
    QApplication::clipboard()->setText(workFile);
    prompt.message(
        QStringLiteral("The KORG utility has been started. SBK cannot type into it here, so the path "
                       "of the work file is on the clipboard: paste it where the utility asks for "
                       "a file.\n\n") +
            workFile,
        Prompt::Title, Prompt::Icon::Information);
    return Outcome::OnClipboard;
}
