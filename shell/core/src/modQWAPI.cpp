#include "pellwick/modQWAPI.h"

#include "PrivateFiles.h"
#include "pellwick/CrmAccess.h"
#include "pellwick/CrmCalls.h"
#include "pellwick/ErrorReport.h"
#include "pellwick/HostAccess.h"
#include "pellwick/MainWindowLink.h"
#include "pellwick/MessageBox.h"
#include "pellwick/ProgramState.h"
#include "pellwick/ShellOpen.h"
#include "pellwick/host/QuoteWerksApp.h"
#include "pellwick/modMain.h"

#include <QFileInfo>
#include <QUrl>
#include <array>
#include <tessary/DataService.h>
#include <tessary/clsHelpers.h>
#include <tessary/clsInfusionsoftAPI.h>

namespace pellwick {
namespace {} // namespace

QString HostProgramFolder() {
    return AttachedHost().ProgramFolder();
}

namespace {

QString FieldText(const QString& fieldName) {
    return HostDocument().GetFieldValue(fieldName).toString();
}

void Critical(const QString& text) {
    MsgBox(text, MsgIcon::Critical);
}

// The main window's reactions must not turn a reported condition into a second error.
template <class F> void WithMainWindow(F&& action) {
    if (MainWindowLink* window = State().MainWindow) {
        try {
            action(*window);
        } catch (...) {
        }
    }
}

const std::array<QString, 15> kContactKeys = {
    QStringLiteral("Company"),  QStringLiteral("Contact"),  QStringLiteral("Title"),
    QStringLiteral("Address1"), QStringLiteral("Address2"), QStringLiteral("Address3"),
    QStringLiteral("City"),     QStringLiteral("State"),    QStringLiteral("PostalCode"),
    QStringLiteral("Country"),  QStringLiteral("Phone"),    QStringLiteral("PhoneExt"),
    QStringLiteral("Fax"),      QStringLiteral("FaxExt"),   QStringLiteral("Email")};

} // namespace

bool SetupQuoteWerksConnection() {
    // Every failure here means "the host is not running": no error report.
    std::shared_ptr<QuoteWerksApp> app;
    try {
        if (State().AttachHost)
            app = State().AttachHost();
    } catch (...) {
        app.reset();
    }
    State().QuoteWerksApp = app;
    if (app)
        return true;
    WithMainWindow([](MainWindowLink& w) {
        w.SetInfoText(QStringLiteral("QuoteWerks needs to be running."));
    });
    try {
        Critical(QStringLiteral("QuoteWerks needs to be running when using the Pellwick."));
    } catch (...) {
    }
    WithMainWindow([](MainWindowLink& w) { w.CloseMainWindow(); });
    return false;
}

bool CheckQuoteWerksAppObject() {
    return Guarded("CheckQuoteWerksAppObject", false,
                   [] { return State().QuoteWerksApp != nullptr; });
}

bool CheckInfusionsoftConnection() {
    return Guarded("CheckInfusionsoftConnection", false,
                   [] { return State().InfusionsoftConnection != nullptr; });
}

bool InfusionsoftConnectionIsRestV2() {
    const auto& connection = State().InfusionsoftConnection;
    return connection &&
           connection->GetConnectionOptions().crmInterface == tessary::CrmInterface::RestV2;
}

bool CheckQuoteWerksAndInfusionsoftObjects() {
    return Guarded("CheckQuoteWerksAndInfusionsoftObjects", false, [] {
        if (!CheckQuoteWerksAppObject()) {
            Critical(QStringLiteral("QuoteWerks application is not running."));
            return false;
        }
        if (!CheckInfusionsoftConnection()) {
            Critical(QStringLiteral("Pellwick is not fully configured."));
            return false;
        }
        return true;
    });
}

void ApplyEndpointSettings(tessary::clsInfusionsoftAPI& connection) {
    const EndpointSettings endpoint = ReadEndpointSettings();
    tessary::ConnectionOptions options = connection.GetConnectionOptions();
    if (!endpoint.serviceDomain.isEmpty())
        options.serviceDomain = endpoint.serviceDomain.toStdString();
    if (endpoint.port != 0)
        options.servicePort = endpoint.port;
    if (!endpoint.caBundle.isEmpty())
        options.caBundleFile = endpoint.caBundle.toStdString();
    options.useCurrentEndpoint = endpoint.useCurrentEndpoint;
    options.crmInterface =
        endpoint.restV2 ? tessary::CrmInterface::RestV2 : tessary::CrmInterface::XmlRpc;
    if (!endpoint.restBaseUrl.isEmpty())
        options.restBaseUrl = endpoint.restBaseUrl.toStdString();
    connection.SetConnectionOptions(options);
}

bool SetupInfusionsoftConnection() {
    return Guarded("SetupInfusionsoftConnection", false, [] {
        State().InfusionsoftConnection.reset(); // the old one goes even if creating fails
        if (!State().CreateConnection)
            throw ProgramError(errnum::ObjectNotSet,
                               QStringLiteral("No way to create a CRM connection"));
        State().InfusionsoftConnection = State().CreateConnection();
        const std::shared_ptr<tessary::clsInfusionsoftAPI> connection =
            State().InfusionsoftConnection;
        if (!connection)
            throw ObjectNotSetError();

        ApplyEndpointSettings(*connection);
        connection->SetupConnection(GetInfusionsoftAppNameFromRegistry().toStdString(),
                                    GetInfusionsoftAPIKeyFromRegistry().toStdString());
        if (CrmCall(connection, [&] { return connection->TestConnection(); }))
            return true;

        // The untested object stays: later CRM calls fail and report on their own.
        WithMainWindow([](MainWindowLink& w) {
            w.SetInfoText(QStringLiteral("Unable to connect to your Infusionsoft account.\r\n"
                                         "Please click on the Configure button below."));
            w.ShowMainWindow();
        });
        Critical(QStringLiteral("Unable to connect to your Infusionsoft account."));
        return false;
    });
}

bool CheckIfDocumentIsActive() {
    return Guarded("CheckIfDocumentIsActive", false, [] {
        if (!State().QuoteWerksApp) {
            Critical(QStringLiteral("QuoteWerks application is not running."));
            return false;
        }
        if (HostDocument().NoDocumentOpen()) {
            Critical(QStringLiteral("There are no documents currently open in QuoteWerks."));
            return false;
        }
        return true;
    });
}

QString GetQuoteDocumentNumber() {
    return Guarded("GetQuoteDocumentNumber", QString(), [] {
        return CheckIfDocumentIsActive() ? FieldText(QStringLiteral("DocNo")) : QString();
    });
}

QString GetQuoteDocumentName() {
    return Guarded("GetQuoteDocumentName", QString(), [] {
        return CheckIfDocumentIsActive() ? FieldText(QStringLiteral("DocName")) : QString();
    });
}

QString GetNameForContactType(std::int16_t type) {
    switch (type) {
    case ContactSoldTo:
        return QStringLiteral("SoldTo");
    case ContactShipTo:
        return QStringLiteral("ShipTo");
    case ContactBillTo:
        return QStringLiteral("BillTo");
    default:
        return QString();
    }
}

NameParts SplitContactName(const QString& name) {
    if (name.isEmpty())
        return {};
    // Every single blank separates: two blanks in a row give an empty word.
    const QStringList words = name.split(QLatin1Char(' '), Qt::KeepEmptyParts);
    if (words.size() == 1)
        return {words[0], QString(), QString()};
    if (words.size() == 2)
        return {words[0], QString(), words[1]};
    return {words[0], words[1], words.last()};
}

ContactDetails GetContactDetails(std::int16_t type) {
    return Guarded("GetContactDetails", ContactDetails(), [type] {
        const QString prefix = GetNameForContactType(type);
        ContactDetails details;
        for (const QString& key : kContactKeys)
            details.Add(key, FieldText(prefix + key));

        const NameParts name = SplitContactName(FieldText(prefix + QStringLiteral("Contact")));
        details.Add(QStringLiteral("ContactFirstName"), name.first);
        details.Add(QStringLiteral("ContactMiddleName"), name.middle);
        details.Add(QStringLiteral("ContactLastName"), name.last);

        const QString address2 = FieldText(prefix + QStringLiteral("Address2"));
        const QString address3 = FieldText(prefix + QStringLiteral("Address3"));
        details.Add(QStringLiteral("Address2and3"),
                    address3.isEmpty() ? address2 : address2 + QStringLiteral(", ") + address3);

        details.Add(QStringLiteral("FaxNumber"), FieldText(prefix + QStringLiteral("Fax")) +
                                                     QLatin1Char(' ') +
                                                     FieldText(prefix + QStringLiteral("FaxExt")));
        return details;
    });
}

QString GetNotes(std::int16_t kind) {
    return Guarded("GetNotes", QString(), [kind] {
        switch (kind) {
        case IntroductionNotes:
            return FieldText(QStringLiteral("IntroductionNotes"));
        case ClosingNotes:
            return FieldText(QStringLiteral("ClosingNotes"));
        case PurchasingNotes:
            return FieldText(QStringLiteral("PurchasingNotes"));
        case InternalNotes:
            return FieldText(QStringLiteral("InternalNotes"));
        default:
            return QString();
        }
    });
}

void SendContactToQuoteWerks(std::int16_t type, std::int32_t contactId) {
    Guarded("SendContactToQuoteWerks", [type, contactId] {
        if (!State().QuoteWerksApp) {
            Critical(QStringLiteral("QuoteWerks Application is not running!"));
            WithMainWindow([](MainWindowLink& w) { w.EndProgram(); });
            return;
        }

        tessary::RpcStruct query;
        query.AddString("Id", std::to_string(contactId));
        tessary::RpcArray fields;
        for (const char* field :
             {"Company", "Id", "FirstName", "LastName", "Title", "StreetAddress1", "StreetAddress2",
              "City", "State", "PostalCode", "Country", "Email", "Phone1", "Phone1Ext", "Fax1"})
            fields.AddString(field);

        const CrmServices services = CrmServicesOrThrow();
        const std::shared_ptr<tessary::clsHelpers>& helpers = services.helpers;
        const std::shared_ptr<tessary::RpcArray> found = CrmCall(
            services.api, [&] { return services.data->Query("Contact", 1, 0, query, fields); });
        // An empty list (no contact with that Id) is "not found" as well; there is no
        // first record to write.
        const std::shared_ptr<tessary::RpcStruct> record =
            found && found->Count() > 0 ? found->Item(1).StructValue() : nullptr;
        if (!record) {
            MsgBox(QStringLiteral("Contact was not found in Infusionsoft!"), MsgIcon::Exclamation);
            return;
        }

        auto crm = [&](const char* field) {
            return QString::fromStdString(helpers->SafeStringValue(*record, field));
        };
        const QString prefix = GetNameForContactType(type);
        const std::array<std::pair<const char*, QString>, 13> writes = {{
            {"Company", crm("Company")},
            {"Contact", crm("FirstName") + QLatin1Char(' ') + crm("LastName")},
            {"Title", crm("Title")},
            {"Address1", crm("StreetAddress1")},
            {"Address2", crm("StreetAddress2")},
            {"City", crm("City")},
            {"State", crm("State")},
            {"PostalCode", crm("PostalCode")},
            {"Country", crm("Country")},
            {"Phone", crm("Phone1")},
            {"Phoneext", crm("Phone1Ext")},
            {"Fax", crm("Fax1")},
            {"Email", crm("Email")},
        }};
        QuoteWerksDocument& document = HostDocument();
        for (std::size_t i = 0; i < writes.size(); ++i) {
            const bool last = i + 1 == writes.size(); // the host repaints once, at the end
            document.SetFieldValue(prefix + QLatin1String(writes[i].first), writes[i].second, last);
        }
    });
}

QString InfusionsoftPageAddress(std::int16_t kind, std::int32_t id) {
    QString path;
    switch (kind) {
    case PageContact:
        path = QStringLiteral("/Contact/manageContact.jsp?view=edit&ID=");
        break;
    case PageOpportunity:
        path = QStringLiteral("/Opportunity/manageOpportunity.jsp?view=edit&ID=");
        break;
    case PageActionSet:
        path = QStringLiteral("/ContactTemplate/manageContactTemplate.jsp?view=edit&ID=");
        break;
    default:
        return QString();
    }
    return InfusionsoftSiteBase(GetInfusionsoftAppNameFromRegistry(), ReadEndpointSettings()) +
           path + QString::number(id);
}

void OpenInfusionsoftPage(std::int16_t kind, std::int32_t id) {
    Guarded("OpenInfusionsoftPage", [kind, id] {
        const QString address = InfusionsoftPageAddress(kind, id);
        if (!address.isEmpty())
            ShellOpen(QUrl(address, QUrl::StrictMode));
    });
}

void OpenEmail(const QString& address) {
    Guarded("OpenEmail",
            [&] { ShellOpen(QUrl(QStringLiteral("mailto:") + address, QUrl::TolerantMode)); });
}

void OpenWebpage(const QString& address) {
    Guarded("OpenWebpage", [&] { ShellOpen(QUrl::fromUserInput(address)); });
}

void OpenPluginApplicationFolder() {
    Guarded("OpenPluginApplicationFolder", [] {
        // The folder is opened to look at the debug log, so it is the log's folder: the
        // executable's, or the user's own when the program's folder is not writable.
        const QString folder = QFileInfo(DebugLogPath()).path();
        MakePrivateFolder(folder);
        ShellOpen(QUrl::fromLocalFile(folder));
    });
}

} // namespace pellwick
