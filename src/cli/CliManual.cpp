#include "cli/CliManual.h"

#include "cli/CliCommand.h"
#include "core/SbkError.h"
#include "core/SbkVersion.h"

#include <algorithm>
#include <QFile>
#include <QRegularExpression>

namespace {

// A command's synopsis: its first line is the usage, the lines below (indented) explain it.
QString usageLine(const CliCommandInfo& command) {
    return command.synopsis.section(QLatin1Char('\n'), 0, 0);
}

QString explanation(const CliCommandInfo& command) {
    QStringList lines = command.synopsis.split(QLatin1Char('\n')).mid(1);
    for (QString& line : lines)
        line = line.trimmed();
    return lines.join(QLatin1Char(' '));
}

// A usage word without the marks around it: "[PATH]" -> "PATH", "KEY[:desc]]..." -> "KEY".
QString bareWord(QString word) {
    while (word.startsWith(QLatin1Char('[')) || word.startsWith(QLatin1Char('(')))
        word.remove(0, 1);
    if (const qsizetype bracket = word.indexOf(QLatin1Char('[')); bracket > 0)
        word.truncate(bracket);
    word.remove(QStringLiteral("..."));
    while (word.endsWith(QLatin1Char(']')) || word.endsWith(QLatin1Char(')')))
        word.chop(1);
    return word;
}

struct Usage {
    QList<CliManual::Option> options;
    QStringList positionals; // "FILE", "STYLE", or a literal word such as "bash"
};

// The words of the usage after the command's name, alternatives that are options split apart:
// "BANK|--number" gives "BANK", "|", "--number".
QStringList usageWords(const CliCommandInfo& command) {
    QStringList words;
    for (const QString& word : usageLine(command).split(QLatin1Char(' '), Qt::SkipEmptyParts).mid(1)) {
        if (!word.contains(QStringLiteral("|--"))) {
            words << word;
            continue;
        }
        const QStringList pieces = word.split(QLatin1Char('|'));
        for (qsizetype i = 0; i < pieces.size(); ++i)
            words << (i > 0 ? QStringList{QStringLiteral("|"), pieces[i]} : QStringList{pieces[i]});
    }
    return words;
}

Usage parseUsage(const CliCommandInfo& command) {
    const QStringList words = usageWords(command);
    static const QRegularExpression optionName(QStringLiteral("^--([a-z0-9][a-z0-9-]*)(.*)$"));
    Usage usage;
    for (qsizetype i = 0; i < words.size(); ++i) {
        QString word = words.at(i);
        while (word.startsWith(QLatin1Char('[')) || word.startsWith(QLatin1Char('(')))
            word.remove(0, 1);
        const QRegularExpressionMatch option = optionName.match(word);
        if (option.hasMatch()) {
            CliManual::Option parsed{option.captured(1), QString(), QString()};
            // "[--json]" closes on itself; "--all |" is followed by an alternative.
            const bool closed = !option.captured(2).isEmpty();
            if (!closed && i + 1 < words.size() && !QStringLiteral("[(-|").contains(words.at(i + 1).front()))
                parsed.value = bareWord(words.at(++i));
            usage.options << parsed;
        } else if (const QString bare = bareWord(word); !bare.isEmpty() && bare != QStringLiteral("|")) {
            usage.positionals << bare;
        }
    }
    return usage;
}

// The options and words of the usage in man(7) fonts: options bold, placeholders italic.
QString roffUsage(const QString& usage) {
    static const QRegularExpression token(
        QStringLiteral("(?<![\\w-])(--[a-z0-9][a-z0-9-]*)|\\b([A-Z][A-Z0-9]*)\\b"));
    QString out;
    qsizetype at = 0;
    for (auto it = token.globalMatch(usage); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += usage.mid(at, m.capturedStart() - at);
        if (m.capturedLength(1) > 0)
            out += QStringLiteral("\\fB") +
                   QString(m.captured(1)).replace(QLatin1Char('-'), QStringLiteral("\\-")) +
                   QStringLiteral("\\fR");
        else
            out += QStringLiteral("\\fI") + m.captured(2) + QStringLiteral("\\fR");
        at = m.capturedEnd();
    }
    return out + usage.mid(at);
}

// Running text for man(7): backslashes kept, the dashes of options as hyphen-minus, and no line
// that groff would take for a request.
QString roffText(QString text) {
    text.replace(QLatin1Char('\\'), QStringLiteral("\\e"));
    static const QRegularExpression option(QStringLiteral("(?<![\\w-])--?[a-z][a-z0-9-]*"));
    QString out;
    qsizetype at = 0;
    for (auto it = option.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += text.mid(at, m.capturedStart() - at) +
               QString(m.captured()).replace(QLatin1Char('-'), QStringLiteral("\\-"));
        at = m.capturedEnd();
    }
    out += text.mid(at);
    if (out.startsWith(QLatin1Char('.')) || out.startsWith(QLatin1Char('\'')))
        out.prepend(QStringLiteral("\\&"));
    return out;
}

QString sentence(const QString& summary) {
    QString text = summary;
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text.endsWith(QLatin1Char('.')) ? text : text + QLatin1Char('.');
}

// Text wrapped to the help's width, each line after the first indented.
QString wrapped(const QString& text, int indent, int width) {
    QString out;
    int column = indent;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (column > indent && column + 1 + word.size() > width) {
            out += QLatin1Char('\n') + QString(indent, QLatin1Char(' '));
            column = indent;
        } else if (column > indent) {
            out += QLatin1Char(' ');
            ++column;
        }
        out += word;
        column += int(word.size());
    }
    return out;
}

