#include "core/SBKSettings.h"
#include "gui/banks/KorgUtility.h"
#include "gui/main/DialogProgress.h"
#include "gui/main/DialogPrompt.h"
#include "gui/main/FileOpener.h"
#include "gui/main/frmMain.h"
#include "gui/main/HelpKeyFilter.h"
#include "session/SBKModule.h"
#include "session/StartUp.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <QApplication>
#include <QIcon>
#include <QTimer>
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

const char* const Usage = "Usage: sbk [FILE...]\n"
                          "Starts SBK, the style librarian for KORG Pa-series arrangers. Each FILE opens in\n"
                          "the window that reads it: an STY or SSF file in its import window, a PDD file in\n"
                          "the backup / restore window, chosen for the restore.\n"
                          "  --help     this text\n"
                          "  --version  the program's version\n";

// --help and --version answer without a display; "" when the program is to start.
const char* earlyAnswer(int argc, char* argv[]) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--help") == 0)
            return Usage;
        if (std::strcmp(argv[i], "--version") == 0)
            return "sbk (SBK) " SBK_VERSION "\n";
    }
    return "";
}

QIcon applicationIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/sbk-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace

int main(int argc, char* argv[]) {
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
    // The files to open: the arguments Qt left, all of them after "--".
    QStringList files = QCoreApplication::arguments().mid(1);
    files.removeOne(QStringLiteral("--"));

    DialogPrompt prompt;
    SBKSettings settings;
    SBKModule module;
    HelpKeyFilter help;
    app.installEventFilter(&help);

#ifdef SBK_HAVE_XTEST
    KorgUtility::setTyper([](const QString& text) { return XTestTyper::type(text); });
#endif

    DialogProgress upgrade(true);
    if (!StartUp::Main(settings, module, prompt, QString(), &upgrade))
        return 0;
    frmMain window(module, prompt);
    window.show();
    if (!files.isEmpty())
        QTimer::singleShot(0, &window, [&] { FileOpener::open(module, prompt, files, &window); });
    const int status = app.exec();
    module.closeDatabase();
    return status;
}
