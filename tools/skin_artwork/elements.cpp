// The skin elements besides the buttons. Each style tints the same drawings with its colours;
// styles with transparent title buttons (Protein, BlueGlass) and MacOS leave magenta around
// their rounded shapes.
#include <QPainter>
#include <QPolygon>
#include <functional>

#include "artwork.h"
#include "shapes.h"

namespace artwork {

namespace {

struct Look {
  QString Prefix;
  QColor Accent;  // borders and marks
  QColor Light;   // raised faces
  QColor Dark;    // pressed faces and shadows
  QColor Face;    // the control background
  bool Keyed;     // magenta around rounded shapes
};

const Look kLooks[] = {
    {"MACOS", {62, 104, 172}, {238, 242, 250}, {150, 180, 226}, {231, 231, 231}, true},
    {"WINXP", {0, 84, 227}, {248, 248, 244}, {180, 196, 232}, {239, 235, 222}, false},
    {"DEEPBLUE", {22, 44, 112}, {232, 236, 248}, {170, 184, 222}, {232, 232, 232}, false},
    {"PROTEIN", {82, 82, 152}, {244, 244, 252}, {196, 196, 230}, {251, 251, 251}, true},
    {"BLUEGLASS", {36, 86, 168}, {226, 240, 254}, {120, 178, 236}, {231, 231, 231}, true},
};

using Draw = std::function<void(QPainter&, int frame, const QRect& cell)>;

// Frames of one size side by side, each drawn by draw on the look's background.
QImage Strip(int frames, int w, int h, QRgb background, const Draw& draw) {
  QImage image(w * frames, h, QImage::Format_RGB32);
  image.fill(background);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  for (int i = 0; i < frames; ++i) draw(p, i, QRect(i * w, 0, w, h));
  return image;
}

QRgb Outside(const Look& look) {
  return look.Keyed ? Magenta : look.Face.rgb();
}

void Box(QPainter& p, const QRect& r, const QColor& border, const QColor& fill) {
  p.fillRect(r, border);
  p.fillRect(r.adjusted(1, 1, -1, -1), fill);
}

void Check(QPainter& p, const QRect& r, const QColor& c) {
  const QPoint o = r.center();
  p.setPen(QPen(c, 2));
  p.drawPolyline(QPolygon({o + QPoint(-3, 0), o + QPoint(-1, 2), o + QPoint(3, -2)}));
}

// A small triangle pointing up (0), down (1), left (2) or right (3).
void Arrow(QPainter& p, const QRect& r, int direction, const QColor& c) {
  const QPoint o = r.center();
  QPolygon tri;
  switch (direction) {
    case 0:
      tri = QPolygon({o + QPoint(-3, 1), o + QPoint(3, 1), o + QPoint(0, -2)});
      break;
    case 1:
      tri = QPolygon({o + QPoint(-3, -1), o + QPoint(3, -1), o + QPoint(0, 2)});
      break;
    case 2:
      tri = QPolygon({o + QPoint(1, -3), o + QPoint(1, 3), o + QPoint(-2, 0)});
      break;
    default:
      tri = QPolygon({o + QPoint(-1, -3), o + QPoint(-1, 3), o + QPoint(2, 0)});
      break;
  }
  p.setPen(c);
  p.setBrush(c);
  p.drawPolygon(tri);
  p.setBrush(Qt::NoBrush);
}

void Body(QPainter& p, const QRect& r, const Look& look, bool raised, int radius) {
  QImage cell(r.size(), QImage::Format_RGB32);
  cell.fill(Outside(look));
  PaintBody(cell, cell.rect(),
            {radius, Gradient(raised ? look.Light : look.Dark, raised ? look.Dark : look.Light),
             look.Accent, QColor(), QColor()});
  p.drawImage(r.topLeft(), cell);
}

void TitleGlyph(QPainter& p, const QRect& r, int which, const QColor& c) {
  const QRect g = r.adjusted(5, 5, -5, -5);
  p.setPen(c);
  switch (which) {
    case 0:
      p.fillRect(g.left(), g.bottom() - 1, g.width(), 2, c);
      break;
    case 1:
      p.drawRect(g.adjusted(0, 0, -1, -1));
      p.fillRect(g.left(), g.top(), g.width(), 2, c);
      break;
    case 2:
      p.drawRect(g.adjusted(2, 0, -1, -3));
      p.drawRect(g.adjusted(0, 3, -3, -1));
      break;
    default:
      p.drawLine(g.topLeft(), g.bottomRight());
      p.drawLine(g.topRight(), g.bottomLeft());
      break;
  }
}

std::vector<Bitmap> ElementsOf(const Look& s) {
  const QRgb out = Outside(s);
  const QRgb face = s.Face.rgb();
  auto named = [&](const char* element, QImage image) {
    return Bitmap{s.Prefix + QLatin1Char('_') + QLatin1String(element), image, 0};
  };
  std::vector<Bitmap> list;
  list.push_back(named("CHECKBOX", Strip(4, 13, 13, face, [&](QPainter& p, int i, QRect r) {
                         Box(p, r, s.Accent, i >= 2 ? s.Light : Qt::white);
                         if (i % 2) Check(p, r, s.Accent);
                       })));
  list.push_back(named("RADIOBUTTON", Strip(4, 13, 13, out, [&](QPainter& p, int i, QRect r) {
                         Body(p, r, s, i < 2, 6);
                         if (i % 2)
                           p.fillRect(QRect(r.center() - QPoint(1, 1), QSize(3, 3)), s.Accent);
                       })));
  list.push_back(named("TITLEBTN", Strip(8, 17, 17, out, [&](QPainter& p, int i, QRect r) {
                         Body(p, r, s, i % 2 == 0, 3);
                         TitleGlyph(p, r, i / 2, i % 2 ? Qt::white : s.Accent);
                       })));
  auto title = [&](int w) {
    return Strip(1, w, 26, face, [&](QPainter& p, int, QRect r) {
      for (int y = 0; y < r.height(); ++y)
        p.fillRect(r.left(), y, r.width(), 1, Mix(s.Light, s.Accent, y, r.height() - 1));
    });
  };
  list.push_back(named("TITLE_LEFT", title(6)));
  list.push_back(named("TITLE_CLIENT", title(8)));
  list.push_back(named("TITLE_RIGHT", title(6)));
  list.push_back(named("PROGRESSBAR", Strip(2, 10, 12, face, [&](QPainter& p, int i, QRect r) {
                         Box(p, r, s.Accent, i ? s.Dark : Qt::white);
                       })));
  list.push_back(named("TRACKBAR_BAR", Strip(1, 40, 5, face, [&](QPainter& p, int, QRect r) {
                         Box(p, r, s.Accent, s.Light);
                       })));
  list.push_back(named("TRACKBAR_SLIDER", Strip(1, 11, 19, out, [&](QPainter& p, int, QRect r) {
                         Body(p, r, s, true, 3);
                       })));
  list.push_back(named("TRACKBAR_SLIDER_V", Strip(1, 19, 11, out, [&](QPainter& p, int, QRect r) {
                         Body(p, r, s, true, 3);
                       })));
  list.push_back(named("SCROLLBAR_BUTTON", Strip(4, 16, 16, face, [&](QPainter& p, int i, QRect r) {
                         Box(p, r, s.Accent, s.Light);
                         Arrow(p, r, i, s.Accent);
                       })));
  list.push_back(named("SCROLLBAR_TRACK", Strip(3, 16, 16, face, [&](QPainter& p, int i, QRect r) {
                         if (i == 0)
                           p.fillRect(r, s.Face);
                         else
                           Box(p, r, s.Accent, i == 1 ? s.Light : s.Dark);
                       })));
  list.push_back(named("CHECKLIST", Strip(2, 13, 13, face, [&](QPainter& p, int i, QRect r) {
                         Box(p, r, s.Accent, Qt::white);
                         if (i) Check(p, r, s.Accent);
                       })));
  list.push_back(named("TAB", Strip(3, 24, 22, out, [&](QPainter& p, int i, QRect r) {
                         Body(p, r.adjusted(0, 0, 0, 4), s, i != 2, 3);
                         p.fillRect(r.left(), r.bottom(), r.width(), 1,
                                    i == 2 ? s.Light : s.Accent);
                       })));
  list.push_back(named("TAB_LINE", Strip(1, 10, 3, face, [&](QPainter& p, int, QRect r) {
                         p.fillRect(r.left(), r.top(), r.width(), 1, s.Accent);
                         p.fillRect(r.left(), r.top() + 1, r.width(), 2, s.Light);
                       })));
  list.push_back(named("SIDECHENNEL_HANDLE", Strip(1, 10, 40, face, [&](QPainter& p, int, QRect r) {
                         Box(p, r, s.Accent, s.Light);
                         for (int y = 12; y < 28; y += 3) p.fillRect(3, y, 4, 1, s.Accent);
                       })));
  list.push_back(named("SIDECHENNEL_BAR", Strip(1, 24, 24, face, [&](QPainter& p, int, QRect r) {
                         for (int y = 0; y < r.height(); ++y)
                           p.fillRect(r.left(), y, r.width(), 1,
                                      Mix(s.Light, s.Dark, y, r.height() - 1));
                       })));
  return list;
}

// The resources only MacOS, WinXP and Protein have.
std::vector<Bitmap> Extras() {
  const Look& mac = kLooks[0];
  const Look& xp = kLooks[1];
  std::vector<Bitmap> list;
  for (const Look* s : {&mac, &xp}) {
    list.push_back({s->Prefix + QStringLiteral("_SCROLLBUTTON"),
                    Strip(2, 16, 16, s->Face.rgb(),
                          [&](QPainter& p, int i, QRect r) {
                            Box(p, r, s->Accent, s->Light);
                            Arrow(p, r, i ? 1 : 0, s->Accent);
                          }),
                    0});
    list.push_back({s->Prefix + QStringLiteral("_COMBOBOX_BUTTON"),
                    Strip(3, 17, 20, Outside(*s),
                          [&](QPainter& p, int i, QRect r) {
                            Body(p, r, *s, i != 2, 3);
                            Arrow(p, r, 1, i == 1 ? s->Accent.darker() : s->Accent);
                          }),
                    0});
  }
  list.push_back({QStringLiteral("MACOS_FORM_BACKGROUND"),
                  Strip(1, 16, 16, mac.Face.rgb(),
                        [&](QPainter& p, int, QRect r) {
                          for (int y = 0; y < r.height(); y += 2)
                            p.fillRect(0, y, 16, 1, QColor(242, 242, 242));
                        }),
                  0});
  list.push_back({QStringLiteral("MACOS_MENU_BAR"),
                  Strip(1, 16, 22, mac.Face.rgb(),
                        [&](QPainter& p, int, QRect r) {
                          for (int y = 0; y < r.height(); ++y)
                            p.fillRect(0, y, 16, 1,
                                       Mix(QColor(252, 252, 252), QColor(214, 214, 214), y, 21));
                        }),
                  0});
  list.push_back({QStringLiteral("MACOS_MENU_SELECT"),
                  Strip(1, 16, 18, mac.Face.rgb(),
                        [&](QPainter& p, int, QRect r) {
                          for (int y = 0; y < r.height(); ++y)
                            p.fillRect(0, y, 16, 1,
                                       Mix(QColor(96, 150, 230), QColor(40, 90, 200), y, 17));
                        }),
                  0});
  list.push_back({QStringLiteral("PROTEIN_FORM_BACKGROUND"),
                  Strip(1, 16, 16, kLooks[3].Face.rgb(),
                        [&](QPainter& p, int, QRect) {
                          for (int i = 0; i < 16; i += 4)
                            p.fillRect(i, i, 1, 1, QColor(236, 236, 246));
                        }),
                  0});
  return list;
}

}  // namespace

std::vector<Bitmap> StyleElements() {
  std::vector<Bitmap> list;
  for (const Look& look : kLooks)
    for (Bitmap& b : ElementsOf(look)) list.push_back(std::move(b));
  for (Bitmap& b : Extras()) list.push_back(std::move(b));
  return list;
}

}  // namespace artwork
