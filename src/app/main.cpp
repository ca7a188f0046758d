#include "core/SaveFile.h"
#include "core/SBKSettings.h"
#include "gui/banks/KorgUtility.h"
#include "gui/main/DialogProgress.h"
#include "gui/main/DialogPrompt.h"
#include "gui/main/FileOpener.h"
#include "gui/main/frmMain.h"
#include "gui/main/HelpKeyFilter.h"
#include "gui/main/PendingFiles.h"
#include "gui/main/RunningInstance.h"
#include "session/SBKModule.h"
#include "session/StartUp.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <QApplication>
#include <QDir>
#include <QIcon>
#ifdef SBK_HAVE_XTEST
#include "app/XTestTyper.h"
#endif

namespace {

// Without a display Qt would end the program with a platform error; say what to do instead.
bool displayMissing() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
           qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
#else
    return false;
#endif
}

const char* const Usage =
    "Usage: sbk [--db PATH] [FILE...]\n"
    "Starts SBK, the style librarian for KORG Pa-series arrangers. Each FILE opens in\n"
    "the window that reads it: an STY or SSF file in its import window, a PDD file in\n"
    "the backup / restore window, chosen for the restore. When SBK runs already on the\n"
    "same database, the files open in that one, whose window comes to the front.\n"
    "  --db PATH   the database of this run (the stored one stays the default)\n"
    "  -h, --help  this text\n"
    "  --version   the program's version\n";

// --help, -h and --version answer without a display; "" when the program is to start.
const char* earlyAnswer(int argc, char* argv[]) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return Usage;
        if (std::strcmp(argv[i], "--version") == 0)
            return "sbk (SBK) " SBK_VERSION "\n";
    }
    return "";
}

// What the command line asks for, once Qt has taken its own options (-platform, -style, ...).
struct CommandLine {
    QString database; // --db, "" when not given
    QStringList files;
    QString error; // a usage error, "" when there is none
};

CommandLine readCommandLine(const QStringList& args) {
    CommandLine line;
    bool onlyFiles = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (onlyFiles || arg == QStringLiteral("-") || !arg.startsWith(QLatin1Char('-'))) {
            line.files << FileOpener::absolutePath(arg);
        } else if (arg == QStringLiteral("--")) {
            onlyFiles = true;
        } else if (arg == QStringLiteral("--db") && i + 1 < args.size()) {
            line.database = args[++i];
        } else if (arg.startsWith(QStringLiteral("--db="))) {
            line.database = arg.mid(5);
        } else {
            line.error = arg == QStringLiteral("--db") ? QStringLiteral("the option --db needs a value")
                                                       : QStringLiteral("unknown option %1").arg(arg);
            return line;
        }
    }
    return line;
}

// The database this start would open, whose running SBK takes the files instead.
QString databaseOfThisStart(const CommandLine& line, const SBKSettings& settings) {
    if (!line.database.isEmpty())
        return line.database;
    const QString stored = settings.value(SBKSettings::Path, SBKSettings::Database);
    return stored.isEmpty() ? SBKModule::defaultDatabasePath() : stored;
}

QIcon applicationIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/sbk-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace

int main(int argc, char* argv[]) {
    SaveFile::failWritesPastSizeLimit();
    if (const char* answer = earlyAnswer(argc, argv); *answer) {
        std::fputs(answer, stdout);
        return 0;
    }
    if (displayMissing()) {
        std::fputs("sbk: there is no display here, so the SBK window cannot open.\n"
                   "Use the command-line tool instead, for example:\n"
                   "  sbk-cli list\n"
                   "  sbk-cli --help\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("SBK"));
    QCoreApplication::setApplicationName(QStringLiteral("SBK"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SBK_VERSION));
    // The desktop entry's name, so that the desktop shows the windows under its icon and name.
    QGuiApplication::setDesktopFileName(QStringLiteral(SBK_APP_ID));
    QApplication::setWindowIcon(applicationIcon());
    const CommandLine line = readCommandLine(QCoreApplication::arguments().mid(1));
    if (!line.error.isEmpty()) {
        std::fprintf(stderr, "sbk: %s\n%s", qPrintable(line.error), Usage);
        return 2;
    }

    DialogPrompt prompt;
    SBKSettings settings;
    const QString database = databaseOfThisStart(line, settings);
    switch (RunningInstance::handOver(database, line.files)) {
    case RunningInstance::HandOver::Taken:
        return 0;
    case RunningInstance::HandOver::NoAnswer:
        prompt.message(QStringLiteral("SBK runs on the database %1 but does not answer, so it cannot open "
                                      "what was asked. Try again when it has finished its work.")
                           .arg(QDir::toNativeSeparators(database)),
                       Prompt::Title, Prompt::Icon::Exclamation);
        return 1;
    case RunningInstance::HandOver::NoneRuns:
        break;
    }

    SBKModule module;
    HelpKeyFilter help;
    app.installEventFilter(&help);

#ifdef SBK_HAVE_XTEST
    KorgUtility::setTyper([](const QString& text) { return XTestTyper::type(text); });
#endif

    DialogProgress upgrade;
    const bool started = line.database.isEmpty()
                             ? StartUp::Main(settings, module, prompt, QString(), &upgrade)
                             : StartUp::MainOn(line.database, settings, module, prompt, &upgrade);
    if (!started) // ended by the user, or the database of --db could not be opened
        return line.database.isEmpty() ? 0 : 1;
    frmMain window(module, prompt);
    window.show();
    RunningInstance instance(module);
    PendingFiles pending(module, prompt, &window);
    QObject::connect(&instance, &RunningInstance::filesHandedOver, &pending, &PendingFiles::add,
                     Qt::QueuedConnection);
    pending.add(line.files);
    const int status = app.exec();
    module.closeDatabase();
    return status;
}
