#pragma once

#include "core/Prompt.h"

class QTextStream;

// The prompt of the command line: messages and questions are written to the terminal (stderr, so
// that stdout keeps only the command's output) and answers are read as lines from stdin. A
// question answered with an empty line takes its preset button; the end of input answers No.
class TerminalPrompt : public Prompt {
public:
    TerminalPrompt(QTextStream& in, QTextStream& out);

    Answer message(const QString& text, const QString& title, Icon icon, Buttons buttons = Buttons::Ok,
                   Answer defaultButton = Answer::Ok) override;
    std::optional<QString> input(const QString& prompt, const QString& title,
                                 const QString& proposed) override;
    QString openFile(const QString& filter) override;
    QString saveFile(const QString& filter, const QString& proposedName) override;
    QString chooseFolder(const QString& title, const QString& start) override;

private:
    std::optional<QString> readLine();

    QTextStream& m_in;
    QTextStream& m_out;
};
