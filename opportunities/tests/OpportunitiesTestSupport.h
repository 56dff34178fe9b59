#pragma once
// What the opportunities window tests share: showing the window and acting on it while it
// is open, and its state in one line.

#include "pellwick/opportunities/frmOpportunities.h"
#include "pellwick/testing/WindowTestSupport.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <memory>
#include <optional>

namespace opportunities_testing {

template <class W = QWidget> W* Child(QWidget* window, const char* name) {
    W* widget = window->findChild<W*>(QString::fromLatin1(name));
    if (!widget)
        qFatal("no control %s", name);
    return widget;
}
inline QPushButton* Button(QWidget* window, const char* name) {
    return Child<QPushButton>(window, name);
}
inline QTreeWidget* List(QWidget* window) {
    return Child<QTreeWidget>(window, "lstOpportunities");
}

// The Id of the selected row, 0 when none is.
inline int SelectedRow(QWidget* window) {
    const QList<QTreeWidgetItem*> selected = List(window)->selectedItems();
    return selected.isEmpty() ? 0 : selected.first()->text(pellwick::opportunities::ColId).toInt();
}

// The user clicks the row of this opportunity.
inline void Select(QWidget* window, int id) {
    QTreeWidget* list = List(window);
    const QList<QTreeWidgetItem*> found =
        list->findItems(QString::number(id), Qt::MatchExactly, pellwick::opportunities::ColId);
    if (found.isEmpty())
        qFatal("no opportunity %d listed", id);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(found.first()).center());
}

// The user picks an entry.
inline void Pick(QWidget* window, const char* combo, int index) {
    auto* box = Child<QComboBox>(window, combo);
    box->setCurrentIndex(index);
    emit box->activated(index);
}

// One column's texts in the order shown.
inline QString Column(QWidget* window, int column) {
    QStringList texts;
    for (int i = 0; i < List(window)->topLevelItemCount(); ++i)
        texts << List(window)->topLevelItem(i)->text(column);
    return texts.join(QLatin1Char(','));
}

// The window in one line: quote caption | contact | the listed Ids in order, the
// selected one marked "*" | status | stage picked | the actions enabled.
inline QString Summary(QWidget* w) {
    QStringList ids;
    for (int i = 0; i < List(w)->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = List(w)->topLevelItem(i);
        ids << item->text(pellwick::opportunities::ColId) +
                   (item->isSelected() ? QStringLiteral("*") : QString());
    }
    QStringList on;
    for (const auto& [name, word] : {std::pair{"cmdNew", "new"},
                                     {"cmdUpdate", "update"},
                                     {"cmdMove", "move"},
                                     {"cmdInfusionsoft", "open"},
                                     {"cmdFind", "find"}})
        if (Button(w, name)->isEnabled())
            on << QString::fromLatin1(word);
    return QStringList{Child<QLabel>(w, "lblQuoteDocNo")->text(),
                       Child<QComboBox>(w, "cboContact")->currentText(),
                       ids.join(QLatin1Char(',')),
                       Child<QLabel>(w, "lblStatus")->text(),
                       Child<QComboBox>(w, "cboStage")->currentText(),
                       on.join(QLatin1Char(' '))}
        .join(QLatin1Char('|'));
}

// Shows the window for the contact and runs `drive` once it is open. Gives "" when the
// window opened and was closed by the drive, "left open" (and closes it) or "never
// opened".
inline QString ShowAndDrive(pellwick::frmOpportunities& window, std::int32_t contactId,
                            const std::function<void(QWidget*)>& drive) {
    // Shared with the wait, which outlives this call when the window never opens.
    auto outcome = std::make_shared<std::optional<QString>>(QStringLiteral("never opened"));
    pellwick::testing::WhenWindowOpens(
        QStringLiteral("frmOpportunities"), [&window, drive, outcome](QWidget* w) {
            if (!*outcome)
                return; // a later showing's window
            drive(w);
            *outcome = w->isVisible() ? QStringLiteral("left open") : QString();
            if (w->isVisible())
                window.done(QDialog::Rejected);
        });
    window.ShowForm(contactId);
    const QString result = outcome->value();
    outcome->reset();
    return result;
}

} // namespace opportunities_testing
