#include "gui/main/DialogProgress.h"

#include "gui/main/DialogPrompt.h"

#include <algorithm>
#include <QProgressDialog>

namespace {
// QProgressDialog counts in int: a larger total is shown in proportion.
constexpr qint64 Steps = 1000;
} // namespace

DialogProgress::DialogProgress() = default;
DialogProgress::~DialogProgress() = default;

void DialogProgress::begin(qint64 total, const QString& label) {
    m_total = total;
    m_dialog = std::make_unique<QProgressDialog>(label, QString(), 0, int(Steps), DialogPrompt::owner());
    m_dialog->setWindowTitle(Prompt::Title);
    m_dialog->setWindowModality(Qt::ApplicationModal);
    m_dialog->setMinimumDuration(500);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setValue(0);
}

void DialogProgress::step(qint64 done, const QString& text) {
    if (!m_dialog)
        return;
    if (!text.isEmpty())
        m_dialog->setLabelText(text);
    // A modal progress dialog lets the window system paint as its value changes.
    m_dialog->setValue(int(m_total > 0 ? std::min(done, m_total) * Steps / m_total : 0));
}

void DialogProgress::end() {
    m_dialog.reset();
}
