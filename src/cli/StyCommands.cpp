// Commands on STY files and banks: sty-info, import, banks, bank-show, make-sty.
#include "cli/CliCommand.h"
#include "cli/CliJsonArray.h"
#include "core/SbkError.h"
#include "core/SingleByteText.h"
#include "metadata/StyleGroup.h"
#include "music/NoteFingerprint.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/DbKORFStyle.h"
#include "store/KORFStyles.h"
#include "sty/KORFLibrary.h"
#include "sty/StyImport.h"
#include "sty/StyleFacts.h"
#include "sty/StyMaker.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

QString layoutName(KORFLibrary::Layout layout) {
    return layout == KORFLibrary::Layout::Newer ? QStringLiteral("newer") : QStringLiteral("older");
}

// The entries of a newer file's directory: object, position, bank byte, timestamp, system string.
QString entriesText(const QList<KORFDirectory::Record>& records) {
    QString text = QStringLiteral("%1  %2  %3  %4  %5  %6\n")
                       .arg(QStringLiteral("Entry"), QStringLiteral("Object").leftJustified(11),
                            QStringLiteral("Pos"), QStringLiteral("Bank").leftJustified(13),
                            QStringLiteral("Timestamp").leftJustified(19), QStringLiteral("System"));
    int number = 0;
    for (const KORFDirectory::Record& record : records) {
        const int type = record.entry.objectType();
        const QString object = type == 2   ? QStringLiteral("style")
                               : type == 7 ? QStringLiteral("performance")
                                           : QStringLiteral("type %1").arg(type);
        const int bank = record.entry.bankByte();
        QString bankText = QStringLiteral("0x%1").arg(bank, 2, 16, QLatin1Char('0'));
        if (bank >= 0x11 && bank <= 0x1C)
            bankText += QStringLiteral(" (USER%1)").arg(bank - 0x10, 2, 10, QLatin1Char('0'));
        text += QStringLiteral("%1  %2  %3  %4  %5  %6\n")
                    .arg(QString::number(++number).rightJustified(5), object.leftJustified(11),
                         QString::number(record.position).rightJustified(3), bankText.leftJustified(13),
                         record.entry.timestampText().leftJustified(19), record.entry.systemText());
    }
    return text;
}

QJsonArray entriesJson(const QList<KORFDirectory::Record>& records) {
    QJsonArray list;
    for (const KORFDirectory::Record& record : records)
        list.append(QJsonObject{{QStringLiteral("objectType"), record.entry.objectType()},
                                {QStringLiteral("bank"), record.entry.bankByte()},
                                {QStringLiteral("position"), record.position},
                                {QStringLiteral("name"), record.name},
                                {QStringLiteral("timestamp"), record.entry.timestampText()},
                                {QStringLiteral("system"), record.entry.systemText()}});
    return list;
}

