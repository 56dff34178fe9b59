#include "tessary/FileService.h"

#include "ConnectionInternals.h"
#include "Guard.h"
#include "ServiceCall.h"
#include "WireText.h"
#include "encoding/Base64Lines.h"
#include "encoding/Buffer.h"
#include "rest/RestBackend.h"
#include "tessary/clsInfusionsoftAPI.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>

namespace tessary {

using detail::Expect;
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

// The file's contents in base64 (EncodeBase64), read a piece at a time so that the
// raw bytes never sit in memory beside their encoding.
std::string EncodeFileBase64(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw LibraryError(detail::kFileFailure,
                           "The file '" + path + "' could not be opened: " + std::strerror(errno));
    std::string out;
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec)
        encoding::SizeForOverwrite(out, encoding::Base64Size(static_cast<std::size_t>(size)));
    // Whole lines per piece, so that the pieces' encodings join up.
    std::string piece(encoding::kBase64LineBytes * 4096, '\0');
    std::size_t used = 0;
    for (;;) {
        in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got == 0)
            break;
        const std::size_t need = encoding::Base64Size(got);
        if (out.size() < used + need)
            out.resize(used + need); // the file grew since its size was taken
        encoding::EncodeBase64To({piece.data(), got}, out.data() + used);
        used += need;
        if (got < piece.size())
            break;
    }
    if (in.bad())
        throw LibraryError(detail::kFileFailure, "The file '" + path + "' could not be read");
    out.resize(used);
    return out;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

// Records per page of the file-box lookup (the most a query may ask for).
constexpr std::int32_t kFileBoxPage = 1000;

// The Id of the contact's file called `fileName`, compared as the server stores
// names and ignoring case; 0 when there is none; std::nullopt when the lookup
// failed (its box has been shown). The query takes the name as a pattern ('%'
// matches any run of characters), so it may also find other files, which do not
// count.
std::optional<std::int32_t> FindInFileBox(clsInfusionsoftAPI& api, std::int32_t contactId,
                                          const std::string& fileName) {
    const std::string storedName = detail::WireText(fileName);
    RpcStruct query;
    query.AddString("FileName", fileName);
    query.AddInteger("ContactId", contactId);
    RpcArray fields;
    fields.AddString("Id");
    fields.AddString("FileName");
    for (std::int32_t page = 0;; ++page) {
        const auto result =
            Invoke(api, "DataService.query", SendKey::Yes, Expect::Array, [&](RpcParamList& p) {
                p.AddString("FileBox");
                p.AddInteger(kFileBoxPage);
                p.AddInteger(page);
                p.AddStruct(query);
                p.AddArray(fields);
            });
        if (!result)
            return std::nullopt;
        const auto files = result->ArrayValue();
        for (const RpcValue& file : files->Elements()) {
            const auto record = file.StructValue();
            if (!record)
                throw LibraryError(
                    detail::kTypeMismatch,
                    "Type mismatch: the file box lookup answered with an entry that is no record");
            if (!SameNameIgnoringCase(record->Item("FileName").StringValue(), storedName))
                continue;
            const std::int32_t id = record->Item("Id").IntegerValue();
            if (id <= 0)
                throw LibraryError(detail::kTypeMismatch, "Type mismatch: the file box entry '" +
                                                              storedName + "' has no valid Id");
            return id;
        }
        if (files->Count() < static_cast<std::size_t>(kFileBoxPage))
            return 0;
    }
}

} // namespace

std::string FileService::GetFile(const RpcValue& p_lngFileID) {
    return Guarded("GetFile", std::string(), [&] {
        const std::int32_t id = FileIdFrom(p_lngFileID);
        auto api = LockConnection(connection_);
        const auto result = Invoke(*api, "FileService.getFile", SendKey::Yes, Expect::Text,
                                   [&](RpcParamList& p) { p.AddInteger(id); });
        return result ? result->StringValue() : std::string();
    });
}