const QString Tagline =
    QStringLiteral("the command-line tool of SBK, the style librarian for KORG Pa-series arrangers");

QString shellWords(const QStringList& words) {
    return words.join(QLatin1Char(' '));
}

// What completes a placeholder: "file", "dir", "bank" (the names of the stored banks), the
// choices, or "" for nothing.
QString valueKind(const QString& placeholder, bool namesBank) {
    if (placeholder == QStringLiteral("FOLDER"))
        return QStringLiteral("dir");
    if (QStringList{QStringLiteral("FILE"), QStringLiteral("PATH"), QStringLiteral("OUTPUT")}.contains(
            placeholder))
        return QStringLiteral("file");
    if (placeholder == QStringLiteral("BANK") || (namesBank && placeholder == QStringLiteral("NAME")))
        return QStringLiteral("bank");
    if (placeholder.contains(QLatin1Char('|')))
        return placeholder.split(QLatin1Char('|')).join(QLatin1Char(' '));
    return QString();
}

// The case lines of one command in the completion function.
struct CompletionCases {
    QString values;      // "command --option") what completes its value
    QString options;     // command) its options
    QString positionals; // command) what completes its arguments
};

CompletionCases completionCases(const CliCommandInfo& command) {
    const Usage usage = parseUsage(command);
    // In a command that takes a BANK, --name NAME names a bank too.
    const bool namesBank = usage.positionals.contains(QStringLiteral("BANK")) ||
                           std::any_of(usage.options.cbegin(), usage.options.cend(), [](const auto& option) {
                               return option.value == QStringLiteral("BANK");
                           });
    CompletionCases cases;
    QStringList options;
    QStringList valued;
    QStringList silent; // options whose values cannot be completed
    for (const CliManual::Option& option : usage.options) {
        const QString flag = QStringLiteral("--") + option.name;
        if (options.contains(flag))
            continue;
        options << flag;
        if (option.value.isEmpty())
            continue;
        valued << flag;
        const QString kind = command.valueWords.contains(option.name)
                                 ? command.valueWords.value(option.name).join(QLatin1Char(' '))
                                 : valueKind(option.value, namesBank);
        const QString pattern = QStringLiteral("\"%1 %2\"").arg(command.name, flag);
        if (kind.isEmpty())
            silent << pattern;
        else if (QStringList{QStringLiteral("file"), QStringLiteral("dir"), QStringLiteral("bank")}.contains(
                     kind))
            cases.values += QStringLiteral("    %1) kind=%2 ;;\n").arg(pattern, kind);
        else
            cases.values += QStringLiteral("    %1) words=\"%2\" ;;\n").arg(pattern, kind);
    }
    if (!silent.isEmpty())
        cases.values += QStringLiteral("    %1) return 0 ;;\n").arg(silent.join(QStringLiteral(" | ")));
    options << QStringLiteral("--help");
    cases.options =
        QStringLiteral("            %1) words=\"%2\" ;;\n").arg(command.name, shellWords(options));

    QStringList literals;
    QStringList kinds; // one a positional argument, "-" for none
    for (const QString& positional : usage.positionals) {
        if (positional.front().isLower())
            literals << positional;
        else if (const QString kind = valueKind(positional, false); !kind.isEmpty() && !kind.contains(' '))
            kinds << kind;
        else
            kinds << QStringLiteral("-");
    }
    if (!literals.isEmpty())
        cases.positionals =
            QStringLiteral("            %1) words=\"%2\" ;;\n").arg(command.name, shellWords(literals));
    else if (kinds.size() > kinds.count(QStringLiteral("-")))
        cases.positionals = QStringLiteral("            %1) kinds=\"%2\" valued=\"%3\" ;;\n")
                                .arg(command.name, shellWords(kinds), shellWords(valued));
    return cases;
}

} // namespace

