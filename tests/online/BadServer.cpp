#include "BadServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <vector>

namespace {
int Listen(int& port) {
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(s, 16) != 0)
        throw std::runtime_error("cannot listen on loopback");
    socklen_t len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return s;
}

void SendAll(int s, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = send(s, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}
}  // namespace

int ClosedPort() {
    int port = 0;
    const int s = Listen(port);
    close(s);  // nothing listens there now
    return port;
}

const char* BadServer::Name(Fault f) {
    switch (f) {
        case Fault::Garbage: return "garbage";
        case Fault::HtmlError: return "html-error";
        case Fault::HugeBody: return "huge-body";
        case Fault::Slow: return "slow";
        case Fault::RedirectLoop: return "redirect-loop";
        default: return "hangup";
    }
}

BadServer::BadServer(Fault f, int slow) : fault(f), slowSeconds(slow) {
    listener = Listen(port);
    thread = std::thread([this] { Serve(); });
}

BadServer::~BadServer() {
    stop = true;
    thread.join();
    close(listener);
}

void BadServer::Serve() {
    std::vector<std::thread> clients;
    while (!stop) {
        pollfd p{listener, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        const int c = accept(listener, nullptr, nullptr);
        if (c < 0) continue;
        ++connections;
        clients.emplace_back([this, c] {
            Answer(c);
            close(c);
        });
    }
    for (std::thread& t : clients) t.join();
}

void BadServer::Answer(int c) {
    // The request's head, or whatever came within a second.
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        pollfd p{c, POLLIN, 0};
        if (poll(&p, 1, 1000) <= 0) break;
        const ssize_t n = recv(c, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<size_t>(n));
    }
    switch (fault) {
        case Fault::Garbage: SendAll(c, "\x16\x03\x01 this is no HTTP at all \xff\xfe\r\n\r\n"); break;
        case Fault::HtmlError:
            SendAll(c, "HTTP/1.1 502 Bad Gateway\r\nContent-Type: text/html\r\nContent-Length: 52\r\nConnection: close\r\n\r\n"
                       "<html><body><h1>502 Bad Gateway</h1></body></html>\r\n");
            break;
        case Fault::HugeBody: {
            const size_t size = 10u << 20;
            SendAll(c, "HTTP/1.1 202 Accepted\r\nContent-Type: application/json\r\nContent-Length: " +
                           std::to_string(size) + "\r\nConnection: close\r\n\r\n");
            const std::string chunk(65536, 'x');
            for (size_t sent = 0; sent < size && !stop; sent += chunk.size()) SendAll(c, chunk);
            break;
        }
        case Fault::Slow: {
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(slowSeconds);
            while (!stop && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            SendAll(c, "HTTP/1.1 202 Accepted\r\nContent-Type: application/json\r\nContent-Length: 2\r\n\r\n{}");
            break;
        }
        case Fault::RedirectLoop:
            SendAll(c, "HTTP/1.1 302 Found\r\nLocation: /api/v1/runs\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            break;
        case Fault::Hangup: break;
    }
}
