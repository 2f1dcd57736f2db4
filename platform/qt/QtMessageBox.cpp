#include "platform/qt/QtMessageBox.h"

#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "platform/Window.h"
#include "platform/WindowBackend.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/WindowBinding.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

namespace {

constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDTRYAGAIN = 10;
constexpr int IDCONTINUE = 11;
const char *const kDismissed = "tessalyDismissed";

// A box asked for by a worker: answered once, by the box or by a dismissal.
struct Request {
    HWND owner = nullptr;
    UINT type = 0;
    bool done = false;
    int answer = 0;
};

struct Shown {
    HWND owner;
    QPointer<QMessageBox> box;
};

struct State {
    std::mutex mutex;
    bool installed = false;
    int destroyListener = 0;
    std::vector<std::shared_ptr<Request>> requests;
    std::vector<Shown> shown; // touched on the UI thread only, under the mutex
};

State &TheState()
{
    static auto *state = new State;
    return *state;
}

void Complete(const std::shared_ptr<Request> &request, int answer)
{
    std::lock_guard lock(TheState().mutex);
    if (!request->done) {
        request->done = true;
        request->answer = answer;
    }
}

QString ToQt(const wstring16 &s) { return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size())); }

struct ButtonSet {
    std::vector<std::pair<QMessageBox::StandardButton, int>> buttons;
};

ButtonSet ButtonsOf(UINT type)
{
    using B = QMessageBox;
    switch (type & 0x0F) {
    case MB_OKCANCEL:
        return {{{B::Ok, IDOK}, {B::Cancel, IDCANCEL}}};
    case 0x02:
        return {{{B::Abort, IDABORT}, {B::Retry, IDRETRY}, {B::Ignore, IDIGNORE}}};
    case MB_YESNOCANCEL:
        return {{{B::Yes, IDYES}, {B::No, IDNO}, {B::Cancel, IDCANCEL}}};
    case MB_YESNO:
        return {{{B::Yes, IDYES}, {B::No, IDNO}}};
    case 0x05:
        return {{{B::Retry, IDRETRY}, {B::Cancel, IDCANCEL}}};
    case 0x06:
        return {{{B::Cancel, IDCANCEL}, {B::Retry, IDTRYAGAIN}, {B::Ignore, IDCONTINUE}}};
    default:
        return {{{B::Ok, IDOK}}};
    }
}

void CloseShown(HWND owner)
{
    std::vector<QPointer<QMessageBox>> boxes;
    {
        auto &s = TheState();
        std::lock_guard lock(s.mutex);
        for (const auto &shown : s.shown)
            if (!owner || shown.owner == owner)
                boxes.push_back(shown.box);
    }
    for (auto &box : boxes)
        if (box) {
            box->setProperty(kDismissed, true);
            box->done(0);
        }
}

void Unlist(const QMessageBox *box)
{
    auto &s = TheState();
    std::lock_guard lock(s.mutex);
    std::erase_if(s.shown, [&](const Shown &shown) { return !shown.box || shown.box == box; });
}

int ShowFallback(const wstring16 &text, const wstring16 &caption)
{
    const std::string line = WideString::ToUtf8(caption) + ": " + WideString::ToUtf8(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    return IDOK;
}

// On the UI thread, for a worker: shows the box without blocking.
void ShowForWorker(const std::shared_ptr<Request> &request, const wstring16 &text, const wstring16 &caption)
{
    auto &s = TheState();
    QMessageBox *box = nullptr;
    {
        std::lock_guard lock(s.mutex);
        if (request->done)
            return; // dismissed before it was shown
        box = QtMessageBox::Build(request->owner, text, caption, request->type);
        s.shown.push_back(Shown {request->owner, box});
    }
    const UINT type = request->type;
    box->setWindowModality(Qt::ApplicationModal);
    QObject::connect(box, &QDialog::finished, box, [request, box, type] {
        Complete(request, QtMessageBox::AnswerOf(box, type));
        Unlist(box);
        box->deleteLater();
    });
    QObject::connect(box, &QObject::destroyed, qApp, [request, type, box] {
        Complete(request, MessageBoxDismissAnswer(type));
        Unlist(box);
    });
    box->show();
}

} // namespace

