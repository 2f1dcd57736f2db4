#include "platform/qt/DialogTemplate.h"

#include "platform/ControlStyles.h"
#include "platform/Resource.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <map>

namespace {

// Beyond this a coordinate in dialog units is no dialog of ours.
constexpr double MaxUnits = 32767;

const std::map<QString, DWORD> &StyleNames()
{
    static const std::map<QString, DWORD> names = {
        {QStringLiteral("WS_POPUP"), WS_POPUP},
        {QStringLiteral("WS_CHILD"), WS_CHILD},
        {QStringLiteral("WS_VISIBLE"), WS_VISIBLE},
        {QStringLiteral("WS_DISABLED"), WS_DISABLED},
        {QStringLiteral("WS_CLIPSIBLINGS"), WS_CLIPSIBLINGS},
        {QStringLiteral("WS_CLIPCHILDREN"), WS_CLIPCHILDREN},
        {QStringLiteral("WS_CAPTION"), WS_CAPTION},
        {QStringLiteral("WS_BORDER"), WS_BORDER},
        {QStringLiteral("WS_SYSMENU"), WS_SYSMENU},
        {QStringLiteral("WS_VSCROLL"), WS_VSCROLL},
        {QStringLiteral("WS_HSCROLL"), WS_HSCROLL},
        {QStringLiteral("WS_GROUP"), WS_GROUP},
        {QStringLiteral("WS_TABSTOP"), WS_TABSTOP},
        {QStringLiteral("WS_EX_TRANSPARENT"), 0x00000020},
        {QStringLiteral("WS_EX_CLIENTEDGE"), 0x00000200},
        {QStringLiteral("WS_EX_STATICEDGE"), 0x00020000},
        {QStringLiteral("DS_SETFONT"), DS_SETFONT},
        {QStringLiteral("DS_MODALFRAME"), DS_MODALFRAME},
        {QStringLiteral("DS_FIXEDSYS"), DS_FIXEDSYS},
        {QStringLiteral("DS_SHELLFONT"), DS_SHELLFONT},
        {QStringLiteral("BS_PUSHBUTTON"), BS_PUSHBUTTON},
        {QStringLiteral("BS_DEFPUSHBUTTON"), BS_DEFPUSHBUTTON},
        {QStringLiteral("BS_CHECKBOX"), BS_CHECKBOX},
        {QStringLiteral("BS_AUTOCHECKBOX"), BS_AUTOCHECKBOX},
        {QStringLiteral("BS_RADIOBUTTON"), BS_RADIOBUTTON},
        {QStringLiteral("BS_3STATE"), BS_3STATE},
        {QStringLiteral("BS_AUTO3STATE"), BS_AUTO3STATE},
        {QStringLiteral("BS_GROUPBOX"), BS_GROUPBOX},
        {QStringLiteral("BS_AUTORADIOBUTTON"), BS_AUTORADIOBUTTON},
        {QStringLiteral("SS_LEFT"), SS_LEFT},
        {QStringLiteral("SS_CENTER"), SS_CENTER},
        {QStringLiteral("SS_RIGHT"), SS_RIGHT},
        {QStringLiteral("SS_ICON"), SS_ICON},
        {QStringLiteral("SS_BLACKRECT"), SS_BLACKRECT},
        {QStringLiteral("SS_GRAYRECT"), SS_GRAYRECT},
        {QStringLiteral("SS_WHITERECT"), SS_WHITERECT},
        {QStringLiteral("SS_SIMPLE"), SS_SIMPLE},
        {QStringLiteral("SS_LEFTNOWORDWRAP"), SS_LEFTNOWORDWRAP},
        {QStringLiteral("SS_BITMAP"), SS_BITMAP},
        {QStringLiteral("SS_ENHMETAFILE"), SS_ENHMETAFILE},
        {QStringLiteral("SS_ETCHEDHORZ"), SS_ETCHEDHORZ},
        {QStringLiteral("SS_ETCHEDVERT"), SS_ETCHEDVERT},
        {QStringLiteral("SS_NOTIFY"), SS_NOTIFY},
        {QStringLiteral("SS_CENTERIMAGE"), SS_CENTERIMAGE},
        {QStringLiteral("SS_SUNKEN"), SS_SUNKEN},
        {QStringLiteral("ES_LEFT"), 0},
        {QStringLiteral("ES_CENTER"), ES_CENTER},
        {QStringLiteral("ES_RIGHT"), ES_RIGHT},
        {QStringLiteral("ES_MULTILINE"), ES_MULTILINE},
        {QStringLiteral("ES_PASSWORD"), ES_PASSWORD},
        {QStringLiteral("ES_AUTOVSCROLL"), ES_AUTOVSCROLL},
        {QStringLiteral("ES_AUTOHSCROLL"), ES_AUTOHSCROLL},
        {QStringLiteral("ES_READONLY"), ES_READONLY},
        {QStringLiteral("ES_WANTRETURN"), ES_WANTRETURN},
        {QStringLiteral("ES_NUMBER"), ES_NUMBER},
        {QStringLiteral("CBS_SIMPLE"), CBS_SIMPLE},
        {QStringLiteral("CBS_DROPDOWN"), CBS_DROPDOWN},
        {QStringLiteral("CBS_DROPDOWNLIST"), CBS_DROPDOWNLIST},
        {QStringLiteral("CBS_AUTOHSCROLL"), 0x0040},
        {QStringLiteral("CBS_SORT"), CBS_SORT},
        {QStringLiteral("CBS_HASSTRINGS"), 0x0200},
        {QStringLiteral("LBS_NOTIFY"), LBS_NOTIFY},
        {QStringLiteral("LBS_SORT"), LBS_SORT},
        {QStringLiteral("LBS_HASSTRINGS"), 0x0040},
        {QStringLiteral("LBS_NOINTEGRALHEIGHT"), 0x0100},
        {QStringLiteral("LVS_REPORT"), 0x0001},
        {QStringLiteral("LVS_SINGLESEL"), 0x0004},
        {QStringLiteral("LVS_SHOWSELALWAYS"), 0x0008},
        {QStringLiteral("LVS_ALIGNLEFT"), 0x0800},
        {QStringLiteral("LVS_NOCOLUMNHEADER"), 0x4000},
        {QStringLiteral("LVS_NOSORTHEADER"), 0x8000},
    };
    return names;
}

wstring16 Wide(const QString &s) { return wstring16(reinterpret_cast<const char16_t *>(s.utf16()), s.size()); }

bool Fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

bool ReadNumber(const QJsonValue &value, double low, double high, double *out)
{
    if (!value.isDouble())
        return false;
    const double d = value.toDouble();
    if (!std::isfinite(d) || d != std::floor(d) || d < low || d > high)
        return false;
    *out = d;
    return true;
}

bool ReadInt(const QJsonValue &value, double low, double high, int *out)
{
    double d = 0;
    if (!ReadNumber(value, low, high, &d))
        return false;
    *out = static_cast<int>(d);
    return true;
}

bool ReadText(const QJsonObject &object, const QString &key, wstring16 *out)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined()) {
        out->clear();
        return true;
    }
    if (!value.isString())
        return false;
    *out = Wide(value.toString());
    return true;
}

