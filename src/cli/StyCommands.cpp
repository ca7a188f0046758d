// Commands on STY files and banks: sty-info, import, banks, bank-show, make-sty.
#include "cli/CliCommand.h"
#include "core/SbkError.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/DbKORFStyle.h"
#include "store/KORFStyles.h"
#include "sty/KORFLibrary.h"
#include "sty/StyImport.h"
#include "sty/StyMaker.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

QString shown(const QString& name) {
    return QString(name).remove(QChar(0));
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
        for (const KORFStylePtr& style : styles)
            list.append(QJsonObject{{QStringLiteral("StyleProg"), style->StyleProg()},
                                    {QStringLiteral("StyleName1"), style->StyleName1()},
                                    {QStringLiteral("StyleName2"), style->StyleName2()},
                                    {QStringLiteral("StyleLength1"), style->StyleLength1()},
                                    {QStringLiteral("StyleLength2"), style->StyleLength2()}});
        context.out << QJsonDocument(QJsonObject{{QStringLiteral("file"), path},
                                                 {QStringLiteral("RetVal"), library.RetVal()},
                                                 {QStringLiteral("meaning"),
                                                  KORFLibrary::readResultText(library.RetVal())},
                                                 {QStringLiteral("indexDamaged"), library.IndexDamaged()},
                                                 {QStringLiteral("styles"), list}})
                           .toJson(QJsonDocument::Indented);
        return 0;
    }
    context.out << QStringLiteral("%1: RetVal %2, %3\n")
                       .arg(path)
                       .arg(library.RetVal())
                       .arg(KORFLibrary::readResultText(library.RetVal()));
    if (library.RetVal() != KORFLibrary::ReadKorf)
        return 0;
    if (library.IndexDamaged())
        context.out << QStringLiteral("The index at the end of the file is damaged; the styles were read "
                                      "all the same.\n");
    context.out << QStringLiteral("%1  %2  %3  %4  %5\n")
                       .arg(QStringLiteral("Prog").rightJustified(4),
                            QStringLiteral("Name 1").leftJustified(16),
                            QStringLiteral("Length 1").rightJustified(9),
                            QStringLiteral("Name 2").leftJustified(16),
                            QStringLiteral("Length 2").rightJustified(9));
    for (const KORFStylePtr& style : styles)
        context.out << QStringLiteral("%1  %2  %3  %4  %5\n")
                           .arg(QString::number(style->StyleProg()).rightJustified(4),
                                shown(style->StyleName1()).leftJustified(16),
                                QString::number(style->StyleLength1()).rightJustified(9),
                                shown(style->StyleName2()).leftJustified(16),
                                QString::number(style->StyleLength2()).rightJustified(9));
    context.out << QStringLiteral("%1 styles\n").arg(styles.Count());
    return 0;
}

