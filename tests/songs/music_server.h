// A small HTTP server on 127.0.0.1 (a free port) that stands in for
// MusicBrainz and the Cover Art Archive in the tests: it answers each path
// from a table, one answer after the other when a path has several, and
// keeps every request it was sent.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHostAddress>
#include <QMap>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace songs_test {

struct Answer {
    Answer(int status = 200, QByteArray body = {}, QByteArray headers = {}, qint64 announced = -1)
        : status(status), body(std::move(body)), headers(std::move(headers)), announced(announced) {}

    int status;
    QByteArray body;
    QByteArray headers;  // extra header lines, each ending in "\r\n"
    qint64 announced;    // Content-Length when it differs from the body's
};

struct SeenRequest {
    QByteArray target;  // path and query
    QByteArray userAgent;
    qint64 atMs = 0;
};

class MusicServer {
public:
    MusicServer() {
        clock_.start();
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                sockets_.emplace_back(socket);
                auto buffer = std::make_shared<QByteArray>();
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
                    buffer->append(socket->readAll());
                    const qsizetype end = buffer->indexOf("\r\n\r\n");
                    if (end < 0) return;
                    Answer(socket, buffer->left(end));
                    buffer->clear();
                });
            }
        });
    }

    bool ok() const { return server_.isListening(); }
    QByteArray Url() const { return "http://127.0.0.1:" + QByteArray::number(server_.serverPort()); }

    // Answers for `target` (the path with its query), used in turn; the last
    // one stays.
    void On(const QByteArray& target, std::vector<songs_test::Answer> answers) { table_[target] = std::move(answers); }
    void On(const QByteArray& target, songs_test::Answer answer) { On(target, std::vector{std::move(answer)}); }

    // While held, requests are taken (and kept in `requests`) but not
    // answered: a slow server.  Letting go answers those waiting.
    void Hold() { holding_ = true; }
    void LetGo() {
        holding_ = false;
        auto held = std::move(held_);
        for (auto& [socket, head] : held) {
            if (socket) Answer(socket, head, false);
        }
    }

    // No connection is open any more: every answer went, or its asker hung up.
    bool Quiet() const {
        return std::all_of(sockets_.begin(), sockets_.end(), [](const QPointer<QTcpSocket>& s) { return s.isNull(); });
    }

    std::vector<SeenRequest> requests;

private:
    // `fresh`: not seen before (a held request was counted when it came).
    void Answer(QTcpSocket* socket, const QByteArray& head, bool fresh = true) {
        SeenRequest seen = Seen(head);
        seen.atMs = clock_.elapsed();
        if (fresh) requests.push_back(seen);
        if (holding_) {
            held_.emplace_back(socket, head);
            return;
        }
        songs_test::Answer answer{404, "{\"error\":\"Not Found\"}", {}, -1};
        auto found = table_.find(seen.target);
        if (found != table_.end() && !found->empty()) {
            answer = found->front();
            if (found->size() > 1) found->erase(found->begin());
        }
        const qint64 length = answer.announced >= 0 ? answer.announced : answer.body.size();
        QByteArray out = "HTTP/1.1 " + QByteArray::number(answer.status) + " " + Reason(answer.status) + "\r\n" +
                         "Content-Length: " + QByteArray::number(length) + "\r\n" + answer.headers +
                         "Connection: close\r\n\r\n" + answer.body;
        socket->write(out);
        // The answer ends with the connection (cut short when it announced more).
        QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [socket] {
            if (socket->bytesToWrite() == 0) socket->disconnectFromHost();
        });
    }

    static SeenRequest Seen(const QByteArray& head) {
        const QList<QByteArray> lines = head.split('\n');
        SeenRequest seen;
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        seen.target = first.value(1);
        for (const QByteArray& line : lines) {
            if (line.toLower().startsWith("user-agent:")) seen.userAgent = line.mid(11).trimmed();
        }
        return seen;
    }

    static QByteArray Reason(int status) {
        switch (status) {
            case 200: return "OK";
            case 307: return "Temporary Redirect";
            case 404: return "Not Found";
            case 500: return "Internal Server Error";
            case 503: return "Service Unavailable";
            default: return "Status";
        }
    }

    QTcpServer server_;
    QElapsedTimer clock_;
    QMap<QByteArray, std::vector<songs_test::Answer>> table_;
    bool holding_ = false;
    std::vector<std::pair<QPointer<QTcpSocket>, QByteArray>> held_;
    std::vector<QPointer<QTcpSocket>> sockets_;
};

// Runs the event loop until `done` holds (or a generous time passed);
// whether it holds.
inline bool RunUntil(const std::function<bool()>& done, int timeoutMs = 30000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return done();
}

// The tests of network lookups need an application object for the loop: a
// GUI one (offscreen), as the other tests of the same program may draw.
inline void EnsureApplication() {
    static int argc = 1;
    static char name[] = "reelcard_tests";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    new QGuiApplication(argc, argv);
}

}  // namespace songs_test
