// Drawing of the banner and the side-panel emblem (vector shapes, so any size stays sharp).
#include "app/kit/pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace pavo::app::kit {

QPixmap banner_picture(QSize size) {
    QPixmap pix(size);
    const double w = size.width();
    const double h = size.height();
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0.0, QColor(38, 52, 110));
    sky.setColorAt(0.55, QColor(236, 140, 80));
    sky.setColorAt(1.0, QColor(250, 210, 150));
    p.fillRect(QRectF(0, 0, w, h), sky);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 236, 170));
    p.drawEllipse(QPointF(w * 0.78, h * 0.42), h * 0.11, h * 0.11);

    // Two ridges, the far one paler.
    QPainterPath far;
    far.moveTo(0, h * 0.62);
    far.cubicTo(w * 0.2, h * 0.38, w * 0.35, h * 0.55, w * 0.5, h * 0.45);
    far.cubicTo(w * 0.65, h * 0.36, w * 0.85, h * 0.58, w, h * 0.5);
    far.lineTo(w, h);
    far.lineTo(0, h);
    p.setBrush(QColor(96, 70, 110));
    p.drawPath(far);
    QPainterPath near;
    near.moveTo(0, h * 0.78);
    near.cubicTo(w * 0.25, h * 0.6, w * 0.45, h * 0.75, w * 0.62, h * 0.66);
    near.cubicTo(w * 0.8, h * 0.58, w * 0.9, h * 0.72, w, h * 0.7);
    near.lineTo(w, h);
    near.lineTo(0, h);
    p.setBrush(QColor(48, 40, 62));
    p.drawPath(near);

    // The open ledger.
    const QRectF book(w * 0.12, h * 0.52, w * 0.46, h * 0.40);
    p.setBrush(QColor(120, 40, 30));
    p.drawRoundedRect(book.adjusted(-6, -4, 6, 6), 4, 4);
    const QRectF left(book.left(), book.top(), book.width() / 2 - 2, book.height());
    const QRectF right(book.center().x() + 2, book.top(), book.width() / 2 - 2, book.height());
    p.setBrush(QColor(250, 246, 232));
    p.drawRect(left);
    p.drawRect(right);
    p.setPen(QPen(QColor(150, 180, 210), 1));
    for (double y = book.top() + 12; y < book.bottom() - 4; y += 9) {
        p.drawLine(QPointF(left.left() + 6, y), QPointF(left.right() - 6, y));
        p.drawLine(QPointF(right.left() + 6, y), QPointF(right.right() - 6, y));
    }
    p.setPen(QPen(QColor(200, 60, 60), 1));
    p.drawLine(QPointF(left.left() + 18, left.top() + 4),
               QPointF(left.left() + 18, left.bottom() - 4));
    p.drawLine(QPointF(right.left() + 18, right.top() + 4),
               QPointF(right.left() + 18, right.bottom() - 4));
    // A few figures written in.
    p.setPen(QPen(QColor(40, 40, 90), 1.5));
    for (int i = 0; i < 5; ++i) {
        const double y = book.top() + 16 + i * 9;
        p.drawLine(QPointF(left.left() + 24, y), QPointF(left.left() + 24 + 20 + (i * 13) % 40, y));
        p.drawLine(QPointF(right.right() - 40, y), QPointF(right.right() - 12, y));
    }

    // The quill.
    QPainterPath quill;
    const QPointF tip(book.right() - w * 0.05, book.top() + h * 0.18);
    quill.moveTo(tip);
    quill.cubicTo(tip + QPointF(w * 0.05, -h * 0.2), tip + QPointF(w * 0.14, -h * 0.32),
                  tip + QPointF(w * 0.2, -h * 0.42));
    quill.cubicTo(tip + QPointF(w * 0.12, -h * 0.26), tip + QPointF(w * 0.08, -h * 0.12), tip);
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(QColor(245, 245, 240));
    p.drawPath(quill);

    p.setPen(QColor(255, 250, 235));
    QFont f = p.font();
    f.setPixelSize(static_cast<int>(h * 0.13));
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRectF(w * 0.05, h * 0.04, w * 0.9, h * 0.16), Qt::AlignLeft | Qt::AlignVCenter,
               "PAVODEN");
    f.setPixelSize(static_cast<int>(h * 0.06));
    f.setBold(false);
    p.setFont(f);
    p.drawText(QRectF(w * 0.05, h * 0.19, w * 0.9, h * 0.09), Qt::AlignLeft | Qt::AlignVCenter,
               "payments, job searches, records kept");
    return pix;
}

QPixmap panel_picture(QSize size) {
    QPixmap pix(size);
    pix.fill(Qt::transparent);
    const double w = size.width();
    const double h = size.height();
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 1));
    for (int i = 3; i >= 0; --i) {
        const QRectF sheet(w * 0.15 + i * 4, h * 0.18 + i * 4, w * 0.55, h * 0.65);
        p.setBrush(i == 0 ? QColor(255, 255, 250) : QColor(235, 235, 225));
        p.drawRect(sheet);
    }
    p.setPen(QPen(QColor(120, 150, 200), 1));
    for (double y = h * 0.3; y < h * 0.78; y += h * 0.08)
        p.drawLine(QPointF(w * 0.2, y), QPointF(w * 0.64, y));
    // Pencil across the corner.
    p.save();
    p.translate(w * 0.62, h * 0.62);
    p.rotate(-40);
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(QColor(250, 200, 40));
    p.drawRect(QRectF(0, -4, w * 0.32, 8));
    p.setBrush(QColor(240, 180, 140));
    QPolygonF cone;
    cone << QPointF(0, -4) << QPointF(0, 4) << QPointF(-10, 0);
    p.drawPolygon(cone);
    p.setBrush(QColor(230, 120, 140));
    p.drawRect(QRectF(w * 0.32, -4, 6, 8));
    p.restore();
    return pix;
}

}  // namespace pavo::app::kit
