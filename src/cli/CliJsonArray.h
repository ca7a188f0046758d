#pragma once

#include <QJsonValue>
#include <QTextStream>

// Writes a JSON array to a stream one element at a time, byte for byte as QJsonDocument writes the
// whole array in its indented form, so that a listing of any length holds one element at a time.
// Each element is written by QJsonDocument itself; the array around them is written here.
class CliJsonArray {
public:
    explicit CliJsonArray(QTextStream& out) : m_out(out) {}

    void append(const QJsonValue& value);
    // Writes the end of the array (and its start, when no element came).
    void finish();

private:
    QTextStream& m_out;
    bool m_started = false;
};
