#include "gui/main/frmMain.h"

#include "core/Prompt.h"
#include "core/SbkError.h"
#include "core/SbkVersion.h"
#include "gui/banks/frmStyles.h"
#include "gui/interchange/frmBckpRstr.h"
#include "gui/main/frmAbout.h"
#include "gui/main/frmParameters.h"
#include "gui/main/WindowOpener.h"
#include "session/SBKModule.h"
#include "session/StartUp.h"
#include "store/Database.h"
#include "store/Transaction.h"

#include <algorithm>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSqlQuery>
#include <QVBoxLayout>

frmMain::frmMain(SBKModule& module, Prompt& prompt, QWidget* parent)
    : QWidget(parent), m_module(module), m_prompt(prompt), m_picture(new QLabel(this)) {
    setObjectName(QStringLiteral("frmMain"));
    // Form_Load: the caption is the program's name and version.
    setWindowTitle(SbkVersion::title());

    m_picture->setObjectName(QStringLiteral("Picture1"));
    m_picture->setPixmap(QPixmap(QStringLiteral(":/images/logo.png")));
    m_picture->setFixedSize(200, 63);
    m_picture->installEventFilter(this);

    const QStringList captions{QStringLiteral("Styles"), QStringLiteral("About"),
                               QStringLiteral("Parameters"), QStringLiteral("Backup / Restore"),
                               QStringLiteral("Exit")};
    for (int i = 0; i < 5; ++i) {
        auto* button = new QPushButton(captions.at(i), this);
        button->setObjectName(QStringLiteral("cmdMenu_%1").arg(i));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, i] { cmdMenu_Click(i); });
        m_cmdMenu.at(size_t(i)) = button;
    }
    for (int bold : {0, 4}) {
        QFont font = m_cmdMenu.at(size_t(bold))->font();
        font.setBold(true);
        m_cmdMenu.at(size_t(bold))->setFont(font);
    }

    // The four buttons under "Styles" share one width, that of the widest caption.
    int width = 0;
    for (int i = 1; i < 5; ++i)
        width = std::max(width, m_cmdMenu.at(size_t(i))->sizeHint().width());
    for (int i = 1; i < 5; ++i)
        m_cmdMenu.at(size_t(i))->setMinimumWidth(width);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_picture, 0, Qt::AlignHCenter);
    layout->addWidget(m_cmdMenu[0]);
    auto* row1 = new QHBoxLayout;
    row1->addWidget(m_cmdMenu[1]);
    row1->addWidget(m_cmdMenu[2]);
    layout->addLayout(row1);
    auto* row2 = new QHBoxLayout;
    row2->addWidget(m_cmdMenu[3]);
    row2->addWidget(m_cmdMenu[4]);
    layout->addLayout(row2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void frmMain::cmdMenu_Click(int index) {
    switch (index) {
    case 0: {
        frmStyles window(m_module, m_prompt, this);
        WindowOpener::exec(window);
        break;
    }
    case 1: {
        frmAbout window(this);
        WindowOpener::exec(window);
        break;
    }
    case 2: {
        frmParameters window(m_module, m_prompt, this);
        WindowOpener::exec(window);
        break;
    }
    case 3: {
        frmBckpRstr window(m_module, m_prompt, this);
        WindowOpener::exec(window);
        break;
    }
    case 4:
        StartUp::ExitApplication(m_module);
        close();
        break;
    default:
        break;
    }
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_picture && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        Picture1_MouseDown(mouse->button(), mouse->modifiers());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmMain::Picture1_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
    const Qt::KeyboardModifiers held =
        modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (button != Qt::LeftButton || held != (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))
        return;
    const std::optional<QString> code = m_prompt.input(
        QStringLiteral("WARNING: insert password for complete database deletion"), Prompt::Title, QString());
    if (!code || *code != AccessCode)
        return;
    if (!m_prompt.confirm(
            QStringLiteral("WARNING: All data inside SBK database will be deleted. Are you sure?")))
        return;
    deleteWholeDatabase();
}

void frmMain::deleteWholeDatabase() {
    // Both tables or neither: a failure part way must not leave banks pointing at no styles.
    try {
        if (!m_module.isConnected())
            throw SbkError(QStringLiteral("No database is open."));
        QSqlDatabase db = m_module.connection();
        Transaction transaction(db);
        {
            QSqlQuery query(db);
            Database::exec(query, QStringLiteral("DELETE FROM KORFSTYLES"));
            Database::exec(query, QStringLiteral("DELETE FROM KORFBANKS"));
        }
        transaction.commit();
    } catch (const SbkError& e) {
        m_prompt.message(e.message(), Prompt::Title, Prompt::Icon::Critical);
        return;
    }
    m_prompt.message(QStringLiteral("SBK database successfully initialized"), Prompt::Title,
                     Prompt::Icon::Exclamation);
}
