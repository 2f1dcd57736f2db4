#pragma once
// The page of a browser view. Its boxes (alert, confirm, prompt) hold only this
// page: they are answered later, through CPageDialogs, while every other tab and
// the window go on. A box says which tab it comes from, and it does not appear
// while the main window is hidden (boss key, tray): it waits to be shown with
// the window. The time boxes stay open is counted so that a script waiting on
// one is not taken for a hung script.

#include <QDialog>
#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QWebEnginePage>

#include <functional>
#include <memory>
#include <vector>

class CVellumPage : public QWebEnginePage {
    Q_OBJECT
public:
    explicit CVellumPage(QObject *parent = nullptr);
    // A page of a container's profile, which must outlive it.
    CVellumPage(QWebEngineProfile *profile, QObject *parent);
    ~CVellumPage() override;

    enum class BoxKind { Alert, Confirm, Prompt };
    using BoxAnswer = std::function<void(bool accepted, const QString &text)>;
    // Opens a box for the page and returns at once; answer is called once with
    // the person's answer (cancel when the box is dismissed or the page goes),
    // unless request is destroyed first, which closes the box.
    void OpenBox(BoxKind kind, const QString &message, const QString &defaultValue, QObject *request, BoxAnswer answer);

    // Milliseconds spent in this page's boxes so far, the open one included,
    // plus the time any page held the engine in one of its own boxes.
    qint64 DialogMilliseconds() const;
    bool IsInDialog() const { return m_nDialogDepth > 0 || !m_boxes.empty(); }
    // True while some page's engine box is open: no page hears from the program.
    static bool IsEngineHeld() { return s_nEngineDepth > 0; }
    // The boxes of the page, shown or waiting for the window to be shown.
    QList<QDialog *> Boxes() const;
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
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Box;
    void Prepare();
    QDialog *MakeBox(BoxKind kind, const QString &message, const QString &defaultValue);
    bool RunEngineBox(BoxKind kind, const QString &message, const QString &defaultValue, QString *result);
    void Track(const std::shared_ptr<Box> &box);
    void Settle(const std::shared_ptr<Box> &box, bool accepted, const QString &text);
    void Untrack(const std::shared_ptr<Box> &box);
    void PlaceBoxes();
    bool WindowHidden() const;
    QString TabTitle() const;
    QWidget *DialogParent() const;

    QString m_key;
    std::vector<std::shared_ptr<Box>> m_boxes;
    QPointer<QWidget> m_watchedWindow;
    int m_nDialogDepth = 0;
    qint64 m_nBoxMs = 0;
    QElapsedTimer m_boxClock;

    static int s_nEngineDepth;
    static qint64 s_nEngineMs;
    static QElapsedTimer s_engineClock;
};
