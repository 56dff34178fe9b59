#pragma once
// Operates the program's windows from outside, as a person at the keyboard and mouse
// would: lists the open windows, describes their controls, types into text boxes,
// clicks buttons, picks list entries and rows, presses keys and takes screenshots. It is
// served on the session bus at /Walk (interface com.pellwick.Walk) of the program's own
// bus name, for the demo and the end-to-end tests. Message boxes are recorded and then
// answered with their default button, as a person reading them would. What the program
// asks the desktop to open (CRM pages, mail, folders) is recorded, not opened.

#include <QObject>
#include <QStringList>

class QWidget;

namespace pellwick {

class WindowAutomation : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.pellwick.Walk")
public:
    // reportFile (may be empty) receives a line per event: "open: <window>",
    // "closed: <window>", "box: <title> | <text>", "info: <main window's lblInfo>".
    explicit WindowAutomation(QString reportFile, QObject* parent = nullptr);

    // Serves this object at /Walk on the session bus and takes over the program's shell
    // opener; false when the bus does not take the object.
    bool Serve();

public slots:
    // objectNames of the visible windows, message boxes as "QMessageBox".
    Q_SCRIPTABLE QStringList Windows();
    // A JSON object: the window's title and, per named control, its kind, text, state,
    // entries and rows. "" when no such window is visible.
    Q_SCRIPTABLE QString Describe(const QString& window);
    // Each returns false when the window or control is not there or not enabled; the
    // action itself runs from the event loop right after the answer.
    Q_SCRIPTABLE bool SetText(const QString& window, const QString& control, const QString& text);
    // control: an objectName or a button's caption (accelerator marks included).
    Q_SCRIPTABLE bool Click(const QString& window, const QString& control);
    // Picks the first entry of a drop-down list whose text contains `entry`, with the
    // keyboard as a person would.
    Q_SCRIPTABLE bool Pick(const QString& window, const QString& combo, const QString& entry);
    // Chooses an entry (objectName or caption) of a window's pop-up menu, as a person
    // would: the menu pops up, the entry is highlighted and Enter pressed. The window may
    // be hidden: the tray icon's menu is the main window's "mnuFile".
    Q_SCRIPTABLE bool Menu(const QString& window, const QString& menu, const QString& entry);
    // Clicks a row of a list.
    Q_SCRIPTABLE bool Row(const QString& window, const QString& list, int row);
    // Presses keys on the window's focused control, e.g. "Alt+H", "Return", "Escape".
    Q_SCRIPTABLE bool Key(const QString& window, const QString& keys);
    Q_SCRIPTABLE bool Shot(const QString& window, const QString& path);
    // Every message box seen so far: "<title> | <text>".
    Q_SCRIPTABLE QStringList Boxes();
    // Every address the program asked the desktop to open, in order.
    Q_SCRIPTABLE QStringList Opened();

private:
    // Records windows opened and closed, message boxes (and answers them) and the main
    // window's info text. Run by a timer and at every call: a busy bus can hold timers
    // back for as long as its traffic lasts.
    void Watch();
    void Report(const QString& line) const;
    QWidget* Control(const QString& window, const QString& control);

    QString m_reportFile;
    QStringList m_boxes;
    QStringList m_opened;
    QStringList m_open;
    QString m_info;
};

} // namespace pellwick
