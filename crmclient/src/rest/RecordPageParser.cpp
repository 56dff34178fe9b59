#include "rest/RecordPageParser.h"

#include "Transport.h"
#include "rest/RestSession.h"

#include <algorithm>
#include <simdjson.h>

namespace tessary::detail {

static_assert(kAnswerPadding >= simdjson::SIMDJSON_PADDING);

struct PageBuffers::Parser {
    simdjson::dom::parser parser;
};

PageBuffers::PageBuffers() : parser_(std::make_unique<Parser>()) {}
PageBuffers::~PageBuffers() = default;

namespace {

using simdjson::dom::element;
using simdjson::dom::element_type;

// The value as Convert reads the same value in a Json. Texts, by far the most
// common, are read in place; the rest go through a Json so that numbers become
// texts and Ids are refused with exactly the same words.
RpcValue ValueOf(const Leaf& leaf, element value) {
    switch (value.type()) {
    case element_type::STRING:
        return ConvertText(leaf, value.get_string().value_unsafe());
    case element_type::NULL_VALUE:
        return {};
    case element_type::BOOL:
        return Convert(leaf, Json(value.get_bool().value_unsafe()));
    case element_type::INT64:
        return Convert(leaf, Json(value.get_int64().value_unsafe()));
    case element_type::UINT64:
        return Convert(leaf, Json(value.get_uint64().value_unsafe()));
    case element_type::DOUBLE:
        return Convert(leaf, Json(value.get_double().value_unsafe()));
    case element_type::ARRAY:
    case element_type::OBJECT:
        return Convert(leaf, Json::parse(simdjson::to_string(value)));
    }
    return {};
}

// The member the steps name, as Find in RestRecords.cpp finds it in a Json record.
bool At(element at, const std::vector<RecordPageParser::Step>& steps, element& out) {
    for (const RecordPageParser::Step& step : steps) {
        simdjson::dom::object object;
        if (at.get_object().get(object) || object.at_key(step.key).get(at))
            return false;
        if (step.slot.empty())
            continue;
        simdjson::dom::array array;
        if (at.get_array().get(array))
            return false;
        bool found = false;
        for (element item : array) {
            std::string_view field;
            if (!item.at_key("field").get_string().get(field) && field == step.slot) {
                at = item;
                found = true;
                break;
            }
        }
        if (!found)
            return false;
    }
    out = at;
    return true;
}

} // namespace

RecordPageParser::RecordPageParser(std::string listKey, std::vector<const FieldRule*> rules,
                                   PageBuffers& buffers)
    : listKey_(std::move(listKey)), rules_(std::move(rules)), buffers_(buffers),
      records_(std::make_shared<RpcArray>()) {
    // Each path is cut into its steps once, not per record.
    for (const FieldRule* rule : rules_) {
        Field field{rule, {}};
        std::string_view path = rule->read.LeafRead()->path;
        while (!path.empty()) {
            const auto cut = path.find('/');
            std::string_view segment = path.substr(0, cut);
            path = cut == std::string_view::npos ? std::string_view() : path.substr(cut + 1);
            Step step;
            if (const auto open = segment.find('['); open != std::string_view::npos) {
                step.slot = segment.substr(open + 1, segment.size() - open - 2);
                segment = segment.substr(0, open);
            }
            step.key = segment;
            field.steps.push_back(std::move(step));
        }
        fields_.push_back(std::move(field));
    }
}

bool RecordPageParser::CanRead(const std::vector<const FieldRule*>& rules) {
    return std::all_of(rules.begin(), rules.end(),
                       [](const FieldRule* rule) { return rule->read.LeafRead() != nullptr; });
}

void RecordPageParser::Unreadable() const {
    throw RestUnreadableAnswer("The list answer is no JSON object holding '" + listKey_ + "'");
}

std::size_t RecordPageParser::Parse(const std::string& body, std::string& next) {
    records_ = std::make_shared<RpcArray>();
    next.clear();
    element root;
    // Without the padding simdjson copies the body into a padded buffer of its own.
    const bool padded = body.capacity() - body.size() >= simdjson::SIMDJSON_PADDING;
    if (buffers_.parser_->parser.parse(body.data(), body.size(), !padded).get(root))
        return ParseWithNlohmann(body, next);
    simdjson::dom::object answer;
    if (root.get_object().get(answer))
        Unreadable();
    for (const auto [key, value] : answer) {
        std::string_view token;
        if (key == "next_page_token" && !value.get_string().get(token))
            next = token;
        simdjson::dom::array list;
        if (key != listKey_ || value.get_array().get(list))
            continue;
        records_->Reserve(records_->Count() + list.size());
        for (element item : list) {
            if (!item.is_object())
                continue;
            auto record = std::make_shared<RpcStruct>();
            for (const Field& field : fields_) {
                element member;
                if (At(item, field.steps, member))
                    FieldTable::AddField(*record, field.rule->name,
                                         ValueOf(*field.rule->read.LeafRead(), member));
            }
            records_->AddStruct(std::move(record));
        }
    }
    return records_->Count();
}

// What simdjson refuses is read again with nlohmann-json, which decides as it
// always has: JSON simdjson does not take (an integer beyond 64 bits, nesting
// deeper than 1024, a leading byte-order mark) still gives its records, and what
// is no JSON stays unreadable.
std::size_t RecordPageParser::ParseWithNlohmann(const std::string& body, std::string& next) {
    const Json answer = Json::parse(body, nullptr, false);
    if (!answer.is_object())
        Unreadable();
    if (const auto token = answer.find("next_page_token");
        token != answer.end() && token->is_string())
        next = token->get<std::string>();
    const auto list = answer.find(listKey_);
    if (list != answer.end() && list->is_array())
        for (const Json& item : *list)
            if (item.is_object())
                records_->AddStruct(std::make_shared<RpcStruct>(FieldTable::Record(item, rules_)));
    return records_->Count();
}

} // namespace tessary::detail
