// Message boxes, file dialogs and the tray without a desktop: seams, fallbacks
// and the filter and extension rules.

#include "platform/UserInterface.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(WindowUserInterface, MessageBoxUsesTheSeamElseAnswersOk)
{
    SetMessageBoxSeam(nullptr);
    SetMessageBoxBackend(nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxW(nullptr, u"没有找到配置文件：/x", u"Tessaly", MB_YESNO), IDOK);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("没有找到配置文件：/x"), std::string::npos);
    EXPECT_EQ(MessageBoxW(nullptr, nullptr, nullptr, MB_OK), IDOK);

    std::atomic<int> asked {0};
    SetMessageBoxSeam([&](HWND, const wstring16 &text, const wstring16 &caption, UINT type) {
        ++asked;
        return text == u"q" && caption == u"c" && type == MB_YESNO ? IDYES : IDNO;
    });
    int fromWorker = 0;
    std::thread([&] { fromWorker = MessageBoxW(nullptr, u"q", u"c", MB_YESNO); }).join();
    EXPECT_EQ(fromWorker, IDYES);
    EXPECT_EQ(MessageBoxW(nullptr, u"other", u"c", MB_YESNO), IDNO);
    EXPECT_EQ(asked.load(), 2);
    SetMessageBoxSeam(nullptr);
}

TEST(WindowUserInterface, DismissAnswersMatchTheButtons)
{
    EXPECT_EQ(MessageBoxDismissAnswer(MB_OK | MB_ICONERROR), IDOK);
    EXPECT_EQ(MessageBoxDismissAnswer(MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(MessageBoxDismissAnswer(MB_YESNOCANCEL), IDCANCEL);
    EXPECT_EQ(MessageBoxDismissAnswer(MB_YESNO | MB_ICONQUESTION), IDNO);
}

TEST(WindowUserInterface, FilterPairsAreParsed)
{
    struct Case {
        const char16_t *filter;
        std::vector<std::pair<wstring16, wstring16>> expected;
    };
    const Case cases[] = {
        {u"exeList Files (*.bak)|*.bak||", {{u"exeList Files (*.bak)", u"*.bak"}}},
        {u"[临时-Config.xml] Xml Files(*.xml)|*.xml|", {{u"[临时-Config.xml] Xml Files(*.xml)", u"*.xml"}}},
        {u"A|*.a|B|*.b;*.c|", {{u"A", u"*.a"}, {u"B", u"*.b;*.c"}}},
        {u"A|*.a|Dangling", {{u"A", u"*.a"}}},
        {u"", {}},
        {u"|", {}},
        {u"||||", {}},
    };
    for (const auto &k : cases) {
        auto parsed = ParseFileDialogFilter(k.filter);
        ASSERT_EQ(parsed.size(), k.expected.size()) << std::u16string_view(k.filter).size();
        for (std::size_t i = 0; i < parsed.size(); ++i) {
            EXPECT_EQ(parsed[i].text, k.expected[i].first);
            EXPECT_EQ(parsed[i].pattern, k.expected[i].second);
        }
    }
}

TEST(WindowUserInterface, DefaultExtensionIsAddedOnlyToBareNames)
{
    EXPECT_EQ(DefaultExtensions(u"*.opml,*.xml"), (std::vector<wstring16> {u"opml", u"xml"}));
    EXPECT_EQ(DefaultExtensions(u"bak"), (std::vector<wstring16> {u"bak"}));
    EXPECT_EQ(DefaultExtensions(u".bak"), (std::vector<wstring16> {u"bak"}));
    EXPECT_TRUE(DefaultExtensions(u"*.*").empty());
    EXPECT_TRUE(DefaultExtensions(u"").empty());

    struct Case {
        const char16_t *path;
        const char16_t *defaultExtension;
        const char16_t *pattern;
        const char16_t *expected;
    };
    const Case cases[] = {
        {u"/home/u/list", u"*.bak", u"*.bak", u"/home/u/list.bak"},
        {u"/home/u/list.txt", u"*.bak", u"*.bak", u"/home/u/list.txt"},
        {u"/home/u/cat", u"*.opml,*.xml", u"*.xml", u"/home/u/cat.xml"}, // the filter's own wins
        {u"/home/u/cat", u"*.opml,*.xml", u"*.txt", u"/home/u/cat.opml"},
        {u"/home/u.d/cat", u"*.bak", u"", u"/home/u.d/cat.bak"}, // dots in folders do not count
        {u"/home/u/cat", u"", u"*.xml", u"/home/u/cat"},
        {u"/home/u/", u"*.bak", u"*.bak", u"/home/u/"},
    };
    for (const auto &k : cases)
        EXPECT_EQ(ApplyDefaultExtension(k.path, k.defaultExtension, k.pattern), wstring16(k.expected));
}

TEST(WindowUserInterface, FileDialogAndTrayWithoutBackendFail)
{
    SetFileDialogSeam(nullptr);
    SetFileDialogBackend(nullptr);
    wstring16 path = u"unchanged";
    FileDialogRequest request;
    EXPECT_FALSE(RunFileDialog(request, &path));
    EXPECT_EQ(path, u"unchanged");

    SetFileDialogSeam([](const FileDialogRequest &r, wstring16 *chosen) {
        if (!r.save)
            return false;
        *chosen = u"/tmp/" + r.initialName;
        return true;
    });
    request.save = true;
    request.initialName = u"exeList.bak";
    EXPECT_TRUE(RunFileDialog(request, &path));
    EXPECT_EQ(path, u"/tmp/exeList.bak");
    request.save = false;
    EXPECT_FALSE(RunFileDialog(request, &path));
    SetFileDialogSeam(nullptr);

    SetNotifyIconBackend(nullptr);
    NOTIFYICONDATAW data;
    data.cbSize = 936;
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &data));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, nullptr));

    // A tip without its terminator reaches the backend cut, not read past its end.
    std::size_t seenLength = 0;
    SetNotifyIconBackend([&](DWORD, const NOTIFYICONDATAW &d) {
        seenLength = std::char_traits<char16_t>::length(d.szTip);
        return TRUE;
    });
    std::fill(std::begin(data.szTip), std::end(data.szTip), u'x');
    EXPECT_TRUE(Shell_NotifyIconW(NIM_ADD, &data));
    EXPECT_EQ(seenLength, 127u);
    SetNotifyIconBackend(nullptr);
}

} // namespace
