#pragma once
// The CRM's file methods ("FileService.*") and UpdateFileInFileBox, which puts a
// local file into a contact's file box, replacing a file of the same name. File
// contents travel as base64 text. A call fails when the answer's status is not
// ParamsReturned: the "XML RPC Error" box is shown and the default is returned.
// Unexpected failures (no answer at all, a normal answer holding no value, a dead
// connection, a file that cannot be read) show the "Tessary Error" report and
// return the same default.

#include "tessary/Export.h"
#include "tessary/RpcValue.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tessary {

class clsInfusionsoftAPI;

// A connection's file methods (clsInfusionsoftAPI::FileService()).
class TESSARY_API FileService {
public:
    // "FileService.getFile": the file's content in base64; empty on failure. The Id
    // is converted to an integer (an Integer, or a Double or String holding a number
    // within the 32-bit range, a fraction rounded to the nearest, ties to even); a
    // value that cannot be is reported under "GetFile" and nothing is sent.
    std::string GetFile(const RpcValue& p_lngFileID);
    // "FileService.uploadFile": the new file's Id; 0 on failure. The contact Id is
    // sent (before the name) only when it is greater than 0.
    std::int32_t UploadFile(const std::string& p_strFileName, std::string p_strBase64EncodedData,
                            std::int32_t p_lngContactId = 0);
    // "FileService.replaceFile": the flag returned; false on failure.
    bool ReplaceFile(std::int32_t p_lngFileID, std::string p_strBase64EncodedData);
    // "FileService.renameFile": the flag returned; false on failure.
    bool RenameFile(std::int32_t p_lngFileID, const std::string& p_strFileName);
    // "FileService.getDownloadUrl": the URL; empty on failure.
    std::string GetDownloadUrl(std::int32_t p_lngFileID);
    // Uploads the file at `p_strFile` to the contact's file box under its name (the
    // part after the last '/' or '\'), replacing the contact's file of that name if
    // there is one. Only a file whose stored name equals this one, ignoring case,
    // is replaced (the lookup is a pattern match and may find others). False,
    // sending nothing, when no regular, non-hidden file is at that path (the path
    // is taken literally, no wildcards); false too, after the report, when it
    // cannot be read. False, uploading nothing, when the lookup fails (its box or
    // report has been shown), as an upload could then put a second copy in the
    // box. False when the upload or replacement fails (its box has been shown);
    // true once the file is stored. The connection's LastCallFailure says how it
    // failed. The file is read and sent in pieces; its raw bytes are never held whole.
    bool UpdateFileInFileBox(std::int32_t p_lngContactId, const std::string& p_strFile);

private:
    friend class clsInfusionsoftAPI;
    explicit FileService(std::weak_ptr<clsInfusionsoftAPI> connection)
        : connection_(std::move(connection)) {}
    std::weak_ptr<clsInfusionsoftAPI> connection_;
};

} // namespace tessary
