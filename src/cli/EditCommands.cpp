// Commands that change stored styles: edit and delete, each in one transaction.
#include "cli/CliCommand.h"
#include "cli/TerminalPrompt.h"
#include "core/SbkError.h"
#include "core/SingleByteText.h"
#include "metadata/StyleGroup.h"
#include "store/Database.h"
#include "store/DbKORFStyle.h"

#include <climits>
#include <QSet>

namespace {

int runEdit(CliContext& context) {
    const QStringList fields{QStringLiteral("family"), QStringLiteral("group"), QStringLiteral("author"),
                             QStringLiteral("name"), QStringLiteral("desc")};
    const CliArgs args(context.args, {}, fields);
    args.expectPositionals(1, INT_MAX, QStringLiteral("STYLE (one or more style numbers)"));
    const QList<qint32> styles = cliStyleNumbers(args.positionals());
    auto given = [&args](const QString& name) {
        return args.has(name) ? std::optional<QString>(args.value(name)) : std::nullopt;
    };
    StyleChanges changes;
    changes.family = given(fields[0]);
    changes.group = given(fields[1]);
    changes.author = given(fields[2]);
    changes.name = given(fields[3]);
    changes.desc = given(fields[4]);
    if (changes.isEmpty())
        throw CliUsageError(
            QStringLiteral("edit needs at least one of --family, --group, --author, --name, --desc"));
    if ((changes.name || changes.desc) && styles.size() != 1)
        throw CliUsageError(QStringLiteral("--name and --desc change one style: give exactly one STYLE"));
    if (const QString problem = StyleGroup::refusal(changes); !problem.isEmpty())
        throw CliUsageError(problem);

    const auto db = context.openDatabase();
    const int changed = StyleGroup::update(db->connection(), styles, changes, true);
    context.out << QStringLiteral("%1 style(s) updated\n").arg(changed);
    return 0;
}

int runDelete(CliContext& context) {
    const CliArgs args(context.args, {QStringLiteral("yes")}, {});
    args.expectPositionals(1, INT_MAX, QStringLiteral("STYLE (one or more style numbers)"));
    const QList<qint32> styles = cliStyleNumbers(args.positionals());
    const bool confirmed = args.has(QStringLiteral("yes"));
    if (!confirmed && !context.stdinIsTerminal)
        throw CliUsageError(
            QStringLiteral("delete asks for confirmation on the terminal; stdin is not a terminal, so "
                           "give --yes to confirm."));
    const auto db = context.openDatabase();
    // Every style must be there before anything is asked or deleted.
    DbKORFStyle table(db->connection());
    QString name;
    for (qint32 style : styles) {
        table.setStyleProg(style);
        if (!table.GetKORFStylesNoContent())
            throw SbkError(table.clsKORFStylesError().isEmpty()
                               ? QStringLiteral("There is no style %1.").arg(style)
                               : QStringLiteral("Cannot read the style %1: %2")
                                     .arg(style)
                                     .arg(Database::inWords(table.clsKORFStylesError())));
        name = SingleByteText::plainText(table.StyleName1()).trimmed();
    }
    const qsizetype count = QSet<qint32>(styles.cbegin(), styles.cend()).size();
    if (!confirmed) {
        QTextStream in(stdin);
        TerminalPrompt prompt(in, context.err);
        const QString question =
            count == 1
                ? QStringLiteral("Style ") + name +
                      QStringLiteral(" will be deleted from database and from banks. Are you sure?")
                : QString::number(count) +
                      QStringLiteral(" styles  will be deleted from database and from banks. Are you sure?");
        if (!prompt.confirm(question))
            throw SbkError(QStringLiteral("Nothing deleted."));
    }
    const StyleGroup::Removal removal = StyleGroup::remove(db->connection(), styles, true);
    context.out << QStringLiteral("%1 style(s) deleted; %2 stored bank(s) held them and were changed\n")
                       .arg(removal.styles)
                       .arg(removal.banks);
    return 0;
}

const CliRegistration
    edit({QStringLiteral("edit"),
          QStringLiteral("edit STYLE... [--family F] [--group G] [--author A] [--name N] [--desc D]\n"
                         "  Gives every STYLE the values given; --name and --desc need exactly one"
                         "\n  STYLE. An empty family, group or author is stored as one blank."),
          QStringLiteral("change the name, description, family, group or author of styles"), &runEdit});
const CliRegistration
    remove({QStringLiteral("delete"),
            QStringLiteral("delete STYLE... [--yes]\n"
                           "  Deletes the styles and takes them out of every stored bank; asks on"
                           "\n  the terminal unless --yes is given."),
            QStringLiteral("delete styles from the database and from every bank"), &runDelete});

} // namespace
