#include "pellwick/contacts/ContactSearch.h"

#include "pellwick/CrmCalls.h"
#include "pellwick/ErrorReport.h"

#include <QStringList>
#include <limits>
#include <tessary/DataService.h>
#include <tessary/RpcValue.h>
#include <tessary/clsInfusionsoftAPI.h>

namespace pellwick {
namespace {

const QString kWildcard = QStringLiteral("%");

QString WithWildcard(const QString& text) {
    return text + kWildcard;
}

// A record's member as list text: strings without an intermediate copy.
QString MemberText(const tessary::RpcStruct& record, const char* name) {
    if (!record.Exists(name))
        return QString();
    const tessary::RpcValue& value = record.Item(name);
    if (const std::string* text = value.TextPointer())
        return QString::fromUtf8(text->data(), static_cast<qsizetype>(text->size()));
    return QString::fromStdString(value.StringValue());
}

} // namespace

QString TrimBlanks(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

QString ContactSearchText(const QString& input) {
    QString text = input;
    text.remove(QLatin1Char('\t'));
    return TrimBlanks(text);
}

bool IsNumericSearchText(const QString& text) {
    if (text.isEmpty())
        return false;
    std::int64_t value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        value = value * 10 + (c.unicode() - '0');
        if (value > std::numeric_limits<std::int32_t>::max())
            return false;
    }
    return true;
}

std::vector<ContactQuery> ContactSearchQueries(const QString& input) {
    const QString text = ContactSearchText(input);
    if (IsNumericSearchText(text) || text == kWildcard)
        return {{{QStringLiteral("Id"), text}}};
    if (text.contains(QLatin1Char('@')))
        return {{{QStringLiteral("Email"), WithWildcard(text)}}};
    // Split at each single blank: two blanks in a row give an empty word.
    const QStringList words = text.split(QLatin1Char(' '), Qt::KeepEmptyParts);
    if (words.size() >= 2)
        return {{{QStringLiteral("Company"), WithWildcard(text)}},
                {{QStringLiteral("FirstName"), WithWildcard(words.first())},
                 {QStringLiteral("LastName"), WithWildcard(words.last())}}};
    if (text.isEmpty())
        return {};
    return {{{QStringLiteral("Company"), WithWildcard(text)}},
            {{QStringLiteral("LastName"), WithWildcard(text)}},
            {{QStringLiteral("FirstName"), WithWildcard(text)}}};
}

tessary::RpcStruct ContactQueryData(const ContactQuery& query) {
    tessary::RpcStruct data;
    for (const auto& [field, value] : query)
        data.AddString(field.toStdString(), value.toStdString());
    return data;
}

const tessary::RpcArray& ContactSearchFields() {
    static const tessary::RpcArray fields = [] {
        tessary::RpcArray names;
        for (const char* name : {"Id", "Company", "FirstName", "LastName", "Email", "Phone1"})
            names.AddString(name);
        return names;
    }();
    return fields;
}

ContactRow ContactRowFromRecord(const tessary::RpcStruct& record) {
    ContactRow row;
    if (record.Exists("Id"))
        row.columns[ColId] = QString::number(record.Item("Id").IntegerValue());
    row.columns[ColCompany] = MemberText(record, "Company");
    row.columns[ColFirstName] = MemberText(record, "FirstName");
    row.columns[ColLastName] = MemberText(record, "LastName");
    row.columns[ColPhone1] = MemberText(record, "Phone1");
    row.columns[ColEmail] = MemberText(record, "Email");
    row.key = QStringLiteral("c") + row.columns[ColId];
    return row;
}

std::int32_t ContactIdFromKey(const QString& key) {
    const QString digits = TrimBlanks(key.mid(1));
    bool ok = false;
    const qlonglong value = digits.toLongLong(&ok);
    if (!ok)
        throw ProgramError(errnum::TypeMismatch, QStringLiteral("Type mismatch"));
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max())
        throw ProgramError(errnum::Overflow, QStringLiteral("Overflow"));
    return static_cast<std::int32_t>(value);
}

QString SearchResultsText(int total, bool cut) {
    if (total < 1)
        return QStringLiteral("None Found");
    QString text = QString::number(total) + QStringLiteral(" Contacts");
    if (cut)
        text += QStringLiteral(" - more contacts match: only the first 1,000 are listed. Narrow "
                               "the search to find the others.");
    return text;
}

ContactQueryRunner SharedConnectionContactQuery(std::function<CrmServices()> crm) {
    return [crm = std::move(crm)](
               const tessary::RpcStruct& queryData,
               const tessary::RpcArray& selectedFields) -> std::shared_ptr<tessary::RpcArray> {
        const CrmServices services = crm();
        // On the CRM worker: the window repaints and Close closes it meanwhile.
        return CrmCall(services.api, [&] {
            return services.data->Query("Contact", kContactQueryLimit, 0, queryData,
                                        selectedFields);
        });
    };
}

} // namespace pellwick
