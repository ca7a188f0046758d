#pragma once

#include "core/Progress.h"

#include <memory>
#include <optional>
#include <QJsonObject>
#include <QJsonValue>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <stdexcept>

class Database;
class DbKORFBank;

// A wrong command line: reported with a hint to --help and exit status 2.
class CliUsageError : public std::runtime_error {
public:
    explicit CliUsageError(const QString& message)
        : std::runtime_error(message.toStdString()), text(message) {}
    QString text;
};

// What a command gets: its own arguments, the global options and the two output streams.
struct CliContext {
    QStringList args; // the arguments after the command's name
    QString dbOption; // the value of --db, "" when not given
    QTextStream& out;
    QTextStream& err;
    bool stderrIsTerminal = false;
    bool stdinIsTerminal = false;

    // --db, else the settings' database path, else the default one (SBKModule::defaultDatabasePath).
    QString databasePath() const;
    // Opens the database at databasePath(); the default database is created when missing. A file
    // of an older version is brought up to date with a progress bar, and styles whose tempo or meter
    // could not be read then are counted in a note on stderr.
    std::unique_ptr<Database> openDatabase();
};

// The options of one command: each "--name" either a flag or taking one value; values of an
// option given several times are kept in order. Anything else starting with "--" is a usage error.
class CliArgs {
public:
    CliArgs(const QStringList& args, const QStringList& flags, const QStringList& valued);

    bool has(const QString& name) const { return m_values.contains(name); }
    QString value(const QString& name, const QString& defaultValue = QString()) const;
    QStringList values(const QString& name) const { return m_values.value(name); }
    const QStringList& positionals() const { return m_positionals; }
    // Requires between min and max positional arguments.
    void expectPositionals(int min, int max, const QString& what) const;

private:
    QMap<QString, QStringList> m_values;
    QStringList m_positionals;
};

using CliHandler = int (*)(CliContext&);

struct CliCommandInfo {
    QString name;
    QString synopsis; // e.g. "list [--json] [--name VALUE] ..."
    QString summary;  // one line
    CliHandler run;
    // The command lays out a page (fonts, painting): it runs with a GUI application on the
    // offscreen platform, so it needs no display either.
    bool paints = false;
    // Words that complete an option's value where the synopsis shows only a placeholder, by the
    // option's name ("sort": "name", "name:desc", ...).
    QMap<QString, QStringList> valueWords = {};
};

// Commands register themselves with a static CliRegistration in their own source file.
class CliRegistry {
public:
    static QList<CliCommandInfo>& commands();
    static const CliCommandInfo* find(const QString& name);
};

struct CliRegistration {
    explicit CliRegistration(const CliCommandInfo& info) { CliRegistry::commands().append(info); }
};

// One bank as the --json output of the commands shows it: number, name, description and slots
// (a count or a list, by command).
QJsonObject cliBankObject(qint32 prog, const QString& name, const QString& desc,
                          const QJsonValue& slotsValue);

// How the command line names a bank. BANK alone is a number when it is one (digits only, once the
// blanks around it are trimmed), else a name; a BANK of digits that is one bank's number and
// another bank's name is refused as ambiguous, so that no command acts on a bank the user did not
// mean. --number and --name say which it is. The text is trimmed, as bank names are stored.
struct CliBankRef {
    enum class By { NumberOrName, Number, Name };
    By by = By::NumberOrName;
    QString text;
};

// The bank named by the option numberOption or nameOption when one is given (both: a usage
// error), else by the first of positionals, which is taken off; a usage error naming what when
// there is none.
CliBankRef cliBankRef(const CliArgs& args, QStringList& positionals, const QString& what,
                      const QString& numberOption = QStringLiteral("number"),
                      const QString& nameOption = QStringLiteral("name"));

// The bank the reference names. SbkError when there is none, or when its name is held by several
// banks; CliUsageError when BANK is ambiguous or --number is no number.
DbKORFBank cliBank(const Database& db, const CliBankRef& which);

// A number as the command line gives it: digits only ("0012" is 12; " 12", "+12" and "1e3" are
// none), within 32 bits.
std::optional<qint32> cliNumber(const QString& text);

// The style numbers named on the command line; a usage error for a text that is no number of 1 or
// more.
QList<qint32> cliStyleNumbers(const QStringList& texts);

// A one-line progress bar on stderr, drawn only when stderr is a terminal.
void cliProgressLine(CliContext& context, qint64 done, qint64 total, const QString& text);
void cliProgressDone(CliContext& context);

// An engine's progress as that one-line bar.
class CliProgress : public Progress {
public:
    explicit CliProgress(CliContext& context) : m_context(context) {}
    void begin(qint64 total, const QString& label) override {
        m_total = total;
        cliProgressLine(m_context, 0, total, label);
    }
    void step(qint64 done, const QString& text) override { cliProgressLine(m_context, done, m_total, text); }
    void end() override { cliProgressDone(m_context); }

private:
    CliContext& m_context;
    qint64 m_total = 0;
};
