#pragma once

#include <optional>
#include <QString>
#include <QStringList>

// The text lines of a PDF file as pdftotext (poppler-utils) reads them, blanks run together and
// empty lines left out; std::nullopt when pdftotext is not installed.
std::optional<QStringList> pdfLines(const QString& path);
