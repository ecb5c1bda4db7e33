#include "instruments/integer_output.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "framework/guard.h"
#include "pixels.h"
#include "wait.h"

using namespace instruments;
using testing_support::ProcessUntil;

namespace {

class Field : public TiIntegerOutput {
 public:
  using TiIntegerOutput::TiIntegerOutput;
  int beeps = 0;

 protected:
  void Beep() override { ++beeps; }
};

struct ReportSink {
  QStringList messages;
  framework::ExceptionReporter previous;
  ReportSink() {
    previous = framework::SetExceptionReporter([this](const QString& m) { messages << m; });
  }
  ~ReportSink() { framework::SetExceptionReporter(previous); }
};

// A window with the field and a second control to take the focus away.
struct Form {
  QWidget window;
  Field* field;
  QWidget* other;
  int changes = 0;
  QList<int> userChanges;

  Form() : field(new Field(&window)), other(new QWidget(&window)) {
    field->SetBounds(10, 10, 65, 31);
    other->setGeometry(100, 10, 20, 20);
    other->setFocusPolicy(Qt::StrongFocus);
    field->OnChange = [this](QObject*) { ++changes; };
    field->OnChangeUser = [this](QObject*) { userChanges << field->Value(); };
    window.resize(200, 60);
    window.show();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
  }
  // Closing the window takes the focus away, which commits: the counters are gone by then.
  ~Form() {
    field->OnChange = nullptr;
    field->OnChangeUser = nullptr;
  }
  // As the main window does: focus and select the whole text.
  void Focus() {
    field->setFocus();
    EXPECT_TRUE(ProcessUntil([&] { return field->HasFocus(); }));
    field->SelectAll();
  }
  void Type(const char* text) { QTest::keyClicks(field, QString::fromLatin1(text)); }
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(field, key, modifiers);
  }
  void Leave() {
    other->setFocus();
    EXPECT_TRUE(ProcessUntil([&] { return !field->HasFocus(); }));
  }
};

}  // namespace

TEST(IntegerCommit, TooLargeANumberIsLimitedAndSelected) {
  Form f;
  f.field->SetValueMin(0);
  f.field->SetValueMax(999);
  f.field->SetMaxLength(4);
  f.Focus();
  f.Type("1234");
  EXPECT_EQ(f.field->EditText(), "1234");
  f.Key(Qt::Key_Return);
  EXPECT_EQ(f.field->Value(), 999);
  EXPECT_EQ(f.field->EditText(), "999");
  EXPECT_EQ(f.field->SelStart(), 0);
  EXPECT_EQ(f.field->SelLength(), 3);
  EXPECT_EQ(f.userChanges, QList<int>({999}));
  pixels::Keep(pixels::Render(*f.field->window()), "integer_selected");
}

TEST(IntegerCommit, LeavingTheBoxCommitsWithinTheLimits) {
  Form f;
  f.field->SetValueMin(1);
  f.field->SetValueMax(10);
  EXPECT_EQ(f.field->Value(), 1);
  f.field->SetValue(5);
  f.Focus();
  f.Type("0");
  f.Leave();
  EXPECT_EQ(f.field->Value(), 1);
  EXPECT_EQ(f.field->EditText(), "1");
  EXPECT_EQ(f.userChanges, QList<int>({1}));
}

TEST(IntegerCommit, AnEmptyBoxIsUndoneInDecimalAndZeroInBinary) {
  Form f;
  f.field->SetValue(5);
  f.changes = 0;
  f.Focus();
  f.Key(Qt::Key_Backspace);
  EXPECT_EQ(f.field->EditText(), "");
  f.Key(Qt::Key_Return);
  EXPECT_EQ(f.field->EditText(), "5");
  EXPECT_EQ(f.field->Value(), 5);
  EXPECT_EQ(f.changes, 0);

  f.field->SetFormatStyle(iifsBinary);
  EXPECT_EQ(f.field->EditText(), "101");
  f.field->SelectAll();
  f.Key(Qt::Key_Backspace);
  f.Key(Qt::Key_Return);
  EXPECT_EQ(f.field->Value(), 0);
  EXPECT_EQ(f.field->EditText(), "0");
}

