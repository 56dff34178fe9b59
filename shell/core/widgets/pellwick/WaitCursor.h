#pragma once
// Shows the wait cursor while a blocking call (a CRM call) runs; restores it on every
// way out of the scope.

#include <QApplication>

namespace pellwick {

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace pellwick
