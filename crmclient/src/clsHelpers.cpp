#include "tessary/clsHelpers.h"

#include "Guard.h"
#include "tessary/Encoding.h"

#include <algorithm>

namespace tessary {

using detail::Guarded;

namespace {

const RpcStruct& Required(const std::shared_ptr<RpcStruct>& record) {
    if (!record)
        throw detail::LibraryError(detail::kObjectMissing, "Object variable not set: no struct");
    return *record;
}

} // namespace

std::string clsHelpers::MD5Encrypt(const std::string& p_strPassword) {
    return Guarded("MD5Encrypt", std::string(), [&] { return MD5Hex(p_strPassword); });
}

std::string clsHelpers::SafeStringValue(const RpcStruct& p_sctStruct,
                                        const std::string& p_strName) {
    return Guarded("SafeStringValue", std::string(), [&] {
        return p_sctStruct.Exists(p_strName) ? p_sctStruct.Item(p_strName).StringValue()
                                             : std::string();
    });
}

std::string clsHelpers::SafeStringValue(const std::shared_ptr<RpcStruct>& p_sctStruct,
                                        const std::string& p_strName) {
    return Guarded("SafeStringValue", std::string(),
                   [&] { return SafeStringValue(Required(p_sctStruct), p_strName); });
}

std::int32_t clsHelpers::SafeIntegerValue(const RpcStruct& p_sctStruct,
                                          const std::string& p_strName) {
    return Guarded("SafeIntegerValue", std::int32_t{0}, [&] {
        return p_sctStruct.Exists(p_strName) ? p_sctStruct.Item(p_strName).IntegerValue() : 0;
    });
}

std::int32_t clsHelpers::SafeIntegerValue(const std::shared_ptr<RpcStruct>& p_sctStruct,
                                          const std::string& p_strName) {
    return Guarded("SafeIntegerValue", std::int32_t{0},
                   [&] { return SafeIntegerValue(Required(p_sctStruct), p_strName); });
}

double clsHelpers::SafeDateTimeValue(const RpcStruct& p_sctStruct, const std::string& p_strName) {
    return Guarded("SafeDateTimeValue", 0.0, [&] {
        return p_sctStruct.Exists(p_strName) ? p_sctStruct.Item(p_strName).DateValue() : 0.0;
    });
}

double clsHelpers::SafeDateTimeValue(const std::shared_ptr<RpcStruct>& p_sctStruct,
                                     const std::string& p_strName) {
    return Guarded("SafeDateTimeValue", 0.0,
                   [&] { return SafeDateTimeValue(Required(p_sctStruct), p_strName); });
}

std::string clsHelpers::DecodeBase64(const std::string& p_strBase64) {
    return Guarded("DecodeBase64", std::string(),
                   [&] { return tessary::DecodeBase64(p_strBase64); });
}

std::string clsHelpers::EncodeBase64(const std::string& p_strText) {
    return Guarded("EncodeBase64", std::string(), [&] { return tessary::EncodeBase64(p_strText); });
}

std::string clsHelpers::MySQLDate(double p_dtmDate) {
    return Guarded("MySQLDate", std::string(), [&] { return MySQLDateText(p_dtmDate); });
}

std::string clsHelpers::SafeXMLStringDataValue(const std::string& p_strText) {
    return Guarded("SafeXMLStringDataValue", std::string(), [&] {
        std::string text = p_strText;
        std::replace_if(
            text.begin(), text.end(), [](char c) { return c == '<' || c == '>'; }, '%');
        return text;
    });
}

} // namespace tessary
