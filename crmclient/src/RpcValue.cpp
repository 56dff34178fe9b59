#include "tessary/RpcValue.h"

#include "TextNumbers.h"
#include "encoding/Dates.h"
#include "tessary/Encoding.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace tessary {
namespace {

const RpcValue& EmptyValue() {
    static const RpcValue empty;
    return empty;
}

using detail::NumberFromText;
using detail::TrimBlanks;

std::int32_t RoundToInt32(double number) {
    const double rounded = std::nearbyint(number); // ties to even, as the platform's CInt
    if (!(rounded >= std::numeric_limits<std::int32_t>::min() &&
          rounded <= std::numeric_limits<std::int32_t>::max()))
        return 0;
    return static_cast<std::int32_t>(rounded);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x | 0x20) == (y | 0x20);
           });
}

} // namespace

RpcValue RpcValue::Integer(std::int32_t value) {
    return RpcValue(Storage(value));
}
RpcValue RpcValue::Boolean(bool value) {
    return RpcValue(Storage(value));
}
RpcValue RpcValue::String(std::string value) {
    return RpcValue(Storage(std::in_place_type<std::string>, std::move(value)));
}
RpcValue RpcValue::Double(double value) {
    return RpcValue(Storage(value));
}
RpcValue RpcValue::Date(double automationDate) {
    // A date without a text form is kept as an empty text, which Submit refuses to
    // send; the failure is then reported under the operation that sends it.
    if (!encoding::IsWritableDate(automationDate))
        return DateTimeIso({});
    return DateTimeIso(Iso8601FromAutomationDate(automationDate));
}
RpcValue RpcValue::DateTimeIso(std::string iso) {
    return RpcValue(Storage(DateTimeText{std::move(iso)}));
}
RpcValue RpcValue::Base64(std::string encodedText) {
    return RpcValue(Storage(Base64Text{std::move(encodedText)}));
}
RpcValue RpcValue::Struct(std::shared_ptr<RpcStruct> value) {
    if (!value)
        return RpcValue();
    return RpcValue(Storage(std::move(value)));
}
RpcValue RpcValue::Array(std::shared_ptr<RpcArray> value) {
    if (!value)
        return RpcValue();
    return RpcValue(Storage(std::move(value)));
}

RpcType RpcValue::Type() const {
    switch (storage_.index()) {
    case 1:
        return RpcType::Integer;
    case 2:
        return RpcType::Boolean;
    case 3:
        return RpcType::String;
    case 4:
        return RpcType::Double;
    case 5:
        return RpcType::DateTime;
    case 6:
        return RpcType::Base64;
    case 7:
        return RpcType::Struct;
    case 8:
        return RpcType::Array;
    default:
        return RpcType::Empty;
    }
}

std::int32_t RpcValue::IntegerValue() const {
    if (const auto* i = std::get_if<std::int32_t>(&storage_))
        return *i;
    if (const auto* b = std::get_if<bool>(&storage_))
        return *b ? 1 : 0;
    if (const auto* d = std::get_if<double>(&storage_))
        return RoundToInt32(*d);
    if (const auto* s = std::get_if<std::string>(&storage_)) {
        const std::string_view text = TrimBlanks(*s);
        std::string_view digits = text;
        if (!digits.empty() && digits.front() == '+')
            digits.remove_prefix(1);
        std::int32_t number = 0;
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), number);
        if (error == std::errc() && end == digits.data() + digits.size() && !digits.empty())
            return number;
        if (const auto n = NumberFromText(text))
            return RoundToInt32(*n);
    }
    return 0;
}

bool RpcValue::BooleanValue() const {
    if (const auto* b = std::get_if<bool>(&storage_))
        return *b;
    if (const auto* i = std::get_if<std::int32_t>(&storage_))
        return *i != 0;
    if (const auto* d = std::get_if<double>(&storage_))
        return *d != 0;
    if (const auto* s = std::get_if<std::string>(&storage_)) {
        const std::string_view text = TrimBlanks(*s);
        if (EqualsNoCase(text, "true") || EqualsNoCase(text, "yes"))
            return true;
        if (const auto n = NumberFromText(text))
            return *n != 0;
    }
    return false;
}

std::string RpcValue::StringValue() const {
    if (const std::string* text = TextPointer())
        return *text;
    if (const auto* i = std::get_if<std::int32_t>(&storage_))
        return std::to_string(*i);
    if (const auto* b = std::get_if<bool>(&storage_))
        return *b ? "1" : "0";
    if (const auto* d = std::get_if<double>(&storage_)) {
        char buffer[64];
        const auto written = std::to_chars(buffer, buffer + sizeof buffer, *d);
        return std::string(buffer, written.ptr);
    }
    return {};
}

double RpcValue::DoubleValue() const {
    if (const auto* d = std::get_if<double>(&storage_))
        return *d;
    if (const auto* i = std::get_if<std::int32_t>(&storage_))
        return *i;
    if (const auto* b = std::get_if<bool>(&storage_))
        return *b ? 1.0 : 0.0;
    if (const auto* s = std::get_if<std::string>(&storage_))
        return NumberFromText(*s).value_or(0.0);
    return 0.0;
}

