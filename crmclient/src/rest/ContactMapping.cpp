#include "rest/ContactMapping.h"

#include "rest/RestFilter.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace tessary::detail {
namespace {

// An XML-RPC field kept in one slot of one of the contact's arrays.
struct SlotField {
    const char* name;
    const char* array;
    const char* slot;
    const char* key;
};
constexpr SlotField kSlotFields[] = {
    {"Email", "email_addresses", "EMAIL1", "email"},
    {"EmailAddress2", "email_addresses", "EMAIL2", "email"},
    {"EmailAddress3", "email_addresses", "EMAIL3", "email"},
    {"Phone1", "phone_numbers", "PHONE1", "number"},
    {"Phone1Ext", "phone_numbers", "PHONE1", "extension"},
    {"Phone2", "phone_numbers", "PHONE2", "number"},
    {"Phone2Ext", "phone_numbers", "PHONE2", "extension"},
    {"Fax1", "fax_numbers", "FAX1", "number"},
    {"StreetAddress1", "addresses", "BILLING", "line1"},
    {"StreetAddress2", "addresses", "BILLING", "line2"},
    {"City", "addresses", "BILLING", "locality"},
    {"PostalCode", "addresses", "BILLING", "postal_code"},
};

// XML-RPC fields kept in a text property of their own.
constexpr std::pair<const char*, const char*> kTextFields[] = {
    {"FirstName", "given_name"}, {"MiddleName", "middle_name"}, {"LastName", "family_name"},
    {"Title", "prefix"},         {"JobTitle", "job_title"},
};

// The primary address's slot: our choice, the contract names none.
constexpr const char* kPrimaryAddress = "BILLING";

// Per array, the key without which a slot holds nothing, and the keys that may be
// written back (an answer's slots also carry read-only ones).
struct ArrayKind {
    const char* array;
    const char* needed;
    std::vector<const char*> writable;
};
const std::vector<ArrayKind>& ArrayKinds() {
    static const std::vector<ArrayKind> kinds = {
        {"email_addresses", "email", {"email", "field"}},
        {"phone_numbers", "number", {"number", "extension", "field", "type"}},
        {"fax_numbers", "number", {"number", "field", "type"}},
        {"addresses",
         "",
         {"field", "line1", "line2", "locality", "postal_code", "region_code", "country_code",
          "zip_code", "zip_four"}},
    };
    return kinds;
}

const Json* SlotOf(const Json& contact, const char* array, const char* slot) {
    const auto it = contact.is_object() ? contact.find(array) : contact.end();
    if (!contact.is_object() || it == contact.end() || !it->is_array())
        return nullptr;
    for (const Json& item : *it)
        if (TextOf(item, "field") == slot)
            return &item;
    return nullptr;
}

Json& SlotFor(Json& contact, const char* array, const char* slot) {
    Json& items = contact[array];
    if (!items.is_array())
        items = Json::array();
    for (Json& item : items)
        if (TextOf(item, "field") == slot)
            return item;
    items.push_back({{"field", slot}});
    return items.back();
}

void SetSlot(Json& contact, const char* array, const char* slot, const char* key,
             const std::string& text) {
    Json& item = SlotFor(contact, array, slot);
    if (text.empty())
        item.erase(key);
    else
        item[key] = text;
}

void Touch(std::vector<std::string>& mask, const std::string& property) {
    if (std::find(mask.begin(), mask.end(), property) == mask.end())
        mask.push_back(property);
}

// Slots left with nothing go; read-only keys of slots read back go too.
void Tidy(Json& contact, bool keepEmptyArrays) {
    for (const ArrayKind& kind : ArrayKinds()) {
        const auto it = contact.find(kind.array);
        if (it == contact.end())
            continue;
        Json kept = Json::array();
        for (const Json& item : *it) {
            Json slot = Json::object();
            for (const char* key : kind.writable)
                if (item.contains(key) && !item[key].is_null())
                    slot[key] = item[key];
            const bool holds = *kind.needed ? slot.contains(kind.needed) : slot.size() > 1;
            if (holds)
                kept.push_back(std::move(slot));
        }
        if (kept.empty() && !keepEmptyArrays)
            contact.erase(it);
        else
            *it = std::move(kept);
    }
}

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string IdTextOf(const Json& record) {
    const auto it = record.is_object() ? record.find("id") : record.end();
    if (!record.is_object() || it == record.end())
        return {};
    return it->is_string() ? it->get<std::string>() : it->dump();
}

const ListSource kCompanies{"/companies", "companies", {}, 1000};
constexpr std::size_t kMostCompanies = 10000;
constexpr std::size_t kMostContacts = 20000;

} // namespace

