#include "pellwick/ui/frmMain.h"

#include "EmailPdfWatch.h"
#include "pellwick/ErrorReport.h"
#include "pellwick/HostAccess.h"
#include "pellwick/MessageBox.h"
#include "pellwick/ProgramState.h"
#include "pellwick/WaitCursor.h"
#include "pellwick/addons/AddonRegistration.h"
#include "pellwick/host/QuoteWerksApp.h"
#include "pellwick/modMain.h"
#include "pellwick/modQWAPI.h"
#include "pellwick/tray/clsSystemTray.h"
#include "pellwick/ui/ProgramIcon.h"
#include "pellwick/ui/SingleInstance.h"
#include "ui_frmMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDateTime>
#include <QDir>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <utility>

namespace pellwick {

namespace {
// Asks for the running host without keeping it: any failure counts as "not running".
bool CheckIfQuoteWerksIsRunning() {
    try {
        return State().AttachHost && State().AttachHost() != nullptr;
    } catch (...) {
        return false;
    }
}

const QString kName = QStringLiteral("frmMain");

// Opens a window through its door in the program state; a program composed without that
// window only logs.
template <class Door, class... Args>
void OpenWindow(const Door& door, const QString& what, Args... args) {
    if (door)
        door(args...);
    else
        DebugMessage(kName + QStringLiteral(" - OpenWindow - ") + what +
                     QStringLiteral(" window missing"));
}

} // namespace

QString frmMain::Caption() {
    return QStringLiteral("Pellwick - v%1.%2.%3")
        .arg(PELLWICK_VERSION_MAJOR)
        .arg(PELLWICK_VERSION_MINOR)
        .arg(PELLWICK_VERSION_PATCH);
}

frmMain::frmMain(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      ui_(std::make_unique<Ui::frmMain>()) {
    ui_->setupUi(this);
    setWindowIcon(ProgramIcon());
    // The window is no dialog, so Qt would leave Enter unused; frmMain.ui makes each
    // button auto-default, so a focused button takes Enter as Space, the way command
    // buttons answer the keyboard elsewhere on the desktop.
    connect(ui_->cmdConfigure, &QPushButton::clicked, this, &frmMain::cmdConfigure_Click);
    connect(ui_->cmdAbout, &QPushButton::clicked, this, &frmMain::cmdAbout_Click);
    connect(ui_->cmdMinimize, &QPushButton::clicked, this, &frmMain::cmdMinimize_Click);
    connect(ui_->cmdClose, &QPushButton::clicked, this, &frmMain::cmdClose_Click);

    tmrCheckFile = new QTimer(this);
    tmrCheckFile->setObjectName(QStringLiteral("tmrCheckFile"));
    tmrCheckFile->setInterval(1000);
    connect(tmrCheckFile, &QTimer::timeout, this, &frmMain::tmrCheckFile_Timer);

    BuildFileMenu();

    m_emailPdf = std::make_unique<EmailPdfWatch>();
    m_endProgram = [] { QCoreApplication::exit(0); };

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    State().MainWindow = this;
}

// Not on the window (it has no menu bar): the tray icon's pop-up menu, of the actions
// in frmMain.ui.
void frmMain::BuildFileMenu() {
    mnuFile = new QMenu(QStringLiteral("File"), this);
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuFile->addAction(ui_->mnuFileOpen);
    mnuFile->addAction(ui_->mnuFileOpportunities);
    QAction* dash = mnuFile->addSeparator();
    dash->setObjectName(QStringLiteral("mnuFileDash"));
    dash->setText(QStringLiteral("-"));
    mnuFile->addAction(ui_->mnuFileExit);
    connect(ui_->mnuFileOpen, &QAction::triggered, this, &frmMain::mnuFileOpen_Click);
    connect(ui_->mnuFileOpportunities, &QAction::triggered, this,
            &frmMain::mnuFileOpportunities_Click);
    connect(ui_->mnuFileExit, &QAction::triggered, this, &frmMain::mnuFileExit_Click);
}

frmMain::~frmMain() {
    if (State().MainWindow == this)
        State().MainWindow = nullptr;
}

void frmMain::SetCaption(const QString& caption) {
    setWindowTitle(caption);
    // A minimised window is named by its icon text (screen readers, the taskbar).
    setWindowIconText(caption);
}

void frmMain::SetEndProgram(std::function<void()> endProgram) {
    m_endProgram = std::move(endProgram);
}
void frmMain::SetTrayFactory(std::function<std::unique_ptr<clsSystemTray>()> factory) {
    m_trayFactory = std::move(factory);
}
void frmMain::SetInstanceLockPath(const QString& path) {
    m_lockPath = path;
}

void frmMain::Form_Load() {
    Guarded("Form_Load", [&] {
        State().DebugMode = ReadDebugModeSetting();
        DebugMessage(kName + QStringLiteral(" - Form_Load - Started"));

        // The check comes before the tray icon, so a second copy never shows one.
        m_instance = std::make_unique<SingleInstance>(m_lockPath);
        if (!m_instance->TryAcquire()) {
            MsgBox(QStringLiteral("You currently have a copy of the Pellwick running."),
                   MsgIcon::Exclamation, MsgButtons::Ok,
                   QStringLiteral("Infusionsoft <> QuoteWerks"));
            EndProgram();
            return;
        }

        SetCaption(Caption());

        m_systemTray = m_trayFactory ? m_trayFactory() : std::make_unique<clsSystemTray>();
        m_systemTray->SetIcon(windowIcon());
        m_systemTray->SetMenu(this);
        m_systemTray->SetParent(this);
        m_systemTray->SetTipText(QStringLiteral("Infusionsoft <> QuoteWerks"));
        HookTrayEvents();
        m_systemTray->AddIcon();

        if (!CheckIfQuoteWerksIsRunning()) {
            MsgBox(QStringLiteral("QuoteWerks is not running!"), MsgIcon::Critical);
            EndProgram();
            return;
        }
        if (!SetupQuoteWerksConnection())
            return;
        HookHostEvents(HostIfAttached());

        if (!CheckIfPluginIsInstalled()) {
            SetInfoText(QStringLiteral("The Plugin is not currently integrated into QuoteWerks.") +
                        kCrLf + QStringLiteral("Please click on the Configure button below."));
            ShowMainWindow();
            OpenWindow(State().Windows.ShowSetup, QStringLiteral("configuration"));
            return;
        }
        if (!CheckIfInfusionsoftAPIKeyIsSaved()) {
            SetInfoText(QStringLiteral("Please click on the Configure button below") + kCrLf +
                        QStringLiteral("to configure connection to Infusionsoft."));
            ShowMainWindow();
            OpenWindow(State().Windows.ShowSetup, QStringLiteral("configuration"));
            return;
        }
        ReadSettings();
        bool connected = false;
        {
            WaitCursor busy;
            connected = SetupInfusionsoftConnection();
        }
        if (connected)
            SetInfoText(QStringLiteral("QuoteWerks and Pellwick is running."));
        ShowMainWindow();
        DebugMessage(kName + QStringLiteral(" - Form_Load - Finished"));
    });
}

void frmMain::HookTrayEvents() {
    connect(m_systemTray.get(), &clsSystemTray::Click, this, &frmMain::SystemTray_Click);
    connect(m_systemTray.get(), &clsSystemTray::DblClick, this, &frmMain::SystemTray_DblClick);
}

void frmMain::HookHostEvents(QuoteWerksApp* host) {
    if (m_quoteWerksApp)
        disconnect(m_quoteWerksApp, nullptr, this, nullptr);
    m_quoteWerksApp = host;
    if (!host)
        return;
    connect(host, &QuoteWerksApp::AfterAppExit, this, &frmMain::QuoteWerksApp_AfterAppExit);
    connect(host, &QuoteWerksApp::AfterSaveDocument, this,
            &frmMain::QuoteWerksApp_AfterSaveDocument);
    connect(host, &QuoteWerksApp::BeforeContactSelection, this,
            &frmMain::QuoteWerksApp_BeforeContactSelection);
    connect(host, &QuoteWerksApp::BeforePrintDocument, this,
            &frmMain::QuoteWerksApp_BeforePrintDocument);
    // A host gone without AfterAppExit (a crash) can never reach this copy again: end,
    // so that the copy the restarted host starts can take over.
    connect(host, &QuoteWerksApp::HostVanished, this,
            [this] { Guarded("QuoteWerksApp_HostVanished", [&] { EndProgram(); }); });
}

void frmMain::SetInfoText(const QString& text) {
    ui_->lblInfo->setText(text);
}

QString frmMain::InfoText() const {
    return ui_->lblInfo->text();
}

void frmMain::ShowMainWindow() {
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void frmMain::Minimize() {
    // A window hidden in the notification area stays there: minimising would bring it
    // back into the taskbar.
    if (isVisible())
        cmdMinimize_Click();
}

void frmMain::CloseMainWindow() {
    close();
}

void frmMain::EndProgram() {
    close();
    EndEventLoop();
}

void frmMain::EndEventLoop() {
    if (m_ended)
        return;
    m_ended = true;
    if (m_endProgram)
        m_endProgram();
}

void frmMain::closeEvent(QCloseEvent* event) {
    Form_QueryUnload();
    event->accept();
    EndEventLoop();
}

void frmMain::Form_QueryUnload() {
    Guarded("Form_QueryUnload", [&] {
        if (m_unloading)
            return;
        m_unloading = true;
        tmrCheckFile->stop();
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window != this && window->isVisible() && window->isWindow() && window != mnuFile)
                window->close();
        }
        if (m_systemTray)
            m_systemTray->DeleteIcon();
    });
}

void frmMain::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

void frmMain::Form_Resize() {
    Guarded("Form_Resize", [&] {
        // Without a notification area a hidden window could never be brought back.
        if (isMinimized() && m_systemTray && m_systemTray->IsTrayAvailable())
            QTimer::singleShot(0, this, [this] {
                if (isMinimized())
                    hide();
            });
    });
}

void frmMain::cmdConfigure_Click() {
    Guarded("cmdConfigure_Click",
            [&] { OpenWindow(State().Windows.ShowSetup, QStringLiteral("configuration")); });
}

void frmMain::cmdAbout_Click() {
    Guarded("cmdAbout_Click",
            [&] { OpenWindow(State().Windows.ShowAbout, QStringLiteral("About")); });
}

void frmMain::cmdMinimize_Click() {
    Guarded("cmdMinimize_Click", [&] { showMinimized(); });
}

void frmMain::cmdClose_Click() {
    Guarded("cmdClose_Click", [&] { close(); });
}

void frmMain::mnuFileOpen_Click() {
    Guarded("mnuFileOpen_Click", [&] { SystemTray_DblClick(1); });
}

void frmMain::mnuFileOpportunities_Click() {
    Guarded("mnuFileOpportunities_Click", [&] {
        if (ModalWindowOpen(QStringLiteral("mnuFileOpportunities_Click")))
            return;
        if (CheckQuoteWerksAndInfusionsoftObjects())
            OpenWindow(State().Windows.ShowOpportunities, QStringLiteral("opportunities"), 0);
    });
}

void frmMain::mnuFileExit_Click() {
    Guarded("mnuFileExit_Click", [&] { close(); });
}

void frmMain::SystemTray_Click(qint16 Button) {
    Guarded("SystemTray_Click", [&] {
        if (Button != 1)
            return;
        activateWindow();
        mnuFile->popup(QCursor::pos());
    });
}

void frmMain::SystemTray_DblClick(qint16 Button) {
    Guarded("SystemTray_DblClick", [&] {
        if (Button == 1) {
            // The windows are looked up by name: the Save Quote, opportunities and contact
            // search windows are built elsewhere and may not exist in this process at all.
            const QStringList order{QStringLiteral("frmContacts"), QStringLiteral("frmAbout"),
                                    QStringLiteral("frmOpportunities"),
                                    QStringLiteral("frmSaveQuote"), QStringLiteral("frmSetup")};
            const QWidgetList windows = QApplication::topLevelWidgets();
            for (const QString& name : order) {
                for (QWidget* window : windows) {
                    if (window->objectName() == name && window->isVisible()) {
                        window->raise();
                        window->activateWindow();
                        return;
                    }
                }
            }
            ShowMainWindow();
        } else if (Button == 2) {
            activateWindow();
            mnuFile->popup(QCursor::pos());
        }
    });
}

void frmMain::QuoteWerksApp_AfterAppExit() {
    Guarded("QuoteWerksApp_AfterAppExit", [&] {
        if (CheckQuoteWerksAndInfusionsoftObjects())
            EndProgram();
    });
}

void frmMain::QuoteWerksApp_AfterSaveDocument(qint16 iResult) {
    Guarded("QuoteWerksApp_AfterSaveDocument", [&] {
        DebugMessage(kName +
                     QStringLiteral(" - QuoteWerksApp_AfterSaveDocument - Started - Params: "
                                    "iResult = ") +
                     QString::number(iResult));
        if (ModalWindowOpen(QStringLiteral("QuoteWerksApp_AfterSaveDocument")))
            return;
        if (!CheckQuoteWerksAndInfusionsoftObjects())
            return;
        if (State().ShowSaveQuoteOnSave) {
            DebugMessage(
                kName +
                QStringLiteral(" - QuoteWerksApp_AfterSaveDocument - Show the Save Quote Form"));
            OpenWindow(State().Windows.ShowSaveQuote, QStringLiteral("Save Quote"), 0);
        }
        DebugMessage(kName + QStringLiteral(" - QuoteWerksApp_AfterSaveDocument - Finished"));
    });
}

void frmMain::QuoteWerksApp_BeforeContactSelection(qint16 iType, qint16& iSource) {
    Guarded("QuoteWerksApp_BeforeContactSelection", [&] {
        if (ModalWindowOpen(QStringLiteral("QuoteWerksApp_BeforeContactSelection")))
            return;
        if (CheckQuoteWerksAndInfusionsoftObjects())
            OpenWindow(State().Windows.ShowContacts, QStringLiteral("contact search"), iType,
                       iSource);
    });
}

void frmMain::QuoteWerksApp_BeforePrintDocument(qint16 iPrintMethod, qint16 /*iLayoutType*/,
                                                const QString& /*sLayoutFileName*/,
                                                bool& /*bCancel*/) {
    Guarded("QuoteWerksApp_BeforePrintDocument", [&] {
        // With one of our windows open the check's boxes would nest modal loops; the
        // watch itself opens nothing while a window is open, so it may still start.
        if (!ModalWindowOpen(QStringLiteral("QuoteWerksApp_BeforePrintDocument")) &&
            !CheckQuoteWerksAndInfusionsoftObjects())
            return;
        if (iPrintMethod == 2 && State().ShowSaveQuoteOnEmail) {
            m_checkFileCount = 0;
            m_emailPdf->Start(QDateTime::currentDateTimeUtc());
            m_emailWatchReported = false;
            tmrCheckFile->start();
        }
    });
}

void frmMain::tmrCheckFile_Timer() {
    // A tick while one of our windows is open waits for it and is not counted.
    if (QApplication::activeModalWidget())
        return;
    EmailPdfWatch::Look pdf = EmailPdfWatch::Look::Missing;
    try {
        if (EmailedDocumentClosed()) {
            // No document, no quote to wait for: said once, and the watch ends.
            tmrCheckFile->stop();
            CheckIfDocumentIsActive();
            return;
        }
        pdf = m_emailPdf->Check(EmailPdfPath());
    } catch (...) {
        // The host died or hangs: report once per e-mail, and let the tick count so the
        // watch still ends after its ten ticks.
        if (!m_emailWatchReported) {
            m_emailWatchReported = true;
            ReportCurrentError(QStringLiteral("tmrCheckFile_Timer"));
        }
    }
    if (pdf == EmailPdfWatch::Look::Complete) {
        tmrCheckFile->stop();
        OpenWindow(State().Windows.ShowSaveQuote, QStringLiteral("Save Quote"), 1);
    } else {
        CountUnfinishedTick();
    }
}

bool frmMain::EmailedDocumentClosed() {
    QuoteWerksApp* host = HostIfAttached();
    return !host || host->DocumentAccess().NoDocumentOpen();
}

QString frmMain::EmailPdfPath() {
    // The folder first: a host that has gone fails here, before the number's own boxes.
    const QString folder = HostProgramFolder();
    return EmailedPdfPath(folder, GetQuoteDocumentNumber());
}

void frmMain::CountUnfinishedTick() {
    m_checkFileCount = static_cast<qint16>(m_checkFileCount + 1);
    if (m_checkFileCount < 10)
        return;
    tmrCheckFile->stop();
    // A PDF that never appeared: the watch gives up silently. One that the host had not
    // finished must not be uploaded cut short, but the quote can still be saved.
    if (!m_emailPdf->Seen())
        return;
    MsgBox(QStringLiteral("The PDF of the e-mailed quote was not finished in time:") + kCrLf +
               QDir::toNativeSeparators(m_emailPdf->Path()) + kCrLf +
               QStringLiteral("The Save Quote window opens without uploading it."),
           MsgIcon::Exclamation);
    OpenWindow(State().Windows.ShowSaveQuote, QStringLiteral("Save Quote"), 0);
}

bool frmMain::ModalWindowOpen(const QString& handler) {
    // The host does not wait for us: an event that comes while one of our windows (or a
    // message box) is modal must not stack another window or nest a modal loop.
    QWidget* open = QApplication::activeModalWidget();
    if (!open)
        return false;
    DebugMessage(kName + QStringLiteral(" - ") + handler +
                 QStringLiteral(" - Not handled while a window is open: ") + open->objectName());
    open->raise();
    open->activateWindow();
    return true;
}

} // namespace pellwick
