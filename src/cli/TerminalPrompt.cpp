#include "cli/TerminalPrompt.h"

#include <QTextStream>

TerminalPrompt::TerminalPrompt(QTextStream& in, QTextStream& out) : m_in(in), m_out(out) {}

std::optional<QString> TerminalPrompt::readLine() {
    QString line;
    if (!m_in.readLineInto(&line))
        return std::nullopt;
    return line.trimmed();
}

Prompt::Answer TerminalPrompt::message(const QString& text, const QString& title, Icon icon, Buttons buttons,
                                       Answer defaultButton) {
    const QString prefix = icon == Icon::Critical      ? QStringLiteral("Error: ")
                           : icon == Icon::Exclamation ? QStringLiteral("Warning: ")
                                                       : QString();
    // The title is the program's name on nearly every message; it is shown only when it says more.
    const QString heading =
        title.isEmpty() || title == Prompt::Title ? QString() : title + QStringLiteral(": ");
    if (buttons == Buttons::Ok) {
        m_out << heading << prefix << text << '\n' << Qt::flush;
        return Answer::Ok;
    }
    const bool yesPreset = defaultButton == Answer::Yes;
    for (;;) {
        m_out << heading << prefix << text << (yesPreset ? " [Y/n] " : " [y/N] ") << Qt::flush;
        const std::optional<QString> line = readLine();
        if (!line) {
            m_out << '\n' << Qt::flush;
            return Answer::No;
        }
        const QString answer = line->toLower();
        if (answer.isEmpty())
            return yesPreset ? Answer::Yes : Answer::No;
        if (answer == QStringLiteral("y") || answer == QStringLiteral("yes"))
            return Answer::Yes;
        if (answer == QStringLiteral("n") || answer == QStringLiteral("no"))
            return Answer::No;
        m_out << "Please answer yes or no.\n";
    }
}

std::optional<QString> TerminalPrompt::input(const QString& prompt, const QString& title,
                                             const QString& proposed) {
    (void)title;
    m_out << prompt << (proposed.isEmpty() ? QString() : QStringLiteral(" [%1]").arg(proposed)) << ": "
          << Qt::flush;
    const std::optional<QString> line = readLine();
    if (!line)
        return std::nullopt;
    return line->isEmpty() ? proposed : *line;
}

QString TerminalPrompt::openFile(const QString& filter) {
    m_out << "File to open (" << QString(filter).replace(QLatin1Char('|'), QLatin1Char(' '))
          << "): " << Qt::flush;
    return readLine().value_or(QString());
}

QString TerminalPrompt::saveFile(const QString& filter, const QString& proposedName) {
    const std::optional<QString> answer = input(
        QStringLiteral("File to write (%1)").arg(QString(filter).replace(QLatin1Char('|'), QLatin1Char(' '))),
        QString(), proposedName);
    return answer.value_or(QString());
}

QString TerminalPrompt::chooseFolder(const QString& title, const QString& start) {
    return input(title, QString(), start).value_or(QString());
}
