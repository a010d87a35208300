#include "forms/Icons.h"

#include "engine/SMSEngine.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <algorithm>
#include <cmath>

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
  QPolygonF arrow({QPointF(6.5, 9.5), QPointF(10.5, 9.5), QPointF(10.5, 7.5), QPointF(15.5, 11.5), QPointF(10.5, 15.5),
                   QPointF(10.5, 13.5), QPointF(6.5, 13.5)});
  P.drawPolygon(arrow);
}

}  // namespace

QPixmap StatusIcon(int Status) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing, false);
  switch (Status) {
    case SMSEngine::StatusReceivedUnread:
      DrawEnvelope(p, false);
      break;
    case SMSEngine::StatusReceivedRead:
      DrawEnvelope(p, true);
      break;
    case SMSEngine::StatusStoredUnsent:
      DrawSheet(p);
      break;
    case SMSEngine::StatusStoredSent:
      DrawSheet(p);
      DrawArrow(p);
      break;
    default:
      break;
  }
  return pixmap;
}

// The program icon, drawn on a 48 x 48 grid: a mobile phone with a short message leaving it. It is
// drawn rather than read from a picture file, so that no image reader (and no image format plugin)
// is loaded at start.
static QImage ProgramPicture(int Size, bool Smooth) {
  QImage image(Size, Size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, Smooth);
  p.scale(Size / 48.0, Size / 48.0);
  const QColor dark(0x1e, 0x26, 0x30), brown(0x7a, 0x5c, 0x00);
  p.setPen(QPen(dark, 1.5));
  p.setBrush(QColor(0x3d, 0x4a, 0x5c));
  p.drawRoundedRect(QRectF(9, 3, 22, 42), 4, 4);
  p.setPen(QPen(dark, 1));
  p.setBrush(QColor(0xb9, 0xe0, 0xa5));
  p.drawRect(QRectF(12.5, 9, 15, 15));
  p.setPen(Qt::NoPen);
  p.setBrush(dark);
  p.drawRoundedRect(QRectF(16, 5.5, 8, 1.5), 0.7, 0.7);
  p.setBrush(QColor(0xd7, 0xdd, 0xe6));
  for (double y : {28.0, 32.5, 37.0})
    for (double x : {13.0, 18.0, 23.0}) p.drawRoundedRect(QRectF(x, y, 4, 3), 0.8, 0.8);
  p.setPen(QPen(brown, 1.5, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
  p.setBrush(QColor(0xff, 0xf6, 0xc8));
  p.drawRect(QRectF(22, 17, 23, 16));
  p.setBrush(Qt::NoBrush);
  p.drawPolyline(QPolygonF({QPointF(22, 17), QPointF(33.5, 26.5), QPointF(45, 17)}));
  return image;
}

namespace {

// The program icon drawn when it is first asked for, not at start: a window system without window
// icons never asks, and one with them asks as the first window shows.
class TProgramIconEngine : public QIconEngine {
 public:
  void paint(QPainter* Painter, const QRect& Rect, QIcon::Mode Mode, QIcon::State State) override {
    Icon().paint(Painter, Rect, Qt::AlignCenter, Mode, State);
  }
  QSize actualSize(const QSize& Size, QIcon::Mode Mode, QIcon::State State) override {
    return Icon().actualSize(Size, Mode, State);
  }
  QPixmap pixmap(const QSize& Size, QIcon::Mode Mode, QIcon::State State) override {
    return Icon().pixmap(Size, Mode, State);
  }
  QPixmap scaledPixmap(const QSize& Size, QIcon::Mode Mode, QIcon::State State, qreal Scale) override {
    return Icon().pixmap(Size, Scale, Mode, State);
  }
  QList<QSize> availableSizes(QIcon::Mode Mode, QIcon::State State) override {
    if (Mode != QIcon::Normal || State != QIcon::Off) return {};
    return {QSize(16, 16), QSize(32, 32), QSize(48, 48)};
  }
  bool isNull() override { return false; }
  QIconEngine* clone() const override { return new TProgramIconEngine(*this); }

 private:
  QIcon& Icon() {
    if (FIcon.isNull())
      for (int size : {16, 32, 48}) FIcon.addPixmap(QPixmap::fromImage(ProgramPicture(size, true)));
    return FIcon;
  }
  QIcon FIcon;
};

}  // namespace

QIcon ProgramIcon() { return QIcon(new TProgramIconEngine); }

// Without smoothing: the few colours of the drawing and nothing between them.
QPixmap ProgramIcon32() { return QPixmap::fromImage(ProgramPicture(32, false)); }

bool FontInstalled(const QString& Family) { return !QFontDatabase::styles(Family).isEmpty(); }

// Tahoma where it is installed, else the system's font. Asking for Tahoma where it is missing
// would cost a search for the family most like it, and a font engine more.
QFont FormFont(int PointSize, bool Bold) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  static const bool tahoma = FontInstalled(QStringLiteral("Tahoma"));
  if (tahoma) {
    font.setFamilies({QStringLiteral("Tahoma"), font.family()});
    font.setStyleHint(QFont::SansSerif);
  }
  font.setPointSize(PointSize);
  font.setBold(Bold);
  return font;
}

QFont FittedFormFont(const QString& Widest, int Room) {
  QFont font = FormFont();
  const double full = font.pointSizeF();
  auto Width = [&font, &Widest](double Size) {
    font.setPointSizeF(Size);
    return QFontMetrics(font).horizontalAdvance(Widest);
  };
  // Each size measured may load a font engine of its own, which costs at start. The forms were
  // made for Tahoma; a font standing in for it is usually wider, so there the search starts a
  // point lower.
  double size = font.family() == QLatin1String("Tahoma") ? full : std::max(full - 1, 6.0);
  int width = Width(size);
  double largest = full;  // no size above this is tried
  if (width > Room && size > 6.0) {
    // Text widths grow nearly in proportion to the size: the measurement gives the next size,
    // then half points down to the first that fits.
    largest = size - 0.5;
    size = std::clamp(std::round(size * Room / width * 2) / 2, 6.0, largest);
    width = Width(size);
    while (width > Room && size > 6.0) width = Width(size -= 0.5);
  }
  // Half points up while the last width, grown in proportion, says the next size may fit too.
  while (width <= Room && size + 0.5 <= largest && width * (size + 0.5) / size <= Room) {
    const int up = Width(size + 0.5);
    if (up > Room) break;
    size += 0.5;
    width = up;
  }
  font.setPointSizeF(size);
  return font;
}
