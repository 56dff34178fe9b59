#pragma once
// The About window: the program's name, version and the maker's contact details; the
// e-mail address and web site shown are links.

#include <QDialog>
#include <memory>

namespace Ui {
class frmAbout;
}

namespace pellwick {

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);
    ~frmAbout() override;

    // Shows the window modally; returns when it has been closed.
    void ShowForm();

    // "Version - " + major.minor.revision of this program.
    static QString VersionText();

    void Form_Load();
    void lblEmail_Click();
    void lblWebsite_Click();
    void cmdClose_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::frmAbout> ui_;
};

} // namespace pellwick
