#pragma once
// The REST v2 translation of a connection: takes the XML-RPC request Invoke has
// filled (method name, the key, the parameters) and answers with the response
// the XML-RPC API would have given (crmclient/docs/REST-V2.md). It owns what the
// connection keeps between calls: the HTTP session with its key form and page
// tokens, the default stage, the own user, the sequence map, the locale look-ups.

#include "rest/CampaignMapping.h"
#include "rest/ContactMapping.h"
#include "rest/FileMapping.h"
#include "rest/LocaleLookup.h"
#include "rest/NoteMapping.h"
#include "rest/OpportunityMapping.h"
#include "rest/RestSession.h"
#include "rest/UserMapping.h"
#include "tessary/RpcRequest.h"

#include <functional>
#include <memory>
#include <string>

namespace tessary::detail {

class RestBackend {
public:
    RestBackend(std::shared_ptr<Transport> transport, std::string baseUrl, std::string key,
                TransportOptions options);
    RestBackend(const RestBackend&) = delete;
    RestBackend& operator=(const RestBackend&) = delete;

    // Whether this backend was made for these settings.
    bool MadeFor(const Transport* transport, const std::string& baseUrl, const std::string& key,
                 const TransportOptions& options) const;

    // The XML-RPC call carried out over REST: ParamsReturned with the XML-RPC-shaped
    // value; HttpError (the HTTP status, the server's message) on an error answer;
    // FaultReturned where XML-RPC answers with a fault; XmlParseError for an answer
    // that is no JSON. Throws TransportError when no answer came, LibraryError for
    // a call REST v2 cannot carry.
    RpcResponse Carry(const RpcRequest& request);
    // The same response rules around another piece of work (UpdateFileInFileBox).
    RpcResponse Answer(const std::function<RpcValue()>& work);

    // The connection test: GET /oauth/connect/userinfo answered with 2xx.
    bool TestConnection();

    FileMapping& Files() { return files_; }

private:
    RpcValue Dispatch(const std::string& method, const RpcParamList& params);
    TableMapping& Table(const std::string& name);

    const Transport* transportUsed_;
    std::string baseUrl_;
    std::string key_;
    TransportOptions options_;
    RestSession session_;
    LocaleLookup locales_;
    UserMapping users_;
    ContactMapping contacts_;
    StageMapping stages_;
    OpportunityMapping opportunities_;
    NoteMapping notes_;
    FileMapping files_;
    CampaignMapping campaigns_;
};

} // namespace tessary::detail
