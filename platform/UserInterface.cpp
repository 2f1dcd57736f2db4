#include "platform/UserInterface.h"

#include "platform/WideString.h"

#include <cstdio>
#include <mutex>

namespace {

struct Services {
    std::mutex mutex;
    MessageBoxFunction messageBoxSeam;
    MessageBoxFunction messageBoxBackend;
    std::function<void(HWND)> dismissBackend;
    FileDialogFunction fileDialogSeam;
    FileDialogFunction fileDialogBackend;
    NotifyIconFunction notifyIconBackend;
};

Services &TheServices()
{
    static auto *services = new Services;
    return *services;
}

template <typename F> F Pick(const F &seam, const F &backend)
{
    std::lock_guard lock(TheServices().mutex);
    return seam ? seam : backend;
}

wstring16 FromZ(LPCWSTR s) { return s ? wstring16(s, WideString::Length(s)) : wstring16(); }

// "*.xml" or ".xml" or "xml" gives "xml"; wild or empty names give nothing.
wstring16 ExtensionOf(std::u16string_view item)
{
    auto t = WideString::Trim(item);
    std::size_t start = 0;
    while (start < t.size() && (t[start] == u'*' || t[start] == u'.'))
        ++start;
    t.erase(0, start);
    if (t.empty())
        return {};
    for (char16_t c : t)
        if (c == u'*' || c == u'?' || c == u'.' || c == u'/')
            return {};
    return t;
}

} // namespace

int MessageBoxDismissAnswer(UINT type)
{
    switch (type & 0x0F) {
    case MB_OK:
        return IDOK;
    case MB_YESNO:
        return IDNO;
    case 0x02: // abort, retry, ignore: there is no cancel
        return 3;
    default:
        return IDCANCEL;
    }
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    auto &s = TheServices();
    auto show = Pick(s.messageBoxSeam, s.messageBoxBackend);
    if (show)
        return show(owner, FromZ(text), FromZ(caption), type);
    const std::string line = WideString::ToUtf8(FromZ(caption)) + ": " + WideString::ToUtf8(FromZ(text)) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    return IDOK;
}

MessageBoxFunction SetMessageBoxSeam(MessageBoxFunction seam)
{
    auto &s = TheServices();
    std::lock_guard lock(s.mutex);
    std::swap(s.messageBoxSeam, seam);
    return seam;
}

void SetMessageBoxBackend(MessageBoxFunction backend)
{
    auto &s = TheServices();
    std::lock_guard lock(s.mutex);
    s.messageBoxBackend = std::move(backend);
}

void SetMessageBoxDismissBackend(std::function<void(HWND)> dismiss)
{
    auto &s = TheServices();
    std::lock_guard lock(s.mutex);
    s.dismissBackend = std::move(dismiss);
}

void DismissMessageBoxes(HWND owner)
{
    std::function<void(HWND)> dismiss;
    {
        auto &s = TheServices();
        std::lock_guard lock(s.mutex);
        dismiss = s.dismissBackend;
    }
    if (dismiss)
        dismiss(owner);
}

std::vector<FileDialogFilter> ParseFileDialogFilter(const wstring16 &filter)
{
    std::vector<wstring16> parts;
    std::size_t start = 0;
    while (start < filter.size()) {
        auto bar = filter.find(u'|', start);
        if (bar == wstring16::npos)
            bar = filter.size();
        parts.push_back(filter.substr(start, bar - start));
        start = bar + 1;
    }
    std::vector<FileDialogFilter> result;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty() && parts[i + 1].empty())
            break; // the "||" that ends the list
        result.push_back(FileDialogFilter {parts[i], parts[i + 1]});
    }
    return result;
}

std::vector<wstring16> DefaultExtensions(const wstring16 &defaultExtension)
{
    std::vector<wstring16> result;
    std::size_t start = 0;
    while (start <= defaultExtension.size()) {
        auto end = defaultExtension.find_first_of(u",;", start);
        if (end == wstring16::npos)
            end = defaultExtension.size();
        auto ext = ExtensionOf(std::u16string_view(defaultExtension).substr(start, end - start));
        if (!ext.empty())
            result.push_back(ext);
        start = end + 1;
    }
    return result;
}

wstring16 ApplyDefaultExtension(const wstring16 &path, const wstring16 &defaultExtension, const wstring16 &pattern)
{
    const auto slash = path.rfind(u'/');
    const auto name = path.substr(slash == wstring16::npos ? 0 : slash + 1);
    if (name.empty() || name.find(u'.') != wstring16::npos)
        return path;
    const auto candidates = DefaultExtensions(defaultExtension);
    if (candidates.empty())
        return path;
    // The chosen filter's own extension wins when the default text names it too,
    // so "*.opml,*.xml" with the filter "*.xml" saves an .xml file.
    for (const auto &wanted : DefaultExtensions(pattern))
        for (const auto &c : candidates)
            if (WideString::ToLower(c) == WideString::ToLower(wanted))
                return path + u"." + c;
    return path + u"." + candidates.front();
}

bool RunFileDialog(const FileDialogRequest &request, wstring16 *path)
{
    auto &s = TheServices();
    auto run = Pick(s.fileDialogSeam, s.fileDialogBackend);
    wstring16 chosen;
    if (!run || !run(request, &chosen) || chosen.empty())
        return false;
    if (path)
        *path = chosen;
    return true;
}

void SetFileDialogSeam(FileDialogFunction seam)
{
    auto &s = TheServices();
    std::lock_guard lock(s.mutex);
    s.fileDialogSeam = std::move(seam);
}

void SetFileDialogBackend(FileDialogFunction backend)
{
    auto &s = TheServices();
    std::lock_guard lock(s.mutex);
    s.fileDialogBackend = std::move(backend);
}

BOOL Shell_NotifyIconW(DWORD message, NOTIFYICONDATAW *data)
{
    if (!data)
        return FALSE;
    NotifyIconFunction backend;
    {
        auto &s = TheServices();
        std::lock_guard lock(s.mutex);
        backend = s.notifyIconBackend;
    }
    if (!backend)
        return FALSE; // no tray without a desktop
    NOTIFYICONDATAW copy = *data;
    copy.szTip[127] = 0; // a tip that is not terminated must not be read past its end
    return backend(message, copy);
}

void SetNotifyIconBackend(NotifyIconFunction backend)
{
    auto &s = TheServices();
    std::lock_guard lock(s.mutex);
    s.notifyIconBackend = std::move(backend);
}
