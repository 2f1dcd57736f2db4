#include "app/CContainers.h"

#include "app/CVellumApp.h"
#include "util/FileFunctions.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPixmap>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <algorithm>

namespace {

constexpr char16_t kStorage[] = u"storage";
constexpr char16_t kCache[] = u"cache";
// Left in a container's folder when its pages' storage must go before the profile is made again.
constexpr char16_t kWipeMark[] = u"wipe";
// What sites keep in a profile besides cookies and cache.
constexpr const char16_t *kSiteStorage[] = {u"Local Storage", u"Session Storage", u"IndexedDB", u"Service Worker",
    u"File System", u"databases", u"blob_storage", u"WebStorage"};

QString Text(const wstring16 &text) { return QString::fromStdU16String(text); }

} // namespace

struct CContainers::Held {
    QWebEngineProfile *profile = nullptr;
    int pages = 0;
    bool released = false;

    void Drop()
    {
        released = true;
        if (pages == 0) {
            delete profile;
            profile = nullptr;
        }
    }
};

CContainers::CContainers(const wstring16 &folder, QObject *parent)
    : QObject(parent), m_folder(folder), m_entries(ContainerIndex::Read(folder))
{
    // What deleted containers left: nothing of theirs runs any more.
    const QDir root(Text(m_folder));
    for (const QFileInfo &info :
        root.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        const QString name = info.fileName();
        if (info.isDir() && !info.isSymLink() && name.startsWith(QLatin1Char('.')) &&
            name.endsWith(QStringLiteral(".deleting")))
            RemoveInside(info.filePath().toStdU16String());
        else if (info.isFile() && info.size() == 0 && ContainerIndex::IsSafeFolder(name.toStdU16String()) &&
            !Exists(name))
            QFile::remove(info.filePath());
    }
}

CContainers::~CContainers()
{
    for (auto &[id, held] : m_held)
        held->Drop();
}

wstring16 CContainers::DefaultFolder() { return g_strAppDir + u"Containers/"; }

QColor CContainers::Colour(int index)
{
    static const QColor colours[ContainerIndex::kColours] = {QColor(0x1f, 0x6f, 0xc4), QColor(0xc6, 0x28, 0x28),
        QColor(0x2e, 0x8b, 0x2e), QColor(0xe0, 0x7b, 0x00), QColor(0x7b, 0x4f, 0xb8), QColor(0x8c, 0x56, 0x4b),
        QColor(0xd0, 0x3f, 0x9a), QColor(0x00, 0x8b, 0x9a)};
    return colours[std::clamp(index, 0, ContainerIndex::kColours - 1)];
}

QIcon CContainers::Swatch(const QColor &colour)
{
    QPixmap pixmap(12, 12);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(colour.darker(130));
    painter.setBrush(colour);
    painter.drawRoundedRect(QRectF(0.5, 0.5, 11, 11), 3, 3);
    return QIcon(pixmap);
}

const ContainerIndex::Entry *CContainers::Find(const QString &id) const
{
    if (id.isEmpty())
        return nullptr;
    const wstring16 folder = id.toStdU16String();
    for (const ContainerIndex::Entry &entry : m_entries)
        if (entry.folder == folder)
            return &entry;
    return nullptr;
}

QString CContainers::IdOfName(const QString &name) const
{
    const wstring16 clean = ContainerIndex::CleanName(name.toStdU16String());
    for (const ContainerIndex::Entry &entry : m_entries)
        if (!clean.empty() && entry.name == clean)
            return Text(entry.folder);
    return {};
}

QString CContainers::Name(const QString &id) const
{
    const ContainerIndex::Entry *entry = Find(id);
    return entry ? Text(entry->name) : QString();
}

QColor CContainers::ColourOf(const QString &id) const
{
    const ContainerIndex::Entry *entry = Find(id);
    return entry ? Colour(entry->colour) : QColor();
}

wstring16 CContainers::PathOf(const QString &id) const
{
    const ContainerIndex::Entry *entry = Find(id);
    return entry ? m_folder + entry->folder + u"/" : wstring16();
}

bool CContainers::Save() { return ContainerIndex::Write(m_folder, m_entries); }

QString CContainers::Create(const QString &name, QString *error)
{
    const wstring16 clean = ContainerIndex::CleanName(name.toStdU16String());
    if (clean.empty()) {
        *error = QStringLiteral("请输入容器名称。");
        return {};
    }
    if (!IdOfName(Text(clean)).isEmpty()) {
        *error = QStringLiteral("已有名为“%1”的容器。").arg(Text(clean));
        return {};
    }
    // A folder left on disk is not reused: its data belongs to no container.
    const wstring16 folder = ContainerIndex::DeriveFolder(clean, [this](const wstring16 &candidate) {
        return Find(Text(candidate)) || QFileInfo::exists(Text(m_folder + candidate));
    });
    if (!KorrinUtilsFuns::CreateFolderPath(m_folder + folder)) {
        *error = QStringLiteral("无法创建容器的文件夹：%1").arg(Text(m_folder + folder));
        return {};
    }
    m_entries.push_back({folder, clean, ContainerIndex::FreeColour(m_entries)});
    if (!Save()) {
        m_entries.pop_back();
        QDir(Text(m_folder + folder)).removeRecursively();
        *error = QStringLiteral("无法保存容器列表：%1").arg(Text(m_folder + ContainerIndex::kFileName));
        return {};
    }
    emit Changed();
    return Text(folder);
}