void QtMessageBox::Install()
{
    auto &s = TheState();
    {
        std::lock_guard lock(s.mutex);
        if (s.installed)
            return;
        s.installed = true;
    }
    s.destroyListener = WindowBackend::AddDestroyListener([](HWND window) { Dismiss(window); });
    SetMessageBoxBackend(&QtMessageBox::Show);
    SetMessageBoxDismissBackend(&QtMessageBox::Dismiss);
}

void QtMessageBox::Uninstall()
{
    auto &s = TheState();
    std::vector<std::shared_ptr<Request>> requests;
    {
        std::lock_guard lock(s.mutex);
        if (!s.installed)
            return;
        s.installed = false;
        requests = s.requests;
    }
    SetMessageBoxBackend(nullptr);
    SetMessageBoxDismissBackend(nullptr);
    WindowBackend::RemoveDestroyListener(s.destroyListener);
    for (auto &request : requests)
        Complete(request, MessageBoxDismissAnswer(request->type));
    CloseShown(nullptr);
}

void QtMessageBox::Dismiss(HWND owner)
{
    auto &s = TheState();
    {
        std::lock_guard lock(s.mutex);
        for (auto &request : s.requests)
            if ((!owner || request->owner == owner) && !request->done) {
                request->done = true;
                request->answer = MessageBoxDismissAnswer(request->type);
            }
    }
    if (QtPlatform::IsUiThread())
        CloseShown(owner);
    else if (auto *app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app, [owner] { CloseShown(owner); }, Qt::QueuedConnection);
}

int QtMessageBox::Show(HWND owner, const wstring16 &text, const wstring16 &caption, UINT type)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return ShowFallback(text, caption);
    auto &s = TheState();
    if (QtPlatform::IsUiThread()) {
        QPointer<QMessageBox> box;
        {
            std::lock_guard lock(s.mutex);
            if (!s.installed)
                return ShowFallback(text, caption);
            if (owner && !WindowBackend::IsWindowAlive(owner))
                return MessageBoxDismissAnswer(type);
            box = Build(owner, text, caption, type);
            s.shown.push_back(Shown {owner, box});
        }
        box->exec(); // a nested loop: sends and posts keep being served
        if (!box)
            return MessageBoxDismissAnswer(type); // deleted with its parent
        const int answer = AnswerOf(box, type);
        Unlist(box);
        delete box.data();
        return answer;
    }

    auto request = std::make_shared<Request>();
    request->owner = owner;
    request->type = type;
    {
        std::lock_guard lock(s.mutex);
        if (!s.installed)
            return ShowFallback(text, caption);
        if (owner && !WindowBackend::IsWindowAlive(owner))
            return MessageBoxDismissAnswer(type);
        s.requests.push_back(request);
        QMetaObject::invokeMethod(
            qApp, [request, text, caption] { ShowForWorker(request, text, caption); }, Qt::QueuedConnection);
    }
    PumpMessagesUntil(
        [&] {
            std::lock_guard lock(s.mutex);
            return request->done;
        },
        INFINITE);
    std::lock_guard lock(s.mutex);
    std::erase(s.requests, request);
    return request->answer;
}

QMessageBox *QtMessageBox::Build(HWND owner, const wstring16 &text, const wstring16 &caption, UINT type)
{
    auto *box = new QMessageBox(WindowBinding::WidgetOf(owner));
    box->setWindowTitle(ToQt(caption));
    box->setText(ToQt(text));
    switch (type & 0xF0) {
    case MB_ICONERROR:
        box->setIcon(QMessageBox::Critical);
        break;
    case MB_ICONQUESTION:
        box->setIcon(QMessageBox::Question);
        break;
    case MB_ICONWARNING:
        box->setIcon(QMessageBox::Warning);
        break;
    case MB_ICONINFORMATION:
        box->setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    const auto set = ButtonsOf(type);
    for (const auto &[button, id] : set.buttons)
        box->addButton(button);
    const std::size_t defaultIndex = (type >> 8) & 0x0F;
    if (defaultIndex < set.buttons.size())
        box->setDefaultButton(set.buttons[defaultIndex].first);
    return box;
}

int QtMessageBox::AnswerOf(const QMessageBox *box, UINT type)
{
    if (!box || box->property(kDismissed).toBool())
        return MessageBoxDismissAnswer(type);
    const auto clicked = box->standardButton(box->clickedButton());
    for (const auto &[button, id] : ButtonsOf(type).buttons)
        if (button == clicked)
            return id;
    return MessageBoxDismissAnswer(type);
}
