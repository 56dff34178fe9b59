#include "tessary/FileService.h"

#include "Guard.h"
#include "ServiceCall.h"
#include "tessary/DataService.h"
#include "tessary/Encoding.h"
#include "tessary/clsHelpers.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

namespace tessary {

using detail::Guarded;
using detail::Invoke;
using detail::LibraryError;
using detail::LockConnection;
using detail::SendKey;

namespace {

// A file Id given as any value: a whole number that fits 32 bits, or the failure
// the guard reports.
std::int32_t FileIdFrom(const RpcValue& value) {
    const auto fits = [](double n) {
        return std::isfinite(n) && n >= std::numeric_limits<std::int32_t>::min() &&
               n <= std::numeric_limits<std::int32_t>::max();
    };
    switch (value.Type()) {
    case RpcType::Integer:
        return value.IntegerValue();
    case RpcType::Double:
        if (fits(std::nearbyint(value.DoubleValue())))
            return static_cast<std::int32_t>(std::nearbyint(value.DoubleValue()));
        break;
    case RpcType::String: {
        // Text converts as a number would: "15", " 15 ", "15.0" and "1.5e1" all give 15,
        // a fraction is rounded as for a Double.
        std::string_view text = *value.TextPointer();
        while (!text.empty() && text.front() == ' ')
            text.remove_prefix(1);
        while (!text.empty() && text.back() == ' ')
            text.remove_suffix(1);
        if (!text.empty() && text.front() == '+')
            text.remove_prefix(1);
        double number = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (!text.empty() && error == std::errc() && end == text.data() + text.size() &&
            fits(std::nearbyint(number)))
            return static_cast<std::int32_t>(std::nearbyint(number));
        break;
    }
    default:
        break;
    }
    throw LibraryError(detail::kTypeMismatch, "Type mismatch: the file Id '" + value.StringValue() +
                                                  "' is not a whole number");
}

// The name part of a path: after the last '/' or '\', the whole text without one.
std::string FileNameOf(const std::string& path) {
    const auto cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw LibraryError(detail::kFileFailure,
                           "The file '" + path + "' could not be opened: " + std::strerror(errno));
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    std::string bytes;
    if (!ec)
        bytes.reserve(static_cast<std::size_t>(size));
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad())
        throw LibraryError(detail::kFileFailure, "The file '" + path + "' could not be read");
    return bytes;
}

} // namespace

std::string FileService::GetFile(const RpcValue& p_lngFileID) {
    return Guarded("GetFile", std::string(), [&] {
        const std::int32_t id = FileIdFrom(p_lngFileID);
        auto api = LockConnection(connection_);
        const auto result = Invoke(*api, "FileService.getFile", SendKey::Yes,
                                   [&](RpcParamList& p) { p.AddInteger(id); });
        return result ? result->StringValue() : std::string();
    });
}

std::int32_t FileService::UploadFile(const std::string& p_strFileName,
                                     std::string p_strBase64EncodedData,
                                     std::int32_t p_lngContactId) {
    return Guarded("UploadFile", std::int32_t{0}, [&] {
        auto api = LockConnection(connection_);
        const auto result =
            Invoke(*api, "FileService.uploadFile", SendKey::Yes, [&](RpcParamList& p) {
                if (p_lngContactId > 0)
                    p.AddInteger(p_lngContactId);
                p.AddString(p_strFileName);
                p.AddString(std::move(p_strBase64EncodedData));
            });
        return result ? result->IntegerValue() : 0;
    });
}

bool FileService::ReplaceFile(std::int32_t p_lngFileID, std::string p_strBase64EncodedData) {
    return Guarded("ReplaceFile", false, [&] {
        auto api = LockConnection(connection_);
        const auto result =
            Invoke(*api, "FileService.replaceFile", SendKey::Yes, [&](RpcParamList& p) {
                p.AddInteger(p_lngFileID);
                p.AddString(std::move(p_strBase64EncodedData));
            });
        return result ? result->BooleanValue() : false;
    });
}

bool FileService::RenameFile(std::int32_t p_lngFileID, const std::string& p_strFileName) {
    return Guarded("RenameFile", false, [&] {
        auto api = LockConnection(connection_);
        const auto result =
            Invoke(*api, "FileService.renameFile", SendKey::Yes, [&](RpcParamList& p) {
                p.AddInteger(p_lngFileID);
                p.AddString(p_strFileName);
            });
        return result ? result->BooleanValue() : false;
    });
}

std::string FileService::GetDownloadUrl(std::int32_t p_lngFileID) {
    return Guarded("GetDownloadUrl", std::string(), [&] {
        auto api = LockConnection(connection_);
        const auto result = Invoke(*api, "FileService.getDownloadUrl", SendKey::Yes,
                                   [&](RpcParamList& p) { p.AddInteger(p_lngFileID); });
        return result ? result->StringValue() : std::string();
    });
}

bool FileService::UpdateFileInFileBox(std::int32_t p_lngContactId, const std::string& p_strFile) {
    return Guarded("UpdateFileInFileBox", false, [&] {
        const std::string fileName = FileNameOf(p_strFile);
        // Only a normal, visible file counts; the path is taken literally.
        std::error_code ec;
        if (!std::filesystem::is_regular_file(p_strFile, ec) || fileName.empty() ||
            fileName.front() == '.')
            return false;
        const std::string bytes = ReadWholeFile(p_strFile);

        auto api = LockConnection(connection_);
        std::int32_t fileId = 0;
        if (auto data = api->DataService()) {
            RpcStruct query;
            query.AddString("FileName", fileName);
            query.AddInteger("ContactId", p_lngContactId);
            RpcArray fields;
            fields.AddString("Id");
            const auto found = data->Query("FileBox", 1, 0, query, fields);
            if (found && found->Count() > 0)
                if (const auto record = found->Item(1).StructValue())
                    fileId = clsHelpers().SafeIntegerValue(*record, "Id");
        }
        std::string encoded = EncodeBase64(bytes);
        // An encoding that failed (already reported) gives empty text; sending that
        // would replace the contact's stored file with an empty one.
        if (encoded.empty() && !bytes.empty())
            return false;
        // A failed upload or replacement has shown its own box already.
        if (fileId != 0)
            ReplaceFile(fileId, std::move(encoded));
        else
            UploadFile(fileName, std::move(encoded), p_lngContactId);
        return true;
    });
}

} // namespace tessary
