#pragma once
// Files (table "FileBox", FileService) on /files. Contents go up as multipart
// forms, raw, the file part streamed from its file where there is one; they come
// down raw or as base64 and are handed over as base64 text.

#include "rest/RestQuery.h"
#include "rest/TableMapping.h"

namespace tessary::detail {

class FileMapping final : public TableMapping {
public:
    explicit FileMapping(RestSession& session);
    RpcValue Query(const RpcStruct& query, std::int32_t limit, std::int32_t page,
                   const RpcArray& fields) override;

    RpcValue GetFile(std::int32_t id);
    RpcValue Upload(std::int32_t contact, const std::string& name, const std::string& base64);
    RpcValue Replace(std::int32_t id, const std::string& base64);
    RpcValue Rename(std::int32_t id, const std::string& name);
    // Stores the file at `path` under `name`: a new file of the contact when
    // fileId is 0, else in place of that file. The new file's Id, or true.
    RpcValue Store(std::int32_t fileId, std::int32_t contact, const std::string& name,
                   const std::string& path);

private:
    RpcValue Create(std::int32_t contact, FormPart file);
    RpcValue Overwrite(std::int32_t id, FormPart file);

    RestSession& session_;
    FieldTable fields_;
};

} // namespace tessary::detail