int runStyInfo(CliContext& context) {
    const CliArgs args(context.args, {QStringLiteral("json")}, {});
    args.expectPositionals(1, 1, QStringLiteral("FILE"));
    const QString path = args.positionals().first();

    KORFLibrary library;
    KORFStyles styles;
    library.FillCollectionFromStyle(path, styles);
    if (args.has(QStringLiteral("json"))) {
        QJsonArray list;
        for (const KORFStylePtr& style : styles) {
            const StyleFactsValues facts = StyleFacts::read(style->StyleContent1(), style->StyleContent2());
            QJsonObject object{
                {QStringLiteral("StyleProg"), style->StyleProg()},
                {QStringLiteral("StyleName1"), style->StyleName1()},
                {QStringLiteral("StyleName2"), style->StyleName2()},
                {QStringLiteral("StyleLength1"), style->StyleLength1()},
                {QStringLiteral("StyleLength2"), style->StyleLength2()},
                {QStringLiteral("StyleTempo"), facts.Tempo ? QJsonValue(*facts.Tempo) : QJsonValue()},
                {QStringLiteral("StyleMeter"),
                 facts.Meter.isEmpty() ? QJsonValue() : QJsonValue(facts.Meter)}};
            if (!facts.problem.isEmpty())
                object.insert(QStringLiteral("factsProblem"), facts.problem);
            if (!facts.damage.isEmpty())
                object.insert(QStringLiteral("damage"), facts.damage);
            list.append(object);
        }
        QJsonObject info{{QStringLiteral("file"), path},
                         {QStringLiteral("RetVal"), library.RetVal()},
                         {QStringLiteral("meaning"), KORFLibrary::readResultText(library.RetVal())},
                         {QStringLiteral("indexDamaged"), library.IndexDamaged()},
                         {QStringLiteral("styles"), list}};
        if (library.RetVal() == KORFLibrary::ReadKorf)
            info.insert(QStringLiteral("layout"), layoutName(library.ReadLayout()));
        if (library.ReadLayout() == KORFLibrary::Layout::Newer)
            info.insert(QStringLiteral("entries"), entriesJson(library.ReadRecords()));
        context.out << QJsonDocument(info).toJson(QJsonDocument::Indented);
        return 0;
    }
    context.out << QStringLiteral("%1: RetVal %2, %3\n")
                       .arg(path)
                       .arg(library.RetVal())
                       .arg(KORFLibrary::readResultText(library.RetVal()));
    if (library.RetVal() != KORFLibrary::ReadKorf)
        return 0;
    const bool newer = library.ReadLayout() == KORFLibrary::Layout::Newer;
    context.out << (newer ? QStringLiteral("Directory: newer layout (Pa700, Pa1000 and later)\n")
                          : QStringLiteral("Directory: older layout\n"));
    const int nameWidth = newer ? 28 : 16;
    if (library.IndexDamaged())
        context.out << QStringLiteral("The index at the end of the file is damaged; the styles were read "
                                      "all the same.\n");
    context.out << QStringLiteral("%1  %2  %3  %4  %5  %6  %7\n")
                       .arg(QStringLiteral("Prog").rightJustified(4),
                            QStringLiteral("Name 1").leftJustified(nameWidth),
                            QStringLiteral("Length 1").rightJustified(9),
                            QStringLiteral("Name 2").leftJustified(nameWidth),
                            QStringLiteral("Length 2").rightJustified(9), QStringLiteral("Tempo"),
                            QStringLiteral("Meter"));
    QStringList problems;
    for (const KORFStylePtr& style : styles) {
        const StyleFactsValues facts = StyleFacts::read(style->StyleContent1(), style->StyleContent2());
        context.out
            << QStringLiteral("%1  %2  %3  %4  %5  %6  %7\n")
                   .arg(QString::number(style->StyleProg()).rightJustified(4),
                        SingleByteText::plainText(style->StyleName1()).leftJustified(nameWidth),
                        QString::number(style->StyleLength1()).rightJustified(9),
                        SingleByteText::plainText(style->StyleName2()).leftJustified(nameWidth),
                        QString::number(style->StyleLength2()).rightJustified(9),
                        (facts.Tempo ? QString::number(*facts.Tempo) : QStringLiteral("-")).rightJustified(5),
                        facts.Meter.isEmpty() ? QStringLiteral("-") : facts.Meter);
        if (!facts.problem.isEmpty())
            problems << QStringLiteral("Style %1: %2\n").arg(style->StyleProg()).arg(facts.problem);
        if (!facts.damage.isEmpty())
            problems << QStringLiteral("Style %1 is damaged: %2\n").arg(style->StyleProg()).arg(facts.damage);
    }
    context.out << QStringLiteral("%1 styles\n").arg(styles.Count()) << problems.join(QString());
    if (newer)
        context.out << entriesText(library.ReadRecords());
    return 0;
}

