#include "rest/RecordPageParser.h"

#include "rest/RestSession.h"

#include <algorithm>
#include <type_traits>

namespace tessary::detail {

namespace {

// The leaf's path with every slot unnamed ("email_addresses[EMAIL1]/email" gives
// "email_addresses[]/email"), as members are met before their element's "field".
std::string Unnamed(const std::string& path) {
    std::string out;
    for (std::size_t at = 0; at < path.size(); ++at) {
        out += path[at];
        if (path[at] == '[')
            at = path.find(']', at) - 1;
    }
    return out;
}

} // namespace

RecordPageParser::RecordPageParser(std::string listKey, std::vector<const FieldRule*> rules)
    : listKey_(std::move(listKey)), rules_(std::move(rules)) {
    // Only the members the fields read are kept, and the "field" of their slots.
    for (const FieldRule* rule : rules_) {
        const std::string path = Unnamed(rule->read.LeafRead()->path);
        kept_.push_back(path);
        for (auto slot = path.find("[]"); slot != std::string::npos;
             slot = path.find("[]", slot + 2))
            kept_.push_back(path.substr(0, slot + 2) + "/field");
    }
}

bool RecordPageParser::CanRead(const std::vector<const FieldRule*>& rules) {
    return std::all_of(rules.begin(), rules.end(),
                       [](const FieldRule* rule) { return rule->read.LeafRead() != nullptr; });
}

std::size_t RecordPageParser::Parse(const std::string& body, std::string& next) {
    records_ = std::make_shared<RpcArray>();
    next_.clear();
    key_.clear();
    outerDepth_ = 0;
    inList_ = false;
    answerIsObject_ = false;
    frames_.clear();
    leaves_.clear();
    if (!Json::sax_parse(body.data(), body.data() + body.size(), this) || !answerIsObject_)
        throw RestUnreadableAnswer("The list answer is no JSON object holding '" + listKey_ + "'");
    next = next_;
    return records_->Count();
}

std::string RecordPageParser::ChildPath() const {
    const Frame& parent = frames_.back();
    if (parent.array)
        return parent.path + "[]";
    return parent.path.empty() ? key_ : parent.path + "/" + key_;
}

template <class T> bool RecordPageParser::Value(T&& value) {
    if (frames_.empty()) {
        if constexpr (std::is_same_v<std::decay_t<T>, string_t>)
            if (outerDepth_ == 1 && key_ == "next_page_token")
                next_ = value;
        return true;
    }
    const Frame& parent = frames_.back();
    path_.assign(parent.path);
    if (parent.array)
        path_ += "[]";
    else
        (path_.empty() ? path_ : path_ += '/') += key_;
    if (std::find(kept_.begin(), kept_.end(), path_) != kept_.end())
        leaves_.push_back({path_, Json(std::forward<T>(value))});
    return true;
}

bool RecordPageParser::null() {
    return Value(Json());
}
bool RecordPageParser::boolean(bool value) {
    return Value(value);
}
bool RecordPageParser::number_integer(number_integer_t value) {
    return Value(value);
}
bool RecordPageParser::number_unsigned(number_unsigned_t value) {
    return Value(value);
}
bool RecordPageParser::number_float(number_float_t value, const string_t&) {
    return Value(value);
}
bool RecordPageParser::string(string_t& value) {
    return Value(value); // a copy: the lexer keeps its buffer for the next text
}
bool RecordPageParser::binary(binary_t&) {
    return true;
}

bool RecordPageParser::key(string_t& name) {
    key_ = name; // a copy, as for texts
    return true;
}

void RecordPageParser::Open(bool array) {
    if (!frames_.empty()) {
        frames_.push_back({array, ChildPath(), leaves_.size()});
    } else if (inList_ && outerDepth_ == 2 && !array) {
        frames_.push_back({false, std::string(), 0}); // a record begins
        leaves_.clear();
    } else {
        if (outerDepth_ == 0)
            answerIsObject_ = !array;
        inList_ = array && outerDepth_ == 1 && key_ == listKey_;
        ++outerDepth_;
    }
}

bool RecordPageParser::start_object(std::size_t) {
    Open(false);
    return true;
}

bool RecordPageParser::start_array(std::size_t) {
    Open(true);
    return true;
}

bool RecordPageParser::end_object() {
    if (frames_.empty()) {
        --outerDepth_;
        return true;
    }
    const Frame closed = frames_.back();
    frames_.pop_back();
    if (frames_.empty())
        EndRecord();
    else if (frames_.back().array)
        NameSlot(closed);
    return true;
}

bool RecordPageParser::end_array() {
    if (frames_.empty()) {
        inList_ = false;
        --outerDepth_;
    } else {
        frames_.pop_back();
    }
    return true;
}

// An element of an array of objects is named by its "field" member
// ("email_addresses[]" becomes "email_addresses[EMAIL1]"), as Leaf paths name it.
void RecordPageParser::NameSlot(const Frame& element) {
    const std::string field = element.path + "/field";
    const auto named = std::find_if(
        leaves_.begin() + static_cast<std::ptrdiff_t>(element.firstLeaf), leaves_.end(),
        [&](const LeafValue& leaf) { return leaf.path == field && leaf.value.is_string(); });
    if (named == leaves_.end())
        return;
    const std::string slot =
        element.path.substr(0, element.path.size() - 1) + named->value.get<std::string>() + "]";
    for (auto leaf = leaves_.begin() + static_cast<std::ptrdiff_t>(element.firstLeaf);
         leaf != leaves_.end(); ++leaf)
        leaf->path.replace(0, element.path.size(), slot);
}

void RecordPageParser::EndRecord() {
    auto record = std::make_shared<RpcStruct>();
    for (const FieldRule* rule : rules_) {
        const Leaf& leaf = *rule->read.LeafRead();
        // The first member of that path counts, as when reading the parsed record.
        const auto found = std::find_if(leaves_.begin(), leaves_.end(),
                                        [&](const LeafValue& v) { return v.path == leaf.path; });
        if (found != leaves_.end())
            FieldTable::AddField(*record, rule->name, Convert(leaf, found->value));
    }
    records_->AddStruct(std::move(record));
}

bool RecordPageParser::parse_error(std::size_t, const std::string&,
                                   const nlohmann::detail::exception&) {
    return false;
}

} // namespace tessary::detail
