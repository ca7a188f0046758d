#pragma once

#include "core/Prompt.h"

#include <QList>
#include <QString>
#include <QVariant>

// The prompt of tests: answers come from a script given beforehand, and every question is
// recorded with its text, icon and default button. A question with no scripted
// answer is recorded as unexpected and answered No / cancel.
class ScriptedPrompt : public Prompt {
public:
    enum class Kind { Message, Input, OpenFile, SaveFile, Folder };
    struct Asked {
        Kind kind;
        QString text; // message text, input prompt, file filter or folder title
        Icon icon = Icon::None;
        Answer defaultButton = Answer::Ok;
        QString proposed; // input proposal or proposed file name
    };

    // Script the next answers, in order.
    ScriptedPrompt& answer(Answer a);
    ScriptedPrompt& answerText(const std::optional<QString>& text); // input box; nullopt = cancel
    ScriptedPrompt& answerFile(const QString& path);                // file or folder dialog; "" = cancel

    Answer message(const QString& text, const QString& title, Icon icon, Buttons buttons = Buttons::Ok,
                   Answer defaultButton = Answer::Ok) override;
    std::optional<QString> input(const QString& prompt, const QString& title,
                                 const QString& proposed) override;
    QString openFile(const QString& filter) override;
    QString saveFile(const QString& filter, const QString& proposedName) override;
    QString chooseFolder(const QString& title, const QString& start) override;

    const QList<Asked>& asked() const { return m_asked; }
    QStringList texts() const; // the text of every question, in order
    int unexpected() const { return m_unexpected; }
    void clear();

private:
    QVariant next(Kind kind);

    QList<QPair<Kind, QVariant>> m_script;
    QList<Asked> m_asked;
    int m_unexpected = 0;
};
