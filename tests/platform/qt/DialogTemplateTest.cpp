#include "platform/qt/DialogTemplate.h"
#include "platform/ControlStyles.h"
#include "platform/Window.h"
#include "platform/qt/DialogForm.h"
#include "platform/qt/DialogUnits.h"
#include "platform/qt/WindowBinding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>
#include <gtest/gtest.h>

#include <vector>

namespace {

QByteArray Utf8(const char *s) { return QByteArray(s); }

const char *const SetHotKeyLike = R"({
  "id": 316, "caption": "老板键", "style": ["WS_POPUP", "WS_CAPTION", "DS_MODALFRAME", "0x10"],
  "font": { "name": "宋体", "size": 9 }, "rect": [0, 0, 186, 95],
  "controls": [
    { "id": 1, "class": "Button", "text": "设置", "rect": [129, 74, 50, 14], "style": ["BS_DEFPUSHBUTTON", "WS_TABSTOP"] },
    { "id": 1041, "class": "msctls_hotkey32", "rect": [17, 40, 110, 14], "style": ["WS_BORDER", 65536] },
    { "id": -1, "class": "Button", "text": "热键", "rect": [7, 7, 172, 60], "style": ["BS_GROUPBOX"] },
    { "id": 1020, "class": "Static", "text": "A && B &x", "rect": [17, 20, 150, 8], "style": ["SS_NOTIFY"] },
    { "id": 1021, "class": "Edit", "text": " 42", "rect": [17, 60, 30, 12], "style": ["NOT WS_VISIBLE", "ES_NUMBER"] },
    { "id": 1022, "class": "ComboBox", "rect": [60, 60, 50, 80], "style": ["CBS_DROPDOWNLIST"] },
    { "id": 1023, "class": "Button", "text": "选项", "rect": [120, 60, 50, 10], "style": ["BS_AUTOCHECKBOX"] },
    { "id": 1024, "class": "SomethingElse", "rect": [0, 0, 4, 8] }
  ] })";

TEST(DialogTemplate, ReadsControlsStylesAndFont)
{
    QString error;
    auto t = DialogTemplate::Parse(Utf8(SetHotKeyLike), &error);
    ASSERT_TRUE(t.has_value()) << error.toStdString();
    EXPECT_EQ(t->id, 316);
    EXPECT_EQ(t->caption, u"老板键");
    EXPECT_EQ(t->style, WS_POPUP | WS_CAPTION | DS_MODALFRAME | 0x10);
    EXPECT_EQ(t->fontName, u"宋体");
    EXPECT_EQ(t->fontSize, 9);
    EXPECT_EQ(t->rect.right, 186);
    EXPECT_EQ(t->rect.bottom, 95);
    ASSERT_EQ(t->controls.size(), 8u);
    const DialogControl *ok = t->Control(1);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->className, u"Button");
    EXPECT_EQ(ok->style, WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP);
    EXPECT_EQ(ok->rect.left, 129);
    EXPECT_EQ(ok->rect.right, 179);
    EXPECT_EQ(ok->rect.bottom, 88);
    EXPECT_EQ(t->Control(1041)->style, WS_CHILD | WS_VISIBLE | WS_BORDER | 65536u);
    EXPECT_EQ(t->Control(1021)->style, WS_CHILD | ES_NUMBER);
    EXPECT_EQ(t->Control(-1)->text, u"热键");
    EXPECT_EQ(t->Control(999), nullptr);
}