int runImport(CliContext& context) {
    const CliArgs args(context.args, {QStringLiteral("subfolders")},
                       {QStringLiteral("policy"), QStringLiteral("family"), QStringLiteral("group"),
                        QStringLiteral("author")});
    args.expectPositionals(1, 1, QStringLiteral("PATH (an STY file, an archive or a folder)"));
    const QString path = args.positionals().first();
    const QString policyText = args.value(QStringLiteral("policy"), QStringLiteral("content"));
    StyImport::Policy policy;
    if (policyText == QLatin1String("content"))
        policy = StyImport::Policy::SkipDuplicates;
    else if (policyText == QLatin1String("name"))
        policy = StyImport::Policy::OverwriteByName;
    else if (policyText == QLatin1String("all"))
        policy = StyImport::Policy::ImportAll;
    else
        throw CliUsageError(
            QStringLiteral("unknown policy \"%1\" (use content, name or all)").arg(policyText));
    if (const QString problem = StyleGroup::refusal({.family = args.value(QStringLiteral("family")),
                                                     .group = args.value(QStringLiteral("group")),
                                                     .author = args.value(QStringLiteral("author"))});
        !problem.isEmpty())
        throw CliUsageError(problem);
    const QFileInfo info(path);
    if (!info.exists())
        throw SbkError(QStringLiteral("%1 does not exist.").arg(path));
    const bool folder = info.isDir();
    if (!folder && args.has(QStringLiteral("subfolders")))
        throw CliUsageError(QStringLiteral("--subfolders needs a folder, not a file"));

    const auto db = context.openDatabase();
    StyImport import(db->connection());
    import.setFactsReader(&NoteFingerprint::readFacts);
    import.setPolicy(policy);
    import.setSubfolders(args.has(QStringLiteral("subfolders")));
    import.setProgress([&context](StyImport::Stage stage, const QString& text, int fileIndex, int fileCount) {
        if (stage != StyImport::Stage::Folder)
            cliProgressLine(context, fileIndex, fileCount, text.trimmed());
});
QString log;
try {
    log = import.run(path, folder, args.value(QStringLiteral("family")), args.value(QStringLiteral("group")),
                     args.value(QStringLiteral("author")));
} catch (...) {
    cliProgressDone(context);
    throw;
}
cliProgressDone(context);
context.out << QString(log).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
context.out << import.summary() << '\n';
// A file named on its own that was not imported is a failure; the log line says why.
if (!folder && import.filesRead() == 0)
    throw SbkError(QStringLiteral("%1 was not imported.").arg(path));
return 0;
} // namespace

// The names of the stored banks, each once, one a line: what the shell completes a bank with.
int printBankNames(CliContext& context, const Database& db) {
    QSqlQuery query(db.connection());
    query.setForwardOnly(true);
    Database::exec(query, QStringLiteral("SELECT DISTINCT BankName FROM KORFBanks WHERE BankName <> '' "
                                         "ORDER BY BankName"));
    while (query.next())
        context.out << query.value(0).toString() << QLatin1Char('\n');
    if (query.lastError().isValid())
        throw SbkError(Database::errorText(query.lastError()));
    return 0;
}

int runBanks(CliContext& context) {
    const CliArgs args(context.args, {QStringLiteral("json"), QStringLiteral("names")}, {});
    args.expectPositionals(0, 0, QString());
    const auto db = context.openDatabase();
    if (args.has(QStringLiteral("names")))
        return printBankNames(context, *db);
    QSqlQuery query(db->connection());
    query.setForwardOnly(true);
    Database::exec(query, QStringLiteral("SELECT * FROM KORFBanks ORDER BY BankProg"));
    // Each bank is written as it is read.
    const bool json = args.has(QStringLiteral("json"));
    CliJsonArray array(context.out);
    int count = 0;
    while (query.next()) {
        int used = 0;
        for (int k = 1; k <= DbKORFBank::SlotCount; ++k) {
            if (query.value(DbKORFBank::slotColumn(k)).toInt() != 0)
                ++used;
        }
        const qint32 bank = query.value(QStringLiteral("BankProg")).toInt();
        const QString name = query.value(QStringLiteral("BankName")).toString();
        const QString desc = query.value(QStringLiteral("BankDesc")).toString();
        if (json) {
            array.append(cliBankObject(bank, name, desc, used));
        } else {
            if (count == 0)
                context.out << QStringLiteral("%1  %2  %3  %4\n")
                                   .arg(QStringLiteral("Bank").rightJustified(6),
                                        QStringLiteral("Name").leftJustified(20), QStringLiteral("Slots"),
                                        QStringLiteral("Description"));
            context.out << QStringLiteral("%1  %2  %3  %4\n")
                               .arg(QString::number(bank).rightJustified(6), name.leftJustified(20),
                                    QString::number(used).rightJustified(5), desc);
        }
        ++count;
    }
    if (query.lastError().isValid())
        throw SbkError(Database::errorText(query.lastError()));
    if (json)
        array.finish();
    else if (count == 0)
        context.out << QStringLiteral("No bank stored\n");
    else
        context.out << QStringLiteral("%1 banks\n").arg(count);
    return 0;
}