std::int32_t FileService::UploadFile(const std::string& p_strFileName,
                                     std::string p_strBase64EncodedData,
                                     std::int32_t p_lngContactId) {
    return Guarded("UploadFile", std::int32_t{0}, [&] {
        auto api = LockConnection(connection_);
        const auto result = Invoke(*api, "FileService.uploadFile", SendKey::Yes, Expect::Integer,
                                   [&](RpcParamList& p) {
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
        const auto result = Invoke(*api, "FileService.replaceFile", SendKey::Yes, Expect::Boolean,
                                   [&](RpcParamList& p) {
                                       p.AddInteger(p_lngFileID);
                                       p.AddString(std::move(p_strBase64EncodedData));
                                   });
        return result ? result->BooleanValue() : false;
    });
}

bool FileService::RenameFile(std::int32_t p_lngFileID, const std::string& p_strFileName) {
    return Guarded("RenameFile", false, [&] {
        auto api = LockConnection(connection_);
        const auto result = Invoke(*api, "FileService.renameFile", SendKey::Yes, Expect::Boolean,
                                   [&](RpcParamList& p) {
                                       p.AddInteger(p_lngFileID);
                                       p.AddString(p_strFileName);
                                   });
        return result ? result->BooleanValue() : false;
    });
}

std::string FileService::GetDownloadUrl(std::int32_t p_lngFileID) {
    return Guarded("GetDownloadUrl", std::string(), [&] {
        auto api = LockConnection(connection_);
        const auto result = Invoke(*api, "FileService.getDownloadUrl", SendKey::Yes, Expect::Text,
                                   [&](RpcParamList& p) { p.AddInteger(p_lngFileID); });
        return result ? result->StringValue() : std::string();
    });
}

namespace {

// REST v2 takes the file's raw bytes as a multipart form: they are streamed from
// the file, neither encoded nor held in memory.
// False when the call failed (its box has been shown).
bool StoreFromPath(clsInfusionsoftAPI& api, std::int32_t fileId, std::int32_t contactId,
                   const std::string& fileName, const std::string& path) {
    const char* method = fileId != 0 ? "FileService.replaceFile" : "FileService.uploadFile";
    const auto note = "(the file " + path + ", streamed)";
    return detail::InvokeCarried(
               api, method, fileId != 0 ? Expect::Boolean : Expect::Integer,
               [&](RpcParamList& p) {
                   if (fileId != 0) {
                       p.AddInteger(fileId);
                   } else {
                       p.AddInteger(contactId);
                       p.AddString(fileName);
                   }
                   p.AddString(note);
               },
               [&](const RpcRequest&) {
                   auto& rest = ConnectionInternals::RestBackendOf(api);
                   return rest.Answer(
                       [&] { return rest.Files().Store(fileId, contactId, fileName, path); });
               })
        .has_value();
}

} // namespace

bool FileService::UpdateFileInFileBox(std::int32_t p_lngContactId, const std::string& p_strFile) {
    return Guarded("UpdateFileInFileBox", false, [&] {
        auto api = LockConnection(connection_);
        const std::string fileName = FileNameOf(p_strFile);
        // Only a normal, visible file counts; the path is taken literally.
        std::error_code ec;
        if (!std::filesystem::is_regular_file(p_strFile, ec) || fileName.empty() ||
            fileName.front() == '.') {
            ConnectionInternals::NoteCallFailure(
                *api, {CallFailure::What::Library, false, 0,
                       "'" + p_strFile + "' is no visible, regular file"});
            return false;
        }
        if (detail::IsRest(*api)) {
            const std::optional<std::int32_t> fileId =
                FindInFileBox(*api, p_lngContactId, fileName);
            return fileId && StoreFromPath(*api, *fileId, p_lngContactId, fileName, p_strFile);
        }
        std::string encoded = EncodeFileBase64(p_strFile);

        // Uploading after a failed lookup could put a second copy of the file in
        // the box, so a failed lookup stores nothing.
        const std::optional<std::int32_t> fileId = FindInFileBox(*api, p_lngContactId, fileName);
        if (!fileId)
            return false;
        // A failed upload or replacement has shown its own box already; it is not done.
        if (*fileId != 0)
            return ReplaceFile(*fileId, std::move(encoded));
        return UploadFile(fileName, std::move(encoded), p_lngContactId) > 0;
    });
}

} // namespace tessary