TEST(IntegerFormat, TextsInTheFourFormats) {
  TiIntegerOutput field;
  field.SetFormatStyle(iifsHex);
  field.SetValue(-1);
  EXPECT_EQ(field.EditText(), "FFFFFFFF");
  field.SetLeadingZeros(true);
  field.SetMaxLength(4);
  field.SetValue(10);
  EXPECT_EQ(field.EditText(), "000A");
  pixels::Keep(pixels::Render(field), "integer_hex_000A");
  field.SetLeadingZeros(false);
  field.SetMaxLength(0);
  field.SetFormatStyle(iifsOctal);
  field.SetValue(8);
  EXPECT_EQ(field.EditText(), "10");
  field.SetFormatStyle(iifsBinary);
  EXPECT_EQ(field.EditText(), "1000");
  field.SetFormatStyle(iifsInteger);
  field.SetLeadingZeros(true);
  field.SetMaxLength(3);
  field.SetValue(7);
  EXPECT_EQ(field.EditText(), "007");
  field.SetValue(-7);
  EXPECT_EQ(field.EditText(), "-07");
  field.SetValue(12345);
  EXPECT_EQ(field.EditText(), "12345");  // never shortened
}

TEST(IntegerFormat, TypedTextsReadBackInEachFormat) {
  Form f;
  f.field->SetFormatStyle(iifsHex);
  f.Focus();
  f.Type("ff");
  f.Key(Qt::Key_Return);
  EXPECT_EQ(f.field->Value(), 255);
  EXPECT_EQ(f.field->EditText(), "FF");
  f.field->SetFormatStyle(iifsBinary);
  f.field->SelectAll();
  f.Type("11111111111111111111111111111110");
  f.Key(Qt::Key_Return);
  EXPECT_EQ(f.field->Value(), -2);
  f.field->SetFormatStyle(iifsOctal);
  f.field->SelectAll();
  f.Type("777");
  f.Key(Qt::Key_Return);
  EXPECT_EQ(f.field->Value(), 511);
}

TEST(IntegerEvents, UserChangesAreToldApartFromProgramWrites) {
  Form f;
  f.field->SetValue(3);
  EXPECT_TRUE(f.userChanges.isEmpty());
  EXPECT_EQ(f.changes, 1);
  f.Focus();
  f.Type("42");
  f.Key(Qt::Key_Return);
  EXPECT_EQ(f.userChanges, QList<int>({42}));
  f.field->SelectAll();
  f.Type("43");
  f.field->UpdateMenuItems();
  f.field->MenuItem("Apply")->trigger();
  EXPECT_EQ(f.userChanges, QList<int>({42, 43}));
  EXPECT_EQ(f.changes, 3);

  // A program write replaces typed text, even with the value unchanged.
  f.field->SelectAll();
  f.Type("99");
  f.field->SetValue(43);
  EXPECT_EQ(f.field->EditText(), "43");
  EXPECT_EQ(f.userChanges.size(), 2);

  int vetoed = 0;
  f.field->OnBeforeUserChange = [&](QObject*, int, int& value, bool& can) {
    ++vetoed;
    can = value != 13;
  };
  f.field->SelectAll();
  f.Type("13");
  f.Key(Qt::Key_Return);
  EXPECT_EQ(f.field->Value(), 43);
  f.field->SetValue(13);  // the program is not asked through the user hook
  EXPECT_EQ(f.field->Value(), 13);
  EXPECT_EQ(vetoed, 1);
}

TEST(IntegerEvents, LoweringTheMaximumLowersTheValue) {
  TiIntegerOutput field;
  field.SetValue(500);
  field.SetValueMax(100);
  EXPECT_EQ(field.Value(), 100);
  EXPECT_EQ(field.EditText(), "100");
  field.SetValueMin(200);  // crossed limits: the minimum wins
  EXPECT_EQ(field.Value(), 200);
}

TEST(IntegerEvents, EnterSwallowedByTheHandlerCommitsThroughFocusLoss) {
  Form f;
  f.field->OnKeyPress = [&](QObject*, char16_t& key) {
    if (key != 13) return;
    f.other->setFocus();
    key = 0;
  };
  f.Focus();
  f.Type("77");
  f.Key(Qt::Key_Return);
  ProcessUntil([&] { return !f.field->HasFocus(); });
  EXPECT_EQ(f.field->Value(), 77);
  EXPECT_EQ(f.userChanges, QList<int>({77}));
}

