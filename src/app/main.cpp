#include "core/SBKSettings.h"
#include "gui/banks/KorgUtility.h"
#include "gui/main/DialogPrompt.h"
#include "gui/main/frmMain.h"
#include "gui/main/HelpKeyFilter.h"
#include "session/SBKModule.h"
#include "session/StartUp.h"

#include <cstdio>
#include <cstdlib>
#include <QApplication>
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

} // namespace

int main(int argc, char* argv[]) {
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

    DialogPrompt prompt;
    SBKSettings settings;
    SBKModule module;
    HelpKeyFilter help;
    app.installEventFilter(&help);

#ifdef SBK_HAVE_XTEST
    KorgUtility::setTyper([](const QString& text) { return XTestTyper::type(text); });
#endif

    if (!StartUp::Main(settings, module, prompt))
        return 0;
    frmMain window(module, prompt);
    window.show();
    const int status = app.exec();
    module.closeDatabase();
    return status;
}
