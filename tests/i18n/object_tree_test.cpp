// Translating object trees: plain widgets, class rules, referenced objects, failures, and the
// port library's use of it (the setup dialog and the port errors) in German.
#include <gtest/gtest.h>

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include "framework/exception.h"
#include "i18n/gnugettext.h"
#include "mo_builder.h"
#include "qt_printers.h"
#include "serial/com_error.h"
#include "serial/com_setup_dialog.h"

using i18n::TGnuGettextInstance;
using namespace i18n_test;

namespace {

const QString testDir = QStringLiteral(I18N_TEST_DIR);

// An object with a string list and a reference to an object it does not own.
class Notes : public QObject {
  Q_OBJECT
  Q_PROPERTY(QStringList Lines MEMBER Lines)
  Q_PROPERTY(QObject* Partner MEMBER Partner)
  Q_PROPERTY(QString Caption MEMBER Caption)
 public:
  QStringList Lines;
  QObject* Partner = nullptr;
  QString Caption;
};

// The catalogue of these tests: domain "tree", German.
struct TreeCatalogue {
  TreeCatalogue() {
    QDir(dir.path()).mkpath(QStringLiteral("de/LC_MESSAGES"));
    WriteFile(dir.filePath(QStringLiteral("de/LC_MESSAGES/tree.mo")),
              BuildCatalogue({{"Title", "Titel"},
                              {"Label", "Beschriftung"},
                              {"Button", "Knopf"},
                              {"Group", "Gruppe"},
                              {"Blank", ""},
                              {"one", "eins"},
                              {"two", "zwei"},
                              {"label1", "beschriftung1"}}));
    instance.SelectLanguage("de");
  }
  QTemporaryDir dir;
  TGnuGettextInstance instance{dir.path()};
};

QString WalkFailure(TGnuGettextInstance& instance, QObject* root, const QString& domain) {
  try {
    instance.TranslateObjectTree(root, domain);
  } catch (const framework::Exception& failure) {
    return failure.Message();
  }
  return QString();
}

}  // namespace

// Ignored names and properties stay for one walk only; captions are translated, names never.
TEST(ObjectTree, CaptionsTranslatedNamesNeverAndIgnoredOnesForOneWalk) {
  TreeCatalogue catalogue;
  QWidget root;
  root.setWindowTitle("Title");
  auto* group = new QGroupBox("Group", &root);
  group->setObjectName("Box");
  auto* label = new QLabel("Label", group);
  label->setObjectName("label1");
  auto* button = new QPushButton("Button", &root);
  button->setObjectName("Label");              // a name that is also a text in the catalogue
  catalogue.instance.TP_Ignore(&root, "box");  // the child and all it owns
  catalogue.instance.TP_Ignore(&root, ".windowTitle");  // a property of the root
  catalogue.instance.TranslateObjectTree(&root, "tree");
  EXPECT_EQ(root.windowTitle(), "Title");
  EXPECT_EQ(group->title(), "Group");
  EXPECT_EQ(label->text(), "Label");
  EXPECT_EQ(button->text(), "Knopf");
  EXPECT_TRUE(catalogue.instance.IgnoreList().isEmpty());
  catalogue.instance.TranslateObjectTree(&root, "tree");
  EXPECT_EQ(root.windowTitle(), "Titel");
  EXPECT_EQ(group->title(), "Gruppe");
  EXPECT_EQ(label->text(), "Beschriftung");
  EXPECT_EQ(label->objectName(), "label1");
  EXPECT_EQ(button->objectName(), "Label");
}

