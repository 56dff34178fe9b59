#pragma once
// The contact search window: finds CRM contacts from one search text and puts the picked
// contact into a contact section of the open quote (section mode, kinds 0, 1, 2), or
// hands its Id back to the caller (choose-only mode, kind -1). One object serves the
// whole run; every ShowForm starts it afresh.
//
// The layout is frmContacts.ui. Controls carry their names as objectName; the four
// section buttons, one control array with one click handler, are "cmdSendContactInfo_0"
// to "cmdSendContactInfo_3".

#include "pellwick/WindowDoors.h"
#include "pellwick/contacts/ContactSearch.h"

#include <QDialog>
#include <QHash>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace Ui {
class frmContacts;
}

namespace pellwick {

class frmContacts : public QDialog {
    Q_OBJECT
public:
    // What the window calls outside itself. Left empty, a call goes to the CRM door and to
    // SendContactToQuoteWerks; tests record instead.
    struct Calls {
        ContactQueryRunner QueryContacts;
        std::function<void(std::int16_t type, std::int32_t contactId)> SendContactToQuoteWerks;
        WindowDoors doors;
    };

    explicit frmContacts(QWidget* parent = nullptr, Calls calls = {});
    ~frmContacts() override;

    // Opens the window modally in the mode p_intQWType gives and returns, once it has
    // closed, the Id of the contact chosen during this showing (0: none). While the
    // window is already open it only raises it and returns 0.
    std::int32_t ShowForm(std::int16_t p_intQWType, std::int16_t p_intQWSource);

    // Runs one CRM contact query and lists the contacts not listed yet; returns the
    // number of records the query gave, those already listed included. A query that
    // cannot be sent at all (no CRM connection) fails the whole search.
    std::int16_t SearchContacts(const tessary::RpcStruct& p_sctQueryData);

    void cmdSearch_Click();
    void txtSearch_Change();
    void lstContacts_ItemClick();
    void cmdSelectContact_Click();
    void cmdSendContactInfo_Click(int Index);
    void cmdInfusionsoft_Click();
    void cmdClose_Click();
    void Form_Load();
    void Form_Activate();

    // Escape and the window frame close as cmdClose does: nothing is chosen or written.
    void reject() override;

protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    bool ChooseOnly() const { return m_intQWType == -1; }
    void BindControls();
    void ResetControls();
    void CreateColumns();
    void SetResultButtonsEnabled(bool enabled);
    void SelectCurrentRow();
    void FinishSearch(int total);
    // The Id of the selected row; none when no row is selected.
    std::optional<std::int32_t> SelectedContactId() const;

    Calls m_calls;
    std::int16_t m_intQWType = 0;
    std::int16_t m_intQWSource = 0;
    std::int32_t m_lngContactID = 0;
    bool m_blnSearching = false;
    bool m_blnCut = false; // a query of this search gave as many records as it may
    bool m_blnActivated = false;
    bool m_blnOpen = false;
    // Row key ("c" + Id) -> its row, so that a contact found twice is listed once.
    QHash<QString, QTreeWidgetItem*> m_rows;

    std::unique_ptr<Ui::frmContacts> ui_;
    QLineEdit* txtSearch;
    QPushButton* cmdSearch;
    QLabel* lblResults;
    QTreeWidget* lstContacts;
    std::array<QPushButton*, 4> cmdSendContactInfo;
    QPushButton* cmdSelectContact;
    QPushButton* cmdInfusionsoft;
    QPushButton* cmdClose;
};

} // namespace pellwick