TEST(DialogTemplate, RejectsWhatIsNotATemplate)
{
    const char *bad[] = {
        "",
        "[]",
        "{",
        R"({"id": 1})", // no rect
        R"({"id": 1.5, "rect": [0,0,1,1]})", // fractional id
        R"({"id": 70000, "rect": [0,0,1,1]})", // id beyond 16 bits
        R"({"id": 1, "rect": [0,0,-1,1]})", // negative width
        R"({"id": 1, "rect": [0,0,1]})", // three numbers
        R"({"id": 1, "rect": [0,0,1e300,1]})", // absurd size
        R"({"id": 1, "rect": [0,0,1,1], "style": ["WS_NOPE"]})", // unknown style
        R"({"id": 1, "rect": [0,0,1,1], "style": "WS_CHILD"})", // style not a list
        R"({"id": 1, "rect": [0,0,1,1], "style": [-1]})", // negative style bits
        R"({"id": 1, "rect": [0,0,1,1], "style": ["0x1FFFFFFFF"]})", // beyond 32 bits
        R"({"id": 1, "rect": [0,0,1,1], "caption": 5})",
        R"({"id": 1, "rect": [0,0,1,1], "font": {"name": "x", "size": 0}})",
        R"({"id": 1, "rect": [0,0,1,1], "controls": {}})",
        R"({"id": 1, "rect": [0,0,1,1], "controls": [5]})",
        R"({"id": 1, "rect": [0,0,1,1], "controls": [{"id": 2, "rect": [0,0,1,1]}]})", // no class
        R"({"id": 1, "rect": [0,0,1,1], "controls": [{"id": 2, "class": "", "rect": [0,0,1,1]}]})",
        R"({"id": 1, "rect": [0,0,1,1], "controls": [{"id": 2, "class": "Edit", "text": [], "rect": [0,0,1,1]}]})",
        R"({"id": 1, "rect": [0,0,1,1], "controls": [{"id": -2, "class": "Edit", "rect": [0,0,1,1]}]})",
    };
    for (const char *json : bad) {
        QString error;
        EXPECT_FALSE(DialogTemplate::Parse(Utf8(json), &error).has_value()) << json;
        EXPECT_FALSE(error.isEmpty()) << json;
    }
}

TEST(DialogTemplate, SurvivesDamagedBytes)
{
    const QByteArray good = Utf8(SetHotKeyLike);
    QRandomGenerator random(12345);
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes = good;
        const int changes = 1 + static_cast<int>(random.bounded(8));
        for (int i = 0; i < changes; ++i) {
            const int at = static_cast<int>(random.bounded(static_cast<quint32>(bytes.size())));
            switch (random.bounded(3)) {
            case 0:
                bytes[at] = static_cast<char>(random.bounded(256));
                break;
            case 1:
                bytes.remove(at, 1 + static_cast<int>(random.bounded(20)));
                break;
            default:
                bytes.insert(at, "[{\"0x\":-1e999}]");
                break;
            }
        }
        auto t = DialogTemplate::Parse(bytes);
        if (t) {
            for (const DialogControl &c : t->controls) {
                EXPECT_LE(c.rect.left, c.rect.right);
                EXPECT_LE(c.rect.top, c.rect.bottom);
                EXPECT_FALSE(c.className.empty());
            }
        }
    }
}

// The templates' "宋体" 9 pt lays out at 6 x 12 base units, as designed, with or
// without the face on the machine; other families are measured as they are.
TEST(DialogUnits, TemplatesKeepTheSizeTheyWereDesignedFor)
{
    for (const char16_t *song : {u"宋体", u"SimSun"}) {
        const DialogUnits units(song, 9);
        EXPECT_EQ(units.BaseX(), 6);
        EXPECT_EQ(units.BaseY(), 12);
    }
    const DialogUnits form(u"宋体", 9);
    EXPECT_EQ(form.MapDialogRect({0, 0, 137, 264}).size(), QSize(206, 396)) << "task panel form 101";
    const QFont font = DialogUnits::DialogFont(u"宋体", 9);
    if (QFontDatabase::families().contains(QStringLiteral("AR PL UMing CN"))) {
        EXPECT_EQ(font.families().value(0), QStringLiteral("AR PL UMing CN"));
    }
    EXPECT_EQ(font.pixelSize(), 12);
    EXPECT_EQ(DialogUnits::FaceFor(QStringLiteral("No Such Family 12")), QStringLiteral("No Such Family 12"));
}

TEST(DialogTemplate, EmbeddedFormOfTheTaskPanelLoads)
{
    QString error;
    auto t = DialogTemplate::Load(101, &error);
    ASSERT_TRUE(t.has_value()) << error.toStdString();
    EXPECT_EQ(t->rect.right, 137);
    EXPECT_EQ(t->rect.bottom, 264);
    EXPECT_EQ(t->controls.size(), 14u);
    EXPECT_EQ(t->Control(1005)->className, u"SysListView32");
    EXPECT_EQ(t->Control(1015)->text,
        u"任务列表右键有操作；\n\n任务是并行的；\r\n操作之间最好时差10秒左右；\r\n操作可重复插入；\r\n欢迎使用Tessaly"
        u"；");
    EXPECT_FALSE(DialogTemplate::Load(9999).has_value());
    EXPECT_FALSE(DialogTemplate::Load(-1).has_value());
}

