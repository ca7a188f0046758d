#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct CliCommandInfo;

// What sbk-cli tells about itself, all made from the one command table (CliRegistry) and the
// global options below: the --help text, the manual page sbk-cli.1 the build installs, and the
// bash completion script of "sbk-cli completion bash". A command added to the table appears in
// all three.
class CliManual {
public:
    struct Option {
        QString name;  // "db", without the dashes
        QString value; // "" for a flag, else its placeholder ("PATH") or choices ("older|newer")
        QString text;  // what it does, one sentence or a few
    };

    // The options before the command.
    static const QList<Option>& globalOptions();
    // The options of a command, read from the first line of its synopsis: "[--json]" is a flag,
    // "[--name V]" and "--to FOLDER" take a value.
    static QList<Option> commandOptions(const CliCommandInfo& command);

    static QString helpText();
    // The manual page sbk-cli.1 (man(7) markup).
    static QString manPage();
    static QString bashCompletion();
};
