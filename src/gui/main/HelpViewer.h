#pragma once

#include <QDialog>

class QTextBrowser;

// The program's own help: the guide compiled into the program, shown in a browser window.
class HelpViewer : public QDialog {
    Q_OBJECT
public:
    static inline const QString GuideUrl = QStringLiteral("qrc:/help/index.html");

    explicit HelpViewer(QWidget* parent = nullptr);
    QTextBrowser* browser() const { return m_browser; }

private:
    QTextBrowser* m_browser;
};
