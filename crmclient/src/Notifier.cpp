#include "tessary/Notifier.h"

#include <iostream>
#include <mutex>

namespace tessary {
namespace {

// Used when the program installed no notifier: boxes become lines on stderr.
class StderrNotifier final : public Notifier {
public:
    void ShowMessage(const std::string& title, const std::string& text, BoxIcon) override {
        std::cerr << "[" << title << "] " << text << std::endl;
    }
    BoxAnswer AskOkCancel(const std::string& title, const std::string& text, BoxIcon) override {
        std::cerr << "[" << title << "] " << text << " -> OK" << std::endl;
        return BoxAnswer::Ok;
    }
};

std::mutex notifierMutex;
std::shared_ptr<Notifier>& installedNotifier() {
    static std::shared_ptr<Notifier> notifier;
    return notifier;
}

} // namespace

void SetNotifier(std::shared_ptr<Notifier> notifier) {
    std::lock_guard lock(notifierMutex);
    installedNotifier() = std::move(notifier);
}

std::shared_ptr<Notifier> CurrentNotifier() {
    std::lock_guard lock(notifierMutex);
    if (!installedNotifier())
        return std::make_shared<StderrNotifier>();
    return installedNotifier();
}

void ReportLibraryError(const std::string& section, const std::string& source, long number,
                        long line, const std::string& description) {
    if (number == 0 && description.empty())
        return; // no error pending
    const std::string crlf = "\r\n";
    const std::string text =
        "Error Reported From Tessary." + crlf + crlf + "Error Section: " + section + crlf +
        "Error Source: " + source + crlf + "Error Line: " + std::to_string(line) + crlf +
        "Error Number: " + std::to_string(number) + crlf + "Error Description: " + description;
    CurrentNotifier()->ShowMessage("Tessary Error", text, BoxIcon::Critical);
}

} // namespace tessary
