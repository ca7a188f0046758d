#include "cli/CliCommand.h"

#include "core/SbkError.h"
#include "core/SBKSettings.h"
#include "session/SBKModule.h"
#include "store/DamagedStyles.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "music/NoteFingerprint.h"

#include <algorithm>

QString CliContext::databasePath() const {
    if (!dbOption.isEmpty())
        return dbOption;
    const QString stored = SBKSettings().value(SBKSettings::Path, SBKSettings::Database);
    return stored.isEmpty() ? SBKModule::defaultDatabasePath() : stored;
}

std::unique_ptr<Database> CliContext::openDatabase() {
    const QString path = databasePath();
    if (dbOption.isEmpty() && path == SBKModule::defaultDatabasePath())
        SBKModule::ensureDefaultDatabase(path);
    CliProgress progress(*this);
    auto db = std::make_unique<Database>(path, Database::Upgrade{&NoteFingerprint::readFacts, &progress});
    if (const qint64 without = db->stylesWithoutFacts(); without > 0)
        err << QStringLiteral("sbk-cli: note: the database was brought up to date; the tempo or meter of %1 "
                              "stored styles could not be read from their blocks.\n")
                   .arg(without)
            << Qt::flush;
    if (const DamagedStyles& damaged = db->stylesDamaged(); !damaged.isEmpty())
        err << QStringLiteral("sbk-cli: note: the database was brought up to date. %1 %2\n")
                   .arg(damaged.sentence(QStringLiteral("stored")), DamagedListHint)
            << Qt::flush;
    return db;
}

CliArgs::CliArgs(const QStringList& args, const QStringList& flags, const QStringList& valued) {
    bool onlyPositionals = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (onlyPositionals || !arg.startsWith(QStringLiteral("--")) || arg == QStringLiteral("-")) {
            m_positionals << arg;
            continue;
        }
        if (arg == QStringLiteral("--")) {
            onlyPositionals = true;
            continue;
        }
        QString name = arg.mid(2);
        QString value;
        bool inlineValue = false;
        if (const qsizetype eq = name.indexOf(QLatin1Char('=')); eq >= 0) {
            value = name.mid(eq + 1);
            name = name.left(eq);
            inlineValue = true;
        }
        if (flags.contains(name)) {
            if (inlineValue)
                throw CliUsageError(QStringLiteral("the option --%1 takes no value").arg(name));
            m_values[name] << QString();
        } else if (valued.contains(name)) {
            if (!inlineValue) {
                if (i + 1 >= args.size())
                    throw CliUsageError(QStringLiteral("the option --%1 needs a value").arg(name));
                value = args[++i];
            }
            m_values[name] << value;
        } else {
            throw CliUsageError(QStringLiteral("unknown option --%1").arg(name));
        }
    }
}

QString CliArgs::value(const QString& name, const QString& defaultValue) const {
    const QStringList list = m_values.value(name);
    return list.isEmpty() ? defaultValue : list.last();
}

void CliArgs::expectPositionals(int min, int max, const QString& what) const {
    if (m_positionals.size() < min)
        throw CliUsageError(QStringLiteral("missing %1").arg(what));
    if (m_positionals.size() > max)
        throw CliUsageError(QStringLiteral("unexpected argument \"%1\"").arg(m_positionals.at(max)));
}

QList<CliCommandInfo>& CliRegistry::commands() {
    static QList<CliCommandInfo> list;
    return list;
}

const CliCommandInfo* CliRegistry::find(const QString& name) {
    const auto& list = commands();
    auto it = std::find_if(list.begin(), list.end(), [&](const CliCommandInfo& c) { return c.name == name; });
    return it == list.end() ? nullptr : &*it;
}

void cliProgressLine(CliContext& context, qint64 done, qint64 total, const QString& text) {
    if (!context.stderrIsTerminal)
        return;
    constexpr int width = 30;
    const int filled = total > 0 ? int(std::min<qint64>(width, done * width / total)) : 0;
    QString line = QStringLiteral("\r[") + QString(filled, QLatin1Char('#')) +
                   QString(width - filled, QLatin1Char(' ')) + QStringLiteral("] ");
    line += total > 0 ? QStringLiteral("%1/%2 ").arg(done).arg(total) : QString();
    line += text.left(40);
    context.err << line.leftJustified(90) << Qt::flush;
}