const QList<CliManual::Option>& CliManual::globalOptions() {
    static const QList<Option> options{
        {QStringLiteral("db"), QStringLiteral("PATH"),
         QStringLiteral(
             "the database file (default: the one in the settings, else SBK.MDB in the user's data "
             "folder; beside the program when it runs from its build tree)")},
        {QStringLiteral("help"), QString(),
         QStringLiteral("this text; \"sbk-cli COMMAND --help\" describes one command")},
        {QStringLiteral("version"), QString(), QStringLiteral("the program's version")},
    };
    return options;
}

QList<CliManual::Option> CliManual::commandOptions(const CliCommandInfo& command) {
    return parseUsage(command).options;
}

QString CliManual::helpText() {
    QString out = QStringLiteral("Usage: sbk-cli [--db PATH] COMMAND [ARGUMENTS]\n\n"
                                 "The command-line tool of %1, the style librarian for KORG Pa-series "
                                 "arrangers.\n\nGlobal options:\n")
                      .arg(SbkVersion::title());
    for (const Option& option : globalOptions()) {
        const QString name = QStringLiteral("--") + option.name +
                             (option.value.isEmpty() ? QString() : QLatin1Char(' ') + option.value);
        out += QStringLiteral("  %1%2\n").arg(name.leftJustified(14), wrapped(option.text, 16, 88));
    }
    out += QStringLiteral("\nCommands:\n");
    for (const CliCommandInfo& command : CliRegistry::commands())
        out += QStringLiteral("  %1%2\n").arg(command.name.leftJustified(14), command.summary);
    out += QStringLiteral("\nExit status: 0 on success, 1 on failure, 2 on a usage error.\n");
    return out;
}

