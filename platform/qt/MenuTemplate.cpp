#include "platform/qt/MenuTemplate.h"

#include "platform/Resource.h"

#include <QAction>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QMenuBar>

#include <cmath>

namespace {

// Deeper than any menu of ours; keeps hostile input from going deep.
constexpr int MaxDepth = 16;

const char *const CommandProperty = "tessalyCommand";

QString ToQString(const wstring16 &s) { return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size())); }

bool Fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

bool ReadItems(const QJsonValue &value, int depth, std::vector<MenuTemplate::Item> *items, QString *error)
{
    if (depth > MaxDepth)
        return Fail(error, QStringLiteral("menus nest too deep"));
    if (!value.isArray())
        return Fail(error, QStringLiteral("items must be a list"));
    for (const QJsonValue &entry : value.toArray()) {
        if (!entry.isObject())
            return Fail(error, QStringLiteral("a menu item is an object"));
        const QJsonObject o = entry.toObject();
        MenuTemplate::Item item;
        item.separator = o.value(QStringLiteral("separator")).toBool(false);
        item.disabled = o.value(QStringLiteral("disabled")).toBool(false);
        item.checked = o.value(QStringLiteral("checked")).toBool(false);
        const QJsonValue text = o.value(QStringLiteral("text"));
        if (!text.isUndefined() && !text.isString())
            return Fail(error, QStringLiteral("a menu text must be a text"));
        const QString t = text.toString();
        item.text.assign(reinterpret_cast<const char16_t *>(t.utf16()), static_cast<std::size_t>(t.size()));
        const QJsonValue id = o.value(QStringLiteral("id"));
        if (!id.isUndefined()) {
            const double d = id.toDouble(-1);
            if (!id.isDouble() || !std::isfinite(d) || d != std::floor(d) || d < 0 || d > 65535)
                return Fail(error, QStringLiteral("a command id must be 0..65535"));
            item.id = static_cast<int>(d);
        }
        const QJsonValue children = o.value(QStringLiteral("items"));
        if (!children.isUndefined()) {
            if (!ReadItems(children, depth + 1, &item.items, error))
                return false;
            if (item.items.empty())
                return Fail(error, QStringLiteral("a popup needs items"));
        }
        items->push_back(std::move(item));
    }
    return true;
}

void AddItems(QMenu *menu, const std::vector<MenuTemplate::Item> &items, const MenuTemplate::ItemHandler &handler = {})
{
    for (const MenuTemplate::Item &item : items) {
        if (handler && !item.separator && handler(menu, item))
            continue;
        if (item.separator) {
            menu->addSeparator();
            continue;
        }
        if (!item.items.empty()) {
            QMenu *sub = menu->addMenu(ToQString(item.text));
            sub->setEnabled(!item.disabled);
            AddItems(sub, item.items, handler);
            continue;
        }
        QAction *action = menu->addAction(ToQString(item.text));
        action->setProperty(CommandProperty, item.id);
        action->setEnabled(!item.disabled);
        if (item.checked) {
            action->setCheckable(true);
            action->setChecked(true);
        }
    }
}

} // namespace

std::optional<MenuTemplate> MenuTemplate::Parse(const QByteArray &json, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        Fail(error, parseError.errorString());
        return std::nullopt;
    }
    if (!document.isObject()) {
        Fail(error, QStringLiteral("a menu is an object"));
        return std::nullopt;
    }
    MenuTemplate menu;
    const QJsonValue id = document.object().value(QStringLiteral("id"));
    const double d = id.toDouble(-1);
    if (!id.isDouble() || !std::isfinite(d) || d != std::floor(d) || d < 0 || d > 65535) {
        Fail(error, QStringLiteral("id must be 0..65535"));
        return std::nullopt;
    }
    menu.id = static_cast<int>(d);
    if (!ReadItems(document.object().value(QStringLiteral("items")), 0, &menu.items, error))
        return std::nullopt;
    return menu;
}

std::optional<MenuTemplate> MenuTemplate::Load(int templateId, QString *error)
{
    if (templateId < 0 || templateId > 65535) {
        Fail(error, QStringLiteral("no such menu"));
        return std::nullopt;
    }
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(static_cast<WORD>(templateId)), u"MENU");
    HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    const void *bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) {
        Fail(error, QStringLiteral("no menu %1").arg(templateId));
        return std::nullopt;
    }
    auto menu = Parse(
        QByteArray(static_cast<const char *>(bytes), static_cast<qsizetype>(SizeofResource(nullptr, found))), error);
    if (menu && menu->id != templateId) {
        Fail(error, QStringLiteral("menu %1 says it is %2").arg(templateId).arg(menu->id));
        return std::nullopt;
    }
    return menu;
}

QMenu *MenuTemplate::CreatePopup(int index, QWidget *parent, const ItemHandler &handler) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= items.size())
        return nullptr;
    const Item &popup = items[static_cast<std::size_t>(index)];
    auto *menu = new QMenu(ToQString(popup.text), parent);
    AddItems(menu, popup.items, handler);
    return menu;
}

void MenuTemplate::FillMenuBar(QMenuBar *bar) const
{
    for (const Item &item : items) {
        if (item.items.empty())
            continue;
        QMenu *menu = bar->addMenu(ToQString(item.text));
        AddItems(menu, item.items);
    }
}

int MenuTemplate::CommandOf(const QAction *action)
{
    if (!action)
        return 0;
    const QVariant id = action->property(CommandProperty);
    return id.isValid() ? id.toInt() : 0;
}

int MenuTemplate::TrackPopupMenu(QMenu *menu, QPoint globalPos)
{
    if (!menu)
        return 0;
    return CommandOf(menu->exec(globalPos));
}
