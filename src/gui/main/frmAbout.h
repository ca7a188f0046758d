#pragma once

#include <QDialog>

// The about box: picture, version and the program's information texts, without a caption. Any
// key, or a click on the picture or a text, closes it.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    static inline const QString ReleaseDate = QStringLiteral("May, 2006");

    explicit frmAbout(QWidget* parent = nullptr);
    // The picture's tooltip: "Version 1.2.0 (May, 2006)  - Press a key or a mouse button to exit!".
    static QString versionTip();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};
