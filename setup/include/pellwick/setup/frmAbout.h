#pragma once
// The About window: the program's name, version and the maker's contact details.

#include <QDialog>

class QLabel;
class QPushButton;

namespace pellwick {

// Maker's details shown by the About window.
struct MakerDetails {
    static constexpr const char* Company = "Varrow";
    static constexpr const char* Copyright = "Copyright \u00A9 2026 Varrow. All rights reserved.";
    static constexpr const char* Telephone = "+44 20 7946 0321";
    static constexpr const char* Email = "support@varrow.example";
    static constexpr const char* Website = "https://varrow.example/pellwick";
};

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

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
    QLabel* lblProgram;
    QLabel* lblVersion;
    QLabel* lblCompany;
    QLabel* lblCopyright;
    QLabel* lblTelephone;
    QLabel* lblEmail;
    QLabel* lblWebsite;
    QPushButton* cmdClose;
};

} // namespace pellwick