int runImport(CliContext& context) {
    const CliArgs args(context.args, {QStringLiteral("subfolders")},
                       {QStringLiteral("policy"), QStringLiteral("family"), QStringLiteral("group"),
                        QStringLiteral("author")});
    args.expectPositionals(1, 1, QStringLiteral("PATH (an STY file or a folder)"));
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
    if (const QString problem =
            StyImport::refusal(args.value(QStringLiteral("family")), args.value(QStringLiteral("group")),
                               args.value(QStringLiteral("author")));
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
context.out << QStringLiteral(
                   "%1 styles imported, %2 overwritten, %3 duplicates not imported, %4 not picked; "
                   "%5 banks created from %6 files read, %7 files not imported%8\n")
                   .arg(import.stylesStored())
                   .arg(import.stylesOverwritten())
                   .arg(import.stylesDuplicate())
                   .arg(import.stylesUnpicked())
                   .arg(import.banksStored())
                   .arg(import.filesRead())
                   .arg(import.filesSkipped())
                   .arg(import.foldersUnread() > 0
                            ? QStringLiteral(", %1 folders not read").arg(import.foldersUnread())
                            : QString());
return 0;
} // namespace

int runBanks(CliContext& context) {
    const CliArgs args(context.args, {QStringLiteral("json")}, {});
    args.expectPositionals(0, 0, QString());
    const auto db = context.openDatabase();
    QSqlQuery query(db->connection());
    query.setForwardOnly(true);
    Database::exec(query, QStringLiteral("SELECT * FROM KORFBanks ORDER BY BankProg"));
    QJsonArray banks;
    QString text;
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
        banks.append(cliBankObject(bank, name, desc, used));
        text += QStringLiteral("%1  %2  %3  %4\n")
                    .arg(QString::number(bank).rightJustified(6), name.leftJustified(20),
                         QString::number(used).rightJustified(5), desc);
        ++count;
    }
    if (args.has(QStringLiteral("json"))) {
        context.out << QJsonDocument(banks).toJson(QJsonDocument::Indented);
        return 0;
    }
    if (count == 0) {
        context.out << QStringLiteral("No bank stored\n");
        return 0;
    }
    context.out << QStringLiteral("%1  %2  %3  %4\n")
                       .arg(QStringLiteral("Bank").rightJustified(6),
                            QStringLiteral("Name").leftJustified(20), QStringLiteral("Slots"),
                            QStringLiteral("Description"));
    context.out << text << QStringLiteral("%1 banks\n").arg(count);
    return 0;
}

int runBankShow(CliContext& context) {
    const CliArgs args(context.args, {QStringLiteral("json")}, {});
    args.expectPositionals(1, 1, QStringLiteral("BANK (a bank number or name)"));
    const auto db = context.openDatabase();
    const DbKORFBank bank = cliBank(*db, args.positionals().first());

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
                name = shown(table.StyleName1());
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
    const CliArgs args(context.args, {}, {QStringLiteral("user-bank")});
    args.expectPositionals(2, 2, QStringLiteral("BANK and OUTPUT"));
    const QString userBankText = args.value(QStringLiteral("user-bank"), QStringLiteral("17"));
    const int userBank = userBankText.toInt();
    if (userBank < 17 || userBank > 19)
        throw CliUsageError(QStringLiteral("--user-bank must be 17, 18 or 19, not \"%1\"").arg(userBankText));
    const QString output = args.positionals().at(1);

    const auto db = context.openDatabase();
    const DbKORFBank bank = cliBank(*db, args.positionals().first());
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
    KORFLibrary library;
    library.WriteStyleFromCollection(output, styles, userBank);
    context.out << QStringLiteral("%1 successfully created (%2 styles)\n").arg(output).arg(styles.Count());
    return 0;
}

const CliRegistration styInfo({QStringLiteral("sty-info"), QStringLiteral("sty-info FILE [--json]"),
                               QStringLiteral("what an STY file holds: its kind and its styles"),
                               &runStyInfo});
const CliRegistration
    import({QStringLiteral("import"),
            QStringLiteral("import PATH [--subfolders] [--policy content|name|all] [--family F] "
                           "[--group G] [--author A]\n"
                           "  PATH is an STY file or a folder of them. content: styles already "
                           "stored are not imported again (default); name: a stored style of the "
                           "same name is replaced; all: everything is imported."),
            QStringLiteral("import styles from STY files (one transaction)"), &runImport});
const CliRegistration banks({QStringLiteral("banks"), QStringLiteral("banks [--json]"),
                             QStringLiteral("list the stored banks"), &runBanks});
const CliRegistration bankShow({QStringLiteral("bank-show"), QStringLiteral("bank-show BANK [--json]"),
                                QStringLiteral("the 32 slots of a bank (by number or name) with style names"),
                                &runBankShow});
const CliRegistration makeSty({QStringLiteral("make-sty"),
                               QStringLiteral("make-sty BANK OUTPUT [--user-bank 17|18|19]"),
                               QStringLiteral("write a stored bank as an STY file"), &runMakeSty});

} // namespace