TEST(ObjectTree, ClassRulesSkipPropertiesOrWholeClassesThroughTheirHandler) {
  TreeCatalogue catalogue;
  QWidget root;
  auto* label = new QLabel("Label", &root);
  auto* button = new QPushButton("Button", &root);
  auto* inButton = new QLabel("Label", button);
  label->setToolTip("Title");
  root.setToolTip("Title");
  catalogue.instance.TP_GlobalIgnoreClassProperty(&QLabel::staticMetaObject, "Text");
  catalogue.instance.TP_GlobalIgnoreClassProperty(&QLabel::staticMetaObject, "toolTip");
  QList<QObject*> handled;
  catalogue.instance.TP_GlobalHandleClass(&QAbstractButton::staticMetaObject,
                                          [&](QObject* object) { handled.append(object); });
  catalogue.instance.TranslateObjectTree(&root, "tree");
  EXPECT_EQ(label->text(), "Label");
  EXPECT_EQ(label->toolTip(), "Title");
  EXPECT_EQ(root.toolTip(), "Titel");
  EXPECT_EQ(button->text(), "Button");
  EXPECT_EQ(inButton->text(), "Label");
  EXPECT_EQ(handled, QList<QObject*>{button});
  try {
    catalogue.instance.TP_GlobalIgnoreClassProperty(&QAbstractButton::staticMetaObject, "text");
    ADD_FAILURE() << "a class with a handler took a property";
  } catch (const framework::Exception& failure) {
    EXPECT_EQ(failure.Message(),
              "You cannot ignore a class property for a class that has a handler set.");
  }
}

TEST(ObjectTree, StringListsAndReferencedObjectsWithoutLoopingOnCycles) {
  TreeCatalogue catalogue;
  Notes root, partner;
  root.Lines = {"one", "", "two", "three", "Blank"};
  root.Partner = &partner;
  partner.Caption = "Title";
  partner.Partner = &root;  // back to the start
  catalogue.instance.TranslateObjectTree(&root, "tree");
  EXPECT_EQ(root.Lines, QStringList({"eins", "", "zwei", "three", "Blank"}));
  EXPECT_EQ(partner.Caption, "Titel");
  EXPECT_EQ(catalogue.instance.TranslateStrings({"two", "", "x"}, "tree"),
            QStringList({"zwei", "", "x"}));
}

// A refused catalogue stops the walk with a failure that names class and property.
TEST(ObjectTree, FailureNamesClassAndPropertyAndEmptiesTheIgnoreList) {
  TreeCatalogue catalogue;
  QWidget root;
  new QLabel("Label", &root);
  const QString broken = catalogue.dir.filePath("de/LC_MESSAGES/broken.mo");
  WriteFile(broken, "not a catalogue");
  catalogue.instance.TP_Ignore(&root, "other");
  EXPECT_EQ(WalkFailure(catalogue.instance, &root, "broken"),
            "Property cannot be translated.\r\nUse TP_GlobalIgnoreClassProperty(QLabel,text) "
            "or\r\nTP_Ignore (self,'.text') to prevent this message.\r\nReason: This file is "
            "not a valid GNU gettext mo file: " + broken);
  EXPECT_TRUE(catalogue.instance.IgnoreList().isEmpty());
}

// The program's wiring: the port library's texts and dialog go through the program's instance,
// with "cport" among the resource-string domains.
class GermanPort : public ::testing::Test {
 protected:
  void SetUp() override {
    qputenv("LANG", "de_DE.UTF-8");
    TGnuGettextInstance& instance = i18n::DefaultInstance();
    instance.SelectLanguage(QString());
    instance.bindtextdomain("default", testDir + QStringLiteral("/nothing"));
    instance.bindtextdomain("cport", testDir + QStringLiteral("/locale"));
    if (!i18n::ResourceStringDomains().contains("cport")) i18n::AddResourceStringDomain("cport");
    serial::SetComTextLookup(
        [](const QString& text) { return i18n::TranslateResourceString(text); });
    serial::SetDialogTranslator(
        [](QWidget* dialog, const QStringList& ignored, const QString& domain) {
          for (const QString& name : ignored) i18n::DefaultInstance().TP_Ignore(dialog, name);
          i18n::DefaultInstance().TranslateObjectTree(dialog, domain);
        });
    serial::InitComErrorTexts();
  }
  void TearDown() override {
    serial::SetComTextLookup({});
    serial::SetDialogTranslator({});
    serial::InitComErrorTexts();
  }
};

