#include "icons.h"

#include <QPainter>
#include <QPainterPath>

#include "note_folders.h"
#include "note_item.h"

namespace {

const QColor kBlue(0x1f, 0x5f, 0xa8);
const QColor kYellow(0xf2, 0xc1, 0x2e);
const QColor kGreen(0x2e, 0x9b, 0x4a);
const QColor kGrey(0x90, 0x90, 0x90);

// A sheet of paper with a folded corner and lines of text, filling r.
void DrawNote(QPainter& p, QRectF r, const QColor& edge) {
    p.setPen(QPen(edge, r.width() / 16.0));
    p.setBrush(QColor(0xff, 0xfd, 0xe8));
    QPainterPath sheet;
    double fold = r.width() * 0.28;
    sheet.moveTo(r.left(), r.top());
    sheet.lineTo(r.right() - fold, r.top());
    sheet.lineTo(r.right(), r.top() + fold);
    sheet.lineTo(r.right(), r.bottom());
    sheet.lineTo(r.left(), r.bottom());
    sheet.closeSubpath();
    p.drawPath(sheet);
    p.setPen(QPen(edge.lighter(130), r.width() / 20.0));
    for (int i = 1; i <= 3; ++i) {
        double y = r.top() + r.height() * (0.25 + 0.2 * i);
        p.drawLine(QPointF(r.left() + r.width() * 0.15, y),
                   QPointF(r.right() - r.width() * 0.15, y));
    }
}

void DrawHandset(QPainter& p, QRectF r, const QColor& colour) {
    QPainterPath h;
    double w = r.width(), t = r.top(), l = r.left();
    h.moveTo(l + w * 0.1, t + w * 0.35);
    h.cubicTo(l + w * 0.1, t + w * 0.1, l + w * 0.9, t + w * 0.1, l + w * 0.9, t + w * 0.35);
    h.lineTo(l + w * 0.7, t + w * 0.5);
    h.lineTo(l + w * 0.62, t + w * 0.38);
    h.cubicTo(l + w * 0.55, t + w * 0.33, l + w * 0.45, t + w * 0.33, l + w * 0.38, t + w * 0.38);
    h.lineTo(l + w * 0.3, t + w * 0.5);
    h.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(h);
    p.drawRoundedRect(QRectF(l + w * 0.2, t + w * 0.55, w * 0.6, w * 0.35), w * 0.08, w * 0.08);
}

void DrawEnvelope(QPainter& p, QRectF r, const QColor& edge) {
    QRectF body(r.left(), r.top() + r.height() * 0.2, r.width(), r.height() * 0.6);
    p.setPen(QPen(edge, r.width() / 16.0));
    p.setBrush(Qt::white);
    p.drawRect(body);
    p.drawLine(body.topLeft(), QPointF(body.center().x(), body.center().y()));
    p.drawLine(body.topRight(), QPointF(body.center().x(), body.center().y()));
}

void DrawMobile(QPainter& p, QRectF r, const QColor& colour) {
    QRectF body(r.left() + r.width() * 0.28, r.top() + r.height() * 0.05, r.width() * 0.44,
                r.height() * 0.9);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRoundedRect(body, r.width() * 0.08, r.width() * 0.08);
    p.setBrush(QColor(0xd8, 0xf0, 0xff));
    p.drawRect(QRectF(body.left() + body.width() * 0.15, body.top() + body.height() * 0.12,
                      body.width() * 0.7, body.height() * 0.45));
}

void DrawFolder(QPainter& p, QRectF r, const QColor& colour) {
    p.setPen(QPen(colour.darker(140), r.width() / 16.0));
    p.setBrush(colour);
    QPainterPath f;
    f.moveTo(r.left(), r.top() + r.height() * 0.2);
    f.lineTo(r.left() + r.width() * 0.4, r.top() + r.height() * 0.2);
    f.lineTo(r.left() + r.width() * 0.5, r.top() + r.height() * 0.32);
    f.lineTo(r.right(), r.top() + r.height() * 0.32);
    f.lineTo(r.right(), r.bottom() - r.height() * 0.1);
    f.lineTo(r.left(), r.bottom() - r.height() * 0.1);
    f.closeSubpath();
    p.drawPath(f);
}

template <typename Draw>
QPixmap Paint(int size, Draw draw) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p, QRectF(0.5, 0.5, size - 1.0, size - 1.0));
    return pm;
}

