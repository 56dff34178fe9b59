#include "pellwick/contacts/frmContacts.h"

#include "pellwick/DesktopSeams.h"
#include "pellwick/ErrorReport.h"
#include "pellwick/WaitCursor.h"
#include "pellwick/host/QuoteWerksApp.h"
#include "pellwick/modMain.h"
#include "pellwick/modQWAPI.h"
#include "ui_frmContacts.h"

#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <limits>
#include <tessary/RpcValue.h>

namespace pellwick {

namespace {

const QString kName = QStringLiteral("frmContacts");

struct ColumnSpec {
    const char* header;
    int width;
};
// Widths in pixels: 575 in all, the list's inner width.
constexpr std::array<ColumnSpec, kContactColumnCount> kColumns = {{{"Id", 50},
                                                                   {"Company", 100},
                                                                   {"FirstName", 100},
                                                                   {"LastName", 100},
                                                                   {"Phone 1", 100},
                                                                   {"Email", 125}}};
constexpr int kListInnerWidth = 575;

} // namespace

frmContacts::frmContacts(QWidget* parent, Calls calls)
    : QDialog(parent), m_calls(std::move(calls)), ui_(std::make_unique<Ui::frmContacts>()) {
    if (!m_calls.QueryContacts)
        m_calls.QueryContacts = SharedConnectionContactQuery(m_calls.doors.crm);
    if (!m_calls.SendContactToQuoteWerks)
        m_calls.SendContactToQuoteWerks = [](std::int16_t type, std::int32_t id) {
            SendContactToQuoteWerks(type, id);
        };

    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    BindControls();
    // In frmContacts.ui: Search is the default button, so Enter searches; the results
    // label is plain text, never read as markup; the list has an accessible name, as item
    // views take none from a label.

    // Every column fits beside the scroll bar; the frame and the bar are the style's.
    lstContacts->setMinimumSize(kListInnerWidth + 2 * lstContacts->frameWidth() +
                                    lstContacts->verticalScrollBar()->sizeHint().width(),
                                240);

    for (int index = 0; index < int(cmdSendContactInfo.size()); ++index)
        connect(cmdSendContactInfo[index], &QPushButton::clicked, this,
                [this, index] { cmdSendContactInfo_Click(index); });
    connect(txtSearch, &QLineEdit::textChanged, this, &frmContacts::txtSearch_Change);
    connect(cmdSearch, &QPushButton::clicked, this, &frmContacts::cmdSearch_Click);
    // The row the keyboard moves to (Tab into the list makes the first one current) is
    // the row the buttons act on, and they can be pressed only while there is one.
    connect(lstContacts, &QTreeWidget::currentItemChanged, this, &frmContacts::SelectCurrentRow);
    connect(lstContacts, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (lstContacts->selectedItems().isEmpty())
            SetResultButtonsEnabled(false);
        else
            lstContacts_ItemClick();
    });
    connect(cmdSelectContact, &QPushButton::clicked, this, &frmContacts::cmdSelectContact_Click);
    connect(cmdInfusionsoft, &QPushButton::clicked, this, &frmContacts::cmdInfusionsoft_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmContacts::cmdClose_Click);

    ResetControls();
}

frmContacts::~frmContacts() = default;

// The handlers reach the controls by their names in frmContacts.ui.
void frmContacts::BindControls() {
    txtSearch = ui_->txtSearch;
    cmdSearch = ui_->cmdSearch;
    lblResults = ui_->lblResults;
    lstContacts = ui_->lstContacts;
    cmdSendContactInfo = {ui_->cmdSendContactInfo_0, ui_->cmdSendContactInfo_1,
                          ui_->cmdSendContactInfo_2, ui_->cmdSendContactInfo_3};
    cmdSelectContact = ui_->cmdSelectContact;
    cmdInfusionsoft = ui_->cmdInfusionsoft;
    cmdClose = ui_->cmdClose;
}