TEST_F(GermanPort, SetupDialogShowsGermanCaptionsAndKeepsComboItemsAndNames) {
  EXPECT_EQ(i18n::DefaultInstance().GetCurrentLanguage(), "de_DE");
  serial::TComSetupFrm dialog;
  EXPECT_EQ(dialog.windowTitle(), "Einrichtung");
  EXPECT_EQ(dialog.GroupBox1->title(), " Einstellungen ");
  const char* labels[6] = {"Anschluss", "Baudrate", "Datenbits",
                           "Stoppbits", "Parität",  "Flusssteuerung"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(dialog.Labels[i]->text(), labels[i]);
  EXPECT_EQ(dialog.Button1->text(), "OK");
  EXPECT_EQ(dialog.Button2->text(), "Abbrechen");
  QStringList parity;
  for (int i = 0; i < dialog.Combos[4]->count(); ++i) parity << dialog.Combos[4]->itemText(i);
  EXPECT_EQ(parity, QStringList({"None", "Odd", "Even", "Mark", "Space"}));
  EXPECT_EQ(dialog.Combos[5]->findText("None"), 2);
  EXPECT_EQ(dialog.objectName(), "ComSetupFrm");
  EXPECT_EQ(dialog.GroupBox1->objectName(), "GroupBox1");
  EXPECT_EQ(dialog.Combos[0]->objectName(), "Combo1");
  EXPECT_TRUE(i18n::DefaultInstance().IgnoreList().isEmpty());
}

// Entries with empty translations leave their captions as they are: the dialog still opens.
TEST_F(GermanPort, EmptyTranslationsLeaveTheirCaptionsAndTheDialogOpens) {
  QTemporaryDir dir;
  QDir(dir.path()).mkpath(QStringLiteral("de/LC_MESSAGES"));
  WriteFile(dir.filePath("de/LC_MESSAGES/cport.mo"),
            BuildCatalogue({{"Setup", ""}, {"Cancel", "Abbrechen"}}));
  i18n::DefaultInstance().bindtextdomain("cport", dir.path());
  serial::TComSetupFrm dialog;
  EXPECT_EQ(dialog.windowTitle(), "Setup");
  EXPECT_EQ(dialog.Button2->text(), "Abbrechen");
}

TEST_F(GermanPort, PortErrorShowsGermanTextAndSuffix) {
  EXPECT_EQ(serial::EComPort(1, 2).Message(),
            "Der Anschluss lässt sich nicht öffnen (Windows-Fehlernummer: 2)");
  EXPECT_EQ(serial::EComPort(14).Message(), "Cannot set property while connected");
}

// The Chinese catalogue the program ships: every caption of the setup dialog and every port
// error text must find its translation (a msgid that differs from the program's text by one
// character would silently stay English).
class ShippedChinese : public GermanPort {
 protected:
  void SetUp() override {
    GermanPort::SetUp();
    qputenv("LANG", "zh_CN.UTF-8");
    i18n::DefaultInstance().SelectLanguage(QString());
    i18n::DefaultInstance().bindtextdomain("cport", QStringLiteral(PROGRAM_LOCALE_DIR));
    serial::InitComErrorTexts();
  }
};

TEST_F(ShippedChinese, EveryDialogCaptionAndPortErrorIsTranslated) {
  serial::TComSetupFrm dialog;
  EXPECT_EQ(dialog.windowTitle(), "串口设置");
  const auto untranslated = [](const QString& text) {
    return text.isEmpty() || text == QString::fromLatin1(text.toLatin1());
  };
  QStringList english;
  for (QLabel* label : dialog.findChildren<QLabel*>())
    if (untranslated(label->text())) english << label->text();
  for (QPushButton* button : dialog.findChildren<QPushButton*>())
    if (untranslated(button->text())) english << button->text();
  if (untranslated(dialog.GroupBox1->title())) english << dialog.GroupBox1->title();
  EXPECT_TRUE(english.isEmpty()) << english.join(", ").toStdString();
  for (int code = 1; code <= 23; ++code) {
    EXPECT_FALSE(untranslated(serial::ComErrorText(code))) << code;
  }
  EXPECT_EQ(serial::EComPort(1, 2).Message(), "无法打开串口 (系统错误代码: 2)");
}

#include "object_tree_test.moc"
