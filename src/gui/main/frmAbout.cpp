#include "gui/main/frmAbout.h"

#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

QString frmAbout::versionTip() {
    // The same version as sbk-cli --version and the package.
    return QStringLiteral("Version ") + QStringLiteral(SBK_VERSION) + QStringLiteral(" (") + ReleaseDate +
           QStringLiteral(")  - Press a key or a mouse button to exit!");
}

frmAbout::frmAbout(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmAbout"));
    auto* layout = new QVBoxLayout(this);

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setPixmap(QPixmap(QStringLiteral(":/images/logo.png")));
    picture->setToolTip(versionTip());
    picture->installEventFilter(this);
    layout->addWidget(picture, 0, Qt::AlignHCenter);

    const QStringList texts{
        QStringLiteral("SBK keeps your styles in one place. Many players helped it along with ideas, test "
                       "banks and patient reports of what went wrong; thank you all, and especially:"),
        QStringLiteral(
            "SBK is given away free of charge. You may use it, copy it and pass it on as you like, "
            "as long as you do not sell it and you pass this notice on with it."),
        QStringLiteral("SBK comes with no warranty of any kind. It is offered as it is, in the hope that it "
                       "is useful; keep backups of your styles and of your database."),
        QStringLiteral("If you feel you owe something for SBK, please do not send it to me: spend it on a "
                       "present for someone you love, and tell them it comes from a style librarian."),
        QStringLiteral("Questions: press F1 in any SBK window for the guide. When something goes wrong, "
                       "tell whoever gave you SBK what you did, the message SBK showed and the version "
                       "(rest the mouse on the picture above to see it)."),
    };
    for (int i = 0; i < texts.size(); ++i) {
        auto* label = new QLabel(texts.at(i), this);
        label->setObjectName(QStringLiteral("Label1_%1").arg(i));
        label->setWordWrap(true);
        label->installEventFilter(this);
        layout->addWidget(label);
        if (i == 0) {
            auto* names = new QLabel(
                QStringLiteral("Alberto, Bruna, Carlo, Daniela, Enzo, Franca, Giorgio, Ilaria, Luca, Marta"),
                this);
            names->setObjectName(QStringLiteral("Label2"));
            names->setWordWrap(true);
            names->setAlignment(Qt::AlignHCenter);
            names->installEventFilter(this);
            layout->addWidget(names);
        }
    }
    setFixedWidth(420);
}

void frmAbout::keyPressEvent(QKeyEvent* event) {
    event->accept();
    accept();
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType()) {
        accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
