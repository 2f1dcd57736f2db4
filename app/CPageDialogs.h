#pragma once
// Page boxes (alert, confirm, prompt) that hold only the page that opened them.
// The engine's own boxes are shown from inside its work on the UI thread, so
// while one is open no page of any tab hears from the program. Instead each
// page's alert, confirm and prompt ask the program through a synchronous
// request to a scheme of ours: the page's renderer waits, as it would for its
// own box, and the answer is sent whenever the person gives it. Where such a
// request cannot be made (a page being unloaded), the engine's box is used.

#include <QString>
#include <QWebEngineUrlSchemeHandler>

class CVellumPage;
class QWebEngineProfile;

class CPageDialogs : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    // Before any browser exists; done at application start.
    static void RegisterSchemes();
    // Serves the page's requests (once per profile); returns the key that names
    // the page in them.
    static QString Attach(CVellumPage *page);
    static void Detach(const QString &key);
    // The script that replaces the page's boxes, for every frame of the page.
    static QString PageScript(const QString &key);

    void requestStarted(QWebEngineUrlRequestJob *job) override;

private:
    explicit CPageDialogs(QObject *parent) : QWebEngineUrlSchemeHandler(parent) { }
};