bool CContainers::Rename(const QString &id, const QString &name, QString *error)
{
    auto it = std::find_if(m_entries.begin(), m_entries.end(),
        [&](const ContainerIndex::Entry &entry) { return Text(entry.folder) == id; });
    const wstring16 clean = ContainerIndex::CleanName(name.toStdU16String());
    if (it == m_entries.end())
        return false;
    if (clean.empty()) {
        *error = QStringLiteral("请输入容器名称。");
        return false;
    }
    const QString other = IdOfName(Text(clean));
    if (!other.isEmpty() && other != id) {
        *error = QStringLiteral("已有名为“%1”的容器。").arg(Text(clean));
        return false;
    }
    const wstring16 before = it->name;
    it->name = clean;
    if (!Save()) {
        it->name = before;
        *error = QStringLiteral("无法保存容器列表：%1").arg(Text(m_folder + ContainerIndex::kFileName));
        return false;
    }
    emit Changed();
    return true;
}

QWebEngineProfile *CContainers::Profile(const QString &id)
{
    const ContainerIndex::Entry *entry = Find(id);
    if (!entry)
        return nullptr;
    auto &held = m_held[id];
    if (held && held->profile)
        return held->profile;
    const wstring16 path = PathOf(id);
    KorrinUtilsFuns::CreateFolderPath(path);
    // Nothing has the storage open now: what a clear could not remove goes here.
    if (QFile::exists(Text(path + kWipeMark))) {
        WipeSiteData(path);
        QFile::remove(Text(path + kWipeMark));
    }
    held = std::make_shared<Held>();
    held->profile = new QWebEngineProfile(QStringLiteral("tessaly-") + id);
    held->profile->setPersistentStoragePath(Text(path + kStorage));
    held->profile->setCachePath(Text(path + kCache));
    held->profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
    // Logins kept by session cookies survive a restart too, as the container promises.
    held->profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
    return held->profile;
}

void CContainers::Track(const QString &id, QWebEnginePage *page)
{
    const auto it = m_held.find(id);
    if (it == m_held.end() || !it->second->profile || page->profile() != it->second->profile)
        return;
    std::shared_ptr<Held> held = it->second;
    ++held->pages;
    connect(page, &QObject::destroyed, held->profile, [held] {
        // The page is gone whole: its profile may go with it. Not later: the
        // program may be ending, with no event loop to come.
        if (--held->pages == 0 && held->released) {
            delete held->profile;
            held->profile = nullptr;
        }
    });
}

int CContainers::PagesUsing(const QString &id) const
{
    const auto it = m_held.find(id);
    return it == m_held.end() ? 0 : it->second->pages;
}

void CContainers::Release(const QString &id)
{
    const auto it = m_held.find(id);
    if (it == m_held.end())
        return;
    it->second->Drop();
    m_held.erase(it);
}

bool CContainers::RemoveInside(const wstring16 &path) const
{
    // Only a folder below the containers folder, however the path was made.
    const QFileInfo target(Text(path));
    const QString root = QFileInfo(Text(m_folder)).canonicalFilePath();
    if (!target.exists() && !target.isSymLink())
        return true;
    if (root.isEmpty() || target.isSymLink() || !target.isDir())
        return QFile::remove(target.absoluteFilePath());
    const QString canonical = target.canonicalFilePath();
    if (!canonical.startsWith(root + QLatin1Char('/')))
        return false;
    return QDir(canonical).removeRecursively();
}

void CContainers::WipeSiteData(const wstring16 &path) const
{
    for (const char16_t *folder : kSiteStorage)
        RemoveInside(path + kStorage + u"/" + folder);
    RemoveInside(path + kCache);
}

void CContainers::ClearData(const QString &id)
{
    const wstring16 path = PathOf(id);
    if (path.empty())
        return;
    auto it = m_held.find(id);
    // The engine's own calls reach what its processes hold open.
    if (it != m_held.end() && it->second->profile) {
        QWebEngineProfile *profile = it->second->profile;
        profile->cookieStore()->deleteAllCookies();
        profile->clearHttpCache();
        profile->clearAllVisitedLinks();
    }
    // Site storage has no such call: it goes before the profile is next made,
    // at the next start when pages use it now. A profile let go may still
    // write as it goes: that is wiped then too. Cookies logged in since stay.
    QFile(Text(path + kWipeMark)).open(QIODevice::WriteOnly);
    if (it != m_held.end() && it->second->pages > 0)
        return;
    Release(id);
    RemoveInside(path + kStorage);
    RemoveInside(path + kCache);
}

bool CContainers::Remove(const QString &id)
{
    if (!Exists(id) || PagesUsing(id) > 0)
        return false;
    const QString folder = Text(m_folder) + id;
    Release(id);
    const auto it = std::find_if(
        m_entries.begin(), m_entries.end(), [&](const ContainerIndex::Entry &e) { return Text(e.folder) == id; });
    const ContainerIndex::Entry removed = *it;
    m_entries.erase(it);
    if (!Save()) {
        m_entries.push_back(removed);
        return false;
    }
    // The engine may still write while the profile goes. A file in the
    // folder's place keeps it from making the folder again; the next start
    // removes that file.
    const QString trash = Text(m_folder) + QLatin1Char('.') + id + QStringLiteral(".deleting");
    RemoveInside(trash.toStdU16String());
    if (QDir().rename(folder, trash)) {
        QFile tombstone(folder);
        tombstone.open(QIODevice::NewOnly);
        RemoveInside(trash.toStdU16String());
    } else {
        RemoveInside(folder.toStdU16String());
    }
    emit Changed();
    return true;
}

qint64 CContainers::SizeOnDisk(const QString &id) const
{
    const wstring16 path = PathOf(id);
    if (path.empty())
        return 0;
    qint64 bytes = 0;
    QDirIterator files(
        Text(path), QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        files.next();
        bytes += files.fileInfo().size();
    }
    return bytes;
}
