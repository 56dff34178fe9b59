#pragma once
// What the stand-in exports on the session bus under the name QuoteWerks.Application:
//   /QuoteWerks/Application  interface QuoteWerks.Application  (the host's automation,
//                            see shell/host/QuoteWerks.Application.xml)
//   /HostStandIn             interface com.pellwick.HostStandIn.Testing (tests and
//                            scripts drive the stand-in without a display)

#include <QDBusContext>
#include <QDBusVariant>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

namespace hoststandin {

class StandInHost;
class HostWindow;

inline constexpr char kTestingPath[] = "/HostStandIn";
inline constexpr char kTestingInterface[] = "com.pellwick.HostStandIn.Testing";
inline constexpr char kTestingError[] = "com.pellwick.HostStandIn.Error.Failed";

class AutomationObject : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "QuoteWerks.Application")
public:
    explicit AutomationObject(StandInHost& host, QObject* parent = nullptr);

public slots:
    QString ProgramFolder();
    bool NoDocumentOpen();
    QDBusVariant GetFieldValue(const QString& fieldName);
    int SetFieldValue(const QString& fieldName, const QString& value, bool refresh);

signals:
    void AfterAppExit();
    void AfterSaveDocument(qint16 iResult);
    void BeforeContactSelection(qint16 iType, qint16 iSource);
    void BeforePrintDocument(qint16 iPrintMethod, qint16 iLayoutType,
                             const QString& sLayoutFileName, bool bCancel);

private:
    StandInHost& m_host;
};

class TestingObject : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.pellwick.HostStandIn.Testing")
public:
    TestingObject(StandInHost& host, HostWindow& window, QObject* parent = nullptr);
    void setStartedAddons(const QStringList& paths) { m_startedAddons = paths; }

public slots:
    // Types a value into the form as a user would.
    void SetField(const QString& name, const QString& value);
    // The text the form shows for a field.
    QString FormField(const QString& name);
    // Every field as the form shows it (canonical names).
    QVariantMap FormFields();
    // The actions of the window. Save returns the result it raised; Email the PDF path.
    qint16 Save();
    QString Email();
    void Print();
    void SelectContact(qint16 iType, qint16 iSource);
    void CloseDocument();
    void OpenDocument();
    void Exit();
    // 0: the PDF is written before BeforePrintDocument; > 0: that many ms after it;
    // < 0: never.
    void SetEmailPdfDelay(int ms);
    // The add-ons started from site.ini at start-up (absolute paths).
    QStringList StartedAddons();
    // Saves a picture of the window as PNG (documentation, visual checks).
    void Screenshot(const QString& path);

private:
    bool fail(const QString& text);

    StandInHost& m_host;
    HostWindow& m_window;
    QStringList m_startedAddons;
};

} // namespace hoststandin
