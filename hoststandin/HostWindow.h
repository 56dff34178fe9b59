#pragma once
// The stand-in's window: the quote as an editable form and the host's actions.

#include <QHash>
#include <QMainWindow>

class QAction;
class QWidget;

namespace hoststandin {

class StandInHost;

class HostWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit HostWindow(StandInHost& host, QWidget* parent = nullptr);

    // The text the form shows for a field (canonical name); empty while no document is
    // open.
    QString shownText(const QString& canonical) const;
    // Puts text into a field as if typed: the form and the document change.
    void typeIntoField(const QString& canonical, const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildForm();
    void buildActions();
    // Shows the document's values (or nothing, with the form disabled, when closed).
    void repaintFromDocument();
    void setShownText(QWidget* editor, const QString& text);
    void updateTitle();

    StandInHost& m_host;
    QHash<QString, QWidget*> m_editors; // canonical field name -> QLineEdit / QPlainTextEdit
    QList<QAction*> m_documentActions;  // enabled only while a document is open
    QAction* m_openAction = nullptr;
    bool m_repainting = false;
};

} // namespace hoststandin
