#include "rest/RestRecords.h"

#include "rest/RestTimes.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tessary::detail {

void NoFieldFound(const std::string& table, const std::string& field) {
    throw RestFault("404", "[NoFieldFound]No field found: " + table + "." + field +
                               " (not available on the REST v2 interface)");
}

void RecordNotFound(const std::string& table, std::int32_t id) {
    throw RestFault("404", "[RecordNotFound]Record not found: " + table + " with Id " +
                               std::to_string(id));
}

FieldTable::FieldTable(std::string table, std::vector<FieldRule> rules)
    : table_(std::move(table)), rules_(std::move(rules)) {}

const FieldRule& FieldTable::Rule(const std::string& field) const {
    const auto it = std::find_if(rules_.begin(), rules_.end(),
                                 [&](const FieldRule& rule) { return rule.name == field; });
    if (it == rules_.end())
        NoFieldFound(table_, field);
    return *it;
}

std::vector<const FieldRule*> FieldTable::Rules(const RpcArray& fields) const {
    std::vector<const FieldRule*> rules;
    rules.reserve(fields.Count());
    for (const RpcValue& field : fields.Elements())
        rules.push_back(&Rule(field.StringValue()));
    return rules;
}

RpcStruct FieldTable::Record(const Json& record, const RpcArray& fields) const {
    return Record(record, Rules(fields));
}

RpcStruct FieldTable::Record(const Json& record, const std::vector<const FieldRule*>& rules) {
    RpcStruct out;
    for (const FieldRule* rule : rules) {
        RpcValue value = rule->read(record);
        const std::string* text = value.TextPointer();
        if (!value.IsEmpty() && !(value.Type() == RpcType::String && text->empty()))
            out.AddValue(rule->name, std::move(value));
    }
    return out;
}

std::vector<std::string> FieldTable::Properties(const RpcArray& fields) const {
    std::vector<std::string> properties;
    for (const RpcValue& field : fields.Elements()) {
        const std::string& property = Rule(field.StringValue()).property;
        if (!property.empty() &&
            std::find(properties.begin(), properties.end(), property) == properties.end())
            properties.push_back(property);
    }
    return properties;
}

std::string TextOf(const Json& object, const char* key) {
    if (!object.is_object())
        return {};
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::string JoinComma(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : ",") + item;
    return out;
}

namespace {

const Json* Member(const Json& object, const std::string& key) {
    if (!object.is_object())
        return nullptr;
    const auto it = object.find(key);
    return it == object.end() || it->is_null() ? nullptr : &*it;
}

RpcValue TextValue(const Json* value) {
    if (!value)
        return {};
    if (value->is_string())
        return RpcValue::String(value->get<std::string>());
    if (value->is_number() || value->is_boolean())
        return RpcValue::String(value->dump());
    return {};
}

RpcValue IdValue(const Json* value, const std::string& record) {
    return value ? RpcValue::Integer(Id32(*value, record)) : RpcValue();
}

} // namespace

Reader TextAt(std::string key) {
    return [key](const Json& r) { return TextValue(Member(r, key)); };
}

Reader TextIn(std::string object, std::string key) {
    return [object, key](const Json& r) {
        const Json* inner = Member(r, object);
        return inner ? TextValue(Member(*inner, key)) : RpcValue();
    };
}

Reader IdAt(std::string key, std::string record) {
    return [key, record](const Json& r) { return IdValue(Member(r, key), record); };
}

Reader IdIn(std::string object, std::string key, std::string record) {
    return [object, key, record](const Json& r) {
        const Json* inner = Member(r, object);
        return inner ? IdValue(Member(*inner, key), record) : RpcValue();
    };
}

Reader NumberAt(std::string key) {
    return [key](const Json& r) {
        const Json* value = Member(r, key);
        return value && value->is_number() ? RpcValue::Double(value->get<double>()) : RpcValue();
    };
}

Reader IntegerAt(std::string key) {
    return [key](const Json& r) {
        const Json* value = Member(r, key);
        if (!value || !value->is_number())
            return RpcValue();
        const double number = value->get<double>();
        if (std::abs(number) > std::numeric_limits<std::int32_t>::max())
            return RpcValue();
        return RpcValue::Integer(static_cast<std::int32_t>(std::llround(number)));
    };
}

Reader FlagAt(std::string key) {
    return [key](const Json& r) {
        const Json* value = Member(r, key);
        return value && value->is_boolean() ? RpcValue::Integer(value->get<bool>() ? 1 : 0)
                                            : RpcValue();
    };
}

Reader TimeAt(std::string key) {
    return [key](const Json& r) {
        const Json* value = Member(r, key);
        return value && value->is_string() ? DateFromIso(value->get<std::string>()) : RpcValue();
    };
}

} // namespace tessary::detail
