#include "app/CVellumPage.h"

#include "app/CChildFrame.h"
#include "app/CDocumentTabs.h"
#include "app/CMainFrame.h"
#include "app/CPageDialogs.h"
#include "app/CVellumView.h"

#include <QEvent>
#include <QEventLoop>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

#include <algorithm>

int CVellumPage::s_nEngineDepth = 0;
qint64 CVellumPage::s_nEngineMs = 0;
QElapsedTimer CVellumPage::s_engineClock;

struct CVellumPage::Box {
    QPointer<QDialog> dialog;
    BoxAnswer answer;
    // The page's waiting request; null for a box the engine waits on.
    QPointer<QObject> request;
    bool engine = false;
};

CVellumPage::CVellumPage(QObject *parent) : QWebEnginePage(parent) { Prepare(); }

CVellumPage::CVellumPage(QWebEngineProfile *profile, QObject *parent) : QWebEnginePage(profile, parent) { Prepare(); }

void CVellumPage::Prepare()
{
    m_key = CPageDialogs::Attach(this);
    QWebEngineScript script;
    script.setName(QStringLiteral("tessaly-dialogs"));
    script.setSourceCode(CPageDialogs::PageScript(m_key));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(true);
    scripts().insert(script);
}

CVellumPage::~CVellumPage()
{
    CPageDialogs::Detach(m_key);
    // Waiting pages hear cancel; nothing of this page is called back after this.
    const auto boxes = std::move(m_boxes);
    m_boxes.clear();
    for (const auto &box : boxes) {
        const BoxAnswer answer = std::move(box->answer);
        delete box->dialog.data();
        if (answer && box->request)
            answer(false, {});
    }
    if (m_watchedWindow)
        m_watchedWindow->removeEventFilter(this);
}

qint64 CVellumPage::DialogMilliseconds() const
{
    bool asking = false;
    for (const auto &box : m_boxes)
        asking = asking || !box->engine;
    return m_nBoxMs + (asking ? m_boxClock.elapsed() : 0) + s_nEngineMs +
        (s_nEngineDepth > 0 ? s_engineClock.elapsed() : 0);
}

QList<QDialog *> CVellumPage::Boxes() const
{
    QList<QDialog *> list;
    for (const auto &box : m_boxes)
        if (box->dialog)
            list.append(box->dialog);
    return list;
}

void CVellumPage::CloseDialogs()
{
    const auto boxes = m_boxes;
    for (const auto &box : boxes)
        Settle(box, false, {});
}

QWidget *CVellumPage::DialogParent() const { return QWebEngineView::forPage(this); }

// The tab as its tab bar shows it, with its place: several tabs may share a title.
QString CVellumPage::TabTitle() const
{
    auto *view = qobject_cast<CVellumView *>(QWebEngineView::forPage(this));
    CChildFrame *frame = view ? view->GetParentFrame() : nullptr;
    const QString title = frame ? frame->Title() : this->title();
    auto *mainFrame = view ? qobject_cast<CMainFrame *>(view->window()) : nullptr;
    const qsizetype index = mainFrame && mainFrame->Tabs() ? mainFrame->Tabs()->Frames().indexOf(frame) : -1;
    if (index < 0)
        return title;
    return QStringLiteral("标签页 %1：%2").arg(index + 1).arg(title);
}

QDialog *CVellumPage::MakeBox(BoxKind kind, const QString &message, const QString &defaultValue)
{
    const QString caption = QStringLiteral("来自网页的消息 - %1").arg(TabTitle());
    QDialog *dialog = nullptr;
    if (kind == BoxKind::Prompt) {
        auto *input = new QInputDialog(DialogParent());
        input->setWindowTitle(caption);
        input->setLabelText(message);
        input->setTextValue(defaultValue);
        input->setOkButtonText(QStringLiteral("确定"));
        input->setCancelButtonText(QStringLiteral("取消"));
        dialog = input;
    } else {
        const bool confirm = kind == BoxKind::Confirm;
        auto *box = new QMessageBox(confirm ? QMessageBox::Question : QMessageBox::Warning, caption, message,
            confirm ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, DialogParent());
        box->button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
        if (confirm)
            box->button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
        dialog = box;
    }
    dialog->setObjectName(QStringLiteral("PageDialog"));
    // The person may go on working in the window, in this tab and others.
    dialog->setWindowModality(Qt::NonModal);
    return dialog;
}

void CVellumPage::OpenBox(
    BoxKind kind, const QString &message, const QString &defaultValue, QObject *request, BoxAnswer answer)
{
    auto box = std::make_shared<Box>();
    box->answer = std::move(answer);
    box->request = request;
    box->dialog = MakeBox(kind, message, defaultValue);
    // The page's renderer went (closed, crashed, recovered): nobody waits any more.
    connect(request, &QObject::destroyed, this, [this, box] {
        box->answer = nullptr;
        Settle(box, false, {});
    });
    Track(box);
}

