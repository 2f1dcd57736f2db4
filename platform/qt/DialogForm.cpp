#include "platform/qt/DialogForm.h"

#include "platform/ControlStyles.h"
#include "platform/WideString.h"
#include "platform/qt/WindowBinding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTableView>

namespace {

QString ToQString(const wstring16 &s) { return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size())); }

wstring16 ToWide(const QString &s) { return wstring16(reinterpret_cast<const char16_t *>(s.utf16()), s.size()); }

// What a static shows of its text: "&&" is "&", a single "&" marks a mnemonic.
QString StaticDisplay(const wstring16 &text)
{
    QString shown;
    const QString raw = ToQString(text);
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] == u'&') {
            if (i + 1 < raw.size() && raw[i + 1] == u'&')
                shown += u'&', ++i;
            continue;
        }
        if (raw[i] == u'\r')
            continue;
        shown += raw[i];
    }
    return shown;
}

int ButtonKind(DWORD style) { return static_cast<int>(style & BS_TYPEMASK); }

} // namespace

DialogForm::DialogForm(DialogTemplate dialog, QWidget *host, HWND hostWindow, const Factories &factories)
    : m_template(std::move(dialog)), m_units(m_template.fontName, m_template.fontSize), m_host(host)
{
    const QRect design = m_units.MapDialogRect(
        {0, 0, m_template.rect.right - m_template.rect.left, m_template.rect.bottom - m_template.rect.top});
    m_designSize = design.size();
    if (!host)
        return;
    host->setFont(DialogUnits::DialogFont(m_template.fontName, m_template.fontSize));
    if (!m_template.caption.empty())
        host->setWindowTitle(ToQString(m_template.caption));
    host->resize(m_designSize);

    for (const DialogControl &control : m_template.controls) {
        auto item = std::make_unique<Item>();
        item->control = control;
        HWND own = nullptr;
        QWidget *widget = MakeWidget(control, hostWindow, factories, &own);
        item->widget = widget;
        QRect geometry = m_units.MapDialogRect(control.rect);
        // A combo box's template height includes its drop-down list.
        if (qobject_cast<QComboBox *>(widget))
            geometry.setHeight(std::min(geometry.height(), widget->sizeHint().height()));
        widget->setGeometry(geometry);
        widget->setVisible((control.style & WS_VISIBLE) != 0);
        widget->setEnabled((control.style & WS_DISABLED) == 0);
        if (own) {
            item->window = own;
        } else {
            item->binding = std::make_unique<WindowBinding>(widget, control.className.c_str(), hostWindow);
            item->window = item->binding->Handle();
        }
        Connect(*item);
        m_items.push_back(std::move(item));
    }
}

DialogForm::~DialogForm()
{
    // Windows of the form's own making go with it; a control that owns its
    // window (made by a factory) ends it with its widget.
    m_items.clear();
}

