#pragma once
// How the library shows its few message boxes. The using program installs a
// Notifier (a GUI program shows real boxes); without one, messages go to stderr
// and questions are answered OK.

#include "tessary/Export.h"

#include <memory>
#include <string>

namespace tessary {

// The icon a box shows.
enum class BoxIcon { None, Critical, Exclamation, Information, Question };
// The button a user chose in an OK/Cancel box.
enum class BoxAnswer { Ok, Cancel };

// What shows the library's boxes and debug lines; the program implements it.
class TESSARY_API Notifier {
public:
    virtual ~Notifier() = default;
    // A box with one OK button; returns when the user has closed it.
    virtual void ShowMessage(const std::string& title, const std::string& text, BoxIcon icon) = 0;
    // A box with OK and Cancel; returns the user's answer.
    virtual BoxAnswer AskOkCancel(const std::string& title, const std::string& text,
                                  BoxIcon icon) = 0;
    // A line for the program's debug log (what the REST v2 interface left out of a
    // call); the default writes nothing.
    virtual void DebugLine(const std::string&) {}
};

// Installs the notifier used from now on; nullptr restores the stderr fallback.
TESSARY_API void SetNotifier(std::shared_ptr<Notifier> notifier);
// The notifier in force; never null.
TESSARY_API std::shared_ptr<Notifier> CurrentNotifier();

// Shows the library's error report ("Tessary Error") for a failure caught in the
// library operation `section`. Lines, in order, joined by CR LF:
//   "Error Reported From Tessary.", "", "Error Section: " + section,
//   "Error Source: " + source, "Error Line: " + line, "Error Number: " + number,
//   "Error Description: " + description
TESSARY_API void ReportLibraryError(const std::string& section, const std::string& source,
                                    long number, long line, const std::string& description);

} // namespace tessary
