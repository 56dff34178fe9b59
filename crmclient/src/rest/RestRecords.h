#pragma once
// A REST resource's records as XML-RPC records: per XML-RPC field, the REST
// property that holds it, the filter field that searches it and a reader that
// gives the XML-RPC-shaped value. Fields without a rule fail as XML-RPC's
// "[NoFieldFound]" fault does.

#include "rest/RestIds.h"
#include "tessary/RpcValue.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tessary::detail {

// An answer the translation gives as an XML-RPC fault (FaultReturned).
class RestFault : public std::runtime_error {
public:
    RestFault(std::string code, const std::string& text)
        : std::runtime_error(text), code_(std::move(code)) {}
    const std::string& Code() const { return code_; }

private:
    std::string code_;
};

// XML-RPC's answer for a field the table does not have (or REST v2 cannot give).
[[noreturn]] void NoFieldFound(const std::string& table, const std::string& field);
// XML-RPC's answer for a record that is not there.
[[noreturn]] void RecordNotFound(const std::string& table, std::int32_t id);

// How a member's JSON value becomes the XML-RPC value.
enum class ValueKind { Text, Id, Number, Integer, Flag, Time };

// A member read as it is: its path in the record ("given_name",
// "company/company_name", "email_addresses[EMAIL1]/email": the element of the array
// whose "field" is EMAIL1) and its kind. `record` names an Id's kind for messages.
struct Leaf {
    std::string path;
    ValueKind kind = ValueKind::Text;
    std::string record;
};

// The XML-RPC value of a member's JSON value; empty for null or another type.
RpcValue Convert(const Leaf& leaf, const Json& value);
// The same for a JSON text (what list pages mostly hold, read without a Json).
RpcValue ConvertText(const Leaf& leaf, std::string_view text);

// Reads one XML-RPC field out of a record: a leaf, or any function of the record
// (a field computed from several members, or looked up).
class Reader {
public:
    Reader(Leaf leaf);
    template <class F, class = std::enable_if_t<std::is_invocable_r_v<RpcValue, F&, const Json&> &&
                                                !std::is_same_v<std::decay_t<F>, Reader>>>
    Reader(F read) : read_(std::move(read)) {}
    RpcValue operator()(const Json& record) const { return read_(record); }
    // The leaf, when the field is one (the streamed reading of lists needs it).
    const Leaf* LeafRead() const { return leaf_.path.empty() ? nullptr : &leaf_; }

private:
    std::function<RpcValue(const Json&)> read_;
    Leaf leaf_;
};

struct FieldRule {
    std::string name;     // the XML-RPC field
    std::string property; // the REST property holding it (asked for by "fields")
    std::string filter;   // the filter field searching it; empty when there is none
    Reader read;
};

class FieldTable {
public:
    FieldTable(std::string table, std::vector<FieldRule> rules);
    const std::string& Table() const { return table_; }
    // The rule of a field; throws the NoFieldFound fault when there is none.
    const FieldRule& Rule(const std::string& field) const;
    // The rules of the fields asked for, in their order (each looked up once for a list).
    std::vector<const FieldRule*> Rules(const RpcArray& fields) const;
    // The record with the fields asked for that hold a value, in the order asked.
    RpcStruct Record(const Json& record, const RpcArray& fields) const;
    static RpcStruct Record(const Json& record, const std::vector<const FieldRule*>& rules);
    // Adds the value unless it is empty (XML-RPC leaves out fields without a value).
    static void AddField(RpcStruct& record, const std::string& name, RpcValue value);
    // The REST properties the fields need, for the "fields" parameter.
    std::vector<std::string> Properties(const RpcArray& fields) const;

private:
    std::string table_;
    std::vector<FieldRule> rules_;
};

// Readers of the usual kinds, all leaves. Absent, null and empty values read as empty.
Reader TextAt(std::string key);
Reader TextIn(std::string object, std::string key); // record[object][key]
Reader IdAt(std::string key, std::string record);
Reader IdIn(std::string object, std::string key, std::string record);
Reader NumberAt(std::string key);  // a double
Reader IntegerAt(std::string key); // a 32-bit integer
Reader FlagAt(std::string key);    // a boolean as 1 or 0
Reader TimeAt(std::string key);    // an ISO-8601 time as a local XML-RPC date
Reader SlotAt(std::string array, std::string slot, std::string key); // array[slot]/key

// The text member, or empty text.
std::string TextOf(const Json& object, const char* key);

// "a,b,c".
std::string JoinComma(const std::vector<std::string>& items);

} // namespace tessary::detail
