// Feeds arbitrary bytes to the decoder of XML-RPC answers and, as a REST v2 list
// page, to the list reader with a field of every kind; then reads every value found
// with every reader, as a program would.

#include "Guard.h"
#include "QuietBoxes.h"
#include "Transport.h"
#include "XmlRpcCodec.h"
#include "rest/RecordPageParser.h"
#include "rest/RestSession.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace {

void ReadAll(const tessary::RpcValue& value, int depth) {
    (void)value.IntegerValue();
    (void)value.BooleanValue();
    (void)value.StringValue();
    (void)value.DoubleValue();
    (void)value.DateValue();
    if (depth > 100)
        return;
    if (const auto s = value.StructValue())
        for (const auto& [name, member] : s->Members()) {
            (void)s->Exists(name);
            ReadAll(member, depth + 1);
        }
    if (const auto a = value.ArrayValue())
        for (const auto& element : a->Elements())
            ReadAll(element, depth + 1);
}

void ReadAsRestPage(const std::uint8_t* data, std::size_t size) {
    using namespace tessary::detail;
    static const FieldTable table("Contact", {
                                                 {"Id", "", "", IdAt("id", "Contact")},
                                                 {"Name", "", "", TextAt("name")},
                                                 {"Company", "", "", TextIn("company", "name")},
                                                 {"Email", "", "", SlotAt("emails", "E1", "email")},
                                                 {"Stage", "", "", IdIn("stage", "id", "Stage")},
                                                 {"Rate", "", "", NumberAt("rate")},
                                                 {"Size", "", "", IntegerAt("size")},
                                                 {"Public", "", "", FlagAt("public")},
                                                 {"Created", "", "", TimeAt("created")},
                                             });
    static const auto rules = [] {
        tessary::RpcArray fields;
        for (const char* name :
             {"Id", "Name", "Company", "Email", "Stage", "Rate", "Size", "Public", "Created"})
            fields.AddString(name);
        return table.Rules(fields);
    }();
    static PageBuffers buffers; // kept from input to input, as a connection keeps them
    std::string body;
    body.reserve(size + kAnswerPadding); // as the transport leaves an answer
    body.assign(reinterpret_cast<const char*>(data), size);
    RecordPageParser parser("contacts", rules, buffers);
    std::string next;
    bool readable = true;
    try {
        parser.Parse(body, next);
    } catch (const RestUnreadableAnswer&) {
        readable = false;
    } catch (const LibraryError&) {
        // an Id that is no 32-bit whole number
    }
    // simdjson must not take what nlohmann-json, the judge of what is readable, refuses.
    if (readable != Json::parse(body, nullptr, false).is_object())
        __builtin_trap();
    ReadAll(tessary::RpcValue::Array(parser.Records()), 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::QuietBoxes(tessary::BoxAnswer::Cancel);
    const tessary::RpcResponse response =
        tessary::detail::DecodeResponse(std::string(reinterpret_cast<const char*>(data), size));
    if (response.Status() != tessary::RpcStatus::ParamsReturned && response.Params().Count() != 0)
        __builtin_trap(); // only a normal answer carries params
    for (const auto& value : response.Params().Items())
        ReadAll(value, 0);
    (void)response.Fault().FaultString();
    ReadAsRestPage(data, size);
    return 0;
}
