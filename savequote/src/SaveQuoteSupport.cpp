#include "SaveQuoteSupport.h"

#include "pellwick/ErrorReport.h"
#include "pellwick/ProgramState.h"
#include "pellwick/host/QuoteWerksApp.h"
#include "pellwick/modMain.h"

#include <QSignalBlocker>
#include <tessary/Notifier.h>
#include <tessary/clsInfusionsoftAPI.h>

namespace pellwick::savequote {
namespace {

QuoteWerksApp& Host() {
    if (!State().QuoteWerksApp)
        throw ProgramError(errnum::ObjectRequired, QStringLiteral("Object required"));
    return *State().QuoteWerksApp;
}

} // namespace

void DebugLine(const QString& suffix) {
    DebugMessage(QStringLiteral("frmSaveQuote") + suffix);
}

QString HostField(const QString& fieldName) {
    return Host().DocumentAccess().GetFieldValue(fieldName).toString();
}

CrmServices Crm() {
    const std::shared_ptr<tessary::clsInfusionsoftAPI>& api = State().InfusionsoftConnection;
    CrmServices crm;
    if (api) {
        crm.data = api->DataService();
        crm.contacts = api->ContactService();
        crm.files = api->FileService();
        crm.helpers = api->Helpers();
    }
    if (!crm.data || !crm.contacts || !crm.files || !crm.helpers)
        throw ProgramError(errnum::ObjectRequired, QStringLiteral("Object required"));
    return crm;
}

class LibraryBoxWatch::Counter final : public tessary::Notifier {
public:
    explicit Counter(std::shared_ptr<tessary::Notifier> next) : m_next(std::move(next)) {}
    void ShowMessage(const std::string& title, const std::string& text,
                     tessary::BoxIcon icon) override {
        ++boxes;
        m_next->ShowMessage(title, text, icon);
    }
    tessary::BoxAnswer AskOkCancel(const std::string& title, const std::string& text,
                                   tessary::BoxIcon icon) override {
        ++boxes;
        return m_next->AskOkCancel(title, text, icon);
    }
    int boxes = 0;

private:
    std::shared_ptr<tessary::Notifier> m_next;
};

LibraryBoxWatch::LibraryBoxWatch()
    : m_previous(tessary::CurrentNotifier()), m_counter(std::make_shared<Counter>(m_previous)) {
    tessary::SetNotifier(m_counter);
}

LibraryBoxWatch::~LibraryBoxWatch() {
    tessary::SetNotifier(m_previous);
}

bool LibraryBoxWatch::Reported() const {
    return m_counter->boxes > 0;
}

std::optional<std::int32_t> SelectedValue(const QComboBox* box) {
    const int index = box->currentIndex();
    if (index < 0)
        return std::nullopt;
    return box->itemData(index).toInt();
}

void AppendEntry(QComboBox* box, const QString& text, std::int32_t value) {
    const QSignalBlocker quiet(box);
    const int selected = box->currentIndex();
    box->addItem(text, value);
    box->setCurrentIndex(selected);
}

void SetSelection(QComboBox* box, int index) {
    const QSignalBlocker quiet(box);
    box->setCurrentIndex(index);
}

} // namespace pellwick::savequote
