#pragma once
// The XML-RPC value model: one received or sent value (RpcValue), a struct whose
// members keep the order in which they were added (RpcStruct), and an array
// (RpcArray). Structs and arrays live behind std::shared_ptr inside a value, so
// copying a value is cheap and a record handed to the caller is shared, not copied.
//
// Readers convert leniently, the way a dynamic language would; every reader says
// below what it gives for a value of another type. No reader throws.

#include "tessary/Export.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

namespace tessary {

class RpcStruct;
class RpcArray;

// The XML-RPC type a value was received or built as. Empty stands for an absent
// value, for <nil/> and for reading a member or element that does not exist.
enum class RpcType { Empty, Integer, Boolean, String, Double, DateTime, Base64, Struct, Array };

// One XML-RPC value of any type, cheap to copy (structs and arrays are shared).
class TESSARY_API RpcValue {
public:
    // Text of a <dateTime.iso8601> value as it travels ("20090703T14:05:09").
    struct DateTimeText {
        std::string iso;
    };
    // Text of a <base64> value as it travels (still encoded).
    struct Base64Text {
        std::string text;
    };

    // An empty value (type Empty).
    RpcValue() = default;

    // A value of type Integer.
    static RpcValue Integer(std::int32_t value);
    // A value of type Boolean.
    static RpcValue Boolean(bool value);
    // A value of type String holding the text unchanged.
    static RpcValue String(std::string value);
    // A value of type Double.
    static RpcValue Double(double value);
    // A date-time from an automation date (days since 30 Dec 1899, time as fraction).
    // A date outside the years 100 to 9999 (or not a number) gives a date-time with
    // empty text, which RpcRequest::Submit refuses to send.
    static RpcValue Date(double automationDate);
    // A date-time from its wire text, kept as given.
    static RpcValue DateTimeIso(std::string iso);
    // A base64 value from already encoded text, kept as given.
    static RpcValue Base64(std::string encodedText);
    // A struct value sharing `value` (null gives an empty value).
    static RpcValue Struct(std::shared_ptr<RpcStruct> value);
    // An array value sharing `value` (null gives an empty value).
    static RpcValue Array(std::shared_ptr<RpcArray> value);

    // The type the value was received or built as.
    RpcType Type() const;
    // Whether the value is absent (type Empty).
    bool IsEmpty() const { return Type() == RpcType::Empty; }

    // Integer: the number. Boolean: 1 or 0. Double: rounded to the nearest integer,
    // 0 when outside the 32-bit range. String: the text as a decimal number
    // (surrounding blanks ignored, a fraction rounded), 0 when it is no number or
    // outside the 32-bit range. Anything else: 0.
    std::int32_t IntegerValue() const;
    // Boolean: the flag. Integer, Double: true when not 0. String: "1", "true",
    // "yes", or a number not 0 (case-insensitive, blanks ignored) give true, any
    // other text false. Anything else: false.
    bool BooleanValue() const;
    // String: the text. Integer: its decimal digits. Boolean: "1" or "0". Double:
    // the shortest text that reads back as the same number. DateTime: the wire text
    // ("20090703T14:05:09"). Base64: the encoded text as received. Anything else:
    // empty text.
    std::string StringValue() const;
    // Double: the number. Integer: the number. Boolean: 1 or 0. String: the text as
    // a number, 0 when it is none. Anything else: 0.
    double DoubleValue() const;
    // The value as an automation date (days since 30 Dec 1899 00:00, time as the
    // fraction). DateTime, or a String in the wire form: that point in time.
    // Integer, Double: the number itself as a day count. Anything else, or a text
    // that is no date: 0 (30 Dec 1899 00:00:00).
    double DateValue() const;
    // Struct: the shared struct. Anything else: nullptr.
    std::shared_ptr<RpcStruct> StructValue() const;
    // Array: the shared array. Anything else: nullptr.
    std::shared_ptr<RpcArray> ArrayValue() const;

    // The text as stored, without conversion, for String, DateTime and Base64
    // values; nullptr for other types. Lets large texts be read without a copy.
    const std::string* TextPointer() const;

private:
    using Storage =
        std::variant<std::monostate, std::int32_t, bool, std::string, double, DateTimeText,
                     Base64Text, std::shared_ptr<RpcStruct>, std::shared_ptr<RpcArray>>;
    explicit RpcValue(Storage storage) : storage_(std::move(storage)) {}
    Storage storage_;
};

// A struct: named members in the order they were added. Adding a name that is
// already present replaces its value in place.
class TESSARY_API RpcStruct {
public:
    using Member = std::pair<std::string, RpcValue>;

    // Adds a text member.
    void AddString(std::string name, std::string value);
    // Adds a 32-bit integer member.
    void AddInteger(std::string name, std::int32_t value);
    // Adds a boolean member.
    void AddBoolean(std::string name, bool value);
    // Adds a double member.
    void AddDouble(std::string name, double value);
    // Adds a date-time member from an automation date (RpcValue::Date).
    void AddDate(std::string name, double automationDate);
    // Adds a struct member sharing `value`.
    void AddStruct(std::string name, std::shared_ptr<RpcStruct> value);
    // Adds an array member sharing `value`.
    void AddArray(std::string name, std::shared_ptr<RpcArray> value);
    // Adds a member of any value.
    void AddValue(std::string name, RpcValue value);

    // Whether a member of that exact (case-sensitive) name is present.
    bool Exists(std::string_view name) const;
    // The member's value; an empty value when there is no such member.
    const RpcValue& Item(std::string_view name) const;
    // Number of members.
    std::size_t Count() const { return members_.size(); }
    // The members in the order they were added.
    const std::vector<Member>& Members() const { return members_; }

private:
    std::ptrdiff_t Find(std::string_view name) const;
    std::vector<Member> members_;
    // Name -> position, kept only for large structs so that building one stays linear.
    std::unordered_map<std::string, std::size_t> index_;
};

// Values in the order they were added, counted from 1 by Item: what an array and a
// call's parameter list have in common.
class TESSARY_API RpcValueList {
public:
    // Appends a text value.
    void AddString(std::string value);
    // Appends a 32-bit integer value.
    void AddInteger(std::int32_t value);
    // Appends a boolean value.
    void AddBoolean(bool value);
    // Appends a double value.
    void AddDouble(double value);
    // Appends a date-time from an automation date (RpcValue::Date).
    void AddDate(double automationDate);
    // Appends any value.
    void AddValue(RpcValue value);
    // Makes room for `count` values without changing the list.
    void Reserve(std::size_t count) { values_.reserve(count); }

    // Number of values.
    std::size_t Count() const { return values_.size(); }
    // Value n, counted from 1; an empty value when n is 0 or above Count().
    const RpcValue& Item(std::size_t n) const;
    // Replaces value n, counted from 1; nothing happens when n is 0 or above Count().
    void SetItem(std::size_t n, RpcValue value);
    // The values in order.
    const std::vector<RpcValue>& Values() const { return values_; }

private:
    std::vector<RpcValue> values_;
};

// An array value's elements.
class TESSARY_API RpcArray : public RpcValueList {
public:
    // Appends a struct element sharing `value`.
    void AddStruct(std::shared_ptr<RpcStruct> value);
    // Appends an array element sharing `value`.
    void AddArray(std::shared_ptr<RpcArray> value);
    // The elements in order (Values()).
    const std::vector<RpcValue>& Elements() const { return Values(); }
};

} // namespace tessary