void CVellumPage::Track(const std::shared_ptr<Box> &box)
{
    const bool asking = std::any_of(m_boxes.begin(), m_boxes.end(), [](const auto &b) { return !b->engine; });
    if (!box->engine && !asking)
        m_boxClock.start();
    m_boxes.push_back(box);
    QDialog *dialog = box->dialog;
    connect(dialog, &QDialog::finished, this, [this, box](int result) {
        QDialog *d = box->dialog;
        if (auto *input = qobject_cast<QInputDialog *>(d))
            Settle(box, result == QDialog::Accepted, input->textValue());
        else if (auto *message = qobject_cast<QMessageBox *>(d))
            Settle(box, message->clickedButton() == message->button(QMessageBox::Ok), {});
    });
    QWidget *window = DialogParent() ? DialogParent()->window() : nullptr;
    if (window != m_watchedWindow) {
        if (m_watchedWindow)
            m_watchedWindow->removeEventFilter(this);
        m_watchedWindow = window;
        if (window)
            window->installEventFilter(this);
    }
    PlaceBoxes();
}

void CVellumPage::Untrack(const std::shared_ptr<Box> &box)
{
    const auto it = std::find(m_boxes.begin(), m_boxes.end(), box);
    if (it == m_boxes.end())
        return;
    m_boxes.erase(it);
    const bool asking = std::any_of(m_boxes.begin(), m_boxes.end(), [](const auto &b) { return !b->engine; });
    if (!box->engine && !asking)
        m_nBoxMs += m_boxClock.elapsed();
    if (box->dialog) {
        box->dialog->disconnect(this);
        box->dialog->hide();
        box->dialog->deleteLater();
    }
}

void CVellumPage::Settle(const std::shared_ptr<Box> &box, bool accepted, const QString &text)
{
    if (std::find(m_boxes.begin(), m_boxes.end(), box) == m_boxes.end())
        return;
    Untrack(box);
    const BoxAnswer answer = std::move(box->answer);
    box->answer = nullptr;
    QPointer<CVellumPage> self(this);
    if (answer)
        answer(accepted, text);
    if (self && !IsInDialog())
        emit DialogsFinished();
}

bool CVellumPage::WindowHidden() const
{
    const QWidget *parent = DialogParent();
    const QWidget *window = parent ? parent->window() : nullptr;
    return !window || !window->isVisible() || window->testAttribute(Qt::WA_DontShowOnScreen);
}

// A box shown while the window is hidden would give the window away.
void CVellumPage::PlaceBoxes()
{
    const bool hidden = WindowHidden();
    for (const auto &box : m_boxes) {
        QDialog *dialog = box->dialog;
        if (!dialog)
            continue;
        if (hidden)
            dialog->hide();
        else if (!dialog->isVisible())
            dialog->show();
    }
}

bool CVellumPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_watchedWindow && !m_boxes.empty() &&
        (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        // After the window has settled: hiding it live is a hide and a show.
        QMetaObject::invokeMethod(this, &CVellumPage::PlaceBoxes, Qt::QueuedConnection);
    return QWebEnginePage::eventFilter(watched, event);
}

// The engine's own boxes: only where the page could not ask through a request.
// The engine waits here, and no page hears from the program meanwhile; the time
// is excused for every page. The box lives on the heap: closing the tab deletes
// the view, and with it a box still open; nothing of this page is touched then.
bool CVellumPage::RunEngineBox(BoxKind kind, const QString &message, const QString &defaultValue, QString *result)
{
    ++m_nDialogDepth;
    if (s_nEngineDepth++ == 0)
        s_engineClock.start();
    QPointer<CVellumPage> self(this);
    QEventLoop loop;
    bool ended = false;
    bool accepted = false;
    auto box = std::make_shared<Box>();
    box->engine = true;
    box->answer = [&](bool ok, const QString &text) {
        ended = true;
        accepted = ok;
        if (ok && result)
            *result = text;
        loop.quit();
    };
    box->dialog = MakeBox(kind, message, defaultValue);
    connect(box->dialog, &QObject::destroyed, &loop, &QEventLoop::quit);
    Track(box);
    while (!ended && box->dialog)
        loop.exec();
    box->answer = nullptr;
    if (--s_nEngineDepth == 0)
        s_nEngineMs += s_engineClock.elapsed();
    if (!self)
        return false;
    --m_nDialogDepth;
    Untrack(box);
    if (!IsInDialog())
        emit DialogsFinished();
    return accepted;
}

void CVellumPage::javaScriptAlert(const QUrl &, const QString &msg) { RunEngineBox(BoxKind::Alert, msg, {}, nullptr); }

bool CVellumPage::javaScriptConfirm(const QUrl &, const QString &msg)
{
    return RunEngineBox(BoxKind::Confirm, msg, {}, nullptr);
}

bool CVellumPage::javaScriptPrompt(const QUrl &, const QString &msg, const QString &defaultValue, QString *result)
{
    return RunEngineBox(BoxKind::Prompt, msg, defaultValue, result);
}
