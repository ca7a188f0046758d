// Commands that keep banks: bank-save, bank-delete, bank-print.
#include "banks/BankPage.h"
#include "banks/WorkingBank.h"
#include "cli/CliCommand.h"
#include "cli/TerminalPrompt.h"
#include "core/SbkError.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/DbKORFStyle.h"
#include "store/Transaction.h"

#include <climits>

namespace {

int runBankSave(CliContext& context) {
    const CliArgs args(context.args, {QStringLiteral("replace")}, {QStringLiteral("desc")});
    args.expectPositionals(2, INT_MAX, QStringLiteral("NAME and at least one STYLE"));
    const QString name = args.positionals().first();
    const QString desc = args.value(QStringLiteral("desc"));
    const QStringList styleArgs = args.positionals().mid(1);
    if (name.trimmed().isEmpty())
        throw CliUsageError(QStringLiteral("NAME must not be blank"));
    if (name.size() > 50 || desc.size() > 250)
        throw CliUsageError(QStringLiteral("a bank name holds at most 50 characters, a description 250"));
    if (styleArgs.size() > DbKORFBank::SlotCount)
        throw CliUsageError(QStringLiteral("a bank holds at most 32 styles, not %1").arg(styleArgs.size()));
    const QList<qint32> styles = cliStyleNumbers(styleArgs);
    if (const QString problem = WorkingBank::refusal(name, desc); !problem.isEmpty())
        throw CliUsageError(problem);

    const auto db = context.openDatabase();
    // The name is looked up and a new number taken with the database held for writing, so that a
    // program storing banks meanwhile (an import) cannot take the same number between the two.
    Transaction transaction(db->connection());
    DbKORFStyle table(db->connection());
    for (qint32 style : styles) {
        table.setStyleProg(style);
        if (!table.GetKORFStylesNoContent())
            throw SbkError(QStringLiteral("There is no style %1.").arg(style));
    }
    // Looked up trimmed, stored as given, as the bank dialog does.
    DbKORFBank existing(db->connection());
    existing.setBankName(name.trimmed());
    const bool found = existing.GetKORFBanksByName();
    if (!found && !existing.clsKORFBanksError().isEmpty())
        throw SbkError(existing.clsKORFBanksError());
    if (found && !args.has(QStringLiteral("replace")))
        throw SbkError(QStringLiteral("Bank %1 already present (bank %2); give --replace to overwrite it.")
                           .arg(name.trimmed())
                           .arg(existing.BankProg()));
    // A name that several banks hold (from a restore or another program) names none of them.
    if (const QList<qint32> named = found ? existing.NumbersByName() : QList<qint32>(); named.size() > 1) {
        QStringList numbers;
        for (qint32 number : named)
            numbers << QString::number(number);
        throw SbkError(
            QStringLiteral("The banks %1 are all named %2; delete one, or save under another name.")
                .arg(numbers.join(QStringLiteral(", ")), name.trimmed()));
    }

    DbKORFBank bank(db->connection());
    bank.setBankProg(found ? existing.BankProg() : bank.NextKORFBank());
    bank.setBankName(name);
    // Overwriting without --desc keeps the stored description.
    bank.setBankDesc(found && !args.has(QStringLiteral("desc")) ? existing.BankDesc() : desc);
    for (int k = 1; k <= DbKORFBank::SlotCount; ++k)
        bank.setBankStyle(k, k <= styles.size() ? styles.at(k - 1) : 0);
    if (!(found ? bank.UpdKORFBanks() : bank.InsKORFBanks()))
        throw SbkError(QStringLiteral("Cannot store the bank %1: %2").arg(name, bank.clsKORFBanksError()));
    transaction.commit();
    context.out << QStringLiteral("Bank %1 %2 as bank %3 (%4 styles)\n")
                       .arg(name, found ? QStringLiteral("overwritten") : QStringLiteral("stored"))
                       .arg(bank.BankProg())
                       .arg(styles.size());
    return 0;
}

int runBankDelete(CliContext& context) {
    const CliArgs args(context.args, {QStringLiteral("yes")},
                       {QStringLiteral("number"), QStringLiteral("name")});
    QStringList positionals = args.positionals();
    const CliBankRef which = cliBankRef(args, positionals, QStringLiteral("BANK (a bank number or name)"));
    if (!positionals.isEmpty())
        throw CliUsageError(QStringLiteral("unexpected argument \"%1\"").arg(positionals.first()));
    const bool confirmed = args.has(QStringLiteral("yes"));
    if (!confirmed && !context.stdinIsTerminal)
        throw CliUsageError(QStringLiteral("bank-delete asks for confirmation on the terminal; stdin is not "
                                           "a terminal, so give --yes to confirm."));
    const auto db = context.openDatabase();
    DbKORFBank bank = cliBank(*db, which);
    if (!confirmed) {
        QTextStream in(stdin);
        TerminalPrompt prompt(in, context.err);
        if (!prompt.confirm(QStringLiteral("Deleting bank %1 (bank %2) from database?")
                                .arg(bank.BankName().trimmed())
                                .arg(bank.BankProg())))
            throw SbkError(QStringLiteral("Nothing deleted."));
    }
    if (!bank.DelKORFBanks())
        throw SbkError(
            QStringLiteral("Cannot delete the bank %1: %2").arg(bank.BankName(), bank.clsKORFBanksError()));
    context.out << QStringLiteral("Bank %1 (bank %2) deleted\n").arg(bank.BankName()).arg(bank.BankProg());
    return 0;
}

int runBankPrint(CliContext& context) {
    const CliArgs args(context.args, {},
                       {QStringLiteral("pdf"), QStringLiteral("number"), QStringLiteral("name")});
    QStringList positionals = args.positionals();
    const CliBankRef which = cliBankRef(args, positionals, QStringLiteral("BANK (a bank number or name)"));
    if (!positionals.isEmpty())
        throw CliUsageError(QStringLiteral("unexpected argument \"%1\"").arg(positionals.first()));
    const QString path = args.value(QStringLiteral("pdf"));
    if (path.isEmpty())
        throw CliUsageError(QStringLiteral("bank-print writes a PDF file: give --pdf FILE"));
    const auto db = context.openDatabase();
    const DbKORFBank bank = cliBank(*db, which);
    // The styles as the working bank holds them after loading: stored slots in order.
    QList<qint32> styles;
    for (qint32 style : bank.slotValues())
        if (style > 0)
            styles << style;
    const BankPage page = BankPage::fromDatabase(db->connection(), bank.BankName(), bank.BankDesc(), styles);
    page.writePdf(path);
    context.out << QStringLiteral("Bank %1 written to %2 (%3 styles)\n")
                       .arg(bank.BankName(), path)
                       .arg(page.styleLines().size());
    return 0;
}

const CliRegistration
    bankSave({QStringLiteral("bank-save"),
              QStringLiteral("bank-save NAME [--desc TEXT] STYLE... [--replace]\n"
                             "  Up to 32 style numbers, in slot order. A bank of the same name"
                             "\n  is overwritten (keeping its number) only with --replace."),
              QStringLiteral("store a new bank of the given styles"), &runBankSave});
const CliRegistration bankDelete({QStringLiteral("bank-delete"),
                                  QStringLiteral("bank-delete BANK|--number N|--name NAME [--yes]\n"
                                                 "  Asks on the terminal unless --yes is given."),
                                  QStringLiteral("delete a stored bank (by number or name)"),
                                  &runBankDelete});
const CliRegistration bankPrint({QStringLiteral("bank-print"),
                                 QStringLiteral("bank-print BANK|--number N|--name NAME --pdf FILE"),
                                 QStringLiteral("the printed page of a bank, as a PDF file"), &runBankPrint,
                                 true});

} // namespace