double RpcValue::DateValue() const {
    if (const auto* t = std::get_if<DateTimeText>(&storage_))
        return AutomationDateFromIso8601(t->iso).value_or(0.0);
    if (const auto* s = std::get_if<std::string>(&storage_))
        return AutomationDateFromIso8601(*s).value_or(0.0);
    if (const auto* d = std::get_if<double>(&storage_))
        return *d;
    if (const auto* i = std::get_if<std::int32_t>(&storage_))
        return *i;
    return 0.0;
}

std::shared_ptr<RpcStruct> RpcValue::StructValue() const {
    if (const auto* s = std::get_if<std::shared_ptr<RpcStruct>>(&storage_))
        return *s;
    return nullptr;
}

std::shared_ptr<RpcArray> RpcValue::ArrayValue() const {
    if (const auto* a = std::get_if<std::shared_ptr<RpcArray>>(&storage_))
        return *a;
    return nullptr;
}

const std::string* RpcValue::TextPointer() const {
    if (const auto* s = std::get_if<std::string>(&storage_))
        return s;
    if (const auto* t = std::get_if<DateTimeText>(&storage_))
        return &t->iso;
    if (const auto* b = std::get_if<Base64Text>(&storage_))
        return &b->text;
    return nullptr;
}

// ---- RpcStruct ----

namespace {
// CRM records carry a few dozen fields; a linear scan over them beats building a
// hash index for every decoded record. Larger structs get the index.
constexpr std::size_t kIndexedFrom = 48;
} // namespace

std::ptrdiff_t RpcStruct::Find(std::string_view name) const {
    if (!index_.empty()) {
        const auto found = index_.find(std::string(name));
        return found == index_.end() ? -1 : static_cast<std::ptrdiff_t>(found->second);
    }
    for (std::size_t i = 0; i < members_.size(); ++i)
        if (members_[i].first == name)
            return static_cast<std::ptrdiff_t>(i);
    return -1;
}

void RpcStruct::AddValue(std::string name, RpcValue value) {
    const std::ptrdiff_t at = Find(name);
    if (at >= 0)
        members_[static_cast<std::size_t>(at)].second = std::move(value);
    else {
        members_.emplace_back(std::move(name), std::move(value));
        if (members_.size() > kIndexedFrom) {
            if (index_.empty())
                for (std::size_t i = 0; i < members_.size(); ++i)
                    index_.emplace(members_[i].first, i);
            else
                index_.emplace(members_.back().first, members_.size() - 1);
        }
    }
}

void RpcStruct::AddString(std::string name, std::string value) {
    AddValue(std::move(name), RpcValue::String(std::move(value)));
}
void RpcStruct::AddInteger(std::string name, std::int32_t value) {
    AddValue(std::move(name), RpcValue::Integer(value));
}
void RpcStruct::AddBoolean(std::string name, bool value) {
    AddValue(std::move(name), RpcValue::Boolean(value));
}
void RpcStruct::AddDouble(std::string name, double value) {
    AddValue(std::move(name), RpcValue::Double(value));
}
void RpcStruct::AddDate(std::string name, double automationDate) {
    AddValue(std::move(name), RpcValue::Date(automationDate));
}
void RpcStruct::AddStruct(std::string name, std::shared_ptr<RpcStruct> value) {
    AddValue(std::move(name), RpcValue::Struct(std::move(value)));
}
void RpcStruct::AddArray(std::string name, std::shared_ptr<RpcArray> value) {
    AddValue(std::move(name), RpcValue::Array(std::move(value)));
}

bool RpcStruct::Exists(std::string_view name) const {
    return Find(name) >= 0;
}

const RpcValue& RpcStruct::Item(std::string_view name) const {
    const std::ptrdiff_t at = Find(name);
    return at >= 0 ? members_[static_cast<std::size_t>(at)].second : EmptyValue();
}

// ---- RpcValueList, RpcArray ----

void RpcValueList::AddValue(RpcValue value) {
    values_.push_back(std::move(value));
}
void RpcValueList::AddString(std::string value) {
    AddValue(RpcValue::String(std::move(value)));
}
void RpcValueList::AddInteger(std::int32_t value) {
    AddValue(RpcValue::Integer(value));
}
void RpcValueList::AddBoolean(bool value) {
    AddValue(RpcValue::Boolean(value));
}
void RpcValueList::AddDouble(double value) {
    AddValue(RpcValue::Double(value));
}
void RpcValueList::AddDate(double automationDate) {
    AddValue(RpcValue::Date(automationDate));
}

const RpcValue& RpcValueList::Item(std::size_t n) const {
    if (n == 0 || n > values_.size())
        return EmptyValue();
    return values_[n - 1];
}

void RpcValueList::SetItem(std::size_t n, RpcValue value) {
    if (n != 0 && n <= values_.size())
        values_[n - 1] = std::move(value);
}

void RpcArray::AddStruct(std::shared_ptr<RpcStruct> value) {
    AddValue(RpcValue::Struct(std::move(value)));
}
void RpcArray::AddArray(std::shared_ptr<RpcArray> value) {
    AddValue(RpcValue::Array(std::move(value)));
}

} // namespace tessary
