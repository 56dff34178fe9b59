#pragma once
// Every message box of the program goes through this seam. The program installs a
// presenter that shows real boxes; tests install one that answers from a queue and
// records each box. Without a presenter, boxes are written to stderr and answered
// with their default button.

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace pellwick {

enum class MsgIcon { None, Critical, Exclamation, Information, Question };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class MsgAnswer { Ok, Cancel, Yes, No, Retry, Abort, Ignore };

// The program's title, used where a box names no other.
inline const QString kProgramTitle = QStringLiteral("Pellwick");

struct MessageBoxRequest {
    QString title;
    QString text;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
    // The button that Enter presses; empty means the first button of the set.
    std::optional<MsgAnswer> defaultButton;
    // Captions in place of the set's own, in the set's order ("&Finish", "&Start Again"
    // for YesNo); empty keeps them.
    QStringList buttonTexts;
};

class MessageBoxPresenter {
public:
    virtual ~MessageBoxPresenter() = default;
    // Shows the box modally and returns the button the user chose.
    virtual MsgAnswer Present(const MessageBoxRequest& request) = 0;
};

// Installs the presenter used from now on; nullptr restores the stderr fallback.
void SetMessageBoxPresenter(std::shared_ptr<MessageBoxPresenter> presenter);
// The presenter in force, or nullptr when the stderr fallback is in use.
std::shared_ptr<MessageBoxPresenter> CurrentMessageBoxPresenter();

// The first button of a set: what a box answers when closed without a choice.
MsgAnswer FirstButton(MsgButtons buttons);

// Shows one box through the installed presenter.
MsgAnswer ShowMessageBox(const MessageBoxRequest& request);

// The common form: text, icon, buttons, title (default "Pellwick"), default button.
MsgAnswer MsgBox(const QString& text, MsgIcon icon = MsgIcon::None,
                 MsgButtons buttons = MsgButtons::Ok, const QString& title = kProgramTitle,
                 std::optional<MsgAnswer> defaultButton = std::nullopt);

// Makes the CRM library show its boxes through this seam as well.
void InstallTessaryNotifier();

} // namespace pellwick
