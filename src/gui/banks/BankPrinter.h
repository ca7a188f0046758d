#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <QPageLayout>
#include <QString>

class BankPage;
class Prompt;
class QPainter;
class QPrinter;

// Prints a bank's page, or another document of the program, on the system's default printer. Where
// there is no printer it offers to save the document as a PDF file instead, proposing its name.
// Failures are told through the prompt.
class BankPrinter {
public:
    // Makes the printer to print on; nullptr stands for "no printer".
    using Factory = std::function<std::unique_ptr<QPrinter>()>;

    // What is printed: its name in the printer's queue, the words that name it in messages ("bank
    // PARTY"), the file name proposed for its PDF, how it paints itself on the printer's pages
    // (false when the printer refused a page), how it writes itself as a PDF file (throws
    // SbkError), and the orientation of its pages (the printer's own when absent).
    struct Document {
        QString name;
        QString what;
        QString proposedFile;
        std::function<bool(QPainter&, QPrinter&)> paint;
        std::function<void(const QString&)> writePdf;
        std::optional<QPageLayout::Orientation> orientation;
    };

    static void print(const BankPage& page, Prompt& prompt);
    static void print(const Document& document, Prompt& prompt);

    // Replaces the system's default printer for its lifetime (tests print to a PDF printer or to
    // none).
    class ScopedFactory {
    public:
        explicit ScopedFactory(Factory factory);
        ~ScopedFactory();
        ScopedFactory(const ScopedFactory&) = delete;
        ScopedFactory& operator=(const ScopedFactory&) = delete;

    private:
        Factory m_previous;
    };

    // "NAME.pdf", with characters that file names cannot hold replaced by "_".
    static QString proposedFileName(const QString& bankName);

private:
    static Factory& factory();
    static std::unique_ptr<QPrinter> defaultPrinter();
};
