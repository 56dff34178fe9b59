#include "WindowAutomation.h"

#include "pellwick/ShellOpen.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QDBusConnection>
#include <QFile>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace pellwick {

namespace {

QString NameOf(const QWidget* window) {
    return qobject_cast<const QMessageBox*>(window) ? QStringLiteral("QMessageBox")
                                                    : window->objectName();
}

QWidget* VisibleWindow(const QString& name) {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && NameOf(window) == name)
            return window;
    return nullptr;
}

QStringList OpenWindowNames() {
    QStringList names;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && !NameOf(window).isEmpty())
            names << NameOf(window);
    return names;
}

QString WithoutMarks(QString caption) {
    return caption.remove(QLatin1Char('&'));
}

QJsonArray Rows(const QAbstractItemView* view) {
    QJsonArray rows;
    const QAbstractItemModel* model = view->model();
    for (int row = 0; model && row < model->rowCount(); ++row) {
        QJsonArray cells;
        for (int column = 0; column < model->columnCount(); ++column)
            cells.append(model->index(row, column).data().toString());
        rows.append(cells);
    }
    return rows;
}

// What a person sees of one control.
QJsonObject DescribeControl(const QWidget* control) {
    QJsonObject item{
        {QStringLiteral("kind"), QString::fromLatin1(control->metaObject()->className())},
        {QStringLiteral("enabled"), control->isEnabled()},
        {QStringLiteral("visible"), control->isVisibleTo(control->window())}};
    if (!control->toolTip().isEmpty())
        item.insert(QStringLiteral("tooltip"), control->toolTip());
    if (const auto* label = qobject_cast<const QLabel*>(control))
        item.insert(QStringLiteral("text"), label->text());
    else if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
        item.insert(QStringLiteral("text"), button->text());
        if (button->isCheckable())
            item.insert(QStringLiteral("checked"), button->isChecked());
    } else if (const auto* edit = qobject_cast<const QLineEdit*>(control))
        item.insert(QStringLiteral("text"), edit->text());
    else if (const auto* box = qobject_cast<const QGroupBox*>(control))
        item.insert(QStringLiteral("text"), box->title());
    else if (const auto* combo = qobject_cast<const QComboBox*>(control)) {
        QJsonArray entries;
        for (int i = 0; i < combo->count(); ++i)
            entries.append(combo->itemText(i));
        item.insert(QStringLiteral("entries"), entries);
        item.insert(QStringLiteral("current"), combo->currentIndex());
        item.insert(QStringLiteral("text"), combo->currentText());
    } else if (const auto* view = qobject_cast<const QAbstractItemView*>(control)) {
        item.insert(QStringLiteral("rows"), Rows(view));
        item.insert(QStringLiteral("current"), view->currentIndex().row());
    }
    return item;
}

// A message box is answered as a person would: with its default button.
void Answer(QMessageBox* box) {
    QAbstractButton* button = box->defaultButton();
    if (!button)
        button = box->escapeButton();
    if (!button && !box->buttons().isEmpty())
        button = box->buttons().first();
    if (button)
        button->click();
}

// Records what the program would open instead of opening it.
class RecordingOpener final : public ShellOpener {
public:
    explicit RecordingOpener(std::function<void(const QUrl&)> record)
        : m_record(std::move(record)) {}
    bool Open(const QUrl& url) override {
        m_record(url);
        return true;
    }

private:
    std::function<void(const QUrl&)> m_record;
};

} // namespace

WindowAutomation::WindowAutomation(QString reportFile, QObject* parent)
    : QObject(parent), m_reportFile(std::move(reportFile)) {
    auto* watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, &WindowAutomation::Watch);
    watch->start(20);
}

bool WindowAutomation::Serve() {
    QPointer<WindowAutomation> self(this);
    SetShellOpener(std::make_shared<RecordingOpener>([self](const QUrl& url) {
        if (!self)
            return;
        self->m_opened << url.toString();
        self->Report(QStringLiteral("opened: ") + url.toString());
    }));
    return QDBusConnection::sessionBus().registerObject(QStringLiteral("/Walk"), this,
                                                        QDBusConnection::ExportScriptableSlots);
}

void WindowAutomation::Report(const QString& line) const {
    QFile file(m_reportFile);
    if (!m_reportFile.isEmpty() && file.open(QIODevice::Append))
        file.write(QString(line).replace(QStringLiteral("\r\n"), QStringLiteral(" | ")).toUtf8() +
                   "\n");
}

void WindowAutomation::Watch() {
    const QStringList open = OpenWindowNames();
    for (const QString& name : open)
        if (!m_open.contains(name))
            Report(QStringLiteral("open: ") + name);
    for (const QString& name : std::as_const(m_open))
        if (!open.contains(name))
            Report(QStringLiteral("closed: ") + name);
    m_open = open;

    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(window);
        if (!box || !box->isVisible() || box->property("walkSeen").toBool())
            continue;
        box->setProperty("walkSeen", true);
        m_boxes << box->windowTitle() + QStringLiteral(" | ") + box->text();
        Report(QStringLiteral("box: ") + m_boxes.last());
        QMetaObject::invokeMethod(
            box, [box] { Answer(box); }, Qt::QueuedConnection);
    }

    if (QWidget* main = VisibleWindow(QStringLiteral("frmMain")))
        if (auto* info = main->findChild<QLabel*>(QStringLiteral("lblInfo")))
            if (info->text() != m_info) {
                m_info = info->text();
                Report(QStringLiteral("info: ") + m_info);
            }
}

