#include "pellwick/setup/frmAbout.h"

#include "pellwick/ErrorReport.h"
#include "pellwick/modQWAPI.h"
#include "ui_frmAbout.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace pellwick {

frmAbout::frmAbout(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::frmAbout>()) {
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    // Clicks on the links, and Enter or Space while one has the focus, are taken by
    // eventFilter; a label draws no focus frame of its own, so the style sheet in
    // frmAbout.ui draws a dotted border where Tab went.
    ui_->lblEmail->installEventFilter(this);
    ui_->lblWebsite->installEventFilter(this);
    connect(ui_->cmdClose, &QPushButton::clicked, this, &frmAbout::cmdClose_Click);
    setFixedSize(sizeHint().expandedTo(QSize(320, 0)));

    Form_Load();
}

frmAbout::~frmAbout() = default;

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
    ui_->cmdClose->setFocus();
    exec();
}

void frmAbout::Form_Load() {
    Guarded("Form_Load", [&] { ui_->lblVersion->setText(VersionText()); });
}

void frmAbout::lblEmail_Click() {
    Guarded("lblEmail_Click", [&] { OpenEmail(ui_->lblEmail->text()); });
}

void frmAbout::lblWebsite_Click() {
    Guarded("lblWebsite_Click", [&] { OpenWebpage(ui_->lblWebsite->text()); });
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
        if (watched == ui_->lblEmail) {
            lblEmail_Click();
            return true;
        }
        if (watched == ui_->lblWebsite) {
            lblWebsite_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace pellwick