int runBankShow(CliContext& context) {
    const CliArgs args(context.args, {QStringLiteral("json")},
                       {QStringLiteral("number"), QStringLiteral("name")});
    QStringList positionals = args.positionals();
    const CliBankRef which = cliBankRef(args, positionals, QStringLiteral("BANK (a bank number or name)"));
    if (!positionals.isEmpty())
        throw CliUsageError(QStringLiteral("unexpected argument \"%1\"").arg(positionals.first()));
    const auto db = context.openDatabase();
    const DbKORFBank bank = cliBank(*db, which);

    DbKORFStyle table(db->connection());
    QJsonArray slotList;
    QString text =
        QStringLiteral("Bank %1  %2  %3\n").arg(bank.BankProg()).arg(bank.BankName(), bank.BankDesc());
    for (int k = 1; k <= DbKORFBank::SlotCount; ++k) {
        const qint32 style = bank.BankStyle(k);
        QString name;
        QString note;
        if (style > 0) {
            table.setStyleProg(style);
            if (table.GetKORFStylesNoContent())
                name = SingleByteText::plainText(table.StyleName1());
            else
                note = QStringLiteral("(no longer stored)");
        } else if (style < 0) {
            note = QStringLiteral("(not picked)");
        }
        QJsonObject slot{{QStringLiteral("Slot"), k}, {QStringLiteral("StyleProg"), style}};
        if (style > 0 && note.isEmpty())
            slot.insert(QStringLiteral("StyleName1"), name);
        slotList.append(slot);
        text += QStringLiteral("%1  %2  %3\n")
                    .arg(QString::number(k).rightJustified(2), QString::number(style).rightJustified(6),
                         note.isEmpty() ? name : note);
    }
    if (args.has(QStringLiteral("json")))
        context.out << QJsonDocument(QJsonObject{{QStringLiteral("BankProg"), bank.BankProg()},
                                                 {QStringLiteral("BankName"), bank.BankName()},
                                                 {QStringLiteral("BankDesc"), bank.BankDesc()},
                                                 {QStringLiteral("Slots"), slotList}})
                           .toJson(QJsonDocument::Indented);
    else
        context.out << text;
    return 0;
}

