#include "app/CVellumPage.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QWebEngineView>

namespace {

QString DialogCaption() { return QStringLiteral("来自网页的消息"); }

} // namespace

// Counts the time a dialog is open; nested dialogs count once.
class CVellumPage::DialogScope {
public:
    explicit DialogScope(CVellumPage *page) : m_page(page)
    {
        if (m_page->m_nDialogDepth++ == 0)
            m_page->m_dialogClock.start();
    }
    ~DialogScope()
    {
        if (!m_page)
            return;
        m_page->m_openDialogs.removeAll(nullptr);
        if (--m_page->m_nDialogDepth == 0) {
            m_page->m_nDialogMs += m_page->m_dialogClock.elapsed();
            emit m_page->DialogsFinished();
        }
    }
    void Track(QDialog *dialog) { m_page->m_openDialogs.append(dialog); }
    DialogScope(const DialogScope &) = delete;
    DialogScope &operator=(const DialogScope &) = delete;

private:
    QPointer<CVellumPage> m_page;
};

CVellumPage::CVellumPage(QObject *parent) : QWebEnginePage(parent) { }

void CVellumPage::CloseDialogs()
{
    const auto dialogs = m_openDialogs;
    for (const auto &dialog : dialogs)
        if (dialog)
            dialog->reject();
}

qint64 CVellumPage::DialogMilliseconds() const
{
    return m_nDialogMs + (m_nDialogDepth > 0 ? m_dialogClock.elapsed() : 0);
}

QWidget *CVellumPage::DialogParent() const { return QWebEngineView::forPage(this); }

// Dialogs live on the heap: closing the tab deletes the view, and with it a dialog
// still open, while exec() runs; nothing of this page is touched after that.
void CVellumPage::javaScriptAlert(const QUrl &, const QString &msg)
{
    DialogScope scope(this);
    QPointer<QMessageBox> box =
        new QMessageBox(QMessageBox::Warning, DialogCaption(), msg, QMessageBox::Ok, DialogParent());
    box->button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    scope.Track(box);
    box->exec();
    delete box;
}

bool CVellumPage::javaScriptConfirm(const QUrl &, const QString &msg)
{
    DialogScope scope(this);
    QPointer<QMessageBox> box = new QMessageBox(
        QMessageBox::Question, DialogCaption(), msg, QMessageBox::Ok | QMessageBox::Cancel, DialogParent());
    box->button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box->button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
    scope.Track(box);
    const int answer = box->exec();
    delete box;
    return answer == QMessageBox::Ok;
}

bool CVellumPage::javaScriptPrompt(const QUrl &, const QString &msg, const QString &defaultValue, QString *result)
{
    DialogScope scope(this);
    QPointer<QInputDialog> dialog = new QInputDialog(DialogParent());
    dialog->setWindowTitle(DialogCaption());
    dialog->setLabelText(msg);
    dialog->setTextValue(defaultValue);
    dialog->setOkButtonText(QStringLiteral("确定"));
    dialog->setCancelButtonText(QStringLiteral("取消"));
    scope.Track(dialog);
    const bool accepted = dialog->exec() == QDialog::Accepted;
    if (!dialog)
        return false;
    if (accepted)
        *result = dialog->textValue();
    delete dialog;
    return accepted;
}
