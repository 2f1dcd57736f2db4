#include "catalogue/CCatalogue.h"

#include "catalogue/CatalogueSchema.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "util/FileFunctions.h"

#include <cstdlib>
#include <mutex>
#include <utility>

namespace {

std::mutex g_endLock;
CCatalogue::ProcessEnd g_processEnd;

void EndProcess(int code)
{
    CCatalogue::ProcessEnd end;
    {
        std::lock_guard<std::mutex> lock(g_endLock);
        end = g_processEnd;
    }
    if (end)
        end(code);
    else
        std::exit(code);
}

} // namespace

void CCatalogue::SetProcessEnd(ProcessEnd end)
{
    std::lock_guard<std::mutex> lock(g_endLock);
    g_processEnd = std::move(end);
}

CCatalogue::CCatalogue() : m_root(std::make_shared<XmlNode>()) { }

std::shared_ptr<const XmlNode> CCatalogue::Snapshot() const
{
    std::lock_guard<std::mutex> lock(m_rootLock);
    return m_root;
}

void CCatalogue::Replace(std::shared_ptr<const XmlNode> root)
{
    std::shared_ptr<const XmlNode> old;
    {
        std::lock_guard<std::mutex> lock(m_rootLock);
        old = std::exchange(m_root, std::move(root));
    }
    // The old tree is freed here, outside the lock, unless a snapshot still holds it.
}

bool CCatalogue::Fail(const wstring16 &message)
{
    MessageBoxW(nullptr, message.c_str(), u"Tessaly", MB_OK | MB_ICONWARNING);
    EndProcess(1);
    return false;
}

bool CCatalogue::LoadCatalogue(const wstring16 &path)
{
    if (!KorrinUtilsFuns::FileExists(path))
        return Fail(u"配置文件没有找到：" + path);
    m_strPath = path;
    return ParseCatalogue();
}

std::shared_ptr<XmlNode> CCatalogue::Parse(const wstring16 &path, wstring16 *message)
{
    wstring16 text;
    const bool read = KorrinUtilsFuns::ReadTextFile(path, text, CP_UTF8);
    // A fresh root each time: nothing of the old tree, not even its name, survives a reload.
    auto root = std::make_shared<XmlNode>();
    XmlParseOptions options;
    options.tolerant = true;
    options.trim = false;
    if (!read || root->Load(text, 0, options) == XmlNoPosition) {
        *message = u"配置文件格式被破坏：" + path;
        return nullptr;
    }
    return root;
}

bool CCatalogue::ParseCatalogue()
{
    if (!KorrinUtilsFuns::FileExists(m_strPath))
        return Fail(u"没有找到配置文件：" + m_strPath);
    wstring16 message;
    std::shared_ptr<XmlNode> root = Parse(m_strPath, &message);
    if (!root) {
        Replace(std::make_shared<XmlNode>());
        return Fail(message);
    }
    Replace(std::move(root));
    return true;
}

bool CCatalogue::TryLoadCatalogue(const wstring16 &path, wstring16 *message)
{
    if (!KorrinUtilsFuns::FileExists(path)) {
        *message = u"配置文件没有找到：" + path;
        return false;
    }
    std::shared_ptr<XmlNode> root = Parse(path, message);
    if (!root)
        return false;
    m_strPath = path;
    Replace(std::move(root));
    return true;
}

std::vector<XmlNode *> CCatalogue::Sites(const XmlNode &root)
{
    return root.FindChildren(CatalogueSchema::SiteElement);
}

XmlNode *CCatalogue::Site(const XmlNode &root, int index)
{
    if (index < 0)
        return nullptr;
    int seen = 0;
    for (const auto &child : root.children)
        if (child->name == CatalogueSchema::SiteElement && seen++ == index)
            return child.get();
    return nullptr;
}

XmlNode *CCatalogue::SiteEvent(const XmlNode &site) { return site.FindChild(CatalogueSchema::EventElement); }

std::vector<XmlNode *> CCatalogue::Actions(const XmlNode &event)
{
    return event.FindChildren(CatalogueSchema::ActionElement);
}

std::vector<XmlNode *> CCatalogue::EnabledActions(const XmlNode &site)
{
    std::vector<XmlNode *> enabled;
    if (const XmlNode *event = SiteEvent(site))
        for (const auto &child : event->children)
            if (child->name == CatalogueSchema::ActionElement && !CatalogueSchema::ReadFlag(*child, u"disable"))
                enabled.push_back(child.get());
    return enabled;
}

XmlNode *CCatalogue::EnabledAction(const XmlNode &site, int ordinal)
{
    if (ordinal < 0)
        return nullptr;
    const XmlNode *event = SiteEvent(site);
    if (!event)
        return nullptr;
    int seen = 0;
    for (const auto &child : event->children)
        if (child->name == CatalogueSchema::ActionElement && !CatalogueSchema::ReadFlag(*child, u"disable") &&
            seen++ == ordinal)
            return child.get();
    return nullptr;
}

XmlNode *CCatalogue::ActionById(const XmlNode &site, std::u16string_view id)
{
    const XmlNode *event = SiteEvent(site);
    if (!event)
        return nullptr;
    for (const auto &child : event->children) {
        if (child->name != CatalogueSchema::ActionElement)
            continue;
        // An action without `id` reads as an empty one.
        const wstring16 *value = child->AttributeValue(u"id");
        if (value ? *value == id : id.empty())
            return child.get();
    }
    return nullptr;
}

wstring16 CCatalogue::ActionBody(const XmlNode &action)
{
    return WideString::Trim(action.ChildText(CatalogueSchema::BodyNode, DefaultXmlTextOptions));
}

bool CCatalogue::IsMouseBody(std::u16string_view body)
{
    for (std::u16string_view word : CatalogueSchema::MouseBodies)
        if (body == word)
            return true;
    return false;
}