int runMakeSty(CliContext& context) {
    const CliArgs args(context.args, {},
                       {QStringLiteral("user-bank"), QStringLiteral("layout"), QStringLiteral("number"),
                        QStringLiteral("name")});
    QStringList positionals = args.positionals();
    const CliBankRef which = cliBankRef(args, positionals, QStringLiteral("BANK and OUTPUT"));
    if (positionals.size() != 1)
        throw CliUsageError(positionals.isEmpty()
                                ? QStringLiteral("missing OUTPUT")
                                : QStringLiteral("unexpected argument \"%1\"").arg(positionals.at(1)));
    const QString layoutText = args.value(QStringLiteral("layout"));
    std::optional<KORFLibrary::Layout> layout;
    if (layoutText == QLatin1String("older"))
        layout = KORFLibrary::Layout::Older;
    else if (layoutText == QLatin1String("newer"))
        layout = KORFLibrary::Layout::Newer;
    else if (args.has(QStringLiteral("layout")))
        throw CliUsageError(QStringLiteral("unknown layout \"%1\" (use older or newer)").arg(layoutText));
    const QString userBankText = args.value(QStringLiteral("user-bank"), QStringLiteral("17"));
    bool isNumber = false;
    const int userBank = userBankText.toInt(&isNumber);
    // USER01 to USER03 in the older layout, USER01 to USER12 in the newer one: 0x10 + the bank.
    if (!isNumber || userBank < 17 || userBank > 28)
        throw CliUsageError(QStringLiteral("--user-bank must be 17 to 19 (older layout) or 17 to 28 (newer "
                                           "layout), not \"%1\"")
                                .arg(userBankText));
    if (layout == KORFLibrary::Layout::Older && userBank > 19)
        throw CliUsageError(
            QStringLiteral("--user-bank must be 17, 18 or 19 for the older layout, not \"%1\"")
                .arg(userBankText));
    const QString output = positionals.first();

    const auto db = context.openDatabase();
    const DbKORFBank bank = cliBank(*db, which);
    // The bank's styles in slot order; empty slots and styles left unpicked at import hold none.
    KORFStyles styles;
    DbKORFStyle table(db->connection());
    for (int k = 1; k <= DbKORFBank::SlotCount; ++k) {
        const qint32 style = bank.BankStyle(k);
        if (style <= 0)
            continue;
        table.setStyleProg(style);
        // A file that lacks a style of the bank is not the bank: nothing is written then.
        if (!table.GetKORFStylesNoContent())
            throw SbkError(
                QStringLiteral("Slot %1 of the bank %2 names the style %3, which is no longer stored; "
                               "%4 was not written.")
                    .arg(k)
                    .arg(bank.BankName())
                    .arg(style)
                    .arg(output));
        styles.Add(style, table.StyleName1(), QString(), 0, 0, QByteArray(), QByteArray());
    }
    StyMaker::refreshFromDatabase(styles, db->connection());
    const KORFLibrary::WriteOptions options =
        StyMaker::writeOptions(styles, layout, userBank, db->connection());
    if (options.layout == KORFLibrary::Layout::Older && userBank > 19)
        throw CliUsageError(QStringLiteral("--user-bank %1 needs the newer layout; the bank's styles are "
                                           "written in the older one unless --layout newer is given")
                                .arg(userBank));
    KORFLibrary library;
    library.WriteStyleFromCollection(output, styles, options);
    context.out << QStringLiteral("%1 successfully created (%2 styles, %3 layout)\n")
                       .arg(output)
                       .arg(styles.Count())
                       .arg(layoutName(options.layout));
    if (const QString shortened = KORFLibrary::ShortenedNamesWarning(styles, options.layout);
        !shortened.isEmpty())
        context.err << QStringLiteral("sbk-cli: warning: %1\n").arg(shortened);
    return 0;
}

const CliRegistration styInfo({QStringLiteral("sty-info"), QStringLiteral("sty-info FILE [--json]"),
                               QStringLiteral("what an STY file holds: its kind, its directory layout and "
                                              "its styles (newer files: each entry's bank byte, "
                                              "timestamp and system string)"),
                               &runStyInfo});
const CliRegistration import(
    {QStringLiteral("import"),
     QStringLiteral("import PATH [--subfolders] [--policy content|name|all] [--family F] "
                    "[--group G] [--author A]\n"
                    "  PATH is an STY file, an archive (ZIP, 7z, RAR, tar) or a folder of them. "
                    "The STY files in an archive, and in archives inside it to a depth of 3, are "
                    "read in memory and imported as files; the log names each one by its path in "
                    "the archive. content: styles already stored are not imported again "
                    "(default); name: a stored style of the same name is replaced; all: "
                    "everything is imported."),
     QStringLiteral("import styles from STY files and archives of them (one transaction)"), &runImport});
const CliRegistration banks({QStringLiteral("banks"),
                             QStringLiteral("banks [--json] [--names]\n"
                                            "  --names: only the names, each once, one a line."),
                             QStringLiteral("list the stored banks"), &runBanks});
const CliRegistration
    bankShow({QStringLiteral("bank-show"), QStringLiteral("bank-show BANK|--number N|--name NAME [--json]"),
              QStringLiteral("the 32 slots of a bank (by number or name) with style names"), &runBankShow});
const CliRegistration makeSty(
    {QStringLiteral("make-sty"),
     QStringLiteral("make-sty BANK|--number N|--name NAME OUTPUT [--user-bank N] [--layout older|newer]\n"
                    "  The layout is the newer one (Pa700, Pa1000 and later) when "
                    "a style of the bank came from such a file, else the older "
                    "one; --layout overrides that. N is 0x10 + the USER bank: "
                    "17 to 19 (older layout) or 17 to 28 (newer), default 17."),
     QStringLiteral("write a stored bank as an STY file"), &runMakeSty});

} // namespace
