#include "tests/common/CookieServer.h"

#include <QTcpSocket>
#include <QUrlQuery>

namespace {

QByteArray CookieUser(const QByteArray &request)
{
    for (const QByteArray &line : request.split('\n')) {
        if (!line.toLower().startsWith("cookie:"))
            continue;
        for (QByteArray pair : line.mid(7).trimmed().split(';')) {
            pair = pair.trimmed();
            if (pair.startsWith("user="))
                return QByteArray::fromPercentEncoding(pair.mid(5));
        }
    }
    return "none";
}

QByteArray Escaped(const QByteArray &text) { return QString::fromUtf8(text).toHtmlEscaped().toUtf8(); }

QByteArray Html(const QByteArray &title, const QByteArray &body)
{
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + Escaped(title) + "</title></head>" +
        "<body style=\"font:20px sans-serif\">" + body + "</body></html>";
}

} // namespace

bool CookieServer::Start() { return listen(QHostAddress::LocalHost, 0); }

QUrl CookieServer::Url(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path));
}

QUrl CookieServer::Login(const QString &user) const
{
    QUrl url = Url(QStringLiteral("/login"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("user"), user);
    url.setQuery(query);
    return url;
}

void CookieServer::incomingConnection(qintptr handle)
{
    auto *socket = new QTcpSocket(this);
    socket->setSocketDescriptor(handle);
    auto buffer = std::make_shared<QByteArray>();
    connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
        buffer->append(socket->readAll());
        if (!buffer->contains("\r\n\r\n"))
            return;
        socket->write(Answer(*buffer));
        buffer->clear();
        socket->disconnectFromHost();
    });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
}

QByteArray CookieServer::Answer(const QByteArray &request)
{
    ++m_nRequests;
    const QList<QByteArray> words = request.left(request.indexOf('\r')).split(' ');
    const QUrl target(QString::fromUtf8(words.value(1)));
    QByteArray headers = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nCache-Control: no-store\r\n"
                         "Connection: close\r\n";
    QByteArray body;
    if (target.path() == QStringLiteral("/login")) {
        const QByteArray user = QUrlQuery(target).queryItemValue(QStringLiteral("user"), QUrl::FullyDecoded).toUtf8();
        headers += "Set-Cookie: user=" + user.toPercentEncoding() + "; Path=/\r\n";
        body = Html("login " + user,
            "<script>localStorage.setItem('user', " + ("'" + user.toPercentEncoding() + "'") +
                ")</script><div id=\"who\">" + Escaped(user) + "</div>");
    } else if (target.path() == QStringLiteral("/favicon.ico")) {
        return "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    } else {
        const QByteArray user = CookieUser(request);
        body = Html(user,
            "<div id=\"who\">" + Escaped(user) +
                "</div><script>window.presses = [];"
                "document.addEventListener('mousedown', function (e) { presses.push(e.clientX + ',' + e.clientY); });"
                "</script><div style=\"height:2000px\"></div>");
    }
    return headers + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}
