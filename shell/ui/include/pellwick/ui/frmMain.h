#pragma once
// The main window: start-up, the host's events, the tray icon and the e-mail watch.
// Every other window of the program is opened from here; closing it ends the program.

#include "pellwick/MainWindowLink.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class QMenu;
class QTimer;

namespace Ui {
class frmMain;
}

namespace pellwick {

class EmailPdfWatch;
class QuoteWerksApp;
class clsSystemTray;
class SingleInstance;

class frmMain : public QWidget, public MainWindowLink {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // "Pellwick - v" + major.minor.revision of this program: the caption start-up sets.
    static QString Caption();

    // The start-up sequence. Returns when start-up is over (a configuration window it
    // opened has been closed); ProgramEnded() tells whether it ended the program.
    void Form_Load();

    // --- handlers ---
    void Form_QueryUnload();
    void Form_Resize();
    void cmdConfigure_Click();
    void cmdAbout_Click();
    void cmdMinimize_Click();
    void cmdClose_Click();
    void mnuFileOpen_Click();
    // The opportunities window for the open quote's contacts.
    void mnuFileOpportunities_Click();
    void mnuFileExit_Click();
    void SystemTray_Click(qint16 Button);
    void SystemTray_DblClick(qint16 Button);
    void QuoteWerksApp_AfterAppExit();
    void QuoteWerksApp_AfterSaveDocument(qint16 iResult);
    void QuoteWerksApp_BeforeContactSelection(qint16 iType, qint16& iSource);
    void QuoteWerksApp_BeforePrintDocument(qint16 iPrintMethod, qint16 iLayoutType,
                                           const QString& sLayoutFileName, bool& bCancel);
    void tmrCheckFile_Timer();

    // --- what the rest of the program reaches the main window through ---
    void SetInfoText(const QString& text) override;
    QString InfoText() const;
    void ShowMainWindow() override;
    void Minimize() override;
    // Closing the main window unloads the other windows, removes the tray icon and
    // ends the program.
    void CloseMainWindow() override;
    void EndProgram() override;

    // --- seams ---
    // The other windows are reached through State().Windows, which the start-up code fills.
    // Ends the process' event loop; tests record the call instead.
    void SetEndProgram(std::function<void()> endProgram);
    // Makes the tray icon object at start-up (default: on the desktop's notification
    // area); tests give one with their own backend.
    void SetTrayFactory(std::function<std::unique_ptr<clsSystemTray>()> factory);
    // The lock used to detect a second copy; default SingleInstance::DefaultLockPath().
    void SetInstanceLockPath(const QString& path);

    bool ProgramEnded() const { return m_ended; }
    clsSystemTray* SystemTray() const { return m_systemTray.get(); }
    qint16 CheckFileCount() const { return m_checkFileCount; }
    QTimer* CheckFileTimer() const { return tmrCheckFile; }
    QMenu* FileMenu() const { return mnuFile; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void SetCaption(const QString& caption);
    bool EmailedDocumentClosed();
    QString EmailPdfPath();
    void CountUnfinishedTick();
    void EndEventLoop();
    bool ModalWindowOpen(const QString& handler);
    void HookHostEvents(QuoteWerksApp* host);
    void HookTrayEvents();
    void BuildFileMenu();

    std::unique_ptr<Ui::frmMain> ui_;
    QTimer* tmrCheckFile;
    QMenu* mnuFile;

    QPointer<QuoteWerksApp> m_quoteWerksApp;
    std::unique_ptr<clsSystemTray> m_systemTray;
    std::unique_ptr<SingleInstance> m_instance;
    QString m_lockPath;
    // Ticks of the e-mail watch that did not take the PDF; the tenth ends the watch.
    qint16 m_checkFileCount = 0;
    // The e-mail watch: what the ticks saw of the PDF, whether a failed tick has been
    // reported.
    std::unique_ptr<EmailPdfWatch> m_emailPdf;
    bool m_emailWatchReported = false;
    bool m_unloading = false;
    bool m_ended = false;

    std::function<void()> m_endProgram;
    std::function<std::unique_ptr<clsSystemTray>()> m_trayFactory;
};

} // namespace pellwick
