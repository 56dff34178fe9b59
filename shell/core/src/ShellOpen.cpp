#include "pellwick/ShellOpen.h"

#include <cstdio>

namespace pellwick {
namespace {
std::shared_ptr<ShellOpener>& OpenerSlot() {
    static std::shared_ptr<ShellOpener> opener;
    return opener;
}
} // namespace

void SetShellOpener(std::shared_ptr<ShellOpener> opener) {
    OpenerSlot() = std::move(opener);
}

std::shared_ptr<ShellOpener> CurrentShellOpener() {
    return OpenerSlot();
}

bool ShellOpen(const QUrl& url) {
    const std::shared_ptr<ShellOpener> opener = OpenerSlot();
    if (opener)
        return opener->Open(url);
    std::fprintf(stderr, "[open] %s (no shell opener installed)\n",
                 url.toString().toLocal8Bit().constData());
    return false;
}

} // namespace pellwick
