#include "rest/RestBackend.h"

namespace tessary::detail {
namespace {

// A call's parameters after the API key, counted from 1.
class Args {
public:
    explicit Args(const RpcParamList& params) : params_(params) {}
    std::size_t Count() const { return params_.Count() > 0 ? params_.Count() - 1 : 0; }
    const RpcValue& At(std::size_t n) const { return params_.Item(n + 1); }
    std::string Text(std::size_t n) const { return At(n).StringValue(); }
    std::int32_t Int(std::size_t n) const { return At(n).IntegerValue(); }
    const RpcStruct& Struct(std::size_t n) const { return Deref(At(n).StructValue(), n, "struct"); }
    const RpcArray& Array(std::size_t n) const { return Deref(At(n).ArrayValue(), n, "array"); }

private:
    template <class T>
    static const T& Deref(const std::shared_ptr<T>& value, std::size_t n, const char* what) {
        if (!value)
            throw RestFault("400", "[InvalidParameter]Parameter " + std::to_string(n + 1) +
                                       " must be " + what);
        return *value;
    }
    const RpcParamList& params_;
};

RpcResponse Params(RpcValue value) {
    RpcParamList params;
    params.AddValue(std::move(value));
    return RpcResponse(RpcStatus::ParamsReturned, std::move(params), {}, 200);
}

} // namespace

RestBackend::RestBackend(std::shared_ptr<Transport> transport, std::string baseUrl, std::string key,
                         TransportOptions options)
    : transportUsed_(transport.get()), baseUrl_(baseUrl), key_(key), options_(options),
      session_(std::move(transport), std::move(baseUrl), std::move(key), std::move(options)),
      locales_(session_), users_(session_), contacts_(session_, locales_), stages_(session_),
      opportunities_(session_, stages_), notes_(session_, users_), files_(session_),
      campaigns_(session_) {}

bool RestBackend::MadeFor(const Transport* transport, const std::string& baseUrl,
                          const std::string& key, const TransportOptions& options) const {
    return transport == transportUsed_ && baseUrl == baseUrl_ && key == key_ &&
           options.caBundleFile == options_.caBundleFile &&
           options.connectTimeout == options_.connectTimeout &&
           options.totalTimeout == options_.totalTimeout &&
           options.maxResponseBytes == options_.maxResponseBytes &&
           options.maxResponseElements == options_.maxResponseElements &&
           options.reuseIdleLimit == options_.reuseIdleLimit;
}

RpcResponse RestBackend::Answer(const std::function<RpcValue()>& work) {
    try {
        return Params(work());
    } catch (const RestHttpError& e) {
        return RpcResponse(RpcStatus::HttpError, {}, RpcFault(std::to_string(e.Status()), e.what()),
                           e.Status());
    } catch (const RestFault& e) {
        return RpcResponse(RpcStatus::FaultReturned, {}, RpcFault(e.Code(), e.what()), 200);
    } catch (const RestUnreadableAnswer& e) {
        return RpcResponse(RpcStatus::XmlParseError, {}, RpcFault("", e.what()), 200);
    }
}

RpcResponse RestBackend::Carry(const RpcRequest& request) {
    return Answer([&] { return Dispatch(request.MethodName(), request.Params()); });
}

bool RestBackend::TestConnection() {
    try {
        users_.ReadOwnUser();
        return true;
    } catch (const RestHttpError&) {
        return false;
    } catch (const RestUnreadableAnswer&) {
        return false;
    }
}

TableMapping& RestBackend::Table(const std::string& name) {
    TableMapping* const tables[] = {&contacts_, &opportunities_, &stages_, &notes_,
                                    &files_,    &campaigns_,     &users_};
    for (TableMapping* table : tables)
        if (table->Name() == name)
            return *table;
    NotAvailable("The table " + name);
}

RpcValue RestBackend::Dispatch(const std::string& method, const RpcParamList& params) {
    const Args a(params);
    if (method == "DataService.query")
        return Table(a.Text(1)).Query(a.Struct(4), a.Int(2), a.Int(3), a.Array(5));
    if (method == "DataService.findByField") {
        if (a.Count() < 6)
            throw RestFault("400", "[InvalidParameter]findByField needs a value of a type that "
                                   "can be searched for");
        RpcStruct query;
        query.AddValue(a.Text(4), a.At(5));
        return Table(a.Text(1)).Query(query, a.Int(2), a.Int(3), a.Array(6));
    }
    if (method == "DataService.load")
        return Table(a.Text(1)).Load(a.Int(2), a.Array(3));
    if (method == "DataService.add")
        return Table(a.Text(1)).Add(a.Struct(2));
    if (method == "DataService.update")
        return Table(a.Text(1)).Update(a.Int(2), a.Struct(3));
    if (method == "DataService.delete")
        return Table(a.Text(1)).Delete(a.Int(2));
    if (method == "ContactService.add")
        return contacts_.Add(a.Struct(1));
    if (method == "ContactService.update")
        return contacts_.Update(a.Int(1), a.Struct(2));
    if (method == "ContactService.load")
        return contacts_.Load(a.Int(1), a.Array(2));
    if (method == "ContactService.findByEmail")
        return contacts_.FindByEmail(a.Text(1), a.Array(2));
    if (method == "ContactService.addToGroup" || method == "ContactService.removeFromGroup")
        return contacts_.Tag(a.Int(1), a.Int(2), method == "ContactService.addToGroup");
    if (method == "ContactService.runActionSequence")
        return campaigns_.Run(a.Int(1), a.Int(2));
    if (method == "FileService.getFile")
        return files_.GetFile(a.Int(1));
    if (method == "FileService.uploadFile")
        return a.Count() >= 3 ? files_.Upload(a.Int(1), a.Text(2), a.Text(3))
                              : files_.Upload(0, a.Text(1), a.Text(2));
    if (method == "FileService.replaceFile")
        return files_.Replace(a.Int(1), a.Text(2));
    if (method == "FileService.renameFile")
        return files_.Rename(a.Int(1), a.Text(2));
    NotAvailable(method);
}

} // namespace tessary::detail