ContactMapping::ContactMapping(RestSession& session, LocaleLookup& locales)
    : TableMapping("Contact"), session_(session), locales_(locales), fields_(Rules()) {}

FieldTable ContactMapping::Rules() {
    std::vector<FieldRule> rules = {
        {"Id", "id", "contact_id", IdAt("id", "Contact")},
        {"FirstName", "given_name", "given_name", TextAt("given_name")},
        {"MiddleName", "middle_name", "middle_name", TextAt("middle_name")},
        {"LastName", "family_name", "family_name", TextAt("family_name")},
        {"Title", "prefix", "", TextAt("prefix")},
        {"JobTitle", "job_title", "", TextAt("job_title")},
        {"Company", "company", "", TextIn("company", "company_name")},
        {"CompanyID", "company", "", IdIn("company", "id", "Company")},
        {"State", "addresses", "state",
         [](const Json& contact) {
             const Json* address = SlotOf(contact, "addresses", kPrimaryAddress);
             if (!address)
                 return RpcValue();
             // The code's part after the country ("US-OR" gives "OR") is what XML-RPC
             // keeps; the long name only where the CRM has no code.
             std::string region = TextOf(*address, "region_code");
             region =
                 region.empty() ? TextOf(*address, "region") : region.substr(region.find('-') + 1);
             return RpcValue::String(region);
         }},
        {"Country", "addresses", "",
         [this](const Json& contact) { return RpcValue::String(Country(contact)); }},
        {"DateCreated", "create_time", "", TimeAt("create_time")},
        {"LastUpdated", "update_time", "", TimeAt("update_time")},
    };
    for (const SlotField& slot : kSlotFields) {
        const std::string name = slot.name;
        const std::string filter = name == "Email" ? "email" : name == "City" ? "city" : "";
        rules.push_back({name, slot.array, filter, SlotAt(slot.array, slot.slot, slot.key)});
    }
    return FieldTable("Contact", std::move(rules));
}

std::string ContactMapping::Country(const Json& contact) {
    const Json* address = SlotOf(contact, "addresses", kPrimaryAddress);
    if (!address)
        return {};
    const std::string name = TextOf(*address, "country");
    if (!name.empty())
        return name;
    const std::string code = TextOf(*address, "country_code");
    return code.empty() ? std::string() : locales_.CountryName(code);
}

QueryParams ContactMapping::FieldsParam(const RpcArray& fields, const QueryPlan& plan) const {
    std::vector<std::string> wanted = {"id"};
    for (const std::string& property : fields_.Properties(fields))
        Touch(wanted, property);
    for (const std::string& property : plan.properties)
        Touch(wanted, property);
    return {{"fields", JoinComma(wanted)}};
}

RpcValue ContactMapping::Query(const RpcStruct& query, std::int32_t limit, std::int32_t page,
                               const RpcArray& fields) {
    CheckPaging(limit, page);
    std::int32_t id = 0;
    if (query.Count() == 1 && query.Exists("Id") && IdOfValue(query.Item("Id"), id)) {
        const auto contact = page == 0
                                 ? session_.CallIfFound(HttpMethod::Get, "/contacts/" + IdText(id),
                                                        FieldsParam(fields, {}))
                                 : std::nullopt;
        return RecordArray(fields_, contact ? Json::array({*contact}) : Json::array(), fields);
    }
    if (query.Exists("Company") &&
        ReadPattern(query.Item("Company").StringValue()).form != FilterValue::Form::Any)
        return QueryByCompany(query, limit, page, fields);
    const QueryPlan plan = PlanQuery(fields_, query);
    QueryParams params = {{"order_by", "id"}};
    for (auto& param : FieldsParam(fields, plan))
        params.push_back(param);
    const ListSource contacts{"/contacts", "contacts", params, 1000};
    return ReadRecordPage(session_, contacts, plan, fields_, fields, limit, page);
}

