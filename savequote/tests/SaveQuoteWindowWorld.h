#pragma once
// The Save Quote window in a test's world: the sample quote in a fake host, the program
// connected to a CRM sandbox, debug mode on and the one window (a child of a stand-in
// main window), with ways to show it and act on it.

#include "SaveQuoteTestSupport.h"
#include "pellwick/host/HostFields.h"
#include "pellwick/savequote/frmSaveQuote.h"
#include "pellwick/testing/WindowTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <functional>
#include <stdexcept>

namespace savequote_testing {

struct SaveQuoteWorld {
    sandbox::SandboxProcess& crm;
    pellwick::testing::CoreTestScope scope;
    std::shared_ptr<pellwick::testing::FakeQuoteWerksApp> host = scope.attachFakeHost();
    QWidget mainWindow;
    pellwick::frmSaveQuote* window = new pellwick::frmSaveQuote(&mainWindow);

    explicit SaveQuoteWorld(sandbox::SandboxProcess& sandbox) : crm(sandbox) {
        LoadSampleQuote(*host);
        if (!ConnectTo(crm, scope))
            throw std::runtime_error("no connection to the CRM sandbox");
        pellwick::State().DebugMode = true;
        crm.clearLog();
        scope.boxes->clear();
    }
    template <class W = QWidget> W* child(const char* name) const {
        return window->findChild<W*>(QString::fromLatin1(name));
    }
    QComboBox* list(const char* name) const { return child<QComboBox>(name); }
    QCheckBox* box(const char* name) const { return child<QCheckBox>(name); }
    void clearSection(const QString& prefix) const {
        for (const QString& field : pellwick::hostfields::sectionFieldNames())
            host->setField(prefix + field, QString());
    }
    // Shows the window; `whileOpen` runs once it is visible; a window still open after it
    // is cancelled. True when the window opened.
    bool show(std::int32_t layout, const std::function<void()>& whileOpen) {
        bool opened = false;
        pellwick::testing::WhenWindowOpens(QStringLiteral("frmSaveQuote"), [&](QWidget*) {
            opened = true;
            whileOpen();
            if (window->isVisible())
                window->reject();
        });
        window->ShowForm(layout);
        return opened;
    }
    void ok() const { child<QPushButton>("cmdOK")->click(); }
    QString lastBox() const {
        return scope.boxes->boxes().empty() ? QString() : scope.boxes->boxes().back().text;
    }
    // The rows of the list of the commit's steps.
    QStringList steps() const {
        QStringList rows;
        const auto* list = child<QListWidget>("lstSteps");
        for (int i = 0; i < list->count(); ++i)
            rows << list->item(i)->text();
        return rows;
    }
};

} // namespace savequote_testing
