// Commands on the database as a whole: init, list, where-is.
#include "banks/StoredBanks.h"
#include "cli/CliCommand.h"
#include "cli/CliJsonArray.h"
#include "core/SbkError.h"
#include "core/SingleByteText.h"
#include "metadata/FilterClauses.h"
#include "store/Database.h"
#include "store/StyleListing.h"
#include "sty/StyleFacts.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

namespace {

int runInit(CliContext& context) {
    const CliArgs args(context.args, {QStringLiteral("if-missing")}, {});
    args.expectPositionals(0, 1, QStringLiteral("PATH"));
    const QString path = args.positionals().isEmpty() ? context.databasePath() : args.positionals().first();
    if (args.has(QStringLiteral("if-missing")) && QFileInfo::exists(path))
        return 0;
    Database::createEmpty(path);
    context.out << QStringLiteral("Created the empty database %1\n").arg(QFileInfo(path).absoluteFilePath());
    return 0;
}

// The sort keys of list --sort, each with the filter dialog's display name.
const QMap<QString, QString>& sortKeys() {
    static const QMap<QString, QString> keys{{QStringLiteral("name"), QStringLiteral("NAME")},
                                             {QStringLiteral("description"), QStringLiteral("DESCRIPTION")},
                                             {QStringLiteral("family"), QStringLiteral("FAMILY")},
                                             {QStringLiteral("group"), QStringLiteral("GROUP")},
                                             {QStringLiteral("file"), QStringLiteral("FILE NAME")},
                                             {QStringLiteral("author"), QStringLiteral("AUTHOR")},
                                             {QStringLiteral("tempo"), QStringLiteral("TEMPO")},
                                             {QStringLiteral("meter"), QStringLiteral("METER")}};
    return keys;
}

// What completes the value of --sort: every key, ascending and descending.
QStringList sortWords() {
    QStringList words;
    for (const QString& key : sortKeys().keys())
        words << key << key + QStringLiteral(":desc");
    return words;
}

// "name", "name:desc" -> the filter dialog's display name and its descending flag.
std::pair<QString, bool> sortKey(const QString& text) {
    const QMap<QString, QString>& keys = sortKeys();
    QString key = text.toLower();
    bool descending = false;
    if (key.endsWith(QStringLiteral(":desc"))) {
        descending = true;
        key.chop(5);
    } else if (key.endsWith(QStringLiteral(":asc"))) {
        key.chop(4);
    }
    if (!keys.contains(key))
        throw CliUsageError(
            QStringLiteral("unknown sort key \"%1\" (use name, description, family, group, file, "
                           "author, tempo or meter, optionally followed by :desc)")
                .arg(text));
    return {keys.value(key), descending};
}

QJsonObject styleObject(const StyleListRow& row) {
    return QJsonObject{
        {QStringLiteral("StyleProg"), row.StyleProg},
        {QStringLiteral("StyleName1"), row.StyleName1},
        {QStringLiteral("StyleDesc"), row.StyleDesc},
        {QStringLiteral("StyleFamily"), row.StyleFamily},
        {QStringLiteral("StyleCat"), row.StyleCat},
        {QStringLiteral("StyleAuthor"), row.StyleAuthor},
        {QStringLiteral("StyleDate"), row.StyleDate},
        {QStringLiteral("StyleTempo"), row.Tempo ? QJsonValue(*row.Tempo) : QJsonValue()},
        {QStringLiteral("StyleMeter"), row.Meter.isEmpty() ? QJsonValue() : QJsonValue(row.Meter)}};
}

QString styleHeading() {
    return QStringLiteral("%1  %2  %3  %4  %5  %6  %7  %8  %9\n")
        .arg(QStringLiteral("Style").rightJustified(6), QStringLiteral("Name").leftJustified(16),
             QStringLiteral("Description").leftJustified(24), QStringLiteral("Family").leftJustified(12),
             QStringLiteral("Group").leftJustified(12), QStringLiteral("Author").leftJustified(12),
             QStringLiteral("Date").leftJustified(10), QStringLiteral("Tempo"), QStringLiteral("Meter"));
}

// An unknown fact shows as "-".
QString styleLine(const StyleListRow& row) {
    return QStringLiteral("%1  %2  %3  %4  %5  %6  %7  %8  %9\n")
        .arg(QString::number(row.StyleProg).rightJustified(6),
             SingleByteText::plainText(row.StyleName1).leftJustified(16), row.StyleDesc.leftJustified(24),
             row.StyleFamily.leftJustified(12), row.StyleCat.leftJustified(12),
             row.StyleAuthor.leftJustified(12), row.StyleDate.leftJustified(10),
             (row.Tempo ? QString::number(*row.Tempo) : QStringLiteral("-")).rightJustified(5),
             row.Meter.isEmpty() ? QStringLiteral("-") : row.Meter);
}

int runList(CliContext& context) {
    const QStringList fieldOptions{QStringLiteral("name"),  QStringLiteral("desc"), QStringLiteral("family"),
                                   QStringLiteral("group"), QStringLiteral("file"), QStringLiteral("author")};
    const CliArgs args(
        context.args, {QStringLiteral("json")},
        fieldOptions + QStringList{QStringLiteral("sort"), QStringLiteral("meter"), QStringLiteral("tempo")});
    args.expectPositionals(0, 0, QString());

    std::array<QString, FilterClauses::FieldCount> values;
    for (int i = 0; i < FilterClauses::FieldCount; ++i)
        values[size_t(i)] = args.value(fieldOptions[i]);
    std::array<QString, FilterClauses::SortCount> choices;
    choices.fill(FilterClauses::displayNames().first());
    std::array<bool, FilterClauses::SortCount> descending{};
    const QStringList sorts = args.values(QStringLiteral("sort"));
    if (sorts.size() > FilterClauses::SortCount)
        throw CliUsageError(QStringLiteral("at most six --sort keys"));
    for (qsizetype i = 0; i < sorts.size(); ++i)
        std::tie(choices[size_t(i)], descending[size_t(i)]) = sortKey(sorts[i]);
    FilterState filter = FilterClauses::build(values, choices, descending);
    QString meter;
    if (args.has(QStringLiteral("meter"))) {
        const int signature = StyleFacts::signatureOf(args.value(QStringLiteral("meter")).trimmed());
        if (signature < 0)
            throw CliUsageError(QStringLiteral("--meter needs a meter such as 3/4, 6/8 or 12/8, not \"%1\"")
                                    .arg(args.value(QStringLiteral("meter"))));
        meter = StyleFacts::meterText(quint8(signature));
    }
    std::pair<int, int> tempo{0, 0};
    if (args.has(QStringLiteral("tempo"))) {
        const auto range = FilterClauses::tempoRange(args.value(QStringLiteral("tempo")));
        if (!range)
            throw CliUsageError(QStringLiteral("--tempo needs a tempo or a range such as 120, 90-110, 90- or "
                                               "-110, not \"%1\"")
                                    .arg(args.value(QStringLiteral("tempo"))));
        tempo = *range;
    }
    FilterClauses::addFacts(filter, meter, tempo.first, tempo.second);

    // Each row is written as it is read, so the listing of a library of any size holds one row.
    const auto db = context.openDatabase();
    const bool json = args.has(QStringLiteral("json"));
    CliJsonArray array(context.out);
    const qint64 count =
        StyleListing::forEachStyle(db->connection(), filter.FilterWhere, filter.FilterOrder,
                                   filter.FilterValues, [&, first = true](StyleListRow& row) mutable {
                                       if (json) {
                                           array.append(styleObject(row));
                                           return;
                                       }
                                       if (first)
                                           context.out << styleHeading();
                                       first = false;
                                       context.out << styleLine(row);
                                   });
    if (json)
        array.finish();
    else if (count == 0)
        context.out << QStringLiteral("No style available\n");
    else
        context.out << QStringLiteral("%1 styles available%2\n")
                           .arg(count)
                           .arg(filter.FilterWhere.isEmpty()
                                    ? QString()
                                    : QStringLiteral(" - Database filtering is active"));
    return 0;
}

int runWhereIs(CliContext& context) {
    const CliArgs args(context.args, {QStringLiteral("json")}, {});
    args.expectPositionals(1, 1, QStringLiteral("STYLE (a style number)"));
    const qint32 style = cliStyleNumbers(args.positionals()).first();

    const auto db = context.openDatabase();
    const bool json = args.has(QStringLiteral("json"));
    CliJsonArray array(context.out);
    const qint64 count = StoredBanks::holding(db->connection(), style, [&](const StoredBank& bank) {
        QJsonArray slotList;
        QStringList slotTexts;
        for (const StoredBankStyle& held : bank.styles) {
            if (held.StyleProg == style) {
                slotList.append(held.slot);
                slotTexts << QString::number(held.slot);
            }
        }
        if (json)
            array.append(cliBankObject(bank.BankProg, bank.BankName, bank.BankDesc, slotList));
        else
            context.out << QStringLiteral("%1  %2 [%3]  slot%4 %5\n")
                               .arg(QString::number(bank.BankProg).rightJustified(6), bank.BankName,
                                    bank.BankDesc, slotTexts.size() == 1 ? QString() : QStringLiteral("s"),
                                    slotTexts.join(QStringLiteral(", ")));
    });
    if (json)
        array.finish();
    else if (count == 0)
        context.out << QStringLiteral("Selected style cannot be found in any bank!\n");
    return 0;
}

const CliRegistration init({QStringLiteral("init"), QStringLiteral("init [PATH] [--if-missing]"),
                            QStringLiteral("create an empty database (never overwrites a file)"), &runInit});
const CliRegistration
    list({QStringLiteral("list"),
          QStringLiteral("list [--json] [--name V] [--desc V] [--family V] [--group V] [--file V] "
                         "[--author V] [--meter N/D] [--tempo FROM-TO] [--sort KEY[:desc]]...\n"
                         "  A value holding % matches as a pattern; --tempo takes 120, 90-110, 90- or "
                         "-110; KEY is name, description, family, group, file, author, tempo or meter "
                         "(up to six keys)."),
          QStringLiteral("list the styles, filtered and sorted"),
          &runList,
          false,
          {{QStringLiteral("sort"), sortWords()}}});
const CliRegistration whereIs({QStringLiteral("where-is"), QStringLiteral("where-is STYLE [--json]"),
                               QStringLiteral("the banks that hold a style, with its slots"), &runWhereIs});

} // namespace
