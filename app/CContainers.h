#pragma once
// The named containers ("容器") of the tabs. Each has a folder of its own below
// the containers folder, and one browser profile over that folder, so its
// cookies, storage, cache and logins are its own and kept across restarts. The
// default container (an empty identifier) is the browser's default profile.
//
// A profile goes only once no page uses it any more: a page must never outlive
// its profile.

#include "platform/Win32Types.h"
#include "tasks/ContainerIndex.h"

#include <QColor>
#include <QIcon>
#include <QObject>
#include <QString>

#include <map>
#include <memory>
#include <vector>

class QWebEnginePage;
class QWebEngineProfile;

class CContainers : public QObject {
    Q_OBJECT
public:
    // folder: the containers folder, ending in '/'.
    explicit CContainers(const wstring16 &folder, QObject *parent = nullptr);
    ~CContainers() override;

    // g_strAppDir + "Containers/".
    static wstring16 DefaultFolder();
    static QColor Colour(int index);
    // A small swatch of the colour, for tabs and lists.
    static QIcon Swatch(const QColor &colour);

    const wstring16 &Folder() const { return m_folder; }
    const std::vector<ContainerIndex::Entry> &Entries() const { return m_entries; }
    bool Exists(const QString &id) const { return Find(id) != nullptr; }
    // The identifier of the container with that name (after cleaning), or empty.
    QString IdOfName(const QString &name) const;
    QString Name(const QString &id) const;
    // Invalid for the default container and unknown identifiers.
    QColor ColourOf(const QString &id) const;
    // The container's own folder, ending in '/'; empty for unknown identifiers.
    wstring16 PathOf(const QString &id) const;

    // The identifier of a new container named name. Empty with a message in
    // error when the name is empty, taken, or the folder cannot be made.
    QString Create(const QString &name, QString *error);
    bool Rename(const QString &id, const QString &name, QString *error);
    // The profile of the container, made at its first use; null for the
    // default container and unknown identifiers.
    QWebEngineProfile *Profile(const QString &id);
    // Keeps the container's profile while page lives.
    void Track(const QString &id, QWebEnginePage *page);
    int PagesUsing(const QString &id) const;
    // Logs the container out of everything: cookies, storage and cache. While
    // pages use it, cookies and cache go at once, site storage at the next start.
    void ClearData(const QString &id);
    // Removes the container and its folder; refused (false) while a page uses it.
    bool Remove(const QString &id);
    // Bytes of the container's folder.
    qint64 SizeOnDisk(const QString &id) const;

signals:
    // Containers came, went or were renamed.
    void Changed();

private:
    struct Held;
    const ContainerIndex::Entry *Find(const QString &id) const;
    bool Save();
    // Lets the profile go: now when no page uses it, else after its last page.
    void Release(const QString &id);
    bool RemoveInside(const wstring16 &path) const;
    // Site storage and cache of the container at path, cookies kept.
    void WipeSiteData(const wstring16 &path) const;

    wstring16 m_folder;
    std::vector<ContainerIndex::Entry> m_entries;
    std::map<QString, std::shared_ptr<Held>> m_held;
};