TEST(IntegerKeys, EnterAndArrowsStayWithTheField) {
  QDialog dialog;
  auto* button = new QPushButton("OK", &dialog);
  button->setDefault(true);
  bool accepted = false;
  QObject::connect(&dialog, &QDialog::accepted, [&] { accepted = true; });
  auto* field = new TiIntegerOutput(&dialog);
  field->move(0, 40);
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  field->setFocus();
  ASSERT_TRUE(ProcessUntil([&] { return field->HasFocus(); }));
  // Keys go where the application sends them: to the focused widget.
  QWidget* focused = nullptr;
  for (Qt::Key key : {Qt::Key_5, Qt::Key_Left, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
    QTest::keyClick(focused, key);
  EXPECT_FALSE(accepted);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(field->Value(), 5);  // the new field's "0" was selected
  EXPECT_EQ(field->DialogCode(), 5);
}

TEST(IntegerKeys, CaretSelectionAndEditingKeys) {
  Form f;
  f.field->SetValue(12345);
  f.Focus();
  f.Key(Qt::Key_End);
  EXPECT_EQ(f.field->CursorPos(), 5);
  EXPECT_EQ(f.field->SelLength(), 0);
  f.Key(Qt::Key_Left, Qt::ShiftModifier);
  f.Key(Qt::Key_Left, Qt::ShiftModifier);
  EXPECT_EQ(f.field->SelText(), "45");
  f.Key(Qt::Key_Delete);
  EXPECT_EQ(f.field->EditText(), "123");
  f.Key(Qt::Key_Left, Qt::ControlModifier);
  EXPECT_EQ(f.field->CursorPos(), 0);
  f.Key(Qt::Key_Delete);
  EXPECT_EQ(f.field->EditText(), "23");
  f.Key(Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(f.field->SelText(), "23");
  f.Key(Qt::Key_Right);
  f.Key(Qt::Key_Backspace);
  EXPECT_EQ(f.field->EditText(), "2");
  f.Key(Qt::Key_Escape);
  EXPECT_EQ(f.field->EditText(), "12345");
  EXPECT_EQ(f.field->SelText(), "12345");
  f.Key(Qt::Key_Home);
  f.Type("9");
  f.Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(f.field->EditText(), "12345");

  f.Key(Qt::Key_A, Qt::ControlModifier);
  f.Key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "12345");
  f.Key(Qt::Key_End);
  f.Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(f.field->EditText(), "1234512345");
  f.Key(Qt::Key_A, Qt::ControlModifier);
  f.Key(Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(f.field->EditText(), "");
  EXPECT_EQ(QApplication::clipboard()->text(), "1234512345");
}

TEST(IntegerBadInput, RefusedCharactersAndAFullBox) {
  Form f;
  f.field->SetMaxLength(3);
  f.Focus();
  f.Type("a-+. x");
  EXPECT_EQ(f.field->EditText(), "0");
  EXPECT_EQ(f.field->beeps, 0);
  f.field->SetBeepOnError(true);
  f.Type("12z");
  EXPECT_EQ(f.field->beeps, 1);
  // Control characters reach the filter too: Ctrl+B, and a key whose text is Ctrl+B.
  f.Key(Qt::Key_B, Qt::ControlModifier);
  QKeyEvent ctrlB(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("\x02"));
  QApplication::sendEvent(f.field, &ctrlB);
  EXPECT_EQ(f.field->beeps, 3);
  EXPECT_EQ(f.field->EditText(), "12");
  f.Type("345");
  EXPECT_EQ(f.field->EditText(), "123");
  EXPECT_EQ(f.field->beeps, 5);  // a full box beeps for 4 and for 5
}

TEST(IntegerBadInput, PastedGarbageAndHugeNumbersAreUndone) {
  Form f;
  f.field->SetValue(8);
  f.changes = 0;
  f.Focus();
  QApplication::clipboard()->setText(QString(10000, QLatin1Char('7')));
  f.Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(f.field->EditText().size(), 10000);
  QElapsedTimer clock;
  clock.start();
  const QImage image = pixels::Render(*f.field->window());
  EXPECT_LT(clock.elapsed(), 500);
  pixels::Keep(image, "integer_long_paste");
  EXPECT_EQ(f.field->LastVisible(), 9999);
  EXPECT_GT(f.field->FirstVisible(), 9990);
  f.Key(Qt::Key_Return);
  EXPECT_EQ(f.field->EditText(), "8");
  EXPECT_EQ(f.changes, 0);

  for (const char* text : {"12ab", "99999999999", "-", "2147483648"}) {
    QApplication::clipboard()->setText(QString::fromLatin1(text));
    f.field->SelectAll();
    f.Key(Qt::Key_V, Qt::ControlModifier);
    f.Key(Qt::Key_Return);
    EXPECT_EQ(f.field->Value(), 8) << text;
    EXPECT_EQ(f.field->EditText(), "8") << text;
  }
  f.field->SetFormatStyle(iifsBinary);
  QApplication::clipboard()->setText(QString(33, QLatin1Char('1')));
  f.field->SelectAll();
  f.Key(Qt::Key_V, Qt::ControlModifier);
  f.Key(Qt::Key_Return);
  EXPECT_EQ(f.field->Value(), 8);

  // Pasting into a full box replaces the selection with what fits.
  f.field->SetFormatStyle(iifsInteger);
  f.field->SetMaxLength(3);
  f.field->SetValue(123);
  QApplication::clipboard()->setText("45678");
  f.field->SelectAll();
  f.Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(f.field->EditText(), "456");
}

TEST(IntegerBadInput, WithoutUndoTheErrorGoesToTheReportFromFocusLossOnly) {
  ReportSink sink;
  Form f;
  f.field->SetUndoOnError(false);
  f.field->SetValue(4);
  f.Focus();
  QApplication::clipboard()->setText("x1");
  f.Key(Qt::Key_V, Qt::ControlModifier);
  f.Key(Qt::Key_Return);  // discarded inside the key handling
  EXPECT_TRUE(sink.messages.isEmpty());
  EXPECT_EQ(f.field->EditText(), "x1");
  f.Leave();
  EXPECT_EQ(sink.messages, QStringList({"'x1' is not a valid integer value"}));
  EXPECT_EQ(f.field->Value(), 4);
}

TEST(IntegerMenu, ItemsFollowTheState) {
  Form f;
  f.field->SetValue(25);
  f.Focus();
  auto enabled = [&](const char* caption) {
    f.field->UpdateMenuItems();
    return f.field->MenuItem(caption)->isEnabled();
  };
  EXPECT_FALSE(enabled("Apply"));
  EXPECT_TRUE(enabled("Cut"));
  EXPECT_FALSE(enabled("Select All"));
  f.Type("7");
  EXPECT_TRUE(enabled("Apply"));
  EXPECT_TRUE(enabled("Undo"));
  EXPECT_FALSE(enabled("Copy"));
  EXPECT_TRUE(enabled("Select All"));
  QApplication::clipboard()->clear();
  EXPECT_FALSE(enabled("Paste"));
  f.field->MenuItem("Undo")->trigger();
  EXPECT_EQ(f.field->EditText(), "25");
  f.field->SetErrorActive(true);
  EXPECT_TRUE(enabled("Copy"));
  EXPECT_FALSE(enabled("Cut"));
  f.field->MenuItem("Copy")->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(), "Error");

  QStringList captions;
  for (QAction* item : f.field->ContextMenu()->actions())
    captions << (item->isSeparator() ? QStringLiteral("-") : item->text());
  EXPECT_EQ(captions, QStringList({"Apply", "Undo", "-", "Cut", "Copy", "Paste", "Delete", "-",
                                   "Select All"}));
}

TEST(IntegerMouse, ClicksPlaceTheCaretAndDragsSelect) {
  Form f;
  f.field->SetAlignment(taLeftJustify);
  f.field->SetValue(123456);
  f.Focus();
  (void)pixels::Render(*f.field);  // lays the text out
  const QRect text = f.field->TextRect();
  const int charWidth = text.width() / 6;
  const int y = text.center().y();
  QTest::mouseClick(f.field, Qt::LeftButton, {}, QPoint(text.left() + 2 * charWidth + 1, y));
  EXPECT_EQ(f.field->CursorPos(), 2);
  EXPECT_EQ(f.field->SelLength(), 0);
  QTest::mousePress(f.field, Qt::LeftButton, {}, QPoint(text.left() + charWidth + 1, y));
  QTest::mouseMove(f.field, QPoint(text.left() + 4 * charWidth + 1, y));
  QTest::mouseRelease(f.field, Qt::LeftButton, {}, QPoint(text.left() + 4 * charWidth + 1, y));
  EXPECT_EQ(f.field->SelText(), "234");
  QTest::mouseDClick(f.field, Qt::LeftButton, {}, QPoint(text.left() + 1, y));
  EXPECT_EQ(f.field->SelText(), "123456");
  QTest::mouseClick(f.field, Qt::LeftButton, {}, QPoint(1, y));
  EXPECT_EQ(f.field->CursorPos(), 0);

  QTest::mouseClick(f.field, Qt::RightButton, {}, QPoint(5, y));
  ASSERT_TRUE(ProcessUntil([&] { return f.field->ContextMenu()->isVisible(); }));
  f.field->ContextMenu()->close();
}

TEST(IntegerPicture, ErrorPresentationAndFocusedLook) {
  Form f;
  f.field->SetValue(321);
  f.Focus();
  QImage image = pixels::Render(*f.field);
  pixels::Keep(image, "integer_focused_selected", 6);
  const QColor highlight = framework::ColorToQColor(framework::clHighlight);
  const QRect text = f.field->TextRect();
  EXPECT_GT(pixels::Count(image, text, highlight), text.width() * text.height() / 3);
  EXPECT_GT(pixels::CountBright(image, text, 250), 10);
  f.field->SetErrorActive(true);
  image = pixels::Render(*f.field);
  pixels::Keep(image, "integer_error", 6);
  EXPECT_FALSE(f.field->CaretExists());
  EXPECT_EQ(image.pixel(5, 5) | 0xFF000000u, 0xFF000000u);
  EXPECT_GT(pixels::Count(image, image.rect(), QColor(255, 0, 0)), 10);
  f.field->SetErrorActive(false);
  f.Leave();
  image = pixels::Render(*f.field);
  pixels::Keep(image, "integer_plain", 6);
  EXPECT_EQ(pixels::Count(image, image.rect(), highlight), 0);
}

TEST(IntegerBadInput, InputBeforeTheFirstPaintIsSafe) {
  TiIntegerOutput field;
  QTest::mouseClick(&field, Qt::LeftButton, {}, QPoint(30, 10));
  QTest::mouseDClick(&field, Qt::LeftButton, {}, QPoint(3, 10));
  QTest::keyClicks(&field, "12");
  QTest::keyClick(&field, Qt::Key_Left, Qt::ShiftModifier);
  QTest::keyClick(&field, Qt::Key_Return);
  EXPECT_EQ(field.Value(), 12);
  field.SetBounds(0, 0, 0, 0);
  EXPECT_TRUE(pixels::Render(field).isNull() || pixels::Render(field).width() == 0);
}

TEST(IntegerFocus, TabOrderMovesTheFieldAmongItsSiblings) {
  struct Window : QWidget {
    using QWidget::focusNextChild;
  } window;
  auto* group = new QWidget(&window);
  TiIntegerOutput* a = new TiIntegerOutput(group);
  auto* label = new QWidget(group);  // takes no focus, yet has its place
  TiIntegerOutput* b = new TiIntegerOutput(group);
  TiIntegerOutput* c = new TiIntegerOutput(group);
  auto* outside = new TiIntegerOutput(&window);
  const auto order = [&] { return QList<int>({a->TabOrder(), b->TabOrder(), c->TabOrder()}); };
  EXPECT_EQ(order(), QList<int>({0, 2, 3}));
  c->SetTabOrder(0);
  EXPECT_EQ(order(), QList<int>({1, 3, 0}));
  EXPECT_EQ(c->nextInFocusChain(), a);
  EXPECT_EQ(a->nextInFocusChain(), label);
  a->SetTabOrder(99);  // past the end: last
  EXPECT_EQ(order(), QList<int>({3, 2, 0}));
  a->SetTabOrder(-1);  // no place: stays
  EXPECT_EQ(order(), QList<int>({3, 2, 0}));
  EXPECT_EQ(outside->TabOrder(), 1);

  // The focus follows: c, b, a, then out of the group.
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  c->setFocus();
  QList<QWidget*> visited;
  for (int i = 0; i < 3; ++i) {
    window.focusNextChild();
    visited << QApplication::focusWidget();
  }
  EXPECT_EQ(visited, QList<QWidget*>({b, a, outside}));

  // Without a parent the place waits for one.
  auto* late = new TiIntegerOutput;
  late->SetTabOrder(1);
  EXPECT_EQ(late->TabOrder(), 1);
  late->setParent(group);
  EXPECT_EQ(late->TabOrder(), 1);
  EXPECT_EQ(c->nextInFocusChain(), late);
}
