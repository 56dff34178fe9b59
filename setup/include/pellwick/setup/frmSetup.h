#pragma once
// The configuration window: CRM connection, integration options, contact-note templates,
// debug mode, and the buttons that add the plug-in to the host's add-on list or remove it.

#include "pellwick/WindowDoors.h"

#include <QDialog>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace Ui {
class frmSetup;
}

namespace pellwick {

struct RegistrationResult;

class frmSetup : public QDialog {
    Q_OBJECT
public:
    explicit frmSetup(QWidget* parent = nullptr, WindowDoors doors = {});
    ~frmSetup() override;

    // Fills the controls from the stored settings and shows the window modally; returns
    // when the window has been closed.
    void ShowForm();

    // Stores the settings; true when the connection test succeeded and everything was
    // stored. What an earlier step wrote stays written when a later step fails.
    bool SaveSettings();

    // Sets lblPluginStatus from the host's add-on list; true when installed.
    bool CheckPluginStatus();

    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdOpenAppFolder_Click();
    void cmdInstallPlugin_Click();
    void cmdRemovePlugin_Click();

    // The text of lblAppNameInfo for the CRM service domain in force.
    static QString AppNameInfoText(const QString& serviceDomain);
    // The three paragraphs lblAPIKeyInfo shows once the window is open, for the
    // interface chosen: XML-RPC's encrypted key, or REST v2's service account key or
    // personal access token.
    static QString APIKeyInfoText(bool restV2 = false);

private:
    bool SaveSettingsSteps();
    // REST v2 is the interface chosen in cboInterface.
    bool RestV2Chosen() const;
    void cboInterface_Click();
    void ShowPluginStatus(bool installed);
    void ShowInstallResult(const RegistrationResult& result);
    void ShowRemoveResult(const RegistrationResult& result);
    void BindControls();

    std::unique_ptr<Ui::frmSetup> ui_;
    WindowDoors m_doors;
    QTabWidget* tabMain;
    QLabel* lblPluginStatus;
    QPushButton* cmdInstallPlugin;
    QPushButton* cmdRemovePlugin;
    QCheckBox* chkShowSaveQuoteOnSave;
    QCheckBox* chkShowSaveQuoteOnEmail;
    QCheckBox* chkSetContactManager;
    QCheckBox* chkDebugMode;
    QPushButton* cmdOpenAppFolder;
    QComboBox* cboInterface;
    QLineEdit* txtAppName;
    QLabel* lblAppNameInfo;
    QLineEdit* txtAPIKey;
    QLabel* lblAPIKeyInfo;
    QLineEdit* txtContactNotesActionDescription;
    QLineEdit* txtContactNotesCreationNotes;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
};

} // namespace pellwick
