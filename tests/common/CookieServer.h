#pragma once
// A loopback HTTP server with logins kept in a cookie, for the tests of
// isolated tabs. "/login?user=NAME" sets the cookie "user" (a session cookie)
// and puts NAME into the page's local storage; every other path answers a page
// that echoes the user of the cookie the browser sent ("none" without one) in
// its title and in #who, and logs the page's mouse presses in window.presses.

#include <QByteArray>
#include <QTcpServer>
#include <QUrl>

class CookieServer : public QTcpServer {
    Q_OBJECT
public:
    // Listens on a free loopback port.
    bool Start();
    QUrl Url(const QString &path) const;
    QUrl Login(const QString &user) const;
    QUrl WhoAmI() const { return Url(QStringLiteral("/whoami")); }
    // Requests answered so far.
    int Requests() const { return m_nRequests; }

protected:
    void incomingConnection(qintptr handle) override;

private:
    QByteArray Answer(const QByteArray &request);
    int m_nRequests = 0;
};