template <typename Draw>
QIcon IconOf(Draw draw) {
    QIcon icon;
    for (int size : {16, 22, 32, 48}) icon.addPixmap(Paint(size, draw));
    return icon;
}

void DrawApp(QPainter& p, QRectF r) {
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawRoundedRect(r, r.width() * 0.18, r.width() * 0.18);
    QRectF inner =
        r.adjusted(r.width() * 0.2, r.height() * 0.14, -r.width() * 0.2, -r.height() * 0.14);
    DrawNote(p, inner, kBlue.darker(120));
    // A lightning stroke: the note travels over the line.
    QPainterPath bolt;
    double w = r.width(), l = r.left(), t = r.top();
    bolt.moveTo(l + w * 0.62, t + w * 0.5);
    bolt.lineTo(l + w * 0.5, t + w * 0.7);
    bolt.lineTo(l + w * 0.6, t + w * 0.7);
    bolt.lineTo(l + w * 0.5, t + w * 0.92);
    bolt.lineTo(l + w * 0.78, t + w * 0.62);
    bolt.lineTo(l + w * 0.67, t + w * 0.62);
    bolt.lineTo(l + w * 0.76, t + w * 0.5);
    bolt.closeSubpath();
    p.setBrush(kYellow);
    p.setPen(QPen(kYellow.darker(150), w / 48.0));
    p.drawPath(bolt);
}

}  // namespace

QIcon AppIcon() {
    return IconOf(DrawApp);
}

QImage AppIconImage(int size) {
    return Paint(size, DrawApp).toImage();
}

QIcon NewNotesIcon() {
    return IconOf([](QPainter& p, QRectF r) {
        DrawNote(p, r.adjusted(r.width() * 0.1, 0, -r.width() * 0.1, 0), kBlue);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xd9, 0x2b, 0x2b));
        double d = r.width() * 0.45;
        p.drawEllipse(QRectF(r.right() - d, r.top(), d, d));
    });
}

QPixmap RelayPixmap(bool calls, bool on) {
    return Paint(16, [&](QPainter& p, QRectF r) {
        QColor colour = on ? kGreen : kGrey;
        if (calls) {
            DrawHandset(p, r, colour);
        } else {
            DrawNote(p, r.adjusted(2, 0, -2, 0), colour);
        }
        p.setPen(QPen(on ? kGreen.darker(130) : QColor(0xc0, 0x30, 0x30), 1.6));
        if (on) {
            // An arrow: passed on.
            p.drawLine(QPointF(r.left() + 7, r.bottom() - 2), QPointF(r.right(), r.bottom() - 2));
            p.drawLine(QPointF(r.right() - 3, r.bottom() - 5), QPointF(r.right(), r.bottom() - 2));
        } else {
            p.drawLine(QPointF(r.left() + 2, r.bottom() - 2), QPointF(r.right() - 2, r.top() + 2));
        }
    });
}

QIcon FolderIcon(int folder) {
    QColor colour = folder == kDeletedNotes ? kGrey : kYellow;
    return IconOf([&](QPainter& p, QRectF r) {
        DrawFolder(p, r, colour);
        QRectF badge(r.left() + r.width() * 0.45, r.top() + r.height() * 0.45, r.width() * 0.5,
                     r.height() * 0.5);
        switch (folder) {
            case kPhoneCalls:
                DrawHandset(p, badge, kBlue);
                break;
            case kInNotes:
            case kOutNotes:
            case kSendNotes:
            case kRelayedNotes:
                DrawNote(p, badge, kBlue);
                break;
            default:
                break;
        }
    });
}

QIcon ItemIcon(int type) {
    return IconOf([&](QPainter& p, QRectF r) {
        switch (static_cast<NoteType>(type)) {
            case NoteType::Call:
                DrawHandset(p, r, kBlue);
                break;
            case NoteType::Email:
                DrawEnvelope(p, r, kBlue);
                break;
            case NoteType::D1Sms:
            case NoteType::D2Sms:
            case NoteType::EPlusSms:
                DrawMobile(p, r, kBlue);
                break;
            case NoteType::File:
                DrawNote(p, r.adjusted(2, 0, -2, 0), kGrey);
                break;
            default:
                DrawNote(p, r.adjusted(2, 0, -2, 0), kBlue);
                break;
        }
    });
}