// style: absent, a number, or a list of names / numbers / "NOT name".
bool ReadStyle(const QJsonValue &value, DWORD *style, QString *error)
{
    if (value.isUndefined())
        return true;
    double number = 0;
    if (value.isDouble()) {
        if (!ReadNumber(value, 0, 4294967295.0, &number))
            return Fail(error, QStringLiteral("bad style number"));
        *style |= static_cast<DWORD>(number);
        return true;
    }
    if (!value.isArray())
        return Fail(error, QStringLiteral("style must be a list"));
    for (const QJsonValue &item : value.toArray()) {
        if (item.isDouble()) {
            if (!ReadNumber(item, 0, 4294967295.0, &number))
                return Fail(error, QStringLiteral("bad style number"));
            *style |= static_cast<DWORD>(number);
            continue;
        }
        if (!item.isString())
            return Fail(error, QStringLiteral("style entries are names or numbers"));
        QString name = item.toString().trimmed();
        bool remove = false;
        if (name.startsWith(QStringLiteral("NOT "))) {
            remove = true;
            name = name.mid(4).trimmed();
        }
        DWORD bits = 0;
        bool ok = false;
        if (name.startsWith(QStringLiteral("0x")) || name.startsWith(QStringLiteral("0X"))) {
            const qulonglong v = name.mid(2).toULongLong(&ok, 16);
            ok = ok && v <= 0xFFFFFFFFull;
            bits = static_cast<DWORD>(v);
        } else if (!name.isEmpty() && name[0].isDigit()) {
            const qulonglong v = name.toULongLong(&ok, 10);
            ok = ok && v <= 0xFFFFFFFFull;
            bits = static_cast<DWORD>(v);
        } else {
            ok = DialogTemplate::StyleBits(name, &bits);
        }
        if (!ok)
            return Fail(error, QStringLiteral("unknown style ") + name);
        if (remove)
            *style &= ~bits;
        else
            *style |= bits;
    }
    return true;
}

