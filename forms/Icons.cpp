#include "Icons.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>

namespace {

const QColor Outline(0x5a, 0x46, 0x10);
const QColor Paper(0xff, 0xf6, 0xc8);
const QColor Sheet(0xff, 0xff, 0xff);
const QColor Ink(0x40, 0x50, 0x70);

void DrawEnvelope(QPainter& P, bool Open) {
  P.setPen(QPen(Outline, 1));
  if (Open) {
    // The flap stands up behind the letter.
    QPolygonF flap({QPointF(1.5, 7.5), QPointF(8, 2.5), QPointF(14.5, 7.5)});
    P.setBrush(QColor(0xe8, 0xd9, 0x98));
    P.drawPolygon(flap);
    P.setBrush(Sheet);
    P.drawRect(QRectF(3.5, 4.5, 9, 7));
    P.setPen(QPen(Ink, 1));
    P.drawLine(QPointF(5, 6.5), QPointF(11, 6.5));
    P.drawLine(QPointF(5, 8.5), QPointF(10, 8.5));
    P.setPen(QPen(Outline, 1));
    P.setBrush(Paper);
    QPolygonF front({QPointF(1.5, 7.5), QPointF(8, 11.5), QPointF(14.5, 7.5), QPointF(14.5, 14.5), QPointF(1.5, 14.5)});
    P.drawPolygon(front);
  } else {
    P.setBrush(Paper);
    P.drawRect(QRectF(1.5, 4.5, 13, 9));
    P.drawPolyline(QPolygonF({QPointF(1.5, 4.5), QPointF(8, 9.5), QPointF(14.5, 4.5)}));
    // A blue mark for a message not read yet.
    P.setPen(Qt::NoPen);
    P.setBrush(QColor(0x1e, 0x64, 0xd2));
    P.drawEllipse(QRectF(10.5, 0.5, 5, 5));
  }
}

void DrawSheet(QPainter& P) {
  P.setPen(QPen(QColor(0x60, 0x60, 0x60), 1));
  P.setBrush(Sheet);
  QPolygonF page({QPointF(2.5, 1.5), QPointF(10.5, 1.5), QPointF(13.5, 4.5), QPointF(13.5, 14.5), QPointF(2.5, 14.5)});
  P.drawPolygon(page);
  P.drawPolyline(QPolygonF({QPointF(10.5, 1.5), QPointF(10.5, 4.5), QPointF(13.5, 4.5)}));
  P.setPen(QPen(Ink, 1));
  for (double y : {6.5, 8.5, 10.5, 12.5}) P.drawLine(QPointF(4.5, y), QPointF(y < 7 ? 9.5 : 11.5, y));
}

void DrawArrow(QPainter& P) {
  P.setPen(QPen(QColor(0x10, 0x60, 0x10), 1));
  P.setBrush(QColor(0x30, 0xb0, 0x30));
  QPolygonF arrow({QPointF(6.5, 9.5), QPointF(10.5, 9.5), QPointF(10.5, 7.5), QPointF(15.5, 11.5),
                   QPointF(10.5, 15.5), QPointF(10.5, 13.5), QPointF(6.5, 13.5)});
  P.drawPolygon(arrow);
}

}  // namespace

// The pictures are compiled into this library; a static library's resources must be registered by
// hand before their first use, and outside any namespace, as the registration macro requires.
static void InitResources() {
  static const bool done = [] {
    Q_INIT_RESOURCE(icons);
    return true;
  }();
  (void)done;
}

QPixmap StatusIcon(int Status) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing, false);
  switch (Status) {
    case 0: DrawEnvelope(p, false); break;
    case 1: DrawEnvelope(p, true); break;
    case 2: DrawSheet(p); break;
    case 3: DrawSheet(p); DrawArrow(p); break;
    default: break;
  }
  return pixmap;
}

QIcon ProgramIcon() {
  InitResources();
  QIcon icon;
  icon.addFile(QStringLiteral(":/icons/pelmo-32.png"), QSize(32, 32));
  icon.addFile(QStringLiteral(":/icons/pelmo.png"), QSize(48, 48));
  return icon;
}

QPixmap ProgramIcon32() {
  InitResources();
  return QPixmap(QStringLiteral(":/icons/pelmo-32.png"));
}

QFont FormFont(int PointSize, bool Bold) {
  static const bool hasTahoma = QFontDatabase::families().contains(QStringLiteral("Tahoma"));
  QFont font = hasTahoma ? QFont(QStringLiteral("Tahoma")) : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  if (!hasTahoma) font.setStyleHint(QFont::SansSerif);
  font.setPointSize(PointSize);
  font.setBold(Bold);
  return font;
}
