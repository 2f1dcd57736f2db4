#pragma once
// The page of a browser view. Its own dialogs (alert, confirm, prompt) are real
// modal dialogs for the user; the time they stay open is counted so that a
// script waiting on one is not taken for a hung script.

#include <QDialog>
#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QWebEnginePage>

class CVellumPage : public QWebEnginePage {
    Q_OBJECT
public:
    explicit CVellumPage(QObject *parent = nullptr);

    // Milliseconds spent in page dialogs so far, the open one included.
    qint64 DialogMilliseconds() const;
    bool IsInDialog() const { return m_nDialogDepth > 0; }
    // Dismisses every open dialog of the page; DialogsFinished follows once the
    // page's own code is done with them.
    void CloseDialogs();

signals:
    // The last open dialog has returned. Deleting the page is safe from the
    // next turn of the event loop on, not from within this signal.
    void DialogsFinished();

protected:
    void javaScriptAlert(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptPrompt(
        const QUrl &securityOrigin, const QString &msg, const QString &defaultValue, QString *result) override;

private:
    class DialogScope;
    QWidget *DialogParent() const;

    QList<QPointer<QDialog>> m_openDialogs;
    int m_nDialogDepth = 0;
    qint64 m_nDialogMs = 0;
    QElapsedTimer m_dialogClock;
};
