#pragma once

#include <optional>
#include <QString>

// Everything an engine or a window asks or tells the user goes through this interface: the program
// implements it with real dialogs, the command line with the terminal, tests with scripted answers.
class Prompt {
public:
    enum class Icon { None, Information, Question, Exclamation, Critical };
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No };

    // The title of the program's own message boxes.
    static inline const QString Title = QStringLiteral("SBK");

    virtual ~Prompt() = default;

    // A message box. With Buttons::Ok the answer is always Answer::Ok.
    virtual Answer message(const QString& text, const QString& title, Icon icon,
                           Buttons buttons = Buttons::Ok, Answer defaultButton = Answer::Ok) = 0;

    // An input box; std::nullopt when cancelled.
    virtual std::optional<QString> input(const QString& prompt, const QString& title,
                                         const QString& proposed) = 0;

    // File dialogs. The filter is "desc|pattern|desc|pattern"; the result is "" when cancelled.
    virtual QString openFile(const QString& filter) = 0;
    virtual QString saveFile(const QString& filter, const QString& proposedName) = 0;
    // A folder chooser (mount points of floppies and instrument disks); "" when cancelled.
    virtual QString chooseFolder(const QString& title, const QString& start) = 0;

    // Shorthand for the usual Yes/No question with the question icon and No preset.
    bool confirm(const QString& text, const QString& title = Title) {
        return message(text, title, Icon::Question, Buttons::YesNo, Answer::No) == Answer::Yes;
    }
};
