// Commands that keep banks: bank-save, bank-delete, bank-print; duplicates, which finds the copies of
// styles and merges them, pointing the banks to the styles kept.
#include "banks/BankPage.h"
#include "banks/DuplicateStyles.h"
#include "banks/WorkingBank.h"
#include "cli/CliCommand.h"
#include "cli/TerminalPrompt.h"
#include "core/SbkError.h"
#include "core/SingleByteText.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/DbKORFStyle.h"
#include "store/Transaction.h"

#include <climits>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

int runBankSave(CliContext& context) {
    const CliArgs args(context.args, {QStringLiteral("replace")}, {QStringLiteral("desc")});
    args.expectPositionals(2, INT_MAX, QStringLiteral("NAME and at least one STYLE"));
    // Trimmed once, here: the name is looked up and stored as the user meant it.
    const QString name = args.positionals().first().trimmed();
    const QString desc = args.value(QStringLiteral("desc"));
    const QStringList styleArgs = args.positionals().mid(1);
    if (name.isEmpty())
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
    DbKORFBank existing(db->connection());
    existing.setBankName(name);
    const bool found = existing.GetKORFBanksByName();
    if (!found && !existing.clsKORFBanksError().isEmpty())
        throw SbkError(Database::inWords(existing.clsKORFBanksError()));
    if (found && !args.has(QStringLiteral("replace")))
        throw SbkError(QStringLiteral("Bank %1 already present (bank %2); give --replace to overwrite it.")
                           .arg(name)
                           .arg(existing.BankProg()));
    // A name that several banks hold (from a restore or another program) names none of them.
    if (const QList<qint32> named = found ? existing.NumbersByName() : QList<qint32>(); named.size() > 1) {
        QStringList numbers;
        for (qint32 number : named)
            numbers << QString::number(number);
        throw SbkError(
            QStringLiteral("The banks %1 are all named %2; delete one, or save under another name.")
                .arg(numbers.join(QStringLiteral(", ")), name));
    }

    DbKORFBank bank(db->connection());
    bank.setBankProg(found ? existing.BankProg() : bank.NextKORFBank());
    bank.setBankName(name);
    // Overwriting without --desc keeps the stored description.
    bank.setBankDesc(found && !args.has(QStringLiteral("desc")) ? existing.BankDesc() : desc);
    for (int k = 1; k <= DbKORFBank::SlotCount; ++k)
        bank.setBankStyle(k, k <= styles.size() ? styles.at(k - 1) : 0);
    if (!(found ? bank.UpdKORFBanks() : bank.InsKORFBanks()))
        throw SbkError(QStringLiteral("Cannot store the bank %1: %2")
                           .arg(name, Database::inWords(bank.clsKORFBanksError())));
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
        throw SbkError(QStringLiteral("Cannot delete the bank %1: %2")
                           .arg(bank.BankName(), Database::inWords(bank.clsKORFBanksError())));
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

// The kinds asked for; without --kind every kind is listed, and exact copies alone are merged.
QList<DuplicateStyles::Kind> duplicateKinds(const CliArgs& args, bool merging) {
    const QString word =
        args.value(QStringLiteral("kind"), merging ? QStringLiteral("exact") : QStringLiteral("all"));
    if (word == QStringLiteral("all"))
        return DuplicateStyles::kinds();
    if (const auto kind = DuplicateStyles::fromName(word))
        return {*kind};
    throw CliUsageError(
        QStringLiteral("--kind needs exact, renamed, settings, notes or all, not \"%1\"").arg(word));
}

QString styleLabel(const DuplicateStyles::Style& style) {
    return QStringLiteral("%1 (%2)")
        .arg(style.StyleProg)
        .arg(SingleByteText::plainText(style.StyleName1).trimmed());
}

void printGroups(CliContext& context, const QList<DuplicateStyles::Group>& groups, bool json) {
    if (json) {
        QJsonArray list;
        for (const DuplicateStyles::Group& group : groups) {
            QJsonArray styles;
            for (const DuplicateStyles::Style& style : group.styles) {
                QJsonArray banks;
                for (const DuplicateStyles::BankSlot& slot : style.Banks)
                    banks.append(QJsonObject{{QStringLiteral("BankProg"), slot.BankProg},
                                             {QStringLiteral("BankName"), slot.BankName},
                                             {QStringLiteral("Slot"), slot.Slot}});
                styles.append(
                    QJsonObject{{QStringLiteral("StyleProg"), style.StyleProg},
                                {QStringLiteral("StyleName1"), style.StyleName1},
                                {QStringLiteral("StyleCat"), style.StyleCat},
                                {QStringLiteral("StyleAuthor"), style.StyleAuthor},
                                {QStringLiteral("StyleTempo"),
                                 style.StyleTempo ? QJsonValue(*style.StyleTempo) : QJsonValue()},
                                {QStringLiteral("StyleMeter"),
                                 style.StyleMeter.isEmpty() ? QJsonValue() : QJsonValue(style.StyleMeter)},
                                {QStringLiteral("StyleDate"), style.StyleDate},
                                {QStringLiteral("Banks"), banks}});
            }
            list.append(QJsonObject{{QStringLiteral("kind"), DuplicateStyles::name(group.kind)},
                                    {QStringLiteral("styles"), styles}});
        }
        context.out << QJsonDocument(list).toJson(QJsonDocument::Indented);
        return;
    }
    if (groups.isEmpty()) {
        context.out << QStringLiteral("No copies found\n");
        return;
    }
    for (const DuplicateStyles::Group& group : groups) {
        context.out << QStringLiteral("%1 copies:\n").arg(DuplicateStyles::name(group.kind));
        for (const DuplicateStyles::Style& style : group.styles) {
            QStringList banks;
            for (const DuplicateStyles::BankSlot& slot : style.Banks)
                banks << QStringLiteral("%1 slot %2").arg(slot.BankName.trimmed()).arg(slot.Slot);
            context.out << QStringLiteral("  %1  %2  %3  %4  %5  %6  %7  %8\n")
                               .arg(QString::number(style.StyleProg).rightJustified(6),
                                    SingleByteText::plainText(style.StyleName1).leftJustified(16),
                                    style.StyleCat.leftJustified(12), style.StyleAuthor.leftJustified(12),
                                    style.StyleDate.leftJustified(10),
                                    (style.StyleTempo ? QString::number(*style.StyleTempo)
                                                      : QStringLiteral("-"))
                                        .rightJustified(5),
                                    (style.StyleMeter.isEmpty() ? QStringLiteral("-") : style.StyleMeter)
                                        .leftJustified(5),
                                    banks.isEmpty() ? QStringLiteral("in no bank")
                                                    : banks.join(QStringLiteral(", ")));
        }
    }
    context.out << QStringLiteral("%1 group(s) of copies\n").arg(groups.size());
}

// After a merge of exact copies that --kind did not ask for: the groups of the other kinds, whose
// styles differ, and how to merge them.
void tellOtherKinds(CliContext& context, const Database& db, const CliArgs& args) {
    if (args.has(QStringLiteral("kind")))
        return;
    const qsizetype others = DuplicateStyles::find(db.connection(), DuplicateStyles::kinds().mid(1)).size();
    if (others > 0)
        context.out << QStringLiteral("%1 group(s) of renamed copies, of the same music with other settings "
                                      "or of the same notes were left, as their styles differ: \"sbk-cli "
                                      "duplicates --kind all\" lists "
                                      "them, \"sbk-cli duplicates --merge --kind all\" merges them.\n")
                           .arg(others);
}

int runDuplicates(CliContext& context) {
    const CliArgs args(context.args, {QStringLiteral("json"), QStringLiteral("merge"), QStringLiteral("yes")},
                       {QStringLiteral("kind"), QStringLiteral("keep")});
    args.expectPositionals(0, 0, QString());
    const bool merging = args.has(QStringLiteral("merge"));
    const QList<DuplicateStyles::Kind> kinds = duplicateKinds(args, merging);
    if (!merging && (args.has(QStringLiteral("keep")) || args.has(QStringLiteral("yes"))))
        throw CliUsageError(QStringLiteral("--keep and --yes go with --merge"));
    if (merging && args.has(QStringLiteral("json")))
        throw CliUsageError(QStringLiteral("--json lists the copies; it does not go with --merge"));
    DuplicateStyles::KeepRule rule = DuplicateStyles::KeepRule::Oldest;
    if (const QString keep = args.value(QStringLiteral("keep"), QStringLiteral("oldest"));
        keep == QStringLiteral("newest"))
        rule = DuplicateStyles::KeepRule::Newest;
    else if (keep == QStringLiteral("most-used"))
        rule = DuplicateStyles::KeepRule::MostUsed;
    else if (keep != QStringLiteral("oldest"))
        throw CliUsageError(QStringLiteral("--keep needs oldest, newest or most-used, not \"%1\"").arg(keep));
    const bool confirmed = args.has(QStringLiteral("yes"));
    if (merging && !confirmed && !context.stdinIsTerminal)
        throw CliUsageError(
            QStringLiteral("duplicates --merge asks for confirmation on the terminal; stdin is "
                           "not a terminal, so give --yes to confirm."));

    const auto db = context.openDatabase();
    CliProgress progress(context);
    const QList<DuplicateStyles::Group> groups = DuplicateStyles::find(db->connection(), kinds, &progress);
    if (!merging) {
        printGroups(context, groups, args.has(QStringLiteral("json")));
        return 0;
    }
    const QList<DuplicateStyles::Merge> merges = DuplicateStyles::plan(groups, rule);
    if (merges.isEmpty()) {
        context.out << QStringLiteral("No copies found; nothing merged\n");
        tellOtherKinds(context, *db, args);
        return 0;
    }
    qint64 deleting = 0;
    for (const DuplicateStyles::Merge& merge : merges)
        deleting += merge.group.styles.size() - 1;
    if (!confirmed) {
        QTextStream in(stdin);
        TerminalPrompt prompt(in, context.err);
        const QString differ = DuplicateStyles::differenceNote(merges);
        if (!prompt.confirm(
                QStringLiteral("%1 group(s) of copies will be merged: %2 style(s) will be deleted from "
                               "database, their bank slots given to the styles kept.%3Are you sure?")
                    .arg(merges.size())
                    .arg(deleting)
                    .arg(differ.isEmpty() ? QStringLiteral(" ")
                                          : QLatin1Char('\n') + differ + QLatin1Char('\n'))))
            throw SbkError(QStringLiteral("Nothing merged."));
    }
    const DuplicateStyles::Result result = DuplicateStyles::merge(db->connection(), merges, &progress);
    for (const DuplicateStyles::Merge& merge : merges) {
        QStringList deleted;
        QString kept;
        for (const DuplicateStyles::Style& style : merge.group.styles)
            (style.StyleProg == merge.keep ? kept : deleted.emplaceBack()) = styleLabel(style);
        context.out << QStringLiteral("%1 copies: kept %2, deleted %3\n")
                           .arg(DuplicateStyles::name(merge.group.kind), kept,
                                deleted.join(QStringLiteral(", ")));
    }
    context.out << QStringLiteral(
                       "%1 group(s) merged; %2 style(s) deleted; %3 bank slot(s) now hold the styles "
                       "kept\n")
                       .arg(result.groups)
                       .arg(result.deleted)
                       .arg(result.slotsMoved);
    tellOtherKinds(context, *db, args);
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
const CliRegistration duplicates(
    {QStringLiteral("duplicates"),
     QStringLiteral("duplicates [--kind exact|renamed|settings|notes|all] [--json] [--merge] [--keep "
                    "oldest|newest|most-used] [--yes]\n"
                    "  Lists the groups of copies of styles: exact (the same bytes), renamed (the same"
                    "\n  once decompressed but for the name inside), settings (the same music, other"
                    "\n  tempo, sounds or mixer), notes (the same notes, with other sounds, controllers or"
                    "\n  key); all kinds by default. --merge keeps one style of each"
                    "\n  group (the oldest by default; of copies imported on one day the newest is the"
                    "\n  one stored last), fills its empty fields from the others, points their bank"
                    "\n  slots to it and deletes them, all in one transaction; it asks on"
                    "\n  the terminal, saying what the styles of each group differ in, unless --yes is"
                    "\n  given. Without --kind, --merge merges exact copies only, as the styles of the"
                    "\n  other kinds differ: give --kind renamed, settings, notes or all to merge them too."),
     QStringLiteral("find copies of styles across the library, and merge them"), &runDuplicates});

} // namespace
