#include "app/ui/ConsoleIcons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace quillet {

namespace {

const QColor Ink(40, 48, 64);
const QColor Paper(250, 250, 246);
const QColor Archive(214, 170, 80);
const QColor Green(46, 140, 70);
const QColor Red(200, 50, 40);
const QColor Blue(50, 110, 190);
const QColor Bolt(245, 190, 30);

// A sheet of paper with a folded corner, in a 24 x 24 design grid.
void sheet(QPainter& p, QRectF r) {
    QPainterPath path;
    const qreal fold = r.width() * 0.3;
    path.moveTo(r.topLeft());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.bottomRight());
    path.lineTo(r.bottomLeft());
    path.closeSubpath();
    p.setBrush(Paper);
    p.drawPath(path);
    p.drawLine(QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold));
    p.drawLine(QPointF(r.right() - fold, r.top() + fold), QPointF(r.right(), r.top() + fold));
}

// The archive: a box with a band.
void box(QPainter& p, QRectF r) {
    p.setBrush(Archive);
    p.drawRoundedRect(r, 1.5, 1.5);
    p.drawLine(QPointF(r.left(), r.top() + r.height() * 0.35), QPointF(r.right(), r.top() + r.height() * 0.35));
}

void arrow(QPainter& p, QPointF from, QPointF to, const QColor& color) {
    p.save();
    QPen pen(color, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.drawLine(from, to);
    const QPointF d = (to - from) / std::hypot(to.x() - from.x(), to.y() - from.y());
    const QPointF n(-d.y(), d.x());
    p.drawLine(to, to - d * 4 + n * 3.5);
    p.drawLine(to, to - d * 4 - n * 3.5);
    p.restore();
}

void draw(QPainter& p, ConsoleIcon icon) {
    p.setPen(QPen(Ink, 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    switch (icon) {
        case ConsoleIcon::NewProject: {
            sheet(p, QRectF(4, 2, 14, 19));
            QPen plus(Green, 3, Qt::SolidLine, Qt::RoundCap);
            p.setPen(plus);
            p.drawLine(QPointF(17, 12), QPointF(17, 22));
            p.drawLine(QPointF(12, 17), QPointF(22, 17));
            break;
        }
        case ConsoleIcon::AddFile:
            box(p, QRectF(3, 11, 18, 11));
            arrow(p, QPointF(12, 1.5), QPointF(12, 14), Green);
            break;
        case ConsoleIcon::Restore:
            box(p, QRectF(3, 11, 18, 11));
            arrow(p, QPointF(12, 15), QPointF(12, 2), Blue);
            break;
        case ConsoleIcon::Delete: {
            p.setBrush(QColor(225, 228, 232));
            p.drawRect(QRectF(6, 7, 12, 15));
            p.drawLine(QPointF(4, 6), QPointF(20, 6));
            p.drawRect(QRectF(9.5, 3, 5, 3));
            QPen cross(Red, 2.6, Qt::SolidLine, Qt::RoundCap);
            p.setPen(cross);
            p.drawLine(QPointF(9, 11), QPointF(15, 18));
            p.drawLine(QPointF(15, 11), QPointF(9, 18));
            break;
        }
        case ConsoleIcon::Test: {
            box(p, QRectF(2, 9, 15, 12));
            QPen tick(Green, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
            p.setPen(tick);
            p.setBrush(Qt::NoBrush);
            p.drawPolyline(QPolygonF({QPointF(9, 11), QPointF(14, 17), QPointF(22, 3)}));
            break;
        }
        case ConsoleIcon::Find: {
            box(p, QRectF(2, 11, 13, 11));
            p.setBrush(QColor(210, 230, 250, 220));
            p.drawEllipse(QPointF(14, 9), 6, 6);
            QPen handle(Ink, 3, Qt::SolidLine, Qt::RoundCap);
            p.setPen(handle);
            p.drawLine(QPointF(18.5, 13.5), QPointF(22, 17));
            break;
        }
        case ConsoleIcon::Copy:
            sheet(p, QRectF(3, 2, 12, 15));
            sheet(p, QRectF(9, 7, 12, 15));
            break;
        case ConsoleIcon::Execute: {
            QPolygonF bolt({QPointF(14, 1), QPointF(5, 13), QPointF(11, 13), QPointF(8, 23), QPointF(19, 9),
                            QPointF(13, 9), QPointF(17, 1)});
            p.setBrush(Bolt);
            p.drawPolygon(bolt);
            break;
        }
        case ConsoleIcon::Program:
            box(p, QRectF(2, 8, 20, 14));
            arrow(p, QPointF(12, 1), QPointF(12, 12), Blue);
            break;
    }
}

class DrawnIcon : public QIconEngine {
public:
    explicit DrawnIcon(ConsoleIcon icon) : icon_(icon) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / 24.0, rect.height() / 24.0);
        if (mode == QIcon::Disabled) painter->setOpacity(0.35);
        draw(*painter, icon_);
        painter->restore();
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(0, 0), size), mode, state);
        return pm;
    }
    QIconEngine* clone() const override { return new DrawnIcon(icon_); }

private:
    ConsoleIcon icon_;
};

}  // namespace

QIcon consoleIcon(ConsoleIcon icon) {
    return QIcon(new DrawnIcon(icon));
}

}  // namespace quillet