QWidget *DialogForm::MakeWidget(const DialogControl &control, HWND hostWindow, const Factories &factories, HWND *window)
{
    QWidget *parent = m_host;
    const DWORD style = control.style;
    const QString text = ToQString(control.text);
    if (auto it = factories.find(control.className); it != factories.end() && it->second) {
        if (QWidget *made = it->second(parent, hostWindow, control, window)) {
            made->setParent(parent);
            return made;
        }
    }
    const wstring16 &cls = control.className;
    if (cls == ControlClass::Button) {
        switch (ButtonKind(style)) {
        case BS_GROUPBOX:
            return new QGroupBox(StaticDisplay(control.text), parent);
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
            return new QCheckBox(text, parent);
        case BS_3STATE:
        case BS_AUTO3STATE: {
            auto *box = new QCheckBox(text, parent);
            box->setTristate(true);
            return box;
        }
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return new QRadioButton(text, parent);
        default: {
            auto *button = new QPushButton(text, parent);
            button->setAutoDefault(false);
            button->setDefault(ButtonKind(style) == BS_DEFPUSHBUTTON);
            return button;
        }
        }
    }
    if (cls == ControlClass::Edit) {
        if (style & ES_MULTILINE) {
            auto *edit = new QPlainTextEdit(text, parent);
            edit->setReadOnly((style & ES_READONLY) != 0);
            return edit;
        }
        auto *edit = new QLineEdit(text, parent);
        edit->setReadOnly((style & ES_READONLY) != 0);
        if (style & ES_PASSWORD)
            edit->setEchoMode(QLineEdit::Password);
        if (style & ES_NUMBER)
            edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
        edit->setAlignment(style & ES_RIGHT ? Qt::AlignRight : (style & ES_CENTER ? Qt::AlignHCenter : Qt::AlignLeft));
        return edit;
    }
    if (cls == ControlClass::Static) {
        const DWORD kind = style & SS_TYPEMASK;
        if (kind == SS_ETCHEDHORZ || kind == SS_ETCHEDVERT || kind == SS_BLACKRECT || kind == SS_GRAYRECT ||
            kind == SS_WHITERECT) {
            auto *frame = new QFrame(parent);
            frame->setFrameShape(kind == SS_ETCHEDHORZ ? QFrame::HLine
                    : kind == SS_ETCHEDVERT            ? QFrame::VLine
                                                       : QFrame::Box);
            frame->setFrameShadow(kind == SS_ETCHEDHORZ || kind == SS_ETCHEDVERT ? QFrame::Sunken : QFrame::Plain);
            return frame;
        }
        auto *label = new QLabel(StaticDisplay(control.text), parent);
        label->setTextFormat(Qt::PlainText);
        Qt::Alignment alignment =
            kind == SS_CENTER ? Qt::AlignHCenter : (kind == SS_RIGHT ? Qt::AlignRight : Qt::AlignLeft);
        alignment |= (style & SS_CENTERIMAGE) ? Qt::AlignVCenter : Qt::AlignTop;
        label->setAlignment(alignment);
        label->setWordWrap(kind == SS_LEFT || kind == SS_CENTER || kind == SS_RIGHT);
        if ((style & SS_SUNKEN) || (style & WS_BORDER))
            label->setFrameShape(QFrame::Box);
        return label;
    }
    if (cls == ControlClass::ComboBox) {
        auto *combo = new QComboBox(parent);
        combo->setEditable((style & 0x3) != CBS_DROPDOWNLIST);
        return combo;
    }
    if (cls == ControlClass::ListBox) {
        auto *box = new QListWidget(parent);
        if (style & LBS_SORT)
            box->setSortingEnabled(true);
        return box;
    }
    if (cls == ControlClass::HotKey)
        return new QKeySequenceEdit(parent);
    if (cls == ControlClass::ListView)
        return new QTableView(parent);
    auto *unknown = new QFrame(parent);
    return unknown;
}

void DialogForm::Connect(const Item &item)
{
    QWidget *widget = item.widget;
    const int id = item.control.id;
    if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
        connect(button, &QAbstractButton::clicked, this, [this, id] { emit command(id, BN_CLICKED); });
    } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
        connect(edit, &QLineEdit::textChanged, this, [this, id] { emit command(id, EN_CHANGE); });
    } else if (auto *text = qobject_cast<QPlainTextEdit *>(widget)) {
        connect(text, &QPlainTextEdit::textChanged, this, [this, id] { emit command(id, EN_CHANGE); });
    } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
        connect(combo, &QComboBox::activated, this, [this, id] { emit command(id, CBN_SELCHANGE); });
    } else if (auto *list = qobject_cast<QListWidget *>(widget)) {
        connect(list, &QListWidget::currentRowChanged, this, [this, id] { emit command(id, LBN_SELCHANGE); });
    } else if (qobject_cast<QLabel *>(widget) && (item.control.style & SS_NOTIFY)) {
        widget->installEventFilter(this);
    }
}

bool DialogForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        for (const auto &item : m_items)
            if (item->widget == watched) {
                emit command(item->control.id, STN_CLICKED);
                break;
            }
    }
    return QObject::eventFilter(watched, event);
}

const DialogForm::Item *DialogForm::Find(int id) const
{
    for (const auto &item : m_items)
        if (item->control.id == id && item->widget)
            return item.get();
    return nullptr;
}

const DialogForm::Item *DialogForm::Find(HWND window) const
{
    if (!window)
        return nullptr;
    for (const auto &item : m_items)
        if (item->window == window && item->widget)
            return item.get();
    return nullptr;
}

QWidget *DialogForm::GetDlgItem(int id) const
{
    const Item *item = Find(id);
    return item ? item->widget.data() : nullptr;
}

HWND DialogForm::GetDlgItemWindow(int id) const
{
    const Item *item = Find(id);
    return item ? item->window : nullptr;
}

QWidget *DialogForm::WidgetOf(HWND window) const
{
    const Item *item = Find(window);
    return item ? item->widget.data() : nullptr;
}

