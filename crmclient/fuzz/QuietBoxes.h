#pragma once
// Fuzz targets run the library's failure paths by the million: its boxes go nowhere and
// its questions get a fixed answer.

#include "tessary/Notifier.h"

#include <memory>

namespace fuzzing {

class QuietNotifier final : public tessary::Notifier {
public:
    explicit QuietNotifier(tessary::BoxAnswer answer) : m_answer(answer) {}
    void ShowMessage(const std::string&, const std::string&, tessary::BoxIcon) override {}
    tessary::BoxAnswer AskOkCancel(const std::string&, const std::string&,
                                   tessary::BoxIcon) override {
        return m_answer;
    }

private:
    tessary::BoxAnswer m_answer;
};

// Installs the quiet notifier once per process.
inline void QuietBoxes(tessary::BoxAnswer answer) {
    static const bool installed = [answer] {
        tessary::SetNotifier(std::make_shared<QuietNotifier>(answer));
        return true;
    }();
    (void)installed;
}

} // namespace fuzzing
