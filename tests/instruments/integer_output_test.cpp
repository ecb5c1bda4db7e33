#include "instruments/integer_output.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <climits>
#include <cstring>
#include <optional>

#include "instruments/convert.h"
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

// Typed keys ("\b" Backspace, "\r" Enter), then Enter or leaving the box: the committed value
// and text, the whole text selected, and OnChangeUser only when the value changed.
TEST(IntegerCommit, TypedTextsInEachFormatWithinTheLimits) {
  struct Row {
    TiIntegerFormatStyle style;
    int min, max, maxLength, start;
    const char* keys;
    bool leave;
    int value;
    const char* text;
  };
  const Row rows[] = {
      {iifsInteger, 0, 999, 4, 0, "1234\r", false, 999, "999"},
      {iifsInteger, 1, 10, 0, 5, "0", true, 1, "1"},
      {iifsInteger, 0, 0, 0, 5, "\b\r", false, 5, "5"},  // empty: undone
      {iifsBinary, 0, 0, 0, 5, "\b\r", false, 0, "0"},   // empty: 0
      {iifsHex, 0, 0, 0, 0, "ff\r", false, 255, "FF"},
      {iifsBinary, 0, 0, 0, 0, "11111111111111111111111111111110\r", false, -2,
       "11111111111111111111111111111110"},
      {iifsOctal, 0, 0, 0, 0, "777", true, 511, "777"},
      {iifsInteger, 0, 0, 0, 3, "-4\r", false, 4, "4"},  // no sign can be typed
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.keys);
    Form f;
    f.field->SetFormatStyle(row.style);
    f.field->SetValueMin(row.min);
    f.field->SetValueMax(row.max);
    f.field->SetMaxLength(row.maxLength);
    f.field->SetValue(row.start);
    f.changes = 0;
    f.Focus();
    f.Type(row.keys);
    if (row.leave) f.Leave();
    EXPECT_EQ(f.field->Value(), row.value);
    EXPECT_EQ(f.field->EditText(), row.text);
    EXPECT_EQ(f.field->AcceptedText(), row.text);
    EXPECT_EQ(f.field->SelStart(), 0);
    EXPECT_EQ(f.field->SelLength(), int(strlen(row.text)));
    const bool changed = row.value != row.start;
    EXPECT_EQ(f.userChanges, changed ? QList<int>({row.value}) : QList<int>());
    EXPECT_EQ(f.changes, int(changed));
  }
}

