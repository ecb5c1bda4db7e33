// Sheets of the skinned controls for looking at: every style in every state, and group boxes
// enabled and disabled. Written as PNG files when ZT_SKIN_SHEETS names a folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include "skin/button.h"
#include "skin/group_box.h"
#include "skin_test_util.h"

using namespace skin;

namespace {

void SaveSheet(const QImage& sheet, const char* name) {
  const QString folder = qEnvironmentVariable("ZT_SKIN_SHEETS");
  if (folder.isEmpty()) return;
  QDir().mkpath(folder);
  EXPECT_TRUE(sheet.save(QDir(folder).filePath(name)));
}

QFont Font(const char* family, int px, bool bold = false) {
  QFont font(QString::fromUtf8(family));
  font.setPixelSize(px);
  font.setBold(bold);
  return font;
}

// Puts a button into a state: 0 normal, 1 mouse over, 2 pressed, 3 disabled.
void SetState(TsuiButton* button, int state) {
  if (state == 1) {
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(button, &enter);
  } else if (state == 2) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(button, &press);
    button->clearFocus();
  } else if (state == 3) {
    button->SetEnabled(false);
  }
}

}  // namespace

TEST(Sheets, ButtonsInAllStylesAndStates) {
  skin_test::Form form(QColor(236, 233, 216));
  form->resize(4 * 240 + 20, 5 * 60 + 20);
  const TsuiUIStyle styles[] = {BlueGlass, DeepBlue, MacOS, Protein, WinXP};
  const char* captions[] = {"开始", "停止", "串口设置", "确定"};
  std::vector<TsuiButton*> buttons;
  for (int row = 0; row < 5; ++row)
    for (int state = 0; state < 4; ++state) {
      auto* wide = new TsuiButton(form.get());
      wide->SetUIStyle(styles[row]);
      wide->setGeometry(10 + state * 240, 10 + row * 60, 97, 41);
      wide->setFont(Font("宋体", 21));
      wide->SetCaption(captions[state]);
      auto* narrow = new TsuiButton(form.get());
      narrow->SetUIStyle(styles[row]);
      narrow->setGeometry(120 + state * 240, 10 + row * 60, 57, 41);
      narrow->setFont(Font("微软雅黑", 16, true));
      narrow->SetCaption("发送");
      for (TsuiButton* b : {wide, narrow}) {
        SetState(b, state);
        buttons.push_back(b);
      }
    }
  const QImage sheet = skin_test::Grab(form.get());
  EXPECT_EQ(sheet.size(), form->size());
  SaveSheet(sheet, "buttons.png");
  // The main window's buttons close up.
  SaveSheet(sheet.copy(0, 0, 960, 70).scaled(2880, 210), "buttons_zoomed.png");
}

TEST(Sheets, RawButtonSkins) {
  QImage sheet(252 * 4, 5 * 27 * 4 + 40, QImage::Format_RGB32);
  sheet.fill(Qt::darkGray);
  QPainter painter(&sheet);
  int y = 0;
  for (const char* name :
       {"BLUEGLASS_BUTTON", "DEEPBLUE_BUTTON", "MACOS_BUTTON", "PROTEIN_BUTTON", "WINXP_BUTTON"}) {
    const QImage skin = LoadSkinResource(name);
    painter.drawImage(0, y, skin.scaled(skin.size() * 4));
    y += skin.height() * 4 + 8;
  }
  painter.end();
  SaveSheet(sheet, "skins.png");
}

TEST(Sheets, GroupBoxesEnabledAndDisabled) {
  skin_test::Form form(QColor(236, 233, 216));
  form->resize(2 * 360 + 20, 2 * 175 + 95);
  auto* count = new TsuiGroupBox(form.get());
  count->setGeometry(10, 5, 185, 73);
  count->setFont(Font("微软雅黑", 19));
  count->SetCaption("从机数量：");
  auto* confirm = new TsuiButton(count);
  confirm->SetUIStyle(BlueGlass);
  confirm->setGeometry(80, 26, 97, 41);
  confirm->SetCaption("确定");
  for (int n = 0; n < 4; ++n) {
    auto* box = new TsuiGroupBox(form.get());
    box->SetUIStyle(n == 1 ? DeepBlue : BlueGlass);
    box->setGeometry(10 + (n % 2) * 360, 90 + (n / 2) * 175, 345, 161);
    box->setFont(Font("微软雅黑", 16, true));
    const bool enabled = n % 2 == 0;
    box->SetCaption(QStringLiteral("从机地址%1%2").arg(n + 1).arg(enabled ? "" : "未启用"));
    for (int k = 0; k < 3; ++k) {
      auto* send = new TsuiButton(box);
      send->SetUIStyle(BlueGlass);
      send->setGeometry(280, 16 + 40 * k, 57, 41);
      send->SetCaption("发送");
      auto* label = new QLabel(QStringLiteral("寄存器%1").arg(k), box);
      label->setGeometry(10, 26 + 40 * k, 120, 20);
    }
    box->SetEnabled(enabled);
  }
  const QImage sheet = skin_test::Grab(form.get());
  EXPECT_EQ(sheet.size(), form->size());
  SaveSheet(sheet, "group_boxes.png");
}
