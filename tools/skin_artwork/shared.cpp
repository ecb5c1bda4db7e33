// The style-independent resources: grey scroll buttons, the menu check mark, message dialog
// icons, the pop-up form background, panel, MDI and side-channel buttons and the size grip.
#include <QPainter>
#include <QPolygon>
#include <functional>

#include "artwork.h"
#include "shapes.h"

namespace artwork {

namespace {

const QColor kFace(236, 233, 216);
const QColor kInk(64, 64, 64);

QImage Canvas(int w, int h, const QColor& fill, const std::function<void(QPainter&)>& draw) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(fill);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  draw(p);
  return image;
}

void Triangle(QPainter& p, QPoint a, QPoint b, QPoint c, const QColor& color) {
  p.setPen(color);
  p.setBrush(color);
  p.drawPolygon(QPolygon({a, b, c}));
  p.setBrush(Qt::NoBrush);
}

// Information, warning, error and question, 32 x 32 each.
void DialogIcon(QPainter& p, int which, int x) {
  const QColor colors[] = {{40, 100, 210}, {230, 180, 20}, {200, 30, 30}, {40, 100, 210}};
  QImage disc(32, 32, QImage::Format_RGB32);
  disc.fill(Magenta);
  if (which == 1) {
    QPainter d(&disc);
    Triangle(d, {16, 2}, {30, 29}, {2, 29}, colors[1]);
  } else {
    PaintBody(disc, QRect(2, 2, 28, 28),
              {14, Gradient(colors[which].lighter(140), colors[which]), colors[which].darker(),
               QColor(), QColor()});
  }
  p.drawImage(x, 0, disc);
  const QColor mark = which == 1 ? Qt::black : Qt::white;
  switch (which) {
    case 0:
      p.fillRect(x + 14, 8, 4, 4, mark);
      p.fillRect(x + 14, 14, 4, 10, mark);
      break;
    case 1:
      p.fillRect(x + 14, 10, 4, 11, mark);
      p.fillRect(x + 14, 23, 4, 3, mark);
      break;
    case 2:
      p.setPen(QPen(mark, 3));
      p.drawLine(x + 10, 10, x + 21, 21);
      p.drawLine(x + 21, 10, x + 10, 21);
      break;
    default:
      p.fillRect(x + 11, 8, 10, 3, mark);
      p.fillRect(x + 18, 10, 3, 7, mark);
      p.fillRect(x + 14, 15, 4, 4, mark);
      p.fillRect(x + 14, 21, 4, 4, mark);
      break;
  }
}

}  // namespace

std::vector<Bitmap> SharedElements() {
  std::vector<Bitmap> list;
  list.push_back(
      {QStringLiteral("MORE_SCROLLBUTTON"),
       Canvas(32, 16, kFace,
              [](QPainter& p) {
                for (int i = 0; i < 2; ++i) {
                  p.fillRect(i * 16, 0, 16, 16, QColor(128, 128, 128));
                  p.fillRect(i * 16 + 1, 1, 14, 14, QColor(244, 244, 244));
                  const int y = i ? 6 : 9;
                  const int tip = i ? 9 : 6;
                  Triangle(p, {i * 16 + 4, y}, {i * 16 + 11, y}, {i * 16 + 7, tip}, kInk);
                }
              }),
       0});
  list.push_back({QStringLiteral("MENU_CHECKED"),
                  Canvas(16, 16, Qt::white,
                         [](QPainter& p) {
                           p.setPen(QPen(Qt::black, 2));
                           p.drawPolyline(QPolygon({{4, 8}, {7, 11}, {12, 4}}));
                         }),
                  0});
  list.push_back({QStringLiteral("MSGDLG"),
                  Canvas(128, 32, Magenta,
                         [](QPainter& p) {
                           for (int i = 0; i < 4; ++i) DialogIcon(p, i, i * 32);
                         }),
                  0});
  list.push_back({QStringLiteral("MSNPOPFORM"),
                  Canvas(180, 116, Qt::white,
                         [](QPainter& p) {
                           for (int y = 0; y < 116; ++y)
                             p.fillRect(0, y, 180, 1,
                                        Mix(QColor(226, 238, 255), QColor(160, 196, 240), y, 115));
                           p.setPen(QColor(60, 110, 190));
                           p.drawRect(0, 0, 179, 115);
                           p.fillRect(1, 1, 178, 20, QColor(90, 140, 220));
                         }),
                  0});
  list.push_back({QStringLiteral("PANEL_BUTTON"),
                  Canvas(48, 16, kFace,
                         [](QPainter& p) {
                           for (int i = 0; i < 3; ++i) {
                             const QColor ink = i == 2 ? Qt::white : kInk;
                             if (i)
                               p.fillRect(i * 16 + 1, 1, 14, 14,
                                          i == 1 ? QColor(200, 214, 240) : QColor(90, 120, 180));
                             Triangle(p, {i * 16 + 4, 5}, {i * 16 + 11, 5}, {i * 16 + 7, 9}, ink);
                           }
                         }),
                  0});
  list.push_back({QStringLiteral("MDI_CONTROL_BUTTON"),
                  Canvas(48, 14, kFace,
                         [](QPainter& p) {
                           p.setPen(kInk);
                           p.fillRect(4, 9, 8, 2, kInk);
                           p.drawRect(21, 4, 7, 6);
                           p.drawRect(19, 2, 7, 6);
                           p.drawLine(36, 3, 43, 10);
                           p.drawLine(43, 3, 36, 10);
                         }),
                  0});
  list.push_back({QStringLiteral("STATUSBAR_HANDLE"),
                  Canvas(12, 12, kFace,
                         [](QPainter& p) {
                           for (int d = 0; d < 3; ++d)
                             for (int k = 0; k <= d; ++k) {
                               const int x = 9 - 3 * k, y = 9 - 3 * (d - k);
                               p.fillRect(x, y, 2, 2, Qt::white);
                               p.fillRect(x, y, 1, 1, QColor(128, 128, 128));
                             }
                         }),
                  0});
  list.push_back({QStringLiteral("SIDECHANNEL_BTN"),
                  Canvas(32, 16, kFace,
                         [](QPainter& p) {
                           p.setPen(kInk);
                           p.drawRect(4, 4, 7, 5);
                           p.drawLine(7, 9, 7, 13);
                           p.drawRect(16 + 3, 5, 5, 5);
                           p.drawLine(16 + 8, 7, 16 + 12, 7);
                         }),
                  0});
  return list;
}

}  // namespace artwork
