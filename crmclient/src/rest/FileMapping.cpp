#include "rest/FileMapping.h"

#include "tessary/Encoding.h"

namespace tessary::detail {
namespace {

FormPart TextPart(std::string name, std::string text) {
    FormPart part;
    part.name = std::move(name);
    part.text = std::move(text);
    return part;
}

FormPart FilePart(const std::string& fileName) {
    FormPart part;
    part.name = "file";
    part.fileName = fileName;
    return part;
}

bool IsJson(const std::string& contentType) {
    return contentType.rfind("application/json", 0) == 0;
}

} // namespace

FileMapping::FileMapping(RestSession& session)
    : TableMapping("FileBox"), session_(session),
      fields_("FileBox",
              {
                  {"Id", "id", "", IdAt("id", "FileBox")},
                  {"ContactId", "contact_id", "contact_id", IdAt("contact_id", "Contact")},
                  {"FileName", "file_name", "", TextAt("file_name")},
                  {"FileSize", "file_size", "", IntegerAt("file_size")},
                  {"Extension", "file_name", "",
                   [](const Json& file) {
                       const std::string name = TextOf(file, "file_name");
                       const auto dot = name.rfind('.');
                       return dot == std::string::npos ? RpcValue()
                                                       : RpcValue::String(name.substr(dot + 1));
                   }},
                  {"Public", "is_public", "", FlagAt("is_public")},
              }) {}

RpcValue FileMapping::Query(const RpcStruct& query, std::int32_t limit, std::int32_t page,
                            const RpcArray& fields) {
    const ListSource files{"/files", "files", {}, 1000};
    return ReadRecordPage(session_, files, PlanQuery(fields_, query), fields_, fields, limit, page);
}

RpcValue FileMapping::GetFile(std::int32_t id) {
    const HttpReply reply = session_.GetRaw("/files/" + IdText(id) + ":data");
    if (!IsJson(reply.contentType))
        return RpcValue::String(EncodeBase64(reply.body));
    const Json text = Json::parse(reply.body, nullptr, false);
    if (!text.is_string())
        throw RestUnreadableAnswer("The contents of file " + IdText(id) +
                                   " came as JSON that is no base64 text");
    return RpcValue::String(text.get<std::string>());
}

RpcValue FileMapping::Create(std::int32_t contact, FormPart file) {
    std::vector<FormPart> form;
    const std::string name = file.fileName;
    form.push_back(std::move(file));
    form.push_back(TextPart("file_name", name));
    form.push_back(TextPart("file_association", "CONTACT"));
    form.push_back(TextPart("contact_id", IdText(contact)));
    form.push_back(TextPart("is_public", "false"));
    const Json created = session_.PostForm("/files", {}, std::move(form));
    return RpcValue::Integer(Id32(created.value("id", Json()), "FileBox"));
}

RpcValue FileMapping::Overwrite(std::int32_t id, FormPart file) {
    std::vector<FormPart> form;
    form.push_back(std::move(file));
    session_.PostForm("/files/" + IdText(id), {{"update_mask", "file"}}, std::move(form));
    return RpcValue::Boolean(true);
}

RpcValue FileMapping::Upload(std::int32_t contact, const std::string& name,
                             const std::string& base64) {
    if (contact <= 0)
        NotAvailable("FileService.uploadFile without a contact");
    FormPart file = FilePart(name);
    file.bytes = DecodeBase64(base64);
    return Create(contact, std::move(file));
}

RpcValue FileMapping::Replace(std::int32_t id, const std::string& base64) {
    FormPart file = FilePart("file");
    file.bytes = DecodeBase64(base64);
    return Overwrite(id, std::move(file));
}

RpcValue FileMapping::Rename(std::int32_t id, const std::string& name) {
    std::vector<FormPart> form;
    form.push_back(TextPart("file_name", name));
    session_.PostForm("/files/" + IdText(id), {{"update_mask", "file_name"}}, std::move(form));
    return RpcValue::Boolean(true);
}

RpcValue FileMapping::Store(std::int32_t fileId, std::int32_t contact, const std::string& name,
                            const std::string& path) {
    FormPart file = FilePart(name);
    file.filePath = path;
    return fileId != 0 ? Overwrite(fileId, std::move(file)) : Create(contact, std::move(file));
}

} // namespace tessary::detail
