// Commands for the shell around sbk-cli: completion.
#include "cli/CliCommand.h"
#include "cli/CliManual.h"

namespace {

int runCompletion(CliContext& context) {
    const CliArgs args(context.args, {}, {});
    args.expectPositionals(1, 1, QStringLiteral("the shell (bash)"));
    if (args.positionals().first() != QStringLiteral("bash"))
        throw CliUsageError(QStringLiteral("there is a completion script for bash only, not for \"%1\"")
                                .arg(args.positionals().first()));
    context.out << CliManual::bashCompletion();
    return 0;
}

const CliRegistration
    completion({QStringLiteral("completion"),
                QStringLiteral("completion bash\n"
                               "  Prints a bash completion script of the commands and their "
                               "options;\n  load it with: source <(sbk-cli completion bash)"),
                QStringLiteral("a completion script for the shell"), &runCompletion});

} // namespace
