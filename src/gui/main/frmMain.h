#pragma once

#include <array>
#include <QWidget>

class Prompt;
class QLabel;
class QPushButton;
class SBKModule;

// The launcher window: opens the styles window, the about box, the parameters and the backup /
// restore window, ends the program, and hides the complete deletion of the database behind its
// logo (left button with Shift, Ctrl and Alt, and the access code).
class frmMain : public QWidget {
    Q_OBJECT
public:
    static inline const QString AccessCode = QStringLiteral("LOOP ON/OFF");

    frmMain(SBKModule& module, Prompt& prompt, QWidget* parent = nullptr);

    void cmdMenu_Click(int index);
    void Picture1_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void deleteWholeDatabase();

    SBKModule& m_module;
    Prompt& m_prompt;
    QLabel* m_picture;
    std::array<QPushButton*, 5> m_cmdMenu{};
};
