#include "pellwick/savequote/SaveQuoteRules.h"

#include "pellwick/ErrorReport.h"
#include "pellwick/modMain.h"

#include <QFileInfo>
#include <cmath>

namespace pellwick::savequote {
namespace {

bool SameText(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

std::string Utf8(const QString& text) {
    return text.toStdString();
}

} // namespace

QString QuoteCaption(const QString& name, const QString& number) {
    return name + QStringLiteral(" <") + number + QLatin1Char('>');
}

QString ContactEntryText(const QString& firstName, const QString& lastName, const QString& email,
                         std::int32_t id) {
    return firstName + QLatin1Char(' ') + lastName + QStringLiteral(" - ") + email +
           QStringLiteral(" - (") + QString::number(id) + QLatin1Char(')');
}

QString OpportunityEntryText(const QString& title, const std::optional<QString>& stageName,
                             std::int32_t id) {
    QString text = title;
    if (stageName)
        text += QStringLiteral(" (") + *stageName + QLatin1Char(')');
    return text + QStringLiteral(" - (") + QString::number(id) + QLatin1Char(')');
}

QString ActionSetEntryText(const QString& name, std::int32_t id) {
    return name + QStringLiteral(" - (") + QString::number(id) + QLatin1Char(')');
}

QString ActionSetFrameName(bool campaignSequences) {
    return campaignSequences ? QStringLiteral("Campaign Sequence") : QStringLiteral("Action Set");
}

QString AlreadyRunNote(const std::vector<QString>& resultMessages, const QString& entry) {
    for (const QString& message : resultMessages)
        if (message.contains(QStringLiteral("ALREADY_IN_SEQUENCE"), Qt::CaseInsensitive))
            return QStringLiteral("The contact was already in the campaign sequence \"%1\"; it "
                                  "was not started again.")
                .arg(entry);
    return QString();
}

std::vector<EmailSearch> EmailsToSearch(const std::array<SectionContact, 3>& sections) {
    static const std::array<QString, 3> names = {
        QStringLiteral("Sold To"), QStringLiteral("Ship To"), QStringLiteral("Bill To")};
    std::vector<EmailSearch> searches;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const QString& email = sections[i].email;
        bool earlier = false;
        for (std::size_t j = 0; j < i; ++j)
            earlier = earlier || sections[j].email == email;
        if (!email.isEmpty() && !earlier)
            searches.push_back({names[i], email});
    }
    return searches;
}

std::vector<ListEntry> NewContactEntries(const std::array<SectionContact, 3>& sections) {
    static const std::array<QString, 3> texts = {QStringLiteral("(New Contact - Use 'Sold To')"),
                                                 QStringLiteral("(New Contact - Use 'Ship To')"),
                                                 QStringLiteral("(New Contact - Use 'Bill To')")};
    std::vector<ListEntry> entries;
    for (std::size_t i = 0; i < sections.size(); ++i)
        if (!sections[i].name.isEmpty() || !sections[i].email.isEmpty())
            entries.push_back({-static_cast<std::int32_t>(i) - 1, texts[i]});
    return entries;
}

std::int16_t SectionOfNewContact(std::int32_t value) {
    return value >= -3 && value <= -1 ? static_cast<std::int16_t>(-value - 1) : std::int16_t{-1};
}

NameSearch NameSearchFor(const QString& name) {
    const QStringList pieces = name.split(QLatin1Char(' '), Qt::KeepEmptyParts);
    if (pieces.size() < 2)
        return {};
    return {pieces.first(), pieces.last()};
}

bool EmailMatches(const QString& recordEmail, const QString& searched) {
    return SameText(recordEmail, searched);
}

bool NameMatches(const QString& recordFirstName, const QString& recordLastName,
                 const NameSearch& searched) {
    return (searched.firstName.isEmpty() || SameText(recordFirstName, searched.firstName)) &&
           (searched.lastName.isEmpty() || SameText(recordLastName, searched.lastName));
}

bool PreselectOpportunity(std::int32_t remembered, std::int32_t entryValue) {
    if (entryValue == kBlankEntry)
        return remembered == kBlankEntry;
    if (entryValue == kNewOpportunity)
        return remembered == 0 || remembered == kNewOpportunity;
    return false;
}

bool PreselectActionSet(std::int32_t remembered, std::int32_t entryValue) {
    return remembered == entryValue;
}

QString OpportunityNotes(const QString& introduction, const QString& purchasing,
                         const QString& closing, const QString& internal) {
    QString notes;
    const auto section = [&](const char* heading, const QString& note) {
        if (!note.isEmpty())
            notes += QLatin1String(heading) + kCrLf + note + kCrLf + kCrLf;
    };
    section("Introduction Notes:", introduction);
    section("Purchasing Notes:", purchasing);
    section("Closing Notes:", closing);
    if (!internal.isEmpty())
        notes += QStringLiteral("Internal Notes:") + kCrLf + internal;
    return notes;
}

QString OpportunityTitle(const QString& firstName, const QString& lastName, const QString& email) {
    const QString name = firstName + QLatin1Char(' ') + lastName;
    if (!name.trimmed().isEmpty())
        return name;
    return email.trimmed().isEmpty() ? QStringLiteral("Opportunity") : email;
}

std::optional<double> RevenueNumber(const QVariant& grandTotal) {
    bool ok = false;
    double number = 0;
    switch (grandTotal.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        number = grandTotal.toDouble(&ok);
        break;
    case QMetaType::QString:
        // QString::toDouble reads the C locale's form only and allows blanks around.
        number = grandTotal.toString().toDouble(&ok);
        break;
    default:
        break;
    }
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return number;
}

bool IsPlainFileName(const QString& number) {
    if (number.isEmpty() || number == QStringLiteral(".") || number == QStringLiteral(".."))
        return false;
    for (const QChar c : number)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control)
            return false;
    return true;
}

