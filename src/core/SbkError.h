#pragma once

#include <QString>
#include <stdexcept>

// The one exception type of the program's engines. Its text is meant for the user as it stands:
// it names the file or record concerned and what was wrong.
class SbkError : public std::runtime_error {
public:
    explicit SbkError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const { return m_message; }

private:
    QString m_message;
};
