#pragma once

#include <QDialog>

class QPlainTextEdit;

// Shows a text, in practice the log of a style import. Any key of a plain character (code below
// 128: letters, Enter, Esc, ...) typed in the window closes it, as does "Cancel"; only the copy
// key (Ctrl+C) copies the selected text instead.
class frmLog : public QDialog {
    Q_OBJECT
public:
    explicit frmLog(QWidget* parent = nullptr);
    void setText(const QString& text);
    QString text() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static bool closesWindow(const QKeyEvent* event);

    QPlainTextEdit* m_txtResult;
};
