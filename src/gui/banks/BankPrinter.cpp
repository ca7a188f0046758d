#include "gui/banks/BankPrinter.h"

#include "banks/BankPage.h"
#include "core/Prompt.h"
#include "core/SbkError.h"

#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>

BankPrinter::Factory& BankPrinter::factory() {
    static Factory current;
    return current;
}

BankPrinter::ScopedFactory::ScopedFactory(Factory factory) : m_previous(std::move(BankPrinter::factory())) {
    BankPrinter::factory() = std::move(factory);
}

BankPrinter::ScopedFactory::~ScopedFactory() {
    BankPrinter::factory() = std::move(m_previous);
}

std::unique_ptr<QPrinter> BankPrinter::defaultPrinter() {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return nullptr;
    return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

QString BankPrinter::proposedFileName(const QString& bankName) {
    QString name = bankName.trimmed();
    name.replace(QRegularExpression(QStringLiteral("[/\\\\:*?\"<>|\\x00-\\x1f]")), QStringLiteral("_"));
    return (name.isEmpty() ? QStringLiteral("bank") : name) + QStringLiteral(".pdf");
}

void BankPrinter::print(const BankPage& page, Prompt& prompt) {
    Document document;
    document.name = page.name();
    document.what = QStringLiteral("bank ") + page.name();
    document.proposedFile = proposedFileName(page.name());
    document.paint = [&page](QPainter& painter, QPrinter& printer) {
        page.paint(painter,
                   QRectF(QPointF(0, 0), printer.pageLayout().paintRectPixels(printer.resolution()).size()));
        return true;
    };
    document.writePdf = [&page](const QString& path) { page.writePdf(path); };
    print(document, prompt);
}

void BankPrinter::print(const Document& document, Prompt& prompt) {
    const std::unique_ptr<QPrinter> printer = factory() ? factory()() : defaultPrinter();
    // "bank PARTY" begins a sentence as "Bank PARTY".
    QString sentence = document.what;
    if (!sentence.isEmpty())
        sentence[0] = sentence.at(0).toUpper();
    if (printer) {
        printer->setDocName(document.name);
        if (document.orientation)
            printer->setPageOrientation(*document.orientation);
        QPainter painter;
        if (!painter.begin(printer.get())) {
            prompt.message(QStringLiteral("The printer %1 cannot print.").arg(printer->printerName()),
                           Prompt::Title, Prompt::Icon::Critical);
            return;
        }
        const bool painted = document.paint(painter, *printer);
        if (!painter.end() || !painted || printer->printerState() == QPrinter::Error)
            prompt.message(QStringLiteral("%1 could not be printed.").arg(sentence), Prompt::Title,
                           Prompt::Icon::Critical);
        return;
    }
    if (!prompt.confirm(QStringLiteral("No printer is installed. Would you like to save %1 as a PDF "
                                       "file instead?")
                            .arg(document.what)))
        return;
    QString path = prompt.saveFile(QStringLiteral("PDF file (*.PDF)|*.PDF"), document.proposedFile);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    try {
        document.writePdf(path);
    } catch (const SbkError& error) {
        prompt.message(error.message(), Prompt::Title, Prompt::Icon::Critical);
    }
}
