#include "ScriptedPrompt.h"

ScriptedPrompt& ScriptedPrompt::answer(Answer a) {
    m_script.append({Kind::Message, QVariant::fromValue(int(a))});
    return *this;
}

ScriptedPrompt& ScriptedPrompt::answerText(const std::optional<QString>& text) {
    m_script.append({Kind::Input, text ? QVariant(*text) : QVariant()});
    return *this;
}

ScriptedPrompt& ScriptedPrompt::answerFile(const QString& path) {
    m_script.append({Kind::OpenFile, path});
    return *this;
}

QVariant ScriptedPrompt::next(Kind kind) {
    auto matches = [&](Kind scripted) {
        if (kind == Kind::SaveFile || kind == Kind::Folder)
            return scripted == Kind::OpenFile;
        return scripted == kind;
    };
    if (m_script.isEmpty() || !matches(m_script.first().first)) {
        ++m_unexpected;
        return {};
    }
    return m_script.takeFirst().second;
}

Prompt::Answer ScriptedPrompt::message(const QString& text, const QString& /*title*/, Icon icon,
                                       Buttons buttons, Answer defaultButton) {
    m_asked.append({Kind::Message, text, icon, defaultButton, {}});
    if (buttons == Buttons::Ok) {
        // An OK box needs no script entry, but one scripted as Ok is taken.
        if (!m_script.isEmpty() && m_script.first().first == Kind::Message &&
            Answer(m_script.first().second.toInt()) == Answer::Ok)
            m_script.removeFirst();
        return Answer::Ok;
    }
    const QVariant v = next(Kind::Message);
    return v.isValid() ? Answer(v.toInt()) : Answer::No;
}

std::optional<QString> ScriptedPrompt::input(const QString& prompt, const QString& /*title*/,
                                             const QString& proposed) {
    m_asked.append({Kind::Input, prompt, Icon::None, Answer::Ok, proposed});
    const QVariant v = next(Kind::Input);
    if (!v.isValid())
        return std::nullopt;
    return v.toString();
}

QString ScriptedPrompt::openFile(const QString& filter) {
    m_asked.append({Kind::OpenFile, filter, Icon::None, Answer::Ok, {}});
    return next(Kind::OpenFile).toString();
}

QString ScriptedPrompt::saveFile(const QString& filter, const QString& proposedName) {
    m_asked.append({Kind::SaveFile, filter, Icon::None, Answer::Ok, proposedName});
    return next(Kind::SaveFile).toString();
}

QString ScriptedPrompt::chooseFolder(const QString& title, const QString& start) {
    m_asked.append({Kind::Folder, title, Icon::None, Answer::Ok, start});
    return next(Kind::Folder).toString();
}

QStringList ScriptedPrompt::texts() const {
    QStringList list;
    for (const Asked& a : m_asked)
        list << a.text;
    return list;
}

void ScriptedPrompt::clear() {
    m_script.clear();
    m_asked.clear();
    m_unexpected = 0;
}
