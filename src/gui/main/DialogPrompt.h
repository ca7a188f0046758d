#pragma once

#include "core/Prompt.h"

#include <QStringList>

class QWidget;

// The program's Prompt: real message boxes, input boxes and file dialogs, shown over the window
// that asks.
class DialogPrompt : public Prompt {
public:
    Answer message(const QString& text, const QString& title, Icon icon, Buttons buttons = Buttons::Ok,
                   Answer defaultButton = Answer::Ok) override;
    std::optional<QString> input(const QString& prompt, const QString& title,
                                 const QString& proposed) override;
    QString openFile(const QString& filter) override;
    QString saveFile(const QString& filter, const QString& proposedName) override;
    QString chooseFolder(const QString& title, const QString& start) override;

    // The file dialog's name filters for a "desc|pattern|desc|pattern" filter. Each pattern is
    // widened so that it matches regardless of case ("*.STY" also shows "user01.sty"); the
    // description is shown as it stands.
    static QStringList nameFilters(const QString& filter);
    // "*.STY" -> "*.[sS][tT][yY]".
    static QString caseFreePattern(const QString& pattern);

    // The window a question belongs to: the modal window on top (every working window is modal, so
    // that is the one asking), else the active window, else the first visible window.
    static QWidget* owner();
};
