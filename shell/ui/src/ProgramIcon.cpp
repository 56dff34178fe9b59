#include "pellwick/ui/ProgramIcon.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

namespace pellwick {

QIcon ProgramIcon() {
    static const QIcon icon = [] {
        QIcon result;
        for (int size : {16, 22, 24, 32, 48, 64, 128}) {
            QPixmap pixmap(size, size);
            pixmap.fill(Qt::transparent);
            QPainter painter(&pixmap);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(0x2E, 0x7D, 0x32));
            const qreal radius = size / 5.0;
            painter.drawRoundedRect(QRectF(0, 0, size, size), radius, radius);
            QFont font(QStringLiteral("Sans"));
            font.setBold(true);
            font.setPixelSize(size * 3 / 4);
            painter.setFont(font);
            painter.setPen(Qt::white);
            painter.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QStringLiteral("P"));
            painter.end();
            result.addPixmap(pixmap);
        }
        return result;
    }();
    return icon;
}

} // namespace pellwick
