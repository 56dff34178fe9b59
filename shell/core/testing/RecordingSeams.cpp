#include "pellwick/testing/RecordingSeams.h"

namespace pellwick::testing {

MsgAnswer RecordingMessageBoxPresenter::Present(const MessageBoxRequest& request) {
    m_boxes.push_back(request);
    if (onPresent)
        onPresent(request);
    if (m_answers.empty())
        return request.defaultButton.value_or(FirstButton(request.buttons));
    const MsgAnswer answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

QStringList RecordingMessageBoxPresenter::texts() const {
    QStringList result;
    for (const MessageBoxRequest& box : m_boxes)
        result << box.text;
    return result;
}

} // namespace pellwick::testing