// rect: [left, top, width, height] in dialog units.
bool ReadRect(const QJsonValue &value, RECT *rect)
{
    if (!value.isArray())
        return false;
    const QJsonArray a = value.toArray();
    int v[4];
    if (a.size() != 4)
        return false;
    for (int i = 0; i < 4; ++i)
        if (!ReadInt(a[i], i < 2 ? -MaxUnits : 0, MaxUnits, &v[i]))
            return false;
    *rect = {v[0], v[1], v[0] + v[2], v[1] + v[3]};
    return true;
}

} // namespace

bool DialogTemplate::StyleBits(const QString &name, DWORD *bits)
{
    const auto &names = StyleNames();
    auto it = names.find(name);
    if (it == names.end()) {
        *bits = 0;
        return false;
    }
    *bits = it->second;
    return true;
}

const DialogControl *DialogTemplate::Control(int controlId) const
{
    for (const DialogControl &c : controls)
        if (c.id == controlId)
            return &c;
    return nullptr;
}

std::optional<DialogTemplate> DialogTemplate::Parse(const QByteArray &json, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        Fail(error, parseError.errorString());
        return std::nullopt;
    }
    if (!document.isObject()) {
        Fail(error, QStringLiteral("a template is an object"));
        return std::nullopt;
    }
    const QJsonObject root = document.object();
    DialogTemplate t;
    if (!ReadInt(root.value(QStringLiteral("id")), 0, 65535, &t.id)) {
        Fail(error, QStringLiteral("id must be 0..65535"));
        return std::nullopt;
    }
    if (!ReadText(root, QStringLiteral("caption"), &t.caption)) {
        Fail(error, QStringLiteral("caption must be a text"));
        return std::nullopt;
    }
    if (!ReadStyle(root.value(QStringLiteral("style")), &t.style, error) ||
        !ReadStyle(root.value(QStringLiteral("exStyle")), &t.exStyle, error))
        return std::nullopt;
    if (!ReadRect(root.value(QStringLiteral("rect")), &t.rect)) {
        Fail(error, QStringLiteral("rect must be [left, top, width, height]"));
        return std::nullopt;
    }
    const QJsonValue font = root.value(QStringLiteral("font"));
    if (!font.isUndefined()) {
        if (!font.isObject() || !ReadText(font.toObject(), QStringLiteral("name"), &t.fontName) ||
            !ReadInt(font.toObject().value(QStringLiteral("size")), 1, 72, &t.fontSize)) {
            Fail(error, QStringLiteral("font must be { name, size 1..72 }"));
            return std::nullopt;
        }
    }
    const QJsonValue controls = root.value(QStringLiteral("controls"));
    if (!controls.isUndefined() && !controls.isArray()) {
        Fail(error, QStringLiteral("controls must be a list"));
        return std::nullopt;
    }
    for (const QJsonValue &item : controls.toArray()) {
        if (!item.isObject()) {
            Fail(error, QStringLiteral("a control is an object"));
            return std::nullopt;
        }
        const QJsonObject o = item.toObject();
        DialogControl c;
        c.style = WS_CHILD | WS_VISIBLE;
        if (!ReadInt(o.value(QStringLiteral("id")), -1, 65535, &c.id)) {
            Fail(error, QStringLiteral("control id must be -1..65535"));
            return std::nullopt;
        }
        if (!ReadText(o, QStringLiteral("class"), &c.className) || c.className.empty()) {
            Fail(error, QStringLiteral("control %1 needs a class").arg(c.id));
            return std::nullopt;
        }
        if (!ReadText(o, QStringLiteral("text"), &c.text)) {
            Fail(error, QStringLiteral("control %1: text must be a text").arg(c.id));
            return std::nullopt;
        }
        if (!ReadRect(o.value(QStringLiteral("rect")), &c.rect)) {
            Fail(error, QStringLiteral("control %1: rect must be [left, top, width, height]").arg(c.id));
            return std::nullopt;
        }
        if (!ReadStyle(o.value(QStringLiteral("style")), &c.style, error) ||
            !ReadStyle(o.value(QStringLiteral("exStyle")), &c.exStyle, error))
            return std::nullopt;
        t.controls.push_back(std::move(c));
    }
    return t;
}

std::optional<DialogTemplate> DialogTemplate::Load(int templateId, QString *error)
{
    if (templateId < 0 || templateId > 65535) {
        Fail(error, QStringLiteral("no such template"));
        return std::nullopt;
    }
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(static_cast<WORD>(templateId)), u"DIALOG");
    HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    const void *bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) {
        Fail(error, QStringLiteral("no template %1").arg(templateId));
        return std::nullopt;
    }
    const DWORD size = SizeofResource(nullptr, found);
    auto t = Parse(QByteArray(static_cast<const char *>(bytes), static_cast<qsizetype>(size)), error);
    if (t && t->id != templateId) {
        Fail(error, QStringLiteral("template %1 says it is %2").arg(templateId).arg(t->id));
        return std::nullopt;
    }
    return t;
}
