// The contact search's query (all contacts, the search window's six fields) against
// the local CRM sandbox over one interface, repeated on one connection, so that
// compare.py can take the process's CPU time and peak memory beside Python's.
//
//   query_bench --interface xmlrpc|rest --port N --ca FILE --key KEY --limit L --repeat R
//       exit status 0 when every query answered with L records

#include "tessary/DataService.h"
#include "tessary/clsInfusionsoftAPI.h"

#include <iostream>
#include <map>
#include <string>

namespace {

int Run(const std::map<std::string, std::string>& args) {
    auto api = tessary::clsInfusionsoftAPI::Create();
    const int port = std::stoi(args.at("--port"));
    api->SetupConnection("demo", args.at("--key"));
    api->SetServiceDomain("localhost");
    api->SetServicePort(port);
    api->SetCABundleFile(args.at("--ca"));
    if (args.at("--interface") == "rest") {
        api->SetCrmInterface(tessary::CrmInterface::RestV2);
        api->SetRestBaseUrl("https://demo.localhost:" + std::to_string(port) + "/crm/rest/v2");
    }
    tessary::RpcStruct everyone;
    everyone.AddString("Id", "%");
    tessary::RpcArray fields;
    for (const char* name : {"Id", "Company", "FirstName", "LastName", "Email", "Phone1"})
        fields.AddString(name);
    const auto limit = std::stoi(args.at("--limit"));
    for (int i = std::stoi(args.at("--repeat")); i > 0; --i) {
        const auto found = api->DataService()->Query("Contact", limit, 0, everyone, fields);
        if (!found || found->Count() != static_cast<std::size_t>(limit))
            return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> args;
    for (int i = 1; i + 1 < argc; i += 2)
        args[argv[i]] = argv[i + 1];
    try {
        return Run(args);
    } catch (const std::exception& e) {
        std::cerr << "query_bench: " << e.what() << " (see the comment at the top for usage)\n";
        return 2;
    }
}