std::int32_t frmContacts::ShowForm(std::int16_t p_intQWType, std::int16_t p_intQWSource) {
    if (m_blnOpen) {
        // A second contact selection while the window is open: the open one stays as it
        // is, in front.
        Guarded("ShowForm", [&] {
            DebugMessage(kName +
                         QStringLiteral(" - ShowForm - Already open - Params: "
                                        "p_intQWType = ") +
                         QString::number(p_intQWType) + QStringLiteral(", p_intQWSource = ") +
                         QString::number(p_intQWSource));
            raise();
            activateWindow();
        });
        return 0;
    }
    m_blnOpen = true;
    const auto closed = qScopeGuard([this] { m_blnOpen = false; });

    const bool ready = Guarded("ShowForm", false, [&] {
        m_intQWType = p_intQWType;
        m_intQWSource = p_intQWSource;
        m_lngContactID = 0;
        ResetControls();

        std::array<QString, 3> values; // e-mail, company, contact name
        if (p_intQWType >= ContactSoldTo && p_intQWType <= ContactBillTo) {
            const QString prefix = GetNameForContactType(p_intQWType);
            QuoteWerksDocument& document = m_calls.doors.Document();
            values[0] = document.GetFieldValue(prefix + QStringLiteral("Email")).toString();
            values[1] = document.GetFieldValue(prefix + QStringLiteral("Company")).toString();
            values[2] = document.GetFieldValue(prefix + QStringLiteral("Contact")).toString();
        }
        const auto first = std::find_if(values.begin(), values.end(),
                                        [](const QString& value) { return !value.isEmpty(); });
        if (first != values.end()) {
            txtSearch->setText(*first);
            cmdSearch_Click();
        }
        return true;
    });
    if (!ready)
        return 0;
    exec();
    return m_lngContactID;
}

void frmContacts::ResetControls() {
    m_blnSearching = false;
    {
        const QSignalBlocker quiet(txtSearch);
        txtSearch->clear();
    }
    lstContacts->clear();
    m_rows.clear();
    CreateColumns();
    lstContacts->setUpdatesEnabled(true);
    lblResults->setText(QStringLiteral("Not Searched"));
    txtSearch->setEnabled(true);
    cmdSearch->setEnabled(true);
    for (QPushButton* button : cmdSendContactInfo) {
        button->setVisible(!ChooseOnly());
        button->setEnabled(false);
    }
    cmdSelectContact->setVisible(ChooseOnly());
    cmdSelectContact->setEnabled(false);
    cmdInfusionsoft->setEnabled(false);
    cmdClose->setEnabled(true);
    txtSearch->setFocus();
}

void frmContacts::CreateColumns() {
    QStringList headers;
    for (const ColumnSpec& column : kColumns)
        headers.append(QString::fromLatin1(column.header));
    lstContacts->setHeaderLabels(headers);
    for (int i = 0; i < kContactColumnCount; ++i)
        lstContacts->setColumnWidth(i, kColumns[i].width);
}

void frmContacts::SetResultButtonsEnabled(bool enabled) {
    cmdInfusionsoft->setEnabled(enabled);
    for (QPushButton* button : cmdSendContactInfo)
        button->setEnabled(enabled);
    if (ChooseOnly())
        cmdSelectContact->setEnabled(enabled);
}

void frmContacts::SelectCurrentRow() {
    const QModelIndex current = lstContacts->currentIndex();
    if (current.isValid() && !lstContacts->selectionModel()->isSelected(current))
        lstContacts->selectionModel()->select(current, QItemSelectionModel::ClearAndSelect |
                                                           QItemSelectionModel::Rows);
}

void frmContacts::cmdSearch_Click() {
    int total = 0;
    Guarded("cmdSearch_Click", [&] {
        m_blnSearching = true;
        m_blnCut = false;
        SetResultButtonsEnabled(false);
        cmdSearch->setEnabled(false);
        lblResults->setText(QStringLiteral("Searching..."));
        lstContacts->setUpdatesEnabled(false);
        CreateColumns();
        lstContacts->clear();
        m_rows.clear();

        // The queries run on the CRM worker: the window stays alive, its buttons held.
        for (const ContactQuery& query : ContactSearchQueries(txtSearch->text()))
            total += SearchContacts(ContactQueryData(query));
    });
    FinishSearch(total);
}

// Every way out of a search ends here, so that a failed search leaves a window that can
// search again.
void frmContacts::FinishSearch(int total) {
    Guarded("cmdSearch_Click", [&] {
        m_blnSearching = false;
        lstContacts->setUpdatesEnabled(true);
        lblResults->setText(SearchResultsText(total, m_blnCut));
        SetResultButtonsEnabled(!lstContacts->selectedItems().isEmpty());
        txtSearch_Change();
    });
}

