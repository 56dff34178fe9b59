#include "HostWindow.h"

#include "QuoteDocument.h"
#include "StandInHost.h"

#include <QAction>
#include <QCloseEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QStatusBar>
#include <QToolBar>

namespace hoststandin {

namespace {

bool isNotesField(const QString& name) {
    return name.endsWith(QLatin1String("Notes"));
}

} // namespace

HostWindow::HostWindow(StandInHost& host, QWidget* parent) : QMainWindow(parent), m_host(host) {
    setObjectName(QStringLiteral("frmHostStandIn"));
    buildForm();
    buildActions();
    connect(&host, &StandInHost::displayRefresh, this, &HostWindow::repaintFromDocument);
    connect(&host, &StandInHost::documentOpenChanged, this, &HostWindow::repaintFromDocument);
    connect(&host, &StandInHost::status, this,
            [this](const QString& text) { statusBar()->showMessage(text, 10000); });
    repaintFromDocument();
    resize(1100, 780);
}

void HostWindow::buildForm() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);

    auto* documentBox = new QGroupBox(tr("Document"));
    // Number, name and total on the left, the four notes on the right.
    auto* documentColumns = new QHBoxLayout(documentBox);
    auto* headerForm = new QFormLayout;
    auto* notesForm = new QFormLayout;
    documentColumns->addLayout(headerForm, 1);
    documentColumns->addLayout(notesForm, 2);
    for (const QString& name : QuoteDocument::documentFieldNames()) {
        QWidget* editor = nullptr;
        if (isNotesField(name)) {
            auto* notes = new QPlainTextEdit;
            notes->setMaximumHeight(48);
            connect(notes, &QPlainTextEdit::textChanged, this, [this, name, notes] {
                if (!m_repainting)
                    m_host.editField(name, notes->toPlainText());
            });
            editor = notes;
        } else {
            auto* line = new QLineEdit;
            connect(line, &QLineEdit::textEdited, this, [this, name](const QString& text) {
                m_host.editField(name, text);
                if (name == QLatin1String("DocNo"))
                    updateTitle();
            });
            editor = line;
        }
        editor->setObjectName(QStringLiteral("txt") + name);
        (isNotesField(name) ? notesForm : headerForm)->addRow(name, editor);
        m_editors.insert(name, editor);
    }
    grid->addWidget(documentBox, 0, 0, 1, 3);

    for (int type = 0; type < 3; ++type) {
        const QString prefix = QuoteDocument::sectionPrefix(type);
        auto* box = new QGroupBox(prefix);
        auto* form = new QFormLayout(box);
        for (const QString& field : QuoteDocument::sectionFieldNames()) {
            const QString name = prefix + field;
            auto* line = new QLineEdit;
            line->setObjectName(QStringLiteral("txt") + name);
            connect(line, &QLineEdit::textEdited, this,
                    [this, name](const QString& text) { m_host.editField(name, text); });
            form->addRow(field, line);
            m_editors.insert(name, line);
        }
        grid->addWidget(box, 1, type);
    }

    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setWidget(page);
    setCentralWidget(scroll);
}

void HostWindow::buildActions() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    QMenu* contacts = menuBar()->addMenu(tr("&Contacts"));
    QToolBar* toolbar = addToolBar(tr("Actions"));

    auto report = [this](bool ok, const QString& message) {
        if (!ok)
            statusBar()->showMessage(message, 10000);
    };
    auto add = [&](QMenu* menu, const QString& text, const QString& objectName, auto slot) {
        QAction* action = menu->addAction(text);
        action->setObjectName(objectName);
        toolbar->addAction(action);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };

    m_documentActions << add(file, tr("&Save"), QStringLiteral("actSave"), [this, report] {
        QString message;
        report(m_host.save(&message) == 0, message);
    });
    m_documentActions << add(file, tr("&E-mail"), QStringLiteral("actEmail"), [this, report] {
        QString message;
        report(m_host.email(&message), message);
    });
    m_documentActions << add(file, tr("&Print"), QStringLiteral("actPrint"), [this, report] {
        QString message;
        report(m_host.print(&message), message);
    });
    file->addSeparator();
    m_documentActions << add(file, tr("&Close document"), QStringLiteral("actCloseDocument"),
                             [this] { m_host.closeDocument(); });
    m_openAction = add(file, tr("&Open document"), QStringLiteral("actOpenDocument"),
                       [this] { m_host.openDocument(); });
    file->addSeparator();
    add(file, tr("E&xit"), QStringLiteral("actExit"), [this] { m_host.exit(); });

    toolbar->addSeparator();
    for (int type = 0; type < 3; ++type) {
        const QString prefix = QuoteDocument::sectionPrefix(type);
        m_documentActions << add(
            contacts, tr("Select %1 contact...").arg(prefix), QStringLiteral("actSelect") + prefix,
            [this, type, report] {
                QString message;
                report(m_host.selectContact(static_cast<qint16>(type), 0, &message), message);
            });
    }
}

QString HostWindow::shownText(const QString& canonical) const {
    QWidget* editor = m_editors.value(canonical);
    if (auto* line = qobject_cast<QLineEdit*>(editor))
        return line->text();
    if (auto* notes = qobject_cast<QPlainTextEdit*>(editor))
        return notes->toPlainText();
    return {};
}

void HostWindow::typeIntoField(const QString& canonical, const QString& text) {
    QWidget* editor = m_editors.value(canonical);
    if (!editor || m_host.editField(canonical, text) != StandInHost::FieldStatus::Ok)
        return;
    setShownText(editor, text);
    if (canonical == QLatin1String("DocNo"))
        updateTitle();
}

void HostWindow::setShownText(QWidget* editor, const QString& text) {
    const bool wasRepainting = m_repainting;
    m_repainting = true;
    if (auto* line = qobject_cast<QLineEdit*>(editor))
        line->setText(text);
    else if (auto* notes = qobject_cast<QPlainTextEdit*>(editor))
        notes->setPlainText(text);
    m_repainting = wasRepainting;
}

void HostWindow::repaintFromDocument() {
    const bool open = m_host.documentOpen();
    for (auto it = m_editors.cbegin(); it != m_editors.cend(); ++it)
        setShownText(it.value(), open ? m_host.quote().value(it.key()) : QString());
    centralWidget()->setEnabled(open);
    for (QAction* action : std::as_const(m_documentActions))
        action->setEnabled(open);
    m_openAction->setEnabled(!open);
    updateTitle();
}

void HostWindow::updateTitle() {
    const QString docNo = m_host.quote().value(QStringLiteral("DocNo"));
    setWindowTitle(m_host.documentOpen() && !docNo.isEmpty()
                       ? tr("QuoteWerks (stand-in) - %1").arg(docNo)
                       : tr("QuoteWerks (stand-in)"));
}

void HostWindow::closeEvent(QCloseEvent* event) {
    // Closing the window is leaving the host: the add-ons hear AfterAppExit.
    m_host.exit();
    event->accept();
}

} // namespace hoststandin
