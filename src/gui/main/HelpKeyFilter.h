#pragma once

#include <QObject>

// Installed on the application: F1 in any window opens the help viewer over that window.
class HelpKeyFilter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Number of times the guide was opened (the program shows it; tests read the count).
    int opened() const { return m_opened; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int m_opened = 0;
    bool m_showing = false;
};
