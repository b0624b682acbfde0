// SPDX-License-Identifier: GPL-3.0-or-later
#include "Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>
#include <cstring>

// The program's icon is a resource of this static library, which the linker
// would drop from krtwin (nothing refers to it by name): registering it here,
// where the icon is asked for, links it in and loads it.
static void RegisterProgramResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(krtwin);
        return true;
    }();
    (void)registered;
}

namespace krt {

namespace {

// A chip seen from above: a dark body with pins on both long sides.
void DrawChip(QPainter& p, const QRectF& body) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x9a, 0x9a, 0x9a));
    const int pins = 4;
    for (int i = 0; i < pins; ++i) {
        const qreal y = body.top() + 2 + i * (body.height() - 4) / (pins - 1) - 1;
        p.drawRect(QRectF(body.left() - 2, y, 2, 2));
        p.drawRect(QRectF(body.right(), y, 2, 2));
    }
    p.setBrush(QColor(0x3c, 0x3f, 0x46));
    p.drawRoundedRect(body, 1.5, 1.5);
    p.setBrush(QColor(0x70, 0x74, 0x7c));
    p.drawEllipse(QRectF(body.left() + 1.5, body.top() + 1.5, 2.5, 2.5));
}

void DrawArrow(QPainter& p, QPointF from, QPointF to, const QColor& color) {
    QPen pen(color, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.drawLine(from, to);
    const QPointF d = (to - from) / std::hypot((to - from).x(), (to - from).y());
    const QPointF n(-d.y(), d.x());
    QPainterPath head;
    head.moveTo(to + d * 1.5);
    head.lineTo(to - d * 3.5 + n * 3.5);
    head.lineTo(to - d * 3.5 - n * 3.5);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPath(head);
}

QPixmap Drawn(const char* name, int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 20.0, size / 20.0);
    const QRectF chip(3, 6, 9, 12);
    const QColor green(0x2e, 0x9d, 0x3f), red(0xc8, 0x3a, 0x2c), blue(0x2f, 0x6f, 0xc6),
        amber(0xd8, 0x8f, 0x10);
    if (!std::strcmp(name, "read")) {
        DrawChip(p, chip);
        DrawArrow(p, QPointF(14, 4), QPointF(14, 14), green);
    } else if (!std::strcmp(name, "write")) {
        DrawChip(p, chip);
        DrawArrow(p, QPointF(15.5, 16), QPointF(15.5, 5), red);
    } else if (!std::strcmp(name, "verify")) {
        DrawChip(p, chip);
        p.setPen(QPen(blue, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        QPainterPath tick;
        tick.moveTo(10.5, 10);
        tick.lineTo(13.5, 14);
        tick.lineTo(18.5, 4.5);
        p.drawPath(tick);
    } else if (!std::strcmp(name, "blank")) {
        DrawChip(p, chip);
        p.setPen(QPen(blue, 1.6));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(11, 3, 7, 7));
        p.drawLine(QPointF(16.8, 9), QPointF(19, 12));
    } else if (!std::strcmp(name, "erase")) {
        DrawChip(p, chip);
        p.save();
        p.translate(15, 9);
        p.rotate(-35);
        p.setPen(QPen(QColor(0x80, 0x40, 0x50), 0.8));
        p.setBrush(QColor(0xf0, 0x8c, 0xa8));
        p.drawRoundedRect(QRectF(-3, -5, 6, 10), 1, 1);
        p.setBrush(QColor(0xfb, 0xe8, 0xee));
        p.drawRect(QRectF(-3, 2, 6, 3));
        p.restore();
    } else if (!std::strcmp(name, "secure")) {
        DrawChip(p, chip);
        p.setPen(QPen(amber.darker(140), 1.6));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(12, 2.5, 6, 7), 0, 180 * 16);
        p.drawLine(QPointF(12, 6), QPointF(12, 8));
        p.drawLine(QPointF(18, 6), QPointF(18, 8));
        p.setPen(Qt::NoPen);
        p.setBrush(amber);
        p.drawRoundedRect(QRectF(10.5, 8, 9, 7), 1, 1);
    } else if (!std::strcmp(name, "auto")) {
        DrawChip(p, chip);
        QPainterPath bolt;
        bolt.moveTo(16, 2);
        bolt.lineTo(11.5, 10);
        bolt.lineTo(15, 10);
        bolt.lineTo(13, 18);
        bolt.lineTo(19, 8);
        bolt.lineTo(15.5, 8);
        bolt.lineTo(18, 2);
        bolt.closeSubpath();
        p.setPen(QPen(amber.darker(150), 0.8));
        p.setBrush(QColor(0xf5, 0xc2, 0x2a));
        p.drawPath(bolt);
    } else if (!std::strcmp(name, "dump")) {
        p.setPen(QPen(QColor(0x55, 0x5a, 0x63), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(2.5, 3.5, 15, 13));
        p.setPen(QPen(blue, 1.4));
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 3; ++c) p.drawLine(QPointF(4.5 + c * 4.5, 6 + r * 3), QPointF(7 + c * 4.5, 6 + r * 3));
    } else if (!std::strcmp(name, "config")) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x5b, 0x61, 0x6b));
        p.translate(10, 10);
        for (int i = 0; i < 8; ++i) {
            p.drawRect(QRectF(-1.6, -8.5, 3.2, 4));
            p.rotate(45);
        }
        p.drawEllipse(QPointF(0, 0), 6, 6);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(0, 0), 2.4, 2.4);
    } else if (!std::strcmp(name, "projectnew") || !std::strcmp(name, "projectopen") ||
               !std::strcmp(name, "projectsave")) {
        p.setPen(QPen(QColor(0x6b, 0x55, 0x20), 1));
        p.setBrush(QColor(0xe8, 0xc0, 0x60));
        QPainterPath folder;
        folder.moveTo(2, 5);
        folder.lineTo(8, 5);
        folder.lineTo(9.5, 7);
        folder.lineTo(18, 7);
        folder.lineTo(18, 16);
        folder.lineTo(2, 16);
        folder.closeSubpath();
        p.drawPath(folder);
        p.setPen(QPen(QColor(0x3c, 0x3f, 0x46), 1.2));
        const char* tag = name + 7;
        if (!std::strcmp(tag, "new")) {
            p.drawLine(QPointF(10, 9.5), QPointF(10, 14.5));
            p.drawLine(QPointF(7.5, 12), QPointF(12.5, 12));
        } else if (!std::strcmp(tag, "open")) {
            p.drawLine(QPointF(6, 12), QPointF(14, 12));
        } else {
            p.drawRect(QRectF(7, 9.5, 6, 5));
        }
    }
    return pm;
}

}  // namespace

QIcon CommandIcon(const char* name, QStyle* style) {
    struct Standard {
        const char* name;
        QStyle::StandardPixmap pixmap;
    };
    static const Standard standard[] = {
        {"new", QStyle::SP_FileIcon},
        {"open", QStyle::SP_DialogOpenButton},
        {"save", QStyle::SP_DialogSaveButton},
        {"saveas", QStyle::SP_DialogSaveButton},
        {"exit", QStyle::SP_DialogCloseButton},
        {"reset", QStyle::SP_BrowserReload},
        {"help", QStyle::SP_DialogHelpButton},
        {"about", QStyle::SP_MessageBoxInformation},
    };
    for (const auto& s : standard)
        if (!std::strcmp(s.name, name)) return style->standardIcon(s.pixmap);
    QIcon icon;
    for (int size : {16, 20, 24, 32}) icon.addPixmap(Drawn(name, size));
    return icon;
}

QIcon ProgramIcon() {
    RegisterProgramResources();
    return QIcon(QStringLiteral(":/krtwin.svg"));
}

}  // namespace krt