TEST(DialogUnits, MulDivRoundsHalfAwayFromZero)
{
    struct Case {
        int a, b, c, result;
    } cases[] = {
        {5, 7, 4, 9}, // 8.75
        {2, 7, 4, 4}, // 3.5
        {-2, 7, 4, -4}, // -3.5
        {1, 1, 3, 0},
        {3, 6, 4, 5}, // 4.5
        {9, 96, 72, 12}, // nine points at 96 dpi
        {1, 1, 0, 0},
        {2000000000, 2, 4, 1000000000},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DialogUnits::MulDiv(c.a, c.b, c.c), c.result) << c.a << "*" << c.b << "/" << c.c;
}

TEST(DialogUnits, FourUnitsAcrossAndEightDownAreTheBaseUnits)
{
    QFont small = DialogUnits::DialogFont(u"", 9);
    QFont large = DialogUnits::DialogFont(u"", 18);
    EXPECT_EQ(small.pixelSize(), 12);
    const DialogUnits units(small);
    const DialogUnits bigger(large);
    EXPECT_GT(units.BaseX(), 0);
    EXPECT_GT(bigger.BaseX(), units.BaseX());
    EXPECT_GT(bigger.BaseY(), units.BaseY());
    EXPECT_EQ(units.X(4), units.BaseX());
    EXPECT_EQ(units.Y(8), units.BaseY());
    const QRect r = units.MapDialogRect({4, 8, 12, 24});
    EXPECT_EQ(r, QRect(units.BaseX(), units.BaseY(), 2 * units.BaseX(), 2 * units.BaseY()));
}

class DialogFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host = std::make_unique<QWidget>();
        binding = std::make_unique<WindowBinding>(host.get(), u"#32770", nullptr);
        auto t = DialogTemplate::Parse(Utf8(SetHotKeyLike));
        ASSERT_TRUE(t.has_value());
        form = std::make_unique<DialogForm>(*t, host.get(), binding->Handle());
        QObject::connect(form.get(), &DialogForm::command, form.get(), [this](int id, int code) {
            commands.push_back({id, code});
        });
        host->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    }
    void TearDown() override
    {
        form.reset();
        binding.reset();
        host.reset();
    }

    std::unique_ptr<QWidget> host;
    std::unique_ptr<WindowBinding> binding;
    std::unique_ptr<DialogForm> form;
    std::vector<std::pair<int, int>> commands;
};

TEST_F(DialogFormTest, ControlsAreWidgetsAndWindowsReachableByIdentifier)
{
    EXPECT_EQ(host->windowTitle(), QStringLiteral("老板键"));
    EXPECT_EQ(host->size(), form->DesignSize());
    EXPECT_EQ(form->DesignSize(), form->Units().MapDialogRect({0, 0, 186, 95}).size());

    auto *ok = qobject_cast<QPushButton *>(form->GetDlgItem(1));
    ASSERT_NE(ok, nullptr);
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(ok->geometry(), form->Units().MapDialogRect({129, 74, 179, 88}));
    EXPECT_NE(qobject_cast<QGroupBox *>(form->GetDlgItem(-1)), nullptr);
    EXPECT_NE(qobject_cast<QCheckBox *>(form->GetDlgItem(1023)), nullptr);
    EXPECT_NE(form->GetDlgItem(1024), nullptr); // unknown classes still get a widget
    EXPECT_EQ(form->GetDlgItem(4242), nullptr);

    auto *combo = qobject_cast<QComboBox *>(form->GetDlgItem(1022));
    ASSERT_NE(combo, nullptr);
    EXPECT_FALSE(combo->isEditable());
    EXPECT_LT(combo->height(), form->Units().Y(80)); // the drop-down height is not the box's

    EXPECT_FALSE(form->GetDlgItem(1021)->isVisible());
    EXPECT_TRUE(form->GetDlgItem(1)->isVisible());

    // Each control is a child window of the host, of its template class, in order.
    HWND hotKey = FindWindowExW(binding->Handle(), nullptr, u"msctls_hotkey32", nullptr);
    ASSERT_NE(hotKey, nullptr);
    EXPECT_EQ(hotKey, form->GetDlgItemWindow(1041));
    EXPECT_EQ(form->WidgetOf(hotKey), form->GetDlgItem(1041));
    EXPECT_EQ(FindWindowExW(binding->Handle(), nullptr, u"Button", nullptr), form->GetDlgItemWindow(1));
    EXPECT_EQ(
        FindWindowExW(binding->Handle(), form->GetDlgItemWindow(1), u"Button", nullptr), form->GetDlgItemWindow(-1));
    EXPECT_EQ(form->ClassOf(hotKey), u"msctls_hotkey32");
    EXPECT_EQ(form->Windows().size(), 8u);
}

