#pragma once
// Seams for tests: boxes are answered from a queue and recorded; shell opens and the
// main window's reactions are recorded.

#include "pellwick/MainWindowLink.h"
#include "pellwick/MessageBox.h"
#include "pellwick/ShellOpen.h"

#include <QStringList>
#include <QUrl>
#include <deque>
#include <functional>
#include <vector>

namespace pellwick::testing {

class RecordingMessageBoxPresenter : public MessageBoxPresenter {
public:
    // Answers the next box with `answer`; boxes beyond the queue get their default button.
    void QueueAnswer(MsgAnswer answer) { m_answers.push_back(answer); }
    // Called with each box before it is answered (a test may drive windows from here).
    std::function<void(const MessageBoxRequest&)> onPresent;

    MsgAnswer Present(const MessageBoxRequest& request) override;

    const std::vector<MessageBoxRequest>& boxes() const { return m_boxes; }
    // The texts of all boxes so far, in order.
    QStringList texts() const;
    void clear() { m_boxes.clear(); }

private:
    std::deque<MsgAnswer> m_answers;
    std::vector<MessageBoxRequest> m_boxes;
};

class RecordingShellOpener : public ShellOpener {
public:
    bool Open(const QUrl& url) override {
        m_opened.push_back(url);
        return result;
    }
    // What Open answers.
    bool result = true;
    const std::vector<QUrl>& opened() const { return m_opened; }

private:
    std::vector<QUrl> m_opened;
};

class RecordingMainWindow : public MainWindowLink {
public:
    void SetInfoText(const QString& text) override { infoText = text; }
    void ShowMainWindow() override { ++shown; }
    void Minimize() override { ++minimized; }
    void CloseMainWindow() override { ++closed; }
    void EndProgram() override { ++ended; }

    QString infoText;
    int shown = 0;
    int minimized = 0;
    int closed = 0;
    int ended = 0;
};

} // namespace pellwick::testing
