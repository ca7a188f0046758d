#include "gui/main/frmLog.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmLog::frmLog(QWidget* parent) : QDialog(parent), m_txtResult(new QPlainTextEdit(this)) {
    setObjectName(QStringLiteral("frmLog"));
    setWindowTitle(QStringLiteral("Log file viewer"));
    m_txtResult->setObjectName(QStringLiteral("txtResult"));
    m_txtResult->setReadOnly(true);
    m_txtResult->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_txtResult->installEventFilter(this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Command1"));
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_txtResult);
    layout->addWidget(cancel, 0, Qt::AlignRight);
    resize(600, 420);
}

void frmLog::setText(const QString& text) {
    m_txtResult->setPlainText(text);
}

QString frmLog::text() const {
    return m_txtResult->toPlainText();
}

bool frmLog::closesWindow(const QKeyEvent* event) {
    const QString text = event->text();
    return !text.isEmpty() && text.at(0).unicode() < 128;
}

void frmLog::keyPressEvent(QKeyEvent* event) {
    // Copying the selection is the one plain key that leaves the log open.
    if (event->matches(QKeySequence::Copy)) {
        m_txtResult->copy();
        return;
    }
    if (closesWindow(event)) {
        reject();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool frmLog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_txtResult && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy)) {
            m_txtResult->copy();
            return true;
        }
        if (closesWindow(key)) {
            reject();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
