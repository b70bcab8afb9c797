#include "icons.h"

#include <QPainter>
#include <QPainterPath>

namespace {

// A disc with a mark: the server's play triangle, a pause bar, or the client's arrow.
enum class mark { play, pause, arrow };

QPixmap disc(int size, QColor fill, mark symbol) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(fill.darker(140), size / 16.0));
    p.setBrush(fill);
    double m = size / 16.0;
    p.drawEllipse(QRectF(m, m, size - 2 * m, size - 2 * m));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    double s = size;
    QPainterPath path;
    switch (symbol) {
    case mark::play:
        path.moveTo(s * 0.38, s * 0.28);
        path.lineTo(s * 0.74, s * 0.5);
        path.lineTo(s * 0.38, s * 0.72);
        break;
    case mark::pause:
        path.addRect(QRectF(s * 0.3, s * 0.44, s * 0.4, s * 0.12));
        break;
    case mark::arrow:
        path.moveTo(s * 0.5, s * 0.74);
        path.lineTo(s * 0.26, s * 0.46);
        path.lineTo(s * 0.42, s * 0.46);
        path.lineTo(s * 0.42, s * 0.26);
        path.lineTo(s * 0.58, s * 0.26);
        path.lineTo(s * 0.58, s * 0.46);
        path.lineTo(s * 0.74, s * 0.46);
        break;
    }
    path.closeSubpath();
    p.drawPath(path);
    return pixmap;
}

QIcon icon_of(QColor fill, mark symbol) {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128})
        icon.addPixmap(disc(size, fill, symbol));
    return icon;
}

} // namespace

QIcon server_program_icon() { return icon_of(QColor(46, 120, 200), mark::play); }
QIcon client_program_icon() { return icon_of(QColor(46, 120, 200), mark::arrow); }

QIcon icon_named(const QString& name) {
    if (name == "client") return client_program_icon();
    if (name == "enabled") return icon_of(QColor(46, 160, 67), mark::play);
    if (name == "disabled") return icon_of(QColor(150, 150, 150), mark::pause);
    return server_program_icon();
}