QStringList WindowAutomation::Windows() {
    Watch();
    return OpenWindowNames();
}

QStringList WindowAutomation::Boxes() {
    Watch();
    return m_boxes;
}

QStringList WindowAutomation::Opened() {
    Watch();
    return m_opened;
}

QString WindowAutomation::Describe(const QString& name) {
    Watch();
    QWidget* window = VisibleWindow(name);
    if (!window)
        return {};
    QJsonObject controls;
    for (QWidget* control : window->findChildren<QWidget*>())
        if (!control->objectName().isEmpty() &&
            !control->objectName().startsWith(QLatin1String("qt_")))
            controls.insert(control->objectName(), DescribeControl(control));
    QJsonObject described{{QStringLiteral("title"), window->windowTitle()},
                          {QStringLiteral("controls"), controls}};
    if (auto* box = qobject_cast<QMessageBox*>(window))
        described.insert(QStringLiteral("text"), box->text());
    return QString::fromUtf8(QJsonDocument(described).toJson(QJsonDocument::Compact));
}

QWidget* WindowAutomation::Control(const QString& window, const QString& control) {
    Watch();
    QWidget* top = VisibleWindow(window);
    if (!top)
        return nullptr;
    if (auto* named = top->findChild<QWidget*>(control))
        return named;
    for (auto* button : top->findChildren<QAbstractButton*>())
        if (button->isVisible() && WithoutMarks(button->text()) == WithoutMarks(control))
            return button;
    return nullptr;
}

bool WindowAutomation::SetText(const QString& window, const QString& control, const QString& text) {
    auto* edit = qobject_cast<QLineEdit*>(Control(window, control));
    if (!edit || !edit->isEnabled())
        return false;
    QPointer<QLineEdit> target(edit);
    QTimer::singleShot(0, edit, [target, text] {
        target->setFocus();
        target->selectAll();
        QTest::keyClicks(target, text);
    });
    return true;
}

bool WindowAutomation::Click(const QString& window, const QString& control) {
    auto* button = qobject_cast<QAbstractButton*>(Control(window, control));
    if (!button || !button->isEnabled() || !button->isVisible())
        return false;
    QTimer::singleShot(0, button, [button] { button->click(); });
    return true;
}

bool WindowAutomation::Pick(const QString& window, const QString& comboName, const QString& entry) {
    auto* combo = qobject_cast<QComboBox*>(Control(window, comboName));
    if (!combo || !combo->isEnabled())
        return false;
    const int wanted = combo->findText(entry, Qt::MatchContains);
    if (wanted < 0)
        return false;
    QTimer::singleShot(0, combo, [combo, wanted] {
        combo->setFocus();
        // Arrow keys, as at the keyboard: each step selects an entry and reports it.
        for (int steps = 0; combo->currentIndex() != wanted && steps <= combo->count(); ++steps)
            QTest::keyClick(combo, combo->currentIndex() < wanted ? Qt::Key_Down : Qt::Key_Up);
    });
    return true;
}

bool WindowAutomation::Menu(const QString& window, const QString& menu, const QString& entry) {
    Watch();
    QMenu* popup = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (NameOf(top) == window && !popup)
            popup = top->findChild<QMenu*>(menu);
    QAction* chosen = nullptr;
    for (QAction* action : popup ? popup->actions() : QList<QAction*>())
        if (action->objectName() == entry || WithoutMarks(action->text()) == WithoutMarks(entry))
            chosen = action;
    if (!chosen || !chosen->isEnabled() || !chosen->isVisible())
        return false;
    QPointer<QAction> target(chosen);
    QTimer::singleShot(0, popup, [popup, target] {
        popup->popup(QCursor::pos());
        if (!target)
            return;
        popup->setActiveAction(target);
        QTest::keyClick(popup, Qt::Key_Return);
    });
    return true;
}

bool WindowAutomation::Row(const QString& window, const QString& list, int row) {
    auto* view = qobject_cast<QAbstractItemView*>(Control(window, list));
    if (!view || !view->isEnabled() || !view->model() || row < 0 ||
        row >= view->model()->rowCount())
        return false;
    QTimer::singleShot(0, view, [view, row] {
        const QModelIndex index = view->model()->index(row, 0);
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    });
    return true;
}

bool WindowAutomation::Key(const QString& window, const QString& keys) {
    Watch();
    QWidget* top = VisibleWindow(window);
    const QKeySequence sequence(keys);
    if (!top || sequence.isEmpty())
        return false;
    QPointer<QWidget> target(top);
    QTimer::singleShot(0, top, [target, sequence] {
        for (int i = 0; target && i < sequence.count(); ++i) {
            QWidget* focused = target->focusWidget() ? target->focusWidget() : target.data();
            QTest::keyClick(focused, sequence[i].key(), sequence[i].keyboardModifiers());
        }
    });
    return true;
}

bool WindowAutomation::Shot(const QString& window, const QString& path) {
    Watch();
    QWidget* top = VisibleWindow(window);
    return top && top->grab().save(path);
}

} // namespace pellwick