std::int16_t frmContacts::SearchContacts(const tessary::RpcStruct& p_sctQueryData) {
    int count = 0;
    QList<QTreeWidgetItem*> added;
    // New rows go into the list in one insertion per query; on a failure the rows read so
    // far are kept.
    const auto listAdded = [&] {
        lstContacts->addTopLevelItems(added);
        added.clear();
    };
    const auto result = [&] {
        return static_cast<std::int16_t>(
            std::min(count, int(std::numeric_limits<std::int16_t>::max())));
    };
    const std::shared_ptr<tessary::RpcArray> records =
        m_calls.QueryContacts(p_sctQueryData, ContactSearchFields());
    if (!records)
        return 0;
    m_blnCut = m_blnCut || records->Count() >= std::size_t(kContactQueryLimit);
    try {
        added.reserve(static_cast<qsizetype>(records->Count()));
        for (const tessary::RpcValue& element : records->Elements()) {
            const std::shared_ptr<tessary::RpcStruct> record = element.StructValue();
            if (!record)
                throw ObjectNotSetError();
            ContactRow row = ContactRowFromRecord(*record);
            QTreeWidgetItem*& listed = m_rows[row.key];
            if (!listed) {
                QStringList texts;
                texts.reserve(kContactColumnCount);
                for (QString& text : row.columns)
                    texts.append(std::move(text));
                listed = new QTreeWidgetItem(texts);
                listed->setData(ColId, Qt::UserRole, row.key);
                added.append(listed);
            }
            ++count;
        }
        listAdded();
        return result();
    } catch (...) {
        try {
            listAdded();
        } catch (...) {
        }
        ReportCurrentError(QStringLiteral("SearchContacts"));
        return result();
    }
}

void frmContacts::txtSearch_Change() {
    Guarded("txtSearch_Change", [&] {
        if (!m_blnSearching)
            cmdSearch->setEnabled(!TrimBlanks(txtSearch->text()).isEmpty());
    });
}

void frmContacts::lstContacts_ItemClick() {
    Guarded("lstContacts_ItemClick", [&] { SetResultButtonsEnabled(!m_blnSearching); });
}

std::optional<std::int32_t> frmContacts::SelectedContactId() const {
    const QList<QTreeWidgetItem*> selected = lstContacts->selectedItems();
    if (selected.isEmpty())
        return std::nullopt;
    return ContactIdFromKey(selected.first()->data(ColId, Qt::UserRole).toString());
}

void frmContacts::cmdSelectContact_Click() {
    Guarded("cmdSelectContact_Click", [&] {
        const std::optional<std::int32_t> id = SelectedContactId();
        if (!id)
            return;
        m_lngContactID = *id;
        done(QDialog::Accepted);
    });
}

void frmContacts::cmdSendContactInfo_Click(int Index) {
    Guarded("cmdSendContactInfo_Click", [&] {
        const std::optional<std::int32_t> id = SelectedContactId();
        if (!id)
            return;
        m_lngContactID = *id;
        {
            const WaitCursor busy;
            if (Index >= ContactSoldTo && Index <= ContactBillTo) {
                m_calls.SendContactToQuoteWerks(static_cast<std::int16_t>(Index), *id);
            } else {
                for (std::int16_t type : {ContactSoldTo, ContactShipTo, ContactBillTo})
                    m_calls.SendContactToQuoteWerks(type, *id);
            }
        }
        done(QDialog::Accepted);
    });
}

void frmContacts::cmdInfusionsoft_Click() {
    Guarded("cmdInfusionsoft_Click", [&] {
        if (const std::optional<std::int32_t> id = SelectedContactId())
            OpenInfusionsoftPage(PageContact, *id);
    });
}

void frmContacts::cmdClose_Click() {
    Guarded("cmdClose_Click", [&] { done(QDialog::Rejected); });
}

void frmContacts::reject() {
    cmdClose_Click();
}

void frmContacts::Form_Load() {
    Guarded("Form_Load", [&] {
        if (m_blnActivated)
            return;
        // On top and back again once the window is on screen: lifts it above the host's
        // window the first time it opens.
        QTimer::singleShot(0, this, [this] {
            Guarded("Form_Load", [this] {
                SetWindowOnTop(this, true);
                SetWindowOnTop(this, false);
            });
        });
    });
}

void frmContacts::Form_Activate() {
    try {
        if (m_blnActivated) {
            txtSearch->setFocus();
            txtSearch->selectAll();
        } else {
            m_blnActivated = true;
        }
    } catch (...) {
    }
}

bool frmContacts::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate)
        Form_Activate();
    return QDialog::event(e);
}

void frmContacts::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!e->spontaneous())
        Form_Load();
}

} // namespace pellwick