TEST_F(DialogFormTest, TextsAndNumbersReadAsTheSystemReadsThem)
{
    auto *label = qobject_cast<QLabel *>(form->GetDlgItem(1020));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("A & B x"));
    EXPECT_EQ(form->GetDlgItemText(1020), u"A && B &x");

    struct Case {
        const char16_t *text;
        bool isSigned;
        UINT value;
        BOOL translated;
    } cases[] = {
        {u" 42", false, 42, TRUE},
        {u"-7", true, static_cast<UINT>(-7), TRUE},
        {u"-7", false, 0, FALSE},
        {u"12ab", false, 0, FALSE},
        {u"", false, 0, FALSE},
        {u"4294967295", false, 4294967295u, TRUE},
        {u"4294967296", false, 0, FALSE},
        {u"2147483648", true, 0, FALSE},
        {u"-2147483648", true, 0x80000000u, TRUE},
    };
    auto *edit = qobject_cast<QLineEdit *>(form->GetDlgItem(1021));
    ASSERT_NE(edit, nullptr);
    edit->setValidator(nullptr);
    for (const Case &c : cases) {
        ASSERT_TRUE(form->SetDlgItemText(1021, c.text));
        BOOL translated = 2;
        EXPECT_EQ(form->GetDlgItemInt(1021, &translated, c.isSigned), c.value);
        EXPECT_EQ(translated, c.translated);
    }
    EXPECT_TRUE(form->SetDlgItemInt(1021, static_cast<UINT>(-5), true));
    EXPECT_EQ(form->GetDlgItemText(1021), u"-5");
    BOOL translated = TRUE;
    EXPECT_EQ(form->GetDlgItemInt(4242, &translated, false), 0u);
    EXPECT_FALSE(translated);

    EXPECT_EQ(form->IsDlgButtonChecked(1023), 0u);
    EXPECT_TRUE(form->CheckDlgButton(1023, 1));
    EXPECT_EQ(form->IsDlgButtonChecked(1023), 1u);
    EXPECT_FALSE(form->CheckDlgButton(1, 1)); // a push button has no check
}

TEST_F(DialogFormTest, NotificationsArriveAsCommandsWithTheIdentifier)
{
    QTest::mouseClick(form->GetDlgItem(1), Qt::LeftButton);
    QTest::mouseClick(form->GetDlgItem(1020), Qt::LeftButton);
    QTest::mouseClick(form->GetDlgItem(1023), Qt::LeftButton);
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0], std::make_pair(1, int(BN_CLICKED)));
    EXPECT_EQ(commands[1], std::make_pair(1020, int(STN_CLICKED)));
    EXPECT_EQ(commands[2], std::make_pair(1023, int(BN_CLICKED)));
    form->SetDlgItemText(1021, u"1");
    ASSERT_EQ(commands.size(), 4u);
    EXPECT_EQ(commands[3], std::make_pair(1021, int(EN_CHANGE)));
}

TEST(DialogFormLifetime, WindowsGoWithTheForm)
{
    QWidget host;
    WindowBinding binding(&host, u"#32770", nullptr);
    auto t = DialogTemplate::Parse(Utf8(SetHotKeyLike));
    ASSERT_TRUE(t.has_value());
    HWND button = nullptr;
    {
        DialogForm form(*t, &host, binding.Handle());
        button = form.GetDlgItemWindow(1);
        EXPECT_TRUE(IsWindow(button));
    }
    EXPECT_FALSE(IsWindow(button));
    EXPECT_EQ(FindWindowExW(binding.Handle(), nullptr, nullptr, nullptr), nullptr);
}

} // namespace
