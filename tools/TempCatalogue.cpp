#include "tools/TempCatalogue.h"

#include "catalogue/xml/XmlNode.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "util/FileFunctions.h"

namespace {

void AppendAttribute(wstring16 &text, std::u16string_view name, std::u16string_view value)
{
    text += u' ';
    text += name;
    text += u"=\"";
    text += TempCatalogue::EscapeAttribute(value);
    text += u'"';
}

} // namespace

wstring16 TempCatalogue::EscapeAttribute(std::u16string_view value)
{
    wstring16 out;
    out.reserve(value.size());
    for (char16_t c : value) {
        switch (c) {
        case u'&':
            out += u"&amp;";
            break;
        case u'"':
            out += u"&quot;";
            break;
        case u'<':
            out += u"&lt;";
            break;
        case u'>':
            out += u"&gt;";
            break;
        case u'\\': // the reader's escape character
            out += u"\\\\";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::optional<wstring16> TempCatalogue::Compose(
    const wstring16 &url, const std::vector<Action> &actions, Form form, std::size_t *badRow)
{
    wstring16 text = u"<?xml version=\"1.0\" encoding=\"utf-8\"?><game><item name=\"";
    text += kSiteName;
    text += u"\" Id=\"1\" Url=\"";
    text += EscapeAttribute(url);
    text += u"\"><event>";
    for (std::size_t i = 0; i < actions.size(); ++i) {
        const Action &a = actions[i];
        if (a.body.find(u"]]>") != wstring16::npos) {
            if (badRow)
                *badRow = i;
            return std::nullopt;
        }
        text += u"\r\n<action";
        if (form == Form::Editor) {
            text += u' ';
            if (!a.language.empty()) {
                text += u"languang=\"";
                text += EscapeAttribute(a.language);
                text += u'"';
            }
        }
        AppendAttribute(text, u"id", a.id);
        AppendAttribute(text, u"px1", a.px1);
        AppendAttribute(text, u"px2", a.px2);
        AppendAttribute(text, u"py1", a.py1);
        AppendAttribute(text, u"py2", a.py2);
        AppendAttribute(text, u"debug", u"false");
        AppendAttribute(text, u"disable", u"false");
        AppendAttribute(text, u"desc", a.desc);
        AppendAttribute(text, u"reTryCount", a.reTryCount);
        AppendAttribute(text, u"bDoCount", a.bDoCount);
        AppendAttribute(text, u"loopCount", a.loopCount);
        AppendAttribute(text, u"loopDifTime", a.loopDifTime);
        AppendAttribute(text, u"doFlashIndex", a.doFlashIndex);
        AppendAttribute(text, u"iSleep", a.iSleep);
        text += u"><![CDATA[";
        text += a.body;
        text += u"]]></action>\r\n";
    }
    text += u"</event></item></game>";
    return text;
}

FileDialogRequest TempCatalogue::SaveDialog(HWND owner)
{
    FileDialogRequest request;
    request.save = true;
    request.owner = owner;
    request.defaultExtension = u"*.opml,*.xml";
    request.filter = u"[临时-Config.xml] Xml Files(*.xml)|*.xml|";
    return request;
}

FileDialogRequest TempCatalogue::OpenDialog(HWND owner)
{
    FileDialogRequest request;
    request.save = false;
    request.owner = owner;
    request.defaultExtension = u"*.opml,*.xml";
    request.filter = u"配置文件[默认为Config.xml] Xml Files(*.xml)|*.xml|";
    return request;
}

bool TempCatalogue::Write(const wstring16 &path, const wstring16 &text)
{
    return KorrinUtilsFuns::ReplaceTextFile(path, text);
}

bool TempCatalogue::Save(
    HWND owner, const wstring16 &path, const wstring16 &url, const std::vector<Action> &actions, Form form)
{
    std::size_t badRow = 0;
    const std::optional<wstring16> text = Compose(url, actions, form, &badRow);
    if (!text) {
        const wstring16 message = u"第" + WideString::FromInt(static_cast<long long>(badRow) + 1) +
            u"行的内容含有“]]>”，不能写入配置文件；文件没有写。";
        MessageBoxW(owner, message.c_str(), kSiteName, MB_OK | MB_ICONWARNING);
        return false;
    }
    if (!Write(path, *text)) {
        MessageBoxW(owner, (u"配置文件写入失败：" + path).c_str(), kSiteName, MB_OK | MB_ICONWARNING);
        return false;
    }
    MessageBoxW(owner, kGeneratedMessage, kSiteName, MB_OK | MB_ICONINFORMATION);
    return true;
}

std::optional<std::vector<ActionRow>> TempCatalogue::ReadActions(std::u16string_view text)
{
    XmlNode root;
    XmlParseOptions options;
    options.tolerant = true;
    options.trim = false;
    if (root.Load(text, 0, options) == XmlNoPosition)
        return std::nullopt;
    const auto attribute = [](const XmlNode &node, std::u16string_view name) {
        const wstring16 *value = node.AttributeValue(name);
        return value ? *value : wstring16();
    };
    const auto number = [&](const XmlNode &node, std::u16string_view name) {
        const wstring16 *value = node.AttributeValue(name);
        return value ? WideString::ToInt(*value) : 0;
    };
    std::vector<ActionRow> rows;
    for (const XmlNode *item : root.FindChildren(u"item")) {
        const XmlNode *event = item->FindChild(u"event");
        if (!event)
            break;
        for (const XmlNode *node : event->FindChildren(u"action")) {
            ActionRow row;
            row.language = attribute(*node, u"languang");
            row.desc = attribute(*node, u"desc");
            row.retry = number(*node, u"reTryCount");
            row.runs = number(*node, u"bDoCount");
            row.loopCount = number(*node, u"loopCount");
            row.loopInterval = number(*node, u"loopDifTime");
            row.flashIndex = number(*node, u"doFlashIndex");
            row.delay = number(*node, u"iSleep");
            row.x1 = number(*node, u"px1");
            row.x2 = number(*node, u"px2");
            row.y1 = number(*node, u"py1");
            row.y2 = number(*node, u"py2");
            if (const XmlNode *body = node->FindChild(u"#CDATA"))
                row.body = body->value;
            if (!ActionRow::IsRecordWord(row.body) && row.language.empty())
                row.language = u"javascript";
            rows.push_back(std::move(row));
        }
    }
    return rows;
}