QString CliManual::manPage() {
    QString out;
    out += QStringLiteral(".TH SBK\\-CLI 1 \"%1\" \"SBK %2\" \"User Commands\"\n")
               .arg(QStringLiteral(SBK_RELEASE_DATE), QStringLiteral(SBK_VERSION));
    out += QStringLiteral(".SH NAME\nsbk\\-cli \\- %1\n").arg(roffText(Tagline));
    out += QStringLiteral(".SH SYNOPSIS\n.B sbk\\-cli\n[\\fB\\-\\-db\\fR \\fIPATH\\fR] \\fICOMMAND\\fR "
                          "[\\fIARGUMENTS\\fR]\n.br\n.B sbk\\-cli\n\\fICOMMAND\\fR \\fB\\-\\-help\\fR\n");
    out += QStringLiteral(
        ".SH DESCRIPTION\n"
        "SBK keeps a whole library of accompaniment styles for KORG Pa\\-series arranger keyboards in one "
        "database.\n"
        ".B sbk\\-cli\n"
        "works on that database without a window: it imports styles from the instrument's STY bank files "
        "(also straight from the ZIP, 7z, RAR and tar archives they come in), "
        "lists and edits them, assembles banks of 32 styles and writes a bank back as an STY file, "
        "exchanges single styles as SSF files and dumps and restores the whole database as a PDD file. It "
        "shows what a style plays and exports its elements as Standard MIDI Files, or as WAV files rendered "
        "through a General MIDI SoundFont; the patterns are played as they were recorded.\n"
        ".PP\n"
        "Every STY import and every restore runs in one transaction: when anything fails, the database "
        "stays as it was. Every file written is written beside its target and renamed into place when "
        "complete.\n"
        ".PP\n"
        "A style whose data blocks do not decode (a wrong check byte, a missing end mark, a block cut "
        "short) is stored byte for byte all the same: import, ssf\\-import and restore name each such style "
        "with what is wrong and count them, and list \\-\\-damaged lists the stored ones.\n"
        ".PP\n"
        "A \\fIBANK\\fR argument is a bank number (digits only: 0012 is bank 12) or a bank name. Blanks "
        "around it are dropped, as they are from every bank name stored. A name of digits that is also "
        "another bank's number is refused until \\fB\\-\\-number\\fR or \\fB\\-\\-name\\fR says which "
        "bank is meant.\n");
    out += QStringLiteral(".SH OPTIONS\n");
    for (const Option& option : globalOptions()) {
        out += QStringLiteral(".TP\n\\fB\\-\\-%1\\fR%2\n%3\n")
                   .arg(QString(option.name).replace(QLatin1Char('-'), QStringLiteral("\\-")),
                        option.value.isEmpty() ? QString() : QStringLiteral(" \\fI%1\\fR").arg(option.value),
                        roffText(sentence(option.text)));
    }
    out += QStringLiteral(".SH COMMANDS\n");
    for (const CliCommandInfo& command : CliRegistry::commands()) {
        const QString more = explanation(command);
        const QString usage = usageLine(command);
        out += QStringLiteral(".TP\n\\fB%1\\fR%2\n%3\n")
                   .arg(QString(command.name).replace(QLatin1Char('-'), QStringLiteral("\\-")),
                        roffUsage(usage.mid(command.name.size())), roffText(sentence(command.summary)));
        if (!more.isEmpty())
            out += roffText(more) + QLatin1Char('\n');
    }
    out += QStringLiteral(
        ".SH EXIT STATUS\n"
        "0 on success, 1 on failure (the message goes to standard error), 2 on a usage error. A write "
        "past a file\\-size limit (ulimit \\-f) is a failure with its reason, not the end of the "
        "program by its signal.\n"
        ".SH ENVIRONMENT\n"
        ".TP\n.B SBK_SETTINGS\n"
        "The settings file to use instead of the one below.\n"
        ".SH FILES\n"
        ".TP\n.I ~/.config/SBK/SBK.conf\n"
        "The settings, shared with\n.BR sbk (1):\n"
        "the database path (section PATH, key DATABASE) and the paths of the PARAMETERS section.\n"
        ".TP\n.I ~/.local/share/SBK/SBK/SBK.MDB\n"
        "The default database, created empty when it is first needed.\n"
        ".PP\n"
        "A program run from the folder it was built in (which holds the file\n.IR SBK\\-BUILD\\-TREE )\n"
        "keeps its settings\n.RI ( SBK.conf )\nand its default database\n.RI ( SBK.MDB )\n"
        "in that folder instead.\n"
        ".SH EXAMPLES\n"
        ".EX\n"
        "sbk\\-cli \\-\\-db ~/styles.mdb import /media/usb \\-\\-subfolders \\-\\-group POP\n"
        "sbk\\-cli import ~/Downloads/PopPack.zip \\-\\-author Me\n"
        "sbk\\-cli list \\-\\-group POP \\-\\-sort name:desc\n"
        "sbk\\-cli list \\-\\-damaged\n"
        "sbk\\-cli bank\\-save PARTY \\-\\-desc Party 12 7 33\n"
        "sbk\\-cli make\\-sty PARTY /media/usb/USER01.STY \\-\\-user\\-bank 17\n"
        "sbk\\-cli style\\-show 12\n"
        "sbk\\-cli midi\\-export 12 \\-\\-element Var1 \\-\\-repeat 4 \\-o var1.mid\n"
        "source <(sbk\\-cli completion bash)\n"
        ".EE\n"
        ".SH SEE ALSO\n"
        ".BR sbk (1)\n");
    return out;
}

QString CliManual::bashCompletion() {
    QStringList names;
    QStringList globals;
    for (const Option& option : globalOptions())
        globals << QStringLiteral("--") + option.name;
    CompletionCases all;
    for (const CliCommandInfo& command : CliRegistry::commands()) {
        names << command.name;
        const CompletionCases cases = completionCases(command);
        all.values += cases.values;
        all.options += cases.options;
        all.positionals += cases.positionals;
    }
    // The script's frame; the cases of the commands go into its case statements.
    QFile frame(QStringLiteral(":/cli/completion.bash.in"));
    if (!frame.open(QIODevice::ReadOnly))
        throw SbkError(QStringLiteral("the completion script is missing from sbk-cli"));
    return QString::fromUtf8(frame.readAll())
        .arg(QStringLiteral(SBK_VERSION), all.values, shellWords(globals), all.options, shellWords(names),
             all.positionals);
}