wstring16 DialogForm::ClassOf(HWND window) const
{
    const Item *item = Find(window);
    return item ? item->control.className : wstring16();
}

DWORD DialogForm::StyleOf(HWND window) const
{
    const Item *item = Find(window);
    return item ? item->control.style : 0;
}

void DialogForm::SetStyleOf(HWND window, DWORD style)
{
    for (auto &item : m_items)
        if (item->window == window && item->widget)
            item->control.style = style;
}

std::vector<HWND> DialogForm::Windows() const
{
    std::vector<HWND> windows;
    for (const auto &item : m_items)
        if (item->widget)
            windows.push_back(item->window);
    return windows;
}

wstring16 DialogForm::GetDlgItemText(int id) const
{
    const Item *item = Find(id);
    if (!item)
        return {};
    QWidget *w = item->widget;
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        return ToWide(edit->text());
    if (auto *text = qobject_cast<QPlainTextEdit *>(w))
        return ToWide(text->toPlainText());
    if (auto *combo = qobject_cast<QComboBox *>(w))
        return ToWide(combo->currentText());
    if (auto *button = qobject_cast<QAbstractButton *>(w))
        return ToWide(button->text());
    return item->control.text; // statics and group boxes keep their raw text
}

bool DialogForm::SetDlgItemText(int id, const wstring16 &text)
{
    Item *item = const_cast<Item *>(Find(id));
    if (!item)
        return false;
    QWidget *w = item->widget;
    const QString q = ToQString(text);
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        edit->setText(q);
    else if (auto *plain = qobject_cast<QPlainTextEdit *>(w))
        plain->setPlainText(q);
    else if (auto *combo = qobject_cast<QComboBox *>(w); combo && combo->isEditable())
        combo->setEditText(q);
    else if (auto *button = qobject_cast<QAbstractButton *>(w))
        button->setText(q);
    else if (auto *group = qobject_cast<QGroupBox *>(w))
        group->setTitle(StaticDisplay(text));
    else if (auto *label = qobject_cast<QLabel *>(w))
        label->setText(StaticDisplay(text));
    else
        w->setWindowTitle(q);
    item->control.text = text;
    return true;
}

UINT DialogForm::GetDlgItemInt(int id, BOOL *translated, bool isSigned) const
{
    if (translated)
        *translated = FALSE;
    if (!Find(id))
        return 0;
    const wstring16 text = GetDlgItemText(id);
    std::size_t i = 0;
    while (i < text.size() && WideString::IsSpace(text[i]))
        ++i;
    bool negative = false;
    if (isSigned && i < text.size() && text[i] == u'-') {
        negative = true;
        ++i;
    }
    const std::size_t start = i;
    unsigned long long value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + static_cast<unsigned>(text[i] - u'0');
        if (value > 0xFFFFFFFFull)
            return 0;
    }
    if (i == start || i != text.size())
        return 0;
    if (isSigned && value > (negative ? 0x80000000ull : 0x7FFFFFFFull))
        return 0;
    if (translated)
        *translated = TRUE;
    return negative ? static_cast<UINT>(-static_cast<long long>(value)) : static_cast<UINT>(value);
}

bool DialogForm::SetDlgItemInt(int id, UINT value, bool isSigned)
{
    return SetDlgItemText(
        id, isSigned ? WideString::FromInt(static_cast<int>(value)) : WideString::FromUnsigned(value));
}

UINT DialogForm::IsDlgButtonChecked(int id) const
{
    const Item *item = Find(id);
    auto *button = item ? qobject_cast<QAbstractButton *>(item->widget.data()) : nullptr;
    if (!button || !button->isCheckable())
        return 0;
    if (auto *box = qobject_cast<QCheckBox *>(button); box && box->checkState() == Qt::PartiallyChecked)
        return 2;
    return button->isChecked() ? 1 : 0;
}

bool DialogForm::CheckDlgButton(int id, UINT check)
{
    const Item *item = Find(id);
    auto *button = item ? qobject_cast<QAbstractButton *>(item->widget.data()) : nullptr;
    if (!button || !button->isCheckable())
        return false;
    if (auto *box = qobject_cast<QCheckBox *>(button))
        box->setCheckState(check == 2 ? Qt::PartiallyChecked : (check ? Qt::Checked : Qt::Unchecked));
    else
        button->setChecked(check != 0);
    return true;
}
