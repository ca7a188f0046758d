// Commands that move styles and whole databases in and out: ssf-export, ssf-import, backup, restore.
#include "cli/CliCommand.h"
#include "cli/TerminalPrompt.h"
#include "core/Progress.h"
#include "core/SbkError.h"
#include "interchange/PddBackup.h"
#include "interchange/PddRestore.h"
#include "interchange/SsfExport.h"
#include "interchange/SsfImport.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/KORFStyles.h"
#include "store/StyleListing.h"

#include <cstdio>
#include <QFileInfo>

namespace {

// The styles of a saved bank, by number or else by name, as the working bank holds them.
QString loadBank(const Database& db, const CliBankRef& which, KORFStyles& styles) {
    const DbKORFBank bank = cliBank(db, which);
    for (int slot = 1; slot <= DbKORFBank::SlotCount; ++slot)
        if (bank.BankStyle(slot) > 0)
            styles.Add(bank.BankStyle(slot), QString(), QString(), 0, 0, QByteArray(), QByteArray());
    return bank.BankName();
}

int runSsfExport(CliContext& context) {
    const CliArgs args(context.args, {QStringLiteral("all")},
                       {QStringLiteral("to"), QStringLiteral("bank"), QStringLiteral("bank-number"),
                        QStringLiteral("bank-name")});
    const bool bankMode = args.has(QStringLiteral("bank")) || args.has(QStringLiteral("bank-number")) ||
                          args.has(QStringLiteral("bank-name"));
    const QString folder = args.value(QStringLiteral("to")).trimmed();
    if (folder.isEmpty())
        throw CliUsageError(QStringLiteral("ssf-export needs --to FOLDER"));
    const int modes = (args.positionals().isEmpty() ? 0 : 1) + (args.has(QStringLiteral("all")) ? 1 : 0) +
                      (bankMode ? 1 : 0);
    if (modes != 1)
        throw CliUsageError(
            QStringLiteral("ssf-export needs exactly one of: style numbers, --all or --bank BANK"));

    const auto db = context.openDatabase();
    CliProgress progress(context);
    SsfExport exporter(db->connection(), folder, &progress);
    SsfExport::Result result;
    QString done;
    if (args.has(QStringLiteral("all"))) {
        result = exporter.exportListing(StyleListing::GetAllStyles(db->connection(), QString(), QString()));
        done = SsfExport::AllDoneMessage;
    } else if (bankMode) {
        if (args.has(QStringLiteral("bank")) &&
            (args.has(QStringLiteral("bank-number")) || args.has(QStringLiteral("bank-name"))))
            throw CliUsageError(QStringLiteral("give one of --bank, --bank-number and --bank-name"));
        QStringList positionals{args.value(QStringLiteral("bank"))};
        const CliBankRef which = cliBankRef(args, positionals, QStringLiteral("--bank BANK"),
                                            QStringLiteral("bank-number"), QStringLiteral("bank-name"));
        KORFStyles styles;
        const QString name = loadBank(*db, which, styles);
        result = exporter.exportBank(styles);
        done = SsfExport::bankDoneMessage(name);
    } else {
        result = exporter.exportStyles(cliStyleNumbers(args.positionals()));
        done = SsfExport::SelectedDoneMessage;
    }
    for (const QString& file : result.files)
        context.out << file << '\n';
    for (const QString& renamed : result.renamed)
        context.out << renamed << '\n';
    if (result.skipped > 0)
        context.out << QStringLiteral("%1 style number(s) not in the database were passed over\n")
                           .arg(result.skipped);
    context.out << done << '\n';
    if (!result.warning().isEmpty())
        context.err << QStringLiteral("sbk-cli: warning: %1\n").arg(result.warning());
    return 0;
}

int runSsfImport(CliContext& context) {
    const CliArgs args(context.args, {}, {});
    args.expectPositionals(1, 1, QStringLiteral("PATH (an SSF file or a folder)"));
    const QString path = args.positionals().first();

    const auto db = context.openDatabase();
    CliProgress progress(context);
    SsfImport importer(db->connection(), &progress);
    const SsfImport::Result result =
        QFileInfo(path).isDir() ? importer.importFolder(path) : importer.importFile(path);
    if (!result.found)
        throw SbkError(QStringLiteral("%1: %2").arg(result.message(), path));
    for (const SsfImport::FileResult& file : result.files)
        if (file.outcome != SsfImport::Outcome::Damaged && file.outcome != SsfImport::Outcome::InsertFailed)
            context.out << file.describe() << '\n'; // the closing message says why the others stopped
    if (!result.succeeded())
        throw SbkError(result.message());
    context.out << result.message() << '\n';
    return 0;
}

int runBackup(CliContext& context) {
    const CliArgs args(context.args, {}, {});
    args.expectPositionals(1, 1, QStringLiteral("FILE (the PDD file to write)"));
    const QString target = PddBackup::targetPath(args.positionals().first());
    if (target.isEmpty())
        throw CliUsageError(QStringLiteral("Please insert PDD file path!"));

    const auto db = context.openDatabase();
    CliProgress progress(context);
    const QStringList changed = PddBackup::backup(db->connection(), target, &progress);
    context.out << PddBackup::DoneMessage << '\n' << QStringLiteral("Written to %1\n").arg(target);
    if (!changed.isEmpty())
        context.err << QStringLiteral("sbk-cli: warning: %1\n").arg(PddBackup::warning(changed));
    return 0;
}

int runRestore(CliContext& context) {
    const CliArgs args(context.args, {QStringLiteral("yes")}, {});
    args.expectPositionals(1, 1, QStringLiteral("FILE (the PDD file to read)"));
    const QString path = args.positionals().first().trimmed();
    const bool confirmed = args.has(QStringLiteral("yes"));
    // The two questions protect the current data; without a terminal to ask them on, only --yes
    // may stand in for the answers.
    if (!confirmed && !context.stdinIsTerminal)
        throw CliUsageError(QStringLiteral("restore replaces the whole database and asks for confirmation "
                                           "on the terminal; stdin is not a terminal, so give --yes to "
                                           "confirm."));
    // A path that is there but is not a regular file gets the reader's own reason below.
    if (!QFileInfo::exists(path))
        throw SbkError(QStringLiteral("%1 %2").arg(PddRestore::MissingFileMessage, path));

    const auto db = context.openDatabase();
    const PddRestore::Check check = PddRestore::validate(path);
    if (!check.valid)
        throw SbkError(PddRestore::invalidMessage(path) + QLatin1Char('\n') + check.problem);
    if (!confirmed) {
        QTextStream in(stdin);
        TerminalPrompt prompt(in, context.err);
        if (!prompt.confirm(PddRestore::CheckedQuestion) || !prompt.confirm(PddRestore::DataLostQuestion))
            throw SbkError(QStringLiteral("Restore cancelled; the database was not changed."));
    }
    CliProgress progress(context);
    const DamagedStyles damaged = PddRestore::restore(db->connection(), path, check.records, &progress);
    context.out << PddRestore::DoneMessage << '\n'
                << QStringLiteral("%1 records restored\n").arg(check.records);
    if (!damaged.isEmpty())
        context.out << damaged.sentence(QStringLiteral("restored")) << ' ' << DamagedListHint << '\n';
    return 0;
}

const CliRegistration
    ssfExport({QStringLiteral("ssf-export"),
               QStringLiteral("ssf-export --to FOLDER (STYLE... | --all | --bank BANK | --bank-number N | "
                              "--bank-name NAME)\n"
                              "  One SSF file per style; --all exports every style in number order, "
                              "--bank the styles of a saved bank (number or name)."),
               QStringLiteral("write styles as SSF files"), &runSsfExport});
const CliRegistration ssfImport({QStringLiteral("ssf-import"), QStringLiteral("ssf-import PATH"),
                                 QStringLiteral("import an SSF file, or every *SSF file of a folder"),
                                 &runSsfImport});
const CliRegistration backup({QStringLiteral("backup"), QStringLiteral("backup FILE"),
                              QStringLiteral("write the whole database as a PDD file"), &runBackup});
const CliRegistration restore({QStringLiteral("restore"),
                               QStringLiteral("restore FILE [--yes]\n"
                                              "  Asks two questions on the terminal unless --yes is given."),
                               QStringLiteral("replace the database with the contents of a PDD file"),
                               &runRestore});

} // namespace