QString QuoteFilePath(const QString& programFolder, const QString& number) {
    return programFolder + QStringLiteral("/DTF/") + number + QStringLiteral(".dtf");
}

std::optional<QString> UploadableQuoteFile(const QString& path, const QString& programFolder) {
    const QFileInfo file(path);
    const QString root = QFileInfo(programFolder).canonicalFilePath();
    if (file.isSymLink() || !file.isFile() || root.isEmpty())
        return std::nullopt;
    const QString real = file.canonicalFilePath();
    for (const QString& folder :
         {root + QStringLiteral("/DTF/"), root + QStringLiteral("/history/email/")})
        if (real.startsWith(folder))
            return real;
    return std::nullopt;
}

QString Fax1Value(const QString& fax, const QString& faxExt) {
    return faxExt.trimmed().isEmpty() ? fax : fax + QStringLiteral(" ext ") + faxExt;
}

tessary::RpcStruct NewContactRecord(const ContactDetails& details) {
    const auto entry = [&](const char* key) {
        return Utf8(details.Item(QString::fromLatin1(key)));
    };
    tessary::RpcStruct record;
    for (const auto& [field, key] : std::array<std::pair<const char*, const char*>, 14>{{
             {"Email", "Email"},
             {"Title", "Title"},
             {"FirstName", "ContactFirstName"},
             {"MiddleName", "ContactMiddleName"},
             {"LastName", "ContactLastName"},
             {"Company", "Company"},
             {"StreetAddress1", "Address1"},
             {"StreetAddress2", "Address2and3"},
             {"City", "City"},
             {"State", "State"},
             {"PostalCode", "PostalCode"},
             {"Country", "Country"},
             {"Phone1", "Phone"},
             {"Phone1Ext", "PhoneExt"},
         }})
        record.AddString(field, entry(key));
    record.AddString("Fax1", Utf8(Fax1Value(details.Item(QStringLiteral("Fax")),
                                            details.Item(QStringLiteral("FaxExt")))));
    return record;
}

OpportunityPlan PlanOpportunity(const OpportunityInput& input) {
    OpportunityPlan plan;
    if (input.value <= kBlankEntry)
        return plan;
    const bool isNew = input.value == kNewOpportunity;
    const bool withNotes = input.addNotes && !input.notes.isEmpty();
    const bool withRevenue = input.updateRevenue && input.revenue.has_value();
    plan.record.AddInteger("ContactID", input.contactId);
    if (withRevenue) {
        plan.record.AddDouble("ProjectedRevenueHigh", *input.revenue);
        plan.record.AddDouble("ProjectedRevenueLow", *input.revenue);
    }
    if (isNew)
        plan.record.AddString("OpportunityTitle", Utf8(input.title));
    if (withNotes)
        plan.record.AddString("OpportunityNotes", Utf8(input.notes));
    if (isNew)
        plan.write = OpportunityWrite::Add;
    else if (withNotes || withRevenue)
        plan.write = OpportunityWrite::Update;
    return plan;
}

bool IsSameNote(const QString& foundDescription, const QString& description) {
    if (description.isEmpty())
        return false;
    QString found = foundDescription;
    found.replace(QStringLiteral("&lt;"), QStringLiteral("<"), Qt::CaseInsensitive);
    found.replace(QStringLiteral("&gt;"), QStringLiteral(">"), Qt::CaseInsensitive);
    found.replace(QStringLiteral("&amp;"), QStringLiteral("&"), Qt::CaseInsensitive);
    return SameText(found, description);
}

tessary::RpcStruct ContactNoteRecord(std::int32_t contactId, const QString& description,
                                     const QString& creationNotes, double now) {
    tessary::RpcStruct record;
    record.AddInteger("ContactId", contactId);
    record.AddString("ActionDescription", Utf8(description));
    record.AddString("CreationNotes", Utf8(creationNotes));
    record.AddDate("ActionDate", now);
    record.AddDate("CompletionDate", now);
    return record;
}

std::vector<SettingWrite> SettingsToWrite(const CommitChoices& c) {
    const auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    const auto value = [](const std::optional<std::int32_t>& v) {
        return QString::number(v.value_or(kBlankEntry));
    };
    std::optional<std::int32_t> opportunity = c.opportunity;
    if (opportunity && c.createdOpportunity != 0 && *opportunity == c.createdOpportunity)
        opportunity = kNewOpportunity;

    std::vector<SettingWrite> writes;
    writes.push_back({setting::AddQuoteDocNo, flag(c.addQuoteDocNo)});
    writes.push_back({setting::UploadQuoteFile, flag(c.uploadQuoteFile)});
    if (c.uploadQuotePDFEnabled)
        writes.push_back({setting::UploadQuotePDFFile, flag(c.uploadQuotePDF)});
    writes.push_back({setting::OpenContactRecord, flag(c.openContactRecord)});
    if (c.addNotesEnabled)
        writes.push_back({setting::AddOpportunityNotes, flag(c.addNotes)});
    writes.push_back({setting::UpdateProjectedRevenue, flag(c.updateProjectedRevenue)});
    writes.push_back({setting::DropDownOpportunity, value(opportunity)});
    writes.push_back({setting::OpenOpportunityRecord, flag(c.openOpportunityRecord)});
    writes.push_back({setting::DropDownActionSet, value(c.actionSet)});
    return writes;
}

} // namespace pellwick::savequote
