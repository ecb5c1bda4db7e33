// One register row as the main window lays it out, rendered as a whole.
#include <gtest/gtest.h>

#include "instruments/integer_output.h"
#include "instruments/label.h"
#include "instruments/seven_segment_display.h"
#include "pixels.h"

using namespace instruments;

TEST(Gallery, RegisterRowAsTheMainWindowPlacesIt) {
  QWidget window;
  window.resize(300, 80);
  auto* display = new TiSevenSegmentInteger(&window);
  display->SetShowSign(false);
  display->SetDigitCount(5);
  display->SetBounds(101, 21, 84, 28);
  display->SetValue(1234);
  auto* field = new TiIntegerOutput(&window);
  field->Font()->SetName(QStringLiteral("Courier New"));
  field->Font()->SetHeight(-21);
  field->SetBounds(208, 21, 65, 31);
  field->SetValueMax(999);
  field->SetMaxLength(3);
  field->SetValue(999);
  auto* label = new TiLabel(&window);
  label->Font()->SetName(QStringLiteral("MS Sans Serif"));
  label->Font()->SetHeight(-16);
  label->Font()->SetStyle({TFontStyle::fsBold});
  label->SetCaption(QStringLiteral("串口数据监视"));
  label->SetBounds(16, 56, label->width(), label->height());

  const QImage image = pixels::Render(window);
  pixels::Keep(image, "gallery_register_row", 3);
  EXPECT_EQ(field->geometry(), QRect(208, 21, 65, 31));
  // The display's first cell is blank (off colour), the second shows a lit 1 (B and C).
  const QColor off(85, 85, 85);
  EXPECT_GT(pixels::Count(image, QRect(106, 26, 10, 18), off), 40);
  EXPECT_EQ(pixels::Count(image, QRect(122, 26, 10, 18), Qt::white), (7 + 5 + 3) + (8 + 6 + 4));
  // The field's text is centred between its sunken borders.
  const QRect text = field->TextRect();
  EXPECT_NEAR(text.center().x(), 65 / 2, 2);
  EXPECT_GT(pixels::CountBright(image, QRect(208, 21, 65, 31), 250), 200);
}