// No filter finds contacts by their company's name: the companies are found
// first, then each one's contacts; the merged list is matched on our side.
RpcValue ContactMapping::QueryByCompany(const RpcStruct& query, std::int32_t limit,
                                        std::int32_t page, const RpcArray& fields) {
    const std::string pattern = query.Item("Company").StringValue();
    RpcStruct others;
    for (const auto& [name, value] : query.Members())
        if (name != "Company")
            others.AddValue(name, value);
    QueryPlan plan = PlanQuery(fields_, others);
    plan.properties.push_back("company");
    plan.checks.push_back([&](const Json& contact) {
        return PatternMatches(pattern, fields_.Rule("Company").read(contact).StringValue());
    });

    QueryPlan companyPlan;
    const FilterValue prefix = ReadPattern(pattern);
    if (prefix.form != FilterValue::Form::OurSide)
        companyPlan.clauses.push_back("name==" + prefix.text + "*");
    const Json companies = ReadWholeList(session_, kCompanies, companyPlan, kMostCompanies);

    QueryParams params = {{"order_by", "id"}};
    for (auto& param : FieldsParam(fields, plan))
        params.push_back(param);
    std::set<std::string> listed;
    Json merged = Json::array();
    for (const Json& company : companies) {
        QueryPlan ofCompany = plan;
        ofCompany.clauses.push_back("company_id==" + IdTextOf(company));
        const ListSource contacts{"/contacts", "contacts", params, 1000};
        for (Json& contact : ReadWholeList(session_, contacts, ofCompany, kMostContacts))
            if (listed.insert(IdTextOf(contact)).second)
                merged.push_back(std::move(contact));
    }
    SortById(merged, "Contact");
    return RecordArray(fields_, CutPage(std::move(merged), limit, page), fields);
}

RpcValue ContactMapping::Load(std::int32_t id, const RpcArray& fields) {
    const auto contact =
        session_.CallIfFound(HttpMethod::Get, "/contacts/" + IdText(id), FieldsParam(fields, {}));
    if (!contact)
        RecordNotFound("Contact", id);
    return RpcValue::Struct(std::make_shared<RpcStruct>(fields_.Record(*contact, fields)));
}

std::string ContactMapping::CompanyId(const std::string& name) {
    QueryPlan plan;
    if (CanCarry(name))
        plan.clauses.push_back("company_name==" + name);
    plan.checks.push_back([&](const Json& company) {
        return EqualIgnoringCase(TextOf(company, "company_name"), name);
    });
    const Json found = ReadWholeList(session_, kCompanies, plan, kMostCompanies);
    if (!found.empty())
        return IdTextOf(found.front());
    const Json body = {{"company_name", name}};
    return IdTextOf(session_.Call(HttpMethod::Post, "/companies", {}, &body));
}

void ContactMapping::SetAddress(Json& contact, const RpcStruct& values,
                                std::vector<std::string>& mask) {
    const bool hasCountry = values.Exists("Country");
    const bool hasState = values.Exists("State");
    if (!hasCountry && !hasState)
        return;
    const Json* current = SlotOf(contact, "addresses", kPrimaryAddress);
    std::string alpha3 = current ? TextOf(*current, "country_code") : std::string();
    if (hasCountry) {
        const std::string country = values.Item("Country").StringValue();
        if (!country.empty()) {
            const auto code = locales_.CountryCode(country);
            if (!code) {
                LeftOut("the country '" + country +
                        "' is not known to the CRM; the address was left out");
                contact.erase("addresses");
                mask.erase(std::remove(mask.begin(), mask.end(), "addresses"), mask.end());
                return;
            }
            alpha3 = *code;
        } else {
            alpha3.clear();
        }
        SetSlot(contact, "addresses", kPrimaryAddress, "country_code", alpha3);
        Touch(mask, "addresses");
    }
    if (hasState) {
        const std::string state = values.Item("State").StringValue();
        std::optional<std::string> region;
        if (!state.empty() && alpha3.empty())
            LeftOut("the region '" + state + "' was left out: the address names no country");
        else if (!state.empty() && !(region = locales_.RegionCode(alpha3, state)))
            LeftOut("the region '" + state + "' is not known to the CRM in " + alpha3 +
                    "; it was left out");
        SetSlot(contact, "addresses", kPrimaryAddress, "region_code", region.value_or(""));
        Touch(mask, "addresses");
    }
}

