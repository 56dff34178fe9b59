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
    for (const FieldRule* rule : rules)
        AddField(out, rule->name, rule->read(record));
    return out;
}

void FieldTable::AddField(RpcStruct& record, const std::string& name, RpcValue value) {
    const std::string* text = value.TextPointer();
    if (!value.IsEmpty() && !(value.Type() == RpcType::String && text->empty()))
        record.AddValue(name, std::move(value));
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

// The member a leaf's path names; nullptr when there is none.
const Json* Find(const Json& record, std::string_view path) {
    const Json* at = &record;
    while (!path.empty()) {
        const auto cut = path.find('/');
        std::string_view segment = path.substr(0, cut);
        path = cut == std::string_view::npos ? std::string_view() : path.substr(cut + 1);
        std::string_view slot;
        if (const auto open = segment.find('['); open != std::string_view::npos) {
            slot = segment.substr(open + 1, segment.size() - open - 2);
            segment = segment.substr(0, open);
        }
        if (!at->is_object())
            return nullptr;
        const auto it = at->find(segment);
        if (it == at->end())
            return nullptr;
        at = &*it;
        if (slot.empty())
            continue;
        if (!at->is_array())
            return nullptr;
        const Json* element = nullptr;
        for (const Json& item : *at)
            if (!element && item.is_object() && TextOf(item, "field") == slot)
                element = &item;
        if (!element)
            return nullptr;
        at = element;
    }
    return at;
}

} // namespace

RpcValue Convert(const Leaf& leaf, const Json& value) {
    if (value.is_string())
        return ConvertText(leaf, value.get_ref<const std::string&>());
    switch (leaf.kind) {
    case ValueKind::Text:
        return value.is_number() || value.is_boolean() ? RpcValue::String(value.dump())
                                                       : RpcValue();
    case ValueKind::Id:
        return value.is_null() ? RpcValue() : RpcValue::Integer(Id32(value, leaf.record));
    case ValueKind::Number:
        return value.is_number() ? RpcValue::Double(value.get<double>()) : RpcValue();
    case ValueKind::Integer: {
        if (!value.is_number())
            return {};
        const double number = value.get<double>();
        if (std::abs(number) > std::numeric_limits<std::int32_t>::max())
            return {};
        return RpcValue::Integer(static_cast<std::int32_t>(std::llround(number)));
    }
    case ValueKind::Flag:
        return value.is_boolean() ? RpcValue::Integer(value.get<bool>() ? 1 : 0) : RpcValue();
    case ValueKind::Time:
        return {};
    }
    return {};
}

RpcValue ConvertText(const Leaf& leaf, std::string_view text) {
    switch (leaf.kind) {
    case ValueKind::Text:
        return RpcValue::String(std::string(text));
    case ValueKind::Id:
        return RpcValue::Integer(Id32FromText(text, leaf.record));
    case ValueKind::Time:
        return DateFromIso(text);
    case ValueKind::Number:
    case ValueKind::Integer:
    case ValueKind::Flag:
        return {};
    }
    return {};
}

Reader::Reader(Leaf leaf)
    : read_([leaf](const Json& record) {
          const Json* value = Find(record, leaf.path);
          return value ? Convert(leaf, *value) : RpcValue();
      }),
      leaf_(std::move(leaf)) {}

Reader TextAt(std::string key) {
    return Leaf{std::move(key), ValueKind::Text, ""};
}

Reader TextIn(std::string object, std::string key) {
    return Leaf{object + "/" + key, ValueKind::Text, ""};
}

Reader IdAt(std::string key, std::string record) {
    return Leaf{std::move(key), ValueKind::Id, std::move(record)};
}

Reader IdIn(std::string object, std::string key, std::string record) {
    return Leaf{object + "/" + key, ValueKind::Id, std::move(record)};
}

Reader NumberAt(std::string key) {
    return Leaf{std::move(key), ValueKind::Number, ""};
}

Reader IntegerAt(std::string key) {
    return Leaf{std::move(key), ValueKind::Integer, ""};
}

Reader FlagAt(std::string key) {
    return Leaf{std::move(key), ValueKind::Flag, ""};
}

Reader TimeAt(std::string key) {
    return Leaf{std::move(key), ValueKind::Time, ""};
}

Reader SlotAt(std::string array, std::string slot, std::string key) {
    return Leaf{array + "[" + slot + "]/" + key, ValueKind::Text, ""};
}

} // namespace tessary::detail
