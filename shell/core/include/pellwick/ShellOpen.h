#pragma once
// The system shell's "open" (web addresses, mailto: addresses, folders) behind a seam,
// so tests record what would be opened. The program installs the desktop opener;
// without one, nothing is opened and the request is written to stderr.

#include <QUrl>
#include <memory>

namespace pellwick {

class ShellOpener {
public:
    virtual ~ShellOpener() = default;
    // Opens the address with its default handler; false when that failed.
    virtual bool Open(const QUrl& url) = 0;
};

// Installs the opener used from now on; nullptr restores the stderr fallback.
void SetShellOpener(std::shared_ptr<ShellOpener> opener);
std::shared_ptr<ShellOpener> CurrentShellOpener();

// Opens the address through the installed opener; false when it could not be opened.
bool ShellOpen(const QUrl& url);

} // namespace pellwick
