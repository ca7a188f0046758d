// sbk-cli: the command-line front end of SBK.
#include "cli/CliCommand.h"
#include "cli/CliManual.h"
#include "core/SaveFile.h"
#include "core/SbkError.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QIODevice>
#include <unistd.h>

namespace {

// The command named on the command line (after the global options), "" when there is none.
QString commandName(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QStringLiteral("--db"))
            ++i;
        else if (!arg.startsWith(QStringLiteral("--")))
            return arg;
    }
    return QString();
}

// Everything written to standard output must have reached it: a full disk or a closed pipe is a
// failure (SbkError), not a success with the output cut.
void finishOutput(QTextStream& out) {
    out.flush();
    if (out.status() == QTextStream::Ok && std::fflush(stdout) == 0 && !std::ferror(stdout))
        return;
    const QString why = out.device() ? out.device()->errorString() : QString();
    throw SbkError(QStringLiteral("cannot write to standard output: %1")
                       .arg(why.isEmpty() || why == QLatin1String("Unknown error")
                                ? QString::fromLocal8Bit(std::strerror(errno))
                                : why));
}

} // namespace

int main(int argc, char** argv) {
    SaveFile::failWritesPastSizeLimit();
    // A command that lays out a page needs fonts, hence a GUI application; the offscreen platform
    // serves it without a display.
    const CliCommandInfo* named = CliRegistry::find(commandName(argc, argv));
    std::unique_ptr<QCoreApplication> app;
    if (named && named->paints) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setOrganizationName(QStringLiteral("SBK"));
    QCoreApplication::setApplicationName(QStringLiteral("SBK"));
    QTextStream out(stdout);
    QTextStream err(stderr);

    QStringList args = QCoreApplication::arguments().mid(1);
    CliContext context{{}, {}, out, err, isatty(fileno(stderr)) == 1, isatty(fileno(stdin)) == 1};
    try {
        while (!args.isEmpty() && args.first().startsWith(QStringLiteral("--"))) {
            const QString option = args.takeFirst();
            if (option == QStringLiteral("--help")) {
                out << CliManual::helpText();
                finishOutput(out);
                return 0;
            }
            if (option == QStringLiteral("--version")) {
                out << QStringLiteral("sbk-cli (SBK) %1\n").arg(QStringLiteral(SBK_VERSION));
                finishOutput(out);
                return 0;
            }
            // The build writes the manual page sbk-cli.1 with this; it is no option for users.
            if (option == QStringLiteral("--man-page")) {
                out << CliManual::manPage();
                finishOutput(out);
                return 0;
            }
            if (option == QStringLiteral("--db")) {
                if (args.isEmpty())
                    throw CliUsageError(QStringLiteral("the option --db needs a value"));
                context.dbOption = args.takeFirst();
            } else if (option.startsWith(QStringLiteral("--db="))) {
                context.dbOption = option.mid(5);
            } else {
                throw CliUsageError(QStringLiteral("unknown option %1").arg(option));
            }
        }
        if (args.isEmpty())
            throw CliUsageError(QStringLiteral("no command given"));
        const QString name = args.takeFirst();
        const CliCommandInfo* command = CliRegistry::find(name);
        if (!command)
            throw CliUsageError(QStringLiteral("unknown command \"%1\"").arg(name));
        int status = 0;
        if (args.contains(QStringLiteral("--help"))) {
            out << QStringLiteral("Usage: sbk-cli [--db PATH] %1\n%2\n")
                       .arg(command->synopsis, command->summary);
        } else {
            context.args = args;
            status = command->run(context);
        }
        finishOutput(out);
        return status;
    } catch (const CliUsageError& error) {
        out.flush();
        err << QStringLiteral("sbk-cli: %1\nTry \"sbk-cli --help\".\n").arg(error.text);
        return 2;
    } catch (const SbkError& error) {
        out.flush();
        cliProgressDone(context);
        QString text = error.message();
        // The database's words for a damaged file ("database disk image is malformed", "malformed
        // database schema") name no file; here it is named.
        if (text.contains(QLatin1String("malformed")))
            text += QStringLiteral("\nThe database file %1 is damaged; restore it from a backup.")
                        .arg(context.databasePath());
        err << QStringLiteral("sbk-cli: %1\n").arg(text);
        return 1;
    }
}