Json ContactMapping::Body(const RpcStruct& values, Json contact, std::vector<std::string>& mask) {
    for (const auto& member : values.Members()) {
        const std::string& name = member.first; // clang 14 cannot capture a structured binding
        const RpcValue& value = member.second;
        const std::string text = value.StringValue();
        const auto scalar = std::find_if(std::begin(kTextFields), std::end(kTextFields),
                                         [&](const auto& f) { return name == f.first; });
        const auto slot = std::find_if(std::begin(kSlotFields), std::end(kSlotFields),
                                       [&](const SlotField& f) { return name == f.name; });
        if (scalar != std::end(kTextFields)) {
            contact[scalar->second] = text;
            Touch(mask, scalar->second);
        } else if (slot != std::end(kSlotFields)) {
            SetSlot(contact, slot->array, slot->slot, slot->key, text);
            Touch(mask, slot->array);
        } else if (name == "Company" || name == "CompanyID") {
            const std::string id = name == "CompanyID" ? std::to_string(value.IntegerValue())
                                   : text.empty()      ? std::string()
                                                       : CompanyId(text);
            if (id.empty() || id == "0") {
                LeftOut("an empty " + name + " was left out");
                continue;
            }
            contact["company"] = {{"id", id}};
            Touch(mask, "company");
        } else if (name != "Country" && name != "State") {
            NoFieldFound("Contact", name);
        }
    }
    SetAddress(contact, values, mask);
    return contact;
}

RpcValue ContactMapping::Add(const RpcStruct& values) {
    std::vector<std::string> mask;
    Json contact = Body(values, Json::object(), mask);
    Tidy(contact, false);
    // Empty texts are left out of a new contact.
    for (auto it = contact.begin(); it != contact.end();)
        it = it->is_string() && it->get_ref<const std::string&>().empty() ? contact.erase(it)
                                                                          : std::next(it);
    const Json created = session_.Call(HttpMethod::Post, "/contacts", {}, &contact);
    return RpcValue::Integer(Id32(created.value("id", Json()), "Contact"));
}

RpcValue ContactMapping::Update(std::int32_t id, const RpcStruct& values) {
    // The API replaces a whole array, so the slots not changed are read first.
    std::vector<std::string> arrays;
    for (const ArrayKind& kind : ArrayKinds())
        arrays.push_back(kind.array);
    const std::string path = "/contacts/" + IdText(id);
    Json current = session_.Call(HttpMethod::Get, path, {{"fields", JoinComma(arrays)}});
    if (!current.is_object())
        current = Json::object();
    std::vector<std::string> mask;
    Json contact = Body(values, current, mask);
    Tidy(contact, true);
    Json patch = Json::object();
    QueryParams params;
    for (const std::string& property : mask) {
        patch[property] = contact[property];
        params.emplace_back("update_mask", property);
    }
    if (params.empty())
        return RpcValue::Integer(id);
    session_.Call(HttpMethod::Patch, path, params, &patch);
    return RpcValue::Integer(id);
}

RpcValue ContactMapping::Delete(std::int32_t id) {
    return RpcValue::Boolean(
        session_.CallIfFound(HttpMethod::Delete, "/contacts/" + IdText(id)).has_value());
}

RpcValue ContactMapping::FindByEmail(const std::string& email, const RpcArray& fields) {
    QueryPlan plan;
    if (!email.empty() && CanCarry(email))
        plan.clauses.push_back("email==" + email);
    plan.checks.push_back([&](const Json& contact) {
        for (const char* slot : {"EMAIL1", "EMAIL2", "EMAIL3"}) {
            const Json* item = SlotOf(contact, "email_addresses", slot);
            if (item && EqualIgnoringCase(TextOf(*item, "email"), email))
                return true;
        }
        return false;
    });
    plan.properties.push_back("email_addresses");
    QueryParams params = {{"order_by", "id"}};
    for (auto& param : FieldsParam(fields, plan))
        params.push_back(param);
    const ListSource contacts{"/contacts", "contacts", params, 1000};
    return RecordArray(fields_, ReadWholeList(session_, contacts, plan, kMostContacts), fields);
}

RpcValue ContactMapping::Tag(std::int32_t contact, std::int32_t tag, bool apply) {
    const Json body = {{"contact_ids", Json::array({IdText(contact)})}};
    session_.Call(HttpMethod::Post,
                  "/tags/" + IdText(tag) + (apply ? "/contacts:applyTags" : "/contacts:removeTags"),
                  {}, &body);
    return RpcValue::Boolean(true);
}

} // namespace tessary::detail
