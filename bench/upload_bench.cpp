// Stores one file in a contact's file box in the local CRM sandbox, as the program
// does (FileService::UpdateFileInFileBox: a lookup, then an upload or replacement),
// once per run, so that compare.py can take the process's peak memory and CPU time
// beside curl and Python uploading the same file.
//
//   upload_bench --port N --ca FILE --key KEY --contact ID [--interface rest] FILE
//       stores FILE (over REST v2 with --interface rest); exit status 0 when it was
//       stored
//   upload_bench --body OUT --key KEY --file-id ID FILE
//       writes the "FileService.replaceFile" call that stores FILE under ID, byte
//       for byte as the library sends it, for the reference clients to post

#include "XmlRpcCodec.h"
#include "tessary/Encoding.h"
#include "tessary/FileService.h"
#include "tessary/clsInfusionsoftAPI.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <string>

namespace {

int Store(const std::map<std::string, std::string>& args, const std::string& file) {
    auto api = tessary::clsInfusionsoftAPI::Create();
    api->SetupConnection("demo", args.at("--key"));
    api->SetServiceDomain("localhost");
    api->SetServicePort(std::stoi(args.at("--port")));
    api->SetCABundleFile(args.at("--ca"));
    if (args.count("--interface") && args.at("--interface") == "rest") {
        api->SetCrmInterface(tessary::CrmInterface::RestV2);
        api->SetRestBaseUrl("https://demo.localhost:" + args.at("--port") + "/crm/rest/v2");
    }
    const bool stored =
        api->FileService()->UpdateFileInFileBox(std::stoi(args.at("--contact")), file);
    return stored && api->XMLRPC_Response() &&
                   api->XMLRPC_Response()->Status() == tessary::RpcStatus::ParamsReturned
               ? 0
               : 1;
}

int WriteBody(const std::map<std::string, std::string>& args, const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(in), {});
    tessary::RpcParamList params;
    params.AddString(args.at("--key"));
    params.AddInteger(std::stoi(args.at("--file-id")));
    params.AddString(tessary::EncodeBase64(bytes));
    std::ofstream(args.at("--body"), std::ios::binary)
        << tessary::detail::EncodeCall("FileService.replaceFile", params);
    return in ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> args;
    std::string file;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--", 0) == 0 && i + 1 < argc)
            args[arg] = argv[++i];
        else
            file = arg;
    }
    try {
        return args.count("--body") ? WriteBody(args, file) : Store(args, file);
    } catch (const std::exception& e) {
        std::cerr << "upload_bench: " << e.what() << " (see the comment at the top for usage)\n";
        return 2;
    }
}
