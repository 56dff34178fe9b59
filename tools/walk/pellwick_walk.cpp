// pellwick_walk: the program pellwick exactly as shipped (RunPellwick), with its windows
// open to operation from outside over the session bus (WindowAutomation at /Walk). The
// demo and the end-to-end tests list it in the host stand-in's site.ini instead of
// pellwick and walk through the windows as a user would.
//   PELLWICK_WALK_REPORT  a file receiving "started: <pid>", then a line per window
//                         opened or closed, message box, address opened and main-window
//                         info text, and finally "ended: <exit code>"

#include "PellwickMain.h"
#include "WindowAutomation.h"
#include "pellwick/ui/frmMain.h"

#include <QFile>
#include <unistd.h>

namespace {
void Report(const QString& file, const QByteArray& line) {
    QFile report(file);
    if (!file.isEmpty() && report.open(QIODevice::Append))
        report.write(line + "\n");
}
} // namespace

int main(int argc, char* argv[]) {
    const QString report = qEnvironmentVariable("PELLWICK_WALK_REPORT");
    Report(report, "started: " + QByteArray::number(::getpid()));
    const int code = pellwick::RunPellwick(argc, argv, [&](pellwick::frmMain& mainWindow) {
        auto* automation = new pellwick::WindowAutomation(report, &mainWindow);
        if (!automation->Serve())
            qWarning("pellwick_walk: cannot serve /Walk on the session bus");
    });
    Report(report, "ended: " + QByteArray::number(code));
    return code;
}
