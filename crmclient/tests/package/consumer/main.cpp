// A program outside the project that uses the installed library.
#include <iostream>
#include <memory>
#include <tessary/tessary.h>

namespace {
class Counting final : public tessary::Notifier {
public:
    int boxes = 0;
    void ShowMessage(const std::string&, const std::string&, tessary::BoxIcon) override { ++boxes; }
    tessary::BoxAnswer AskOkCancel(const std::string&, const std::string&,
                                   tessary::BoxIcon) override {
        ++boxes;
        return tessary::BoxAnswer::Ok;
    }
};
} // namespace

int main() {
    auto notifier = std::make_shared<Counting>();
    tessary::SetNotifier(notifier);
    auto api = tessary::clsInfusionsoftAPI::Create();
    api->SetupConnection("demo", "key");
    api->SetServiceDomain("localhost");
    api->SetServicePort(1); // nothing listens there: the call fails in the transport
    const bool answered = api->TestConnection();
    const std::string md5 = api->Helpers()->MD5Encrypt("abc");
    tessary::RpcStruct record;
    record.AddString("Id", "42");
    const int id = api->Helpers()->SafeIntegerValue(record, "Id");
    const bool ok =
        !answered && md5 == "900150983cd24fb0d6963f7d28e17f72" && id == 42 && notifier->boxes == 0;
    std::cout << (ok ? "consumer ok" : "consumer FAILED") << std::endl;
    return ok ? 0 : 1;
}
