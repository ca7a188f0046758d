#include "cli/CliJsonArray.h"

#include <QJsonArray>
#include <QJsonDocument>

void CliJsonArray::append(const QJsonValue& value) {
    // An array of one element is written "[\n" + the element at its indent + "\n]\n"; the element
    // is the part between, as it stands in a longer array, where ",\n" parts the elements.
    const QByteArray one = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Indented);
    m_out << (m_started ? ",\n" : "[\n") << QString::fromUtf8(one.constData() + 2, one.size() - 5);
    m_started = true;
}

void CliJsonArray::finish() {
    m_out << (m_started ? "\n]\n" : "[\n]\n");
    m_started = true;
}
