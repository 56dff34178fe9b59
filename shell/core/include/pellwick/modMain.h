#pragma once
// Settings getters, the debug log and the small window helpers every part uses.
// The error report box is in ErrorReport.h.

#include <QString>
#include <cstdint>
#include <utility>
#include <vector>

class QWindow;

namespace pellwick {

// Names of the stored values and their defaults (all text).
namespace setting {
inline const QString InfusionsoftAppName = QStringLiteral("InfusionsoftAppName");
inline const QString InfusionsoftAPIKey = QStringLiteral("InfusionsoftAPIKey");
inline const QString ContactNotesActionDescription =
    QStringLiteral("ContactNotesActionDescription");
inline const QString ContactNotesCreationNotes = QStringLiteral("ContactNotesCreationNotes");
inline const QString DebugMode = QStringLiteral("DebugMode");
inline const QString ShowSaveQuoteOnSave = QStringLiteral("ShowSaveQuoteOnSave");
inline const QString ShowSaveQuoteOnEmail = QStringLiteral("ShowSaveQuoteOnEmail");
inline const QString SetContactManagerSetting = QStringLiteral("SetContactManagerSetting");
inline const QString AddQuoteDocNo = QStringLiteral("AddQuoteDocNo");
inline const QString AddOpportunityNotes = QStringLiteral("AddOpportunityNotes");
inline const QString UploadQuoteFile = QStringLiteral("UploadQuoteFile");
inline const QString UploadQuotePDFFile = QStringLiteral("UploadQuotePDFFile");
inline const QString OpenContactRecord = QStringLiteral("OpenContactRecord");
inline const QString UpdateProjectedRevenue = QStringLiteral("UpdateProjectedRevenue");
inline const QString OpenOpportunityRecord = QStringLiteral("OpenOpportunityRecord");
inline const QString DropDownOpportunity = QStringLiteral("DropDownOpportunity");
inline const QString DropDownActionSet = QStringLiteral("DropDownActionSet");
// Optional CRM endpoint values (absent: the CRM's public endpoint).
inline const QString InfusionsoftServiceDomain = QStringLiteral("InfusionsoftServiceDomain");
inline const QString InfusionsoftServicePort = QStringLiteral("InfusionsoftServicePort");
inline const QString InfusionsoftCABundle = QStringLiteral("InfusionsoftCABundle");
inline const QString InfusionsoftUseCurrentEndpoint =
    QStringLiteral("InfusionsoftUseCurrentEndpoint");
// Which of the CRM's interfaces the configuration speaks (kInterfaceRestV2 or
// kInterfaceXmlRpc) and, optionally, where REST v2 is reached (absent: the CRM's own).
inline const QString InfusionsoftInterface = QStringLiteral("InfusionsoftInterface");
inline const QString InfusionsoftRestBaseUrl = QStringLiteral("InfusionsoftRestBaseUrl");
} // namespace setting

// The stored values of setting::InfusionsoftInterface.
inline const QString kInterfaceRestV2 = QStringLiteral("RESTv2");
inline const QString kInterfaceXmlRpc = QStringLiteral("XMLRPC");

// The default of a stored value ("" for names without one).
QString SettingDefault(const QString& valueName);

// Plain settings access under HKCU\SettingsKey, type "S". ReadSetting gives the
// stored text or the value's default; ReadFlagSetting is true exactly when the text
// converts to 1 (missing or junk: the default's state); ReadInt16Setting converts to a
// 16-bit number (missing, junk or out of range: the default). Writes return the
// store's status (0 success), which callers may ignore.
QString ReadSetting(const QString& valueName);
bool ReadFlagSetting(const QString& valueName);
std::int16_t ReadInt16Setting(const QString& valueName);
std::int32_t WriteSetting(const QString& valueName, const QString& text);
std::int32_t WriteFlagSetting(const QString& valueName, bool on); // "1" or "0"
// Several values (name, text) in one write of the store: all of them, or none.
std::int32_t WriteSettings(const std::vector<std::pair<QString, QString>>& values);

// The reversed-hex form of the two connection values: the UTF-8 bytes of the text as
// upper-case hex pairs, the whole digit string reversed ("abc" <-> "362616").
QString EncodeReversedHex(const QString& text);
// Throws ProgramError (number 13) when the text is not a valid reversed-hex form.
QString DecodeReversedHex(const QString& stored);

// Connection values: decoded (a corrupt stored form shows the error report with the
// getter's name and gives ""). The writer stores the reversed-hex form.
QString GetInfusionsoftAppNameFromRegistry();
QString GetInfusionsoftAPIKeyFromRegistry();
std::int32_t WriteInfusionsoftAppNameToRegistry(const QString& appName);
std::int32_t WriteInfusionsoftAPIKeyToRegistry(const QString& apiKey);
// False when the application name or the API key, trimmed of blanks, is empty.
bool CheckIfInfusionsoftAPIKeyIsSaved();

QString GetInfusionsoftContactNotesActionDescriptionFromRegistry();
QString GetInfusionsoftContactNotesCreationNotesFromRegistry();

// Where the CRM is reached. Empty domain / port 0 / empty bundle: the library's
// defaults (the CRM's public endpoint). An unparsable or out-of-range port counts as 0.
struct EndpointSettings {
    QString serviceDomain;
    int port = 0;
    QString caBundle;
    bool useCurrentEndpoint = false;
    // REST v2 instead of XML-RPC; its base address ("": the CRM's own).
    bool restV2 = false;
    QString restBaseUrl;
};
EndpointSettings ReadEndpointSettings();
// The interface the stored configuration speaks: the stored choice; without one (or with
// text that is neither value), XML-RPC for a connection configured before there was a
// choice, so that it keeps working as it did, and REST v2 for a new configuration.
bool ReadRestV2Setting();
// The CRM's public service domain, used when none is configured.
inline const QString kDefaultServiceDomain = QStringLiteral("infusionsoft.com");
// "https://" + appName + "." + domain [+ ":" + port when not 443]: the base of the
// CRM's web pages for this configuration.
QString InfusionsoftSiteBase(const QString& appName, const EndpointSettings& endpoint);

// Reads "DebugMode" into the program-wide flag and returns it.
bool ReadDebugModeSetting();
// Sets ShowSaveQuoteOnEmail then ShowSaveQuoteOnSave from the store.
void ReadSettings();

// The folder of the program's executable.
QString ProgramExecutableFolder();
// Test seam: the folder standing in for the executable's (empty: the executable's).
void SetDebugLogFolderOverride(const QString& folder);
// The user's own folder for the program's state: $XDG_STATE_HOME (else ~/.local/state)
// followed by "/Varrow/Pellwick".
QString UserStateFolder();
// Where the debug log is written: "DebugLog.txt" beside the executable when that folder
// (or the log there) is writable, else in UserStateFolder().
QString DebugLogPath();

// While DebugMode is set, appends "<date> <time> - <message>" + CR LF to the debug log,
// opening and closing the file for the one line; a new log is created private to the
// user (0600). Should the log beside the executable fail, the line goes to the user's
// folder. A log that cannot be written anywhere shows the error report with section
// "DebugMessage" once per run. The stored connection values and the decoded API key are
// masked should they appear in a message.
void DebugMessage(const QString& message);

// Keeps a window above all others (true) or lets it go back to normal (false);
// position, size and visibility are untouched. Null does nothing.
void SetWindowOnTop(QWindow* window, bool onTop);

// Sorts in place by repeated passes of neighbour swaps until a pass swaps nothing;
// equal elements are never swapped. Returns the number of passes made.
int SortNumbericArray(std::vector<std::int32_t>& values, bool ascending);

} // namespace pellwick
