#pragma once
// Utilities: safe readers for members of returned records, base64 both ways, the
// MD5 password digest and two text formatters. Holds no state. Text given to the
// encoding and hashing operations stands for bytes (a std::string's bytes as
// they are; UTF-8 text is hashed and encoded as its UTF-8 bytes).

#include "tessary/Export.h"
#include "tessary/RpcValue.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tessary {

// The helpers object of a connection (clsInfusionsoftAPI::Helpers()); stateless.
class TESSARY_API clsHelpers {
public:
    // MD5 of the bytes as 32 lower-case hex digits; empty text on failure.
    std::string MD5Encrypt(const std::string& p_strPassword);
    // The member read as text / 32-bit integer / automation date (RpcValue's
    // readers); empty text, 0 or 0.0 (30 Dec 1899 00:00) when the member is missing,
    // without a message. A null struct is reported and gives the same default.
    // The member as text.
    std::string SafeStringValue(const RpcStruct& p_sctStruct, const std::string& p_strName);
    // The member of a shared struct as text.
    std::string SafeStringValue(const std::shared_ptr<RpcStruct>& p_sctStruct,
                                const std::string& p_strName);
    // The member as a 32-bit integer.
    std::int32_t SafeIntegerValue(const RpcStruct& p_sctStruct, const std::string& p_strName);
    // The member of a shared struct as a 32-bit integer.
    std::int32_t SafeIntegerValue(const std::shared_ptr<RpcStruct>& p_sctStruct,
                                  const std::string& p_strName);
    // The member as an automation date.
    double SafeDateTimeValue(const RpcStruct& p_sctStruct, const std::string& p_strName);
    // The member of a shared struct as an automation date.
    double SafeDateTimeValue(const std::shared_ptr<RpcStruct>& p_sctStruct,
                             const std::string& p_strName);
    // The bytes of base64 text (line breaks and blanks ignored). An illegal group
    // asks "PROGRAM ERROR" (OK: "???" in its place; Cancel: stop there). Empty
    // text on failure (reported).
    std::string DecodeBase64(const std::string& p_strBase64);
    // Base64 with CR LF after every 64 characters; empty input gives empty text,
    // and so does a failure (reported).
    std::string EncodeBase64(const std::string& p_strText);
    // "yyyy-mm-dd hh:mm:ss"; empty text on failure (a date outside the years 100
    // to 9999 is reported under "MySQLDate").
    std::string MySQLDate(double p_dtmDate);
    // The text with every '<' and '>' replaced by '%'; empty text on failure.
    std::string SafeXMLStringDataValue(const std::string& p_strText);
};

} // namespace tessary
