#include "app/CPageDialogs.h"

#include "app/CVellumPage.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QHash>
#include <QPointer>
#include <QRandomGenerator>
#include <QUrlQuery>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

namespace {

// Web pages reach the first; pages from files only schemes marked local.
constexpr char kScheme[] = "tessaly-dialog";
constexpr char kLocalScheme[] = "tessaly-dialog-local";

QHash<QString, QPointer<CVellumPage>> &Pages()
{
    static QHash<QString, QPointer<CVellumPage>> pages;
    return pages;
}

// Runs before the page's own scripts, in every frame. The originals stay for
// the case where no request can be made; a message is cut to what a box can
// show, so that a request is never refused for its length.
constexpr char16_t kPageScript[] = uR"((function () {
  var w = window, key = '%1', X = w.XMLHttpRequest;
  if (!X || w[Symbol.for('tessaly.dialogs')]) return;
  w[Symbol.for('tessaly.dialogs')] = true;
  var open = X.prototype.open, send = X.prototype.send, apply = Reflect.apply;
  var text = Object.getOwnPropertyDescriptor(X.prototype, 'responseText').get;
  var status = Object.getOwnPropertyDescriptor(X.prototype, 'status').get;
  var nativeAlert = w.alert, nativeConfirm = w.confirm, nativePrompt = w.prompt;
  var E = encodeURIComponent, S = String, n = 0;
  function cut(v) {
    v = v === undefined ? '' : S(v).slice(0, 65536);
    try { return E(v); } catch (e) { return E(v.replace(/[\uD800-\uDFFF]/g, '\uFFFD')); }
  }
  function ask(kind, message, value) {
    var query = '?p=' + key + '&n=' + (++n) + '&m=' + cut(message) + '&d=' + cut(value);
    var schemes = ['%2', '%3'];
    for (var i = 0; i < schemes.length; ++i) {
      try {
        var x = new X();
        apply(open, x, ['GET', schemes[i] + ':' + kind + query, false]);
        apply(send, x, []);
        if (apply(status, x, []) === 200) return apply(text, x, []);
      } catch (e) { }
    }
    return null;
  }
  function define(name, f) {
    Object.defineProperty(w, name, { value: f, writable: true, configurable: true, enumerable: true });
  }
  define('alert', function alert(message) {
    if (ask('alert', message) === null) apply(nativeAlert, w, arguments);
  });
  define('confirm', function confirm(message) {
    var answer = ask('confirm', message);
    return answer === null ? apply(nativeConfirm, w, arguments) : answer.charAt(0) === '1';
  });
  define('prompt', function prompt(message, value) {
    var answer = ask('prompt', message, value);
    if (answer === null) return apply(nativePrompt, w, arguments);
    return answer.charAt(0) === '1' ? answer.slice(1) : null;
  });
})();)";

// The answer the page's script reads: "1" and the text for OK, "0" for cancel.
void Reply(QWebEngineUrlRequestJob *job, bool accepted, const QString &text)
{
    auto *body = new QBuffer(job);
    body->setData(accepted ? QByteArray("1") + text.toUtf8() : QByteArray("0"));
    body->open(QIODevice::ReadOnly);
    job->reply(QByteArrayLiteral("text/plain;charset=utf-8"), body);
}

} // namespace

void CPageDialogs::RegisterSchemes()
{
    for (const bool local : {false, true}) {
        QWebEngineUrlScheme scheme(local ? kLocalScheme : kScheme);
        scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
        QWebEngineUrlScheme::Flags flags = QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::CorsEnabled |
            QWebEngineUrlScheme::ContentSecurityPolicyIgnored;
        if (local)
            flags |= QWebEngineUrlScheme::LocalScheme;
        scheme.setFlags(flags);
        QWebEngineUrlScheme::registerScheme(scheme);
    }
}

// Before the first page makes the engine take its schemes.
static void RegisterPageDialogSchemes() { CPageDialogs::RegisterSchemes(); }
Q_COREAPP_STARTUP_FUNCTION(RegisterPageDialogSchemes)

QString CPageDialogs::Attach(CVellumPage *page)
{
    QWebEngineProfile *profile = page->profile();
    if (!profile->urlSchemeHandler(kScheme)) {
        auto *handler = new CPageDialogs(profile);
        profile->installUrlSchemeHandler(kScheme, handler);
        profile->installUrlSchemeHandler(kLocalScheme, handler);
    }
    QString key;
    do {
        key = QString::number(QRandomGenerator::global()->generate64(), 36);
    } while (Pages().contains(key));
    Pages().insert(key, page);
    return key;
}

void CPageDialogs::Detach(const QString &key) { Pages().remove(key); }

QString CPageDialogs::PageScript(const QString &key)
{
    return QString::fromUtf16(kPageScript).arg(key, QString::fromLatin1(kScheme), QString::fromLatin1(kLocalScheme));
}

void CPageDialogs::requestStarted(QWebEngineUrlRequestJob *job)
{
    const QUrl url = job->requestUrl();
    const QUrlQuery query(url);
    const QString path = url.path();
    CVellumPage::BoxKind kind;
    if (path == QStringLiteral("alert"))
        kind = CVellumPage::BoxKind::Alert;
    else if (path == QStringLiteral("confirm"))
        kind = CVellumPage::BoxKind::Confirm;
    else if (path == QStringLiteral("prompt"))
        kind = CVellumPage::BoxKind::Prompt;
    else {
        job->fail(QWebEngineUrlRequestJob::UrlInvalid);
        return;
    }
    CVellumPage *page = Pages().value(query.queryItemValue(QStringLiteral("p"))).data();
    if (!page) {
        Reply(job, false, {}); // the page is going: cancel
        return;
    }
    QPointer<QWebEngineUrlRequestJob> request(job);
    page->OpenBox(kind, query.queryItemValue(QStringLiteral("m"), QUrl::FullyDecoded),
        query.queryItemValue(QStringLiteral("d"), QUrl::FullyDecoded), job,
        [request](bool accepted, const QString &text) {
            if (request)
                Reply(request, accepted, text);
        });
}
