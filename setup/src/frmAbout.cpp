#include "pellwick/setup/frmAbout.h"

#include "pellwick/ErrorReport.h"
#include "pellwick/modQWAPI.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace pellwick {

namespace {
QLabel* makeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    return label;
}

void makeLink(QLabel* label) {
    // Drawn like a link; clicks, and Enter or Space while it has the focus, are taken
    // by frmAbout's event filter.
    // A label draws no focus frame of its own: the dotted border shows where Tab went.
    label->setStyleSheet(QStringLiteral("QLabel { color: blue; text-decoration: underline; "
                                        "border: 1px solid transparent; } "
                                        "QLabel:focus { border: 1px dotted blue; }"));
    label->setCursor(Qt::PointingHandCursor);
    label->setFocusPolicy(Qt::TabFocus);
}
} // namespace

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("Pellwick - About"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(9);
    setFont(font);

    lblProgram = makeLabel(this, "lblProgram", QStringLiteral("Pellwick"));
    QFont big = lblProgram->font();
    big.setPointSize(14);
    big.setBold(true);
    lblProgram->setFont(big);
    lblVersion = makeLabel(this, "lblVersion", QStringLiteral("Version - X.X.X"));
    lblCompany = makeLabel(this, "lblCompany", QString::fromUtf8(MakerDetails::Company));
    lblCopyright = makeLabel(this, "lblCopyright", QString::fromUtf8(MakerDetails::Copyright));
    lblTelephone = makeLabel(this, "lblTelephone",
                             QStringLiteral("Tel: ") + QString::fromUtf8(MakerDetails::Telephone));
    lblEmail = makeLabel(this, "lblEmail", QString::fromUtf8(MakerDetails::Email));
    lblWebsite = makeLabel(this, "lblWebsite", QString::fromUtf8(MakerDetails::Website));
    makeLink(lblEmail);
    makeLink(lblWebsite);
    lblEmail->installEventFilter(this);
    lblWebsite->installEventFilter(this);

    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);
    cmdClose->setAutoDefault(true);
    cmdClose->setFixedSize(85, 23);
    setTabOrder(cmdClose, lblEmail);
    setTabOrder(lblEmail, lblWebsite);
    connect(cmdClose, &QPushButton::clicked, this, &frmAbout::cmdClose_Click);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->setSpacing(6);
    for (QLabel* label :
         {lblProgram, lblVersion, lblCompany, lblCopyright, lblTelephone, lblEmail, lblWebsite})
        layout->addWidget(label);
    layout->addSpacing(8);
    layout->addWidget(cmdClose, 0, Qt::AlignHCenter);
    setFixedSize(sizeHint().expandedTo(QSize(320, 0)));

    Form_Load();
}

QString frmAbout::VersionText() {
    return QStringLiteral("Version - %1.%2.%3")
        .arg(PELLWICK_VERSION_MAJOR)
        .arg(PELLWICK_VERSION_MINOR)
        .arg(PELLWICK_VERSION_PATCH);
}

void frmAbout::ShowForm() {
    // Every opening starts on Close, so Enter closes the window as Escape does; left to
    // itself the window would give the focus to the first link, and Enter would start a
    // mail message instead.
    cmdClose->setFocus();
    exec();
}

void frmAbout::Form_Load() {
    Guarded("Form_Load", [&] { lblVersion->setText(VersionText()); });
}

void frmAbout::lblEmail_Click() {
    Guarded("lblEmail_Click", [&] { OpenEmail(QString::fromUtf8(MakerDetails::Email)); });
}

void frmAbout::lblWebsite_Click() {
    Guarded("lblWebsite_Click", [&] { OpenWebpage(QString::fromUtf8(MakerDetails::Website)); });
}

void frmAbout::cmdClose_Click() {
    Guarded("cmdClose_Click", [&] { accept(); });
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event) {
    bool activated = false;
    if (event->type() == QEvent::MouseButtonRelease)
        activated = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    else if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        activated = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
    }
    if (activated) {
        if (watched == lblEmail) {
            lblEmail_Click();
            return true;
        }
        if (watched == lblWebsite) {
            lblWebsite_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace pellwick