// The text of a value; each option set after the value refreshes the text at once.
TEST(IntegerFormat, TextsInTheFourFormats) {
  struct Row {
    TiIntegerFormatStyle style;
    bool leadingZeros;
    int maxLength, value;
    const char* text;
  };
  const Row rows[] = {
      {iifsHex, false, 0, -1, "FFFFFFFF"},
      {iifsHex, true, 4, 10, "000A"},
      {iifsHex, true, 0, 10, "0000000A"},
      {iifsHex, true, 12, 10, "0000000A"},
      {iifsOctal, false, 0, 8, "10"},
      {iifsOctal, false, 0, -1, "7777777777"},
      {iifsOctal, true, 0, 8, "0000000010"},
      {iifsBinary, false, 0, 8, "1000"},
      {iifsBinary, true, 0, 5, "00000000000000000000000000000101"},
      {iifsBinary, false, 0, -1, "11111111111111111111111111111111"},
      {iifsInteger, true, 3, 7, "007"},
      {iifsInteger, true, 3, -7, "-07"},
      {iifsInteger, true, 3, 12345, "12345"},  // never shortened
      {iifsInteger, true, 0, 0, "0"},
      {iifsInteger, false, 5, 0, "0"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    TiIntegerOutput field;
    field.SetValue(row.value);
    field.SetFormatStyle(row.style);
    field.SetLeadingZeros(row.leadingZeros);
    field.SetMaxLength(row.maxLength);
    EXPECT_EQ(field.EditText(), row.text);
    EXPECT_EQ(field.AcceptedText(), row.text);
  }
}

TEST(IntegerEvents, UserChangesAreToldApartFromProgramWrites) {
  Form f;
  f.field->SetValue(3);
  f.Focus();
  f.Type("43");
  f.field->MenuItem("Apply")->trigger();
  EXPECT_EQ(f.userChanges, QList<int>({43}));
  EXPECT_EQ(f.changes, 2);

  // A program write replaces typed text, even with the value unchanged.
  f.field->SelectAll();
  f.Type("99");
  f.field->SetValue(43);
  EXPECT_EQ(f.field->EditText(), "43");
  EXPECT_EQ(f.userChanges.size(), 1);

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

// The plain edit box: text set by the program replaces the selection and is committed.
TEST(EditText, SetTextClearsTheSelectionAndCommits) {
  struct Edit : TiEditCustom {
    using TiEditCustom::SetText;
  } edit;
  edit.SetAutoSelect(false);
  edit.SetText("abc");
  edit.SelectAll();
  edit.SetText("abcd");
  EXPECT_EQ(edit.SelLength(), 0);
  EXPECT_EQ(edit.AcceptedText(), "abcd");
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

// One key after the other: the text, the caret and the selection after each.
TEST(IntegerKeys, CaretSelectionAndEditingKeys) {
  Form f;
  f.field->SetValue(12345);
  f.Focus();
  const Qt::KeyboardModifiers N = Qt::NoModifier, S = Qt::ShiftModifier, C = Qt::ControlModifier;
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char *text, *selected;
    int caret;
  } steps[] = {{Qt::Key_End, N, "12345", "", 5},       {Qt::Key_Left, S, "12345", "5", 4},
               {Qt::Key_Left, S, "12345", "45", 3},    {Qt::Key_Delete, N, "123", "", 3},
               {Qt::Key_Left, N, "123", "", 2},        {Qt::Key_Home, S, "123", "12", 0},
               {Qt::Key_Right, N, "123", "", 1},       {Qt::Key_Left, C, "123", "", 0},
               {Qt::Key_Delete, N, "23", "", 0},       {Qt::Key_Right, C | S, "23", "23", 2},
               {Qt::Key_Right, N, "23", "", 2},        {Qt::Key_Backspace, N, "2", "", 1},
               {Qt::Key_Escape, N, "12345", "12345", 0}, {Qt::Key_Home, N, "12345", "", 0},
               {Qt::Key_9, N, "912345", "", 1},        {Qt::Key_Z, C, "12345", "12345", 0},
               {Qt::Key_C, C, "12345", "12345", 0},    {Qt::Key_End, N, "12345", "", 5},
               {Qt::Key_V, C, "1234512345", "", 10},   {Qt::Key_A, C, "1234512345", "1234512345", 10},
               {Qt::Key_X, C, "", "", 0},              {Qt::Key_Backspace, N, "", "", 0}};
  for (const auto& step : steps) {
    f.Key(step.key, step.modifiers);
    EXPECT_EQ(f.field->EditText(), step.text) << step.key;
    EXPECT_EQ(f.field->SelText(), step.selected) << step.key;
    EXPECT_EQ(f.field->CursorPos(), step.caret) << step.key;
  }
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

TEST(IntegerParse, TheStringToIntegerConversion) {
  const std::optional<int> bad;
  const std::pair<const char*, std::optional<int>> rows[] = {
      {"0", 0},        {"  42", 42},     {"+7", 7},          {"-7", -7},
      {"$1F", 31},     {"0x1f", 31},     {"0X1F", 31},       {"-$10", -16},
      {"$FFFFFFFF", -1}, {"2147483647", INT_MAX}, {"-2147483648", INT_MIN},
      {"2147483648", bad}, {"-2147483649", bad}, {"$100000000", bad}, {"", bad},
      {"-", bad},      {"$", bad},       {"0x", bad},        {"12ab", bad},
      {"1 2", bad},    {"$G", bad},      {"99999999999", bad}};
  for (const auto& [text, value] : rows) EXPECT_EQ(TryStrToInt(text), value) << text;
}

// Pasted text is not filtered: Enter converts it, or undoes it.
TEST(IntegerBadInput, PastedTextsConvertOrAreUndone) {
  struct Row {
    TiIntegerFormatStyle style;
    QString text;
    int value;
  };
  const Row rows[] = {{iifsInteger, "12ab", 8},  {iifsInteger, "-", 8},
                      {iifsInteger, "-5", -5},   {iifsInteger, "$1F", 31},
                      {iifsBinary, "12", 4},     {iifsBinary, QString(33, QLatin1Char('1')), 8},
                      {iifsBinary, "1x", 8},     {iifsOctal, "19", 17},
                      {iifsOctal, "0000000000000000000000000000000000017", 15},
                      {iifsHex, "7fffffff", INT_MAX}};
  Form f;
  f.Focus();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text.toStdString());
    f.field->SetFormatStyle(row.style);
    f.field->SetValue(8);
    f.field->SelectAll();
    QApplication::clipboard()->setText(row.text);
    f.Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(f.field->EditText(), row.text);
    f.Key(Qt::Key_Return);
    EXPECT_EQ(f.field->Value(), row.value);
  }

  // A long paste stays quick to draw and shows its end.
  f.field->SetFormatStyle(iifsInteger);
  QApplication::clipboard()->setText(QString(10000, QLatin1Char('7')));
  f.field->SelectAll();
  f.Key(Qt::Key_V, Qt::ControlModifier);
  QElapsedTimer clock;
  clock.start();
  (void)pixels::Render(*f.field);
  EXPECT_LT(clock.elapsed(), 500);
  EXPECT_EQ(f.field->LastVisible(), 9999);
  EXPECT_GT(f.field->FirstVisible(), 9990);

  // Pasting keeps to MaxLength and replaces the selection; from the program it repaints too.
  f.field->SetMaxLength(4);
  f.field->SetValue(123);
  QApplication::clipboard()->setText("45678");
  f.Key(Qt::Key_End);
  f.field->BeginUpdate();
  f.field->PasteFromClipboard();
  EXPECT_TRUE(f.field->RepaintPending());
  EXPECT_EQ(f.field->EditText(), "1234");
  f.field->SelectAll();
  f.field->PasteFromClipboard();
  EXPECT_EQ(f.field->EditText(), "4567");
}

TEST(IntegerBadInput, WithoutUndoTheErrorGoesToTheReportFromFocusLossOnly) {
  pixels::ReportSink sink;
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
  const auto enabled = [&] {  // Apply, Undo, Cut, Copy, Paste, Delete, Select All
    f.field->UpdateMenuItems();
    QString flags;
    for (QAction* item : f.field->ContextMenu()->actions())
      if (!item->isSeparator()) flags += item->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    return flags;
  };
  QApplication::clipboard()->clear();
  EXPECT_EQ(enabled(), "0011010");  // all selected, nothing typed, nothing to paste
  f.Type("7");
  QApplication::clipboard()->setText("5");
  EXPECT_EQ(enabled(), "1100101");
  f.field->MenuItem("Undo")->trigger();
  EXPECT_EQ(f.field->EditText(), "25");
  f.field->SetErrorActive(true);
  EXPECT_EQ(enabled(), "0001000");
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

TEST(IntegerPicture, TextPlacedByAlignmentSelectionCaretAndErrorLook) {
  Form f;  // 65 wide, border 2
  f.field->SetValue(321);
  const QFontMetrics metrics(f.field->Font()->ToQFont());
  int tw = 0;  // measured a character at a time
  for (QChar c : QStringLiteral("321")) tw += metrics.horizontalAdvance(c);
  struct Row {
    TAlignment alignment;
    int margin, left;
  };
  for (const Row& row : {Row{taLeftJustify, 0, 3}, Row{taLeftJustify, 4, 7},
                         Row{taCenter, 4, 32 + tw / 2 - tw}, Row{taRightJustify, 0, 61 - tw},
                         Row{taRightJustify, 4, 57 - tw}}) {
    f.field->SetAlignment(row.alignment);
    f.field->SetAlignmentMargin(row.margin);
    (void)pixels::Render(*f.field);
    EXPECT_EQ(f.field->TextRect(), QRect(row.left, 3, tw, metrics.height())) << row.left;
  }

  // Focused and selected: the text's rectangle, and only it, in the highlight colour under
  // white text; the caret at the end of the text after End.
  f.Focus();
  QImage image = pixels::Render(*f.field);
  const QColor highlight = framework::ColorToQColor(framework::clHighlight);
  const QRect text = f.field->TextRect();
  const int highlighted = pixels::Count(image, text, highlight);
  EXPECT_GT(highlighted, text.width() * text.height() / 3);
  EXPECT_EQ(pixels::Count(image, image.rect(), highlight), highlighted);
  EXPECT_GT(pixels::CountBright(image, text, 250), 10);
  f.Key(Qt::Key_End);
  (void)pixels::Render(*f.field);
  EXPECT_EQ(f.field->CaretRect().topLeft(), QPoint(text.right() + 1, 3));
  EXPECT_EQ(f.field->CaretRect().height(), metrics.height());

  f.field->SetErrorActive(true);
  image = pixels::Render(*f.field);
  EXPECT_FALSE(f.field->CaretExists());
  EXPECT_EQ(image.pixel(5, 5) | 0xFF000000u, 0xFF000000u);
  EXPECT_GT(pixels::Count(image, image.rect(), QColor(255, 0, 0)), 10);
  f.field->SetErrorActive(false);
  f.Leave();
  image = pixels::Render(*f.field);
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
  auto* a = new TiIntegerOutput(group);
  auto* label = new QWidget(group);  // takes no focus, yet has its place
  auto* b = new TiIntegerOutput(group);
  auto* c = new TiIntegerOutput(group);
  auto* outside = new TiIntegerOutput(&window);
  const auto order = [&] { return QList<int>({a->TabOrder(), b->TabOrder(), c->TabOrder()}); };
  EXPECT_EQ(order(), QList<int>({0, 2, 3}));
  c->SetTabOrder(0);
  EXPECT_EQ(order(), QList<int>({1, 3, 0}));
  EXPECT_EQ(a->nextInFocusChain(), label);
  a->SetTabOrder(99);  // past the end: last
  a->SetTabOrder(-1);  // no place: stays
  EXPECT_EQ(order(), QList<int>({3, 2, 0}));
  EXPECT_EQ(outside->TabOrder(), 1);

  window.show();  // the focus follows: c, b, a, then out of the group
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  c->setFocus();
  QList<QWidget*> visited;
  for (int i = 0; i < 3; ++i) {
    window.focusNextChild();
    visited << QApplication::focusWidget();
  }
  EXPECT_EQ(visited, QList<QWidget*>({b, a, outside}));

  auto* late = new TiIntegerOutput;  // without a parent the place waits for one
  late->SetTabOrder(1);
  late->setParent(group);
  EXPECT_EQ(late->TabOrder(), 1);
  EXPECT_EQ(c->nextInFocusChain(), late);
}
