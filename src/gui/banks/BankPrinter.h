#pragma once

#include <functional>
#include <memory>

class BankPage;
class Prompt;
class QPrinter;
class QString;

// Prints a bank's page on the system's default printer. Where there is no printer it offers to
// save the page as a PDF file instead, proposing the bank's name. Failures are told through the
// prompt.
class BankPrinter {
public:
    // Makes the printer to print on; nullptr stands for "no printer".
    using Factory = std::function<std::unique_ptr<QPrinter>()>;

    static void print(const BankPage& page, Prompt& prompt);

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