void cliProgressDone(CliContext& context) {
    if (context.stderrIsTerminal)
        context.err << QStringLiteral("\r") << QString(90, QLatin1Char(' ')) << QStringLiteral("\r")
                    << Qt::flush;
}

QJsonObject cliBankObject(qint32 prog, const QString& name, const QString& desc,
                          const QJsonValue& slotsValue) {
    return QJsonObject{{QStringLiteral("BankProg"), prog},
                       {QStringLiteral("BankName"), name},
                       {QStringLiteral("BankDesc"), desc},
                       {QStringLiteral("Slots"), slotsValue}};
}

CliBankRef cliBankRef(const CliArgs& args, QStringList& positionals, const QString& what,
                      const QString& numberOption, const QString& nameOption) {
    if (args.has(numberOption) && args.has(nameOption))
        throw CliUsageError(
            QStringLiteral("give either --%1 or --%2, not both").arg(numberOption, nameOption));
    // Trimmed here, once, as bank names are stored.
    if (args.has(numberOption))
        return {CliBankRef::By::Number, args.value(numberOption).trimmed()};
    if (args.has(nameOption))
        return {CliBankRef::By::Name, args.value(nameOption).trimmed()};
    if (positionals.isEmpty())
        throw CliUsageError(
            QStringLiteral("missing %1 (or --%2 N, --%3 NAME)").arg(what, numberOption, nameOption));
    return {CliBankRef::By::NumberOrName, positionals.takeFirst().trimmed()};
}

std::optional<qint32> cliNumber(const QString& text) {
    if (text.isEmpty() || text.size() > 10)
        return std::nullopt;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    bool fits = false;
    const qint32 number = text.toInt(&fits);
    return fits ? std::optional<qint32>(number) : std::nullopt;
}

namespace {

QString numberList(const QList<qint32>& numbers) {
    QStringList texts;
    for (qint32 number : numbers)
        texts << QString::number(number);
    return texts.join(QStringLiteral(", "));
}

} // namespace

DbKORFBank cliBank(const Database& db, const CliBankRef& which) {
    DbKORFBank bank(db.connection());
    auto readError = [&] {
        return SbkError(QStringLiteral("Cannot read the bank %1: %2")
                            .arg(which.text, Database::inWords(bank.clsKORFBanksError())));
    };
    auto byNumber = [&](qint32 number) {
        bank.setBankProg(number);
        if (bank.GetKORFBanks())
            return true;
        if (!bank.clsKORFBanksError().isEmpty())
            throw readError();
        return false;
    };
    bank.setBankName(which.text);
    const std::optional<qint32> number = cliNumber(which.text);
    if (which.by == CliBankRef::By::Number) {
        if (!number)
            throw CliUsageError(QStringLiteral("--number needs a bank number, not \"%1\"").arg(which.text));
        if (!byNumber(*number))
            throw SbkError(QStringLiteral("There is no bank number %1.").arg(*number));
        return bank;
    }
    const QList<qint32> named = bank.NumbersByName();
    if (which.by == CliBankRef::By::NumberOrName && number) {
        const bool found = byNumber(*number);
        QList<qint32> others = named;
        others.removeAll(*number);
        if (found && !others.isEmpty())
            throw CliUsageError(
                QStringLiteral("\"%1\" is the number of bank %2 (%3) and the name of bank %4; "
                               "say which with --number %2 or --name %1")
                    .arg(which.text, QString::number(*number), bank.BankName().trimmed(),
                         numberList(others)));
        if (found)
            return bank;
    }
    if (named.size() > 1)
        throw SbkError(QStringLiteral("The banks %1 are all named %2; name one by its number.")
                           .arg(numberList(named), which.text));
    if (named.isEmpty() || !byNumber(named.first()))
        throw SbkError(which.by == CliBankRef::By::Name
                           ? QStringLiteral("There is no bank named %1.").arg(which.text)
                           : QStringLiteral("There is no bank %1.").arg(which.text));
    return bank;
}

QList<qint32> cliStyleNumbers(const QStringList& texts) {
    QList<qint32> numbers;
    for (const QString& text : texts) {
        const std::optional<qint32> number = cliNumber(text);
        // Style numbers start at 1: 0 marks an empty slot, so it names no style.
        if (!number || *number <= 0)
            throw CliUsageError(
                QStringLiteral("STYLE must be a style number (1 or more), not \"%1\"").arg(text));
        numbers << *number;
    }
    return numbers;
}
