#pragma once
// The site/action catalogue a task panel works from: loading with its fatal
// messages, and the lookups the panel and the executor use.

#include "catalogue/xml/XmlNode.h"
#include "platform/Win32Types.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

class CCatalogue {
public:
    // Ends the process after a fatal catalogue message; tests replace it so that
    // they can see the exit code and go on. Empty restores std::exit.
    using ProcessEnd = std::function<void(int exitCode)>;
    static void SetProcessEnd(ProcessEnd end);

    CCatalogue();

    // Loads the file at `path` as this catalogue: "配置文件没有找到：" and the end of
    // the process when it does not exist. False only when the process end was replaced.
    bool LoadCatalogue(const wstring16 &path);
    // Reads the stored path as UTF-8 (or UTF-16LE with its mark) and parses it,
    // replacing the old tree; a missing or damaged file ends the process.
    bool ParseCatalogue();

    // For a file the user picks while the program runs: the tree and the path
    // change only when the file loads. Otherwise false with the message to show
    // ("配置文件没有找到：" or "配置文件格式被破坏：" + path), and nothing ends.
    bool TryLoadCatalogue(const wstring16 &path, wstring16 *message);

    void SetPath(const wstring16 &path) { m_strPath = path; }
    const wstring16 &Path() const { return m_strPath; }
    // The root element after a successful load; an empty node before. For the
    // thread that loads; the reference dies with the next load.
    const XmlNode &Root() const { return *m_root; }
    // The current tree, kept alive for the holder even when another thread
    // loads a new catalogue meanwhile (a run thread reading its action).
    std::shared_ptr<const XmlNode> Snapshot() const;

    // The root's direct `item` children, in document order.
    static std::vector<XmlNode *> Sites(const XmlNode &root);
    // nullptr when `index` is out of range.
    static XmlNode *Site(const XmlNode &root, int index);
    static XmlNode *SiteEvent(const XmlNode &site);
    static std::vector<XmlNode *> Actions(const XmlNode &event);
    // The actions whose lower-cased `disable` is not "true", in order.
    static std::vector<XmlNode *> EnabledActions(const XmlNode &site);
    static XmlNode *EnabledAction(const XmlNode &site, int ordinal);
    // The first action whose `id` equals `id` exactly; `disable` does not matter.
    static XmlNode *ActionById(const XmlNode &site, std::u16string_view id);
    static wstring16 ActionBody(const XmlNode &action);
    static bool IsMouseBody(std::u16string_view body);

private:
    bool Fail(const wstring16 &message);
    // The tree of a file, or null with the reason.
    static std::shared_ptr<XmlNode> Parse(const wstring16 &path, wstring16 *message);

    void Replace(std::shared_ptr<const XmlNode> root);

    mutable std::mutex m_rootLock;
    std::shared_ptr<const XmlNode> m_root;
    wstring16 m_strPath;
};
