#include "server/HttpApi.h"

#include "server/Html.h"
#include "server/SqlDatabase.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace server {

using nlohmann::json;
using Steady = std::chrono::steady_clock;

namespace {

// Set by a handler that answered without reading the whole body: the rest
// of the body must not be read as the next request.
thread_local bool tCloseAfter = false;

// A socket read with a limit on each silence and on the whole request.
class DeadlineStream final : public httplib::Stream {
public:
    DeadlineStream(int sock, int silenceSeconds, int requestSeconds)
        : sock_(sock), silenceMs_(silenceSeconds * 1000), deadline_(Steady::now() + std::chrono::seconds(requestSeconds)) {}

    bool is_readable() const override { return Wait(POLLIN, deadline_); }
    // The answer has a clock of its own, started at its first byte: the
    // handler's work does not count against the client, and a client that
    // reads slowly still lets go in the end.
    bool is_writable() const override {
        if (!writing_) {
            writing_ = true;
            writeDeadline_ = Steady::now() + kAnswerTime;
        }
        return Wait(POLLOUT, writeDeadline_);
    }

    ssize_t read(char* ptr, size_t size) override {
        if (pos_ < len_) return Take(ptr, size);
        if (!is_readable()) return -1;
        if (size >= sizeof buffer_) return recv(sock_, ptr, size, 0);
        const ssize_t n = recv(sock_, buffer_, sizeof buffer_, 0);
        if (n <= 0) return n;
        pos_ = 0;
        len_ = static_cast<size_t>(n);
        return Take(ptr, size);
    }
    ssize_t write(const char* ptr, size_t size) override {
        if (!is_writable()) return -1;
        return send(sock_, ptr, size, MSG_NOSIGNAL);
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override { Address(true, ip, port); }
    void get_local_ip_and_port(std::string& ip, int& port) const override { Address(false, ip, port); }
    socket_t socket() const override { return sock_; }

private:
    static constexpr std::chrono::seconds kAnswerTime{120};

    bool Wait(short events, Steady::time_point deadline) const {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()).count();
        if (left <= 0) return false;
        pollfd p{sock_, events, 0};
        int r;
        do {
            r = poll(&p, 1, static_cast<int>(std::min<long long>(left, silenceMs_)));
        } while (r < 0 && errno == EINTR);
        return r > 0;
    }
    ssize_t Take(char* ptr, size_t size) {
        const size_t n = std::min(size, len_ - pos_);
        std::memcpy(ptr, buffer_ + pos_, n);
        pos_ += n;
        return static_cast<ssize_t>(n);
    }
    void Address(bool peer, std::string& ip, int& port) const {
        sockaddr_storage addr{};
        socklen_t len = sizeof addr;
        const int r = peer ? getpeername(sock_, reinterpret_cast<sockaddr*>(&addr), &len)
                           : getsockname(sock_, reinterpret_cast<sockaddr*>(&addr), &len);
        if (r != 0) return;
        char text[INET6_ADDRSTRLEN] = {};
        if (addr.ss_family == AF_INET) {
            const auto* a = reinterpret_cast<const sockaddr_in*>(&addr);
            inet_ntop(AF_INET, &a->sin_addr, text, sizeof text);
            port = ntohs(a->sin_port);
        } else if (addr.ss_family == AF_INET6) {
            const auto* a = reinterpret_cast<const sockaddr_in6*>(&addr);
            inet_ntop(AF_INET6, &a->sin6_addr, text, sizeof text);
            port = ntohs(a->sin6_port);
        }
        ip = text;
    }

    int sock_;
    long long silenceMs_;
    Steady::time_point deadline_;
    mutable bool writing_ = false;
    mutable Steady::time_point writeDeadline_;
    char buffer_[4096];
    size_t pos_ = 0, len_ = 0;
};

void SendJson(httplib::Response& res, int status, const json& body) {
    res.status = status;
    res.set_content(body.dump() + "\n", "application/json");
}

void SendError(httplib::Response& res, int status, const std::string& why) {
    SendJson(res, status, {{"error", why}});
}

// Runs a handler's body, turning refusals into their status and one line.
template <typename F>
void Handle(httplib::Response& res, F&& body) {
    try {
        body();
    } catch (const ApiError& e) {
        if (e.retryAfter > 0) res.set_header("Retry-After", std::to_string(e.retryAfter));
        SendError(res, e.status, e.what());
    } catch (const StorageUnavailable& e) {
        // The database is restarting or out of reach: a moment's wait, not a failure.
        std::fprintf(stderr, "vorlan-moto-server: %s\n", e.what());
        res.set_header("Retry-After", "5");
        SendError(res, 503, "database: out of reach just now; try again shortly");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vorlan-moto-server: %s\n", e.what());
        SendError(res, 500, "the server failed; try again later");
    }
}

// The body, at most max bytes: refused from its Content-Length before a
// byte is read, and while reading when it has none (chunked).
std::string ReadBody(const httplib::Request& req, const httplib::ContentReader& reader, size_t max) {
    if (req.has_header("Content-Length")) {
        const std::string length = req.get_header_value("Content-Length");
        const auto n = length == "0" ? std::optional<int64_t>(0) : ParseId(length);
        if (!n) {
            tCloseAfter = true;
            throw ApiError(400, "Content-Length: not a number");
        }
        if (static_cast<uint64_t>(*n) > max) {
            tCloseAfter = true;
            throw ApiError(413, "body: over " + std::to_string(max / 1024) + " KiB");
        }
    }
    std::string body;
    bool over = false;
    const bool read = reader([&](const char* data, size_t n) {
        if (body.size() + n > max) {
            over = true;
            return false;
        }
        body.append(data, n);
        return true;
    });
    if (over) {
        tCloseAfter = true;
        throw ApiError(413, "body: over " + std::to_string(max / 1024) + " KiB");
    }
    if (!read) {
        tCloseAfter = true;
        throw ApiError(400, "body: not read to its end");
    }
    return body;
}

std::optional<std::string> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The address a run counts against: the peer's, or, from a trusted proxy on
// loopback, the last address it forwarded (the one it saw itself).
std::string ClientAddress(const httplib::Request& req, bool trustProxy) {
    if (!trustProxy || (req.remote_addr != "127.0.0.1" && req.remote_addr != "::1")) return req.remote_addr;
    std::string forwarded = req.get_header_value("X-Forwarded-For");
    const size_t comma = forwarded.rfind(',');
    if (comma != std::string::npos) forwarded = forwarded.substr(comma + 1);
    const size_t start = forwarded.find_first_not_of(' ');
    const size_t end = forwarded.find_last_not_of(' ');
    if (start == std::string::npos) return req.remote_addr;
    forwarded = forwarded.substr(start, end - start + 1);
    unsigned char parsed[16];
    if (inet_pton(AF_INET, forwarded.c_str(), parsed) == 1 || inet_pton(AF_INET6, forwarded.c_str(), parsed) == 1)
        return forwarded;
    return req.remote_addr;
}

const char* StatusLine(int status) {
    switch (status) {
        case 400: return "the request cannot be read";
        case 404: return "no such page";
        case 405: return "method: not allowed here";
        case 408: return "the request took too long";
        case 413: return "body: too large";
        case 414: return "path: too long";
        default: return status >= 500 ? "the server failed" : "refused";
    }
}

}  // namespace

HttpApi::HttpApi(PlayerService& players, RunService& runs, BoardService& boards, const CourseService& courses,
                 CourseUploadService& uploads, VerifyQueue& queue, const PathPictures& pictures, HttpLimits limits)
    : players_(players), runs_(runs), boards_(boards), courses_(courses), uploads_(uploads), queue_(queue),
      pictures_(pictures), pages_(players, runs, boards, courses, pictures), limits_(limits) {
    const int threads = limits_.threads;
    new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<size_t>(threads)); };
    set_keep_alive_timeout(limits_.keepAliveSeconds);
    set_payload_max_length(kMaxRaceFileBytes);
    set_error_handler([](const httplib::Request& req, httplib::Response& res) {
        if (!res.body.empty()) return;
        if (req.path.rfind("/api/", 0) == 0 || req.path.empty())
            SendError(res, res.status, StatusLine(res.status));
        else
            res.set_content(Pages::NotFound(StatusLine(res.status)), "text/html; charset=utf-8");
    });
    set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        SendError(res, 500, "the server failed; try again later");
    });
    Routes();
}

bool HttpApi::process_and_close_socket(socket_t sock) {
    bool ok = true;
    for (size_t count = keep_alive_max_count_; count > 0 && svr_sock_ != INVALID_SOCKET; --count) {
        // Idle between requests: the keep-alive time, then closed.
        pollfd p{sock, POLLIN, 0};
        if (poll(&p, 1, limits_.keepAliveSeconds * 1000) <= 0) break;
        DeadlineStream stream(sock, limits_.readTimeoutSeconds, limits_.requestSeconds);
        tCloseAfter = false;
        bool closed = false;
        ok = process_request(stream, count == 1, closed, nullptr);
        if (!ok || closed || tCloseAfter) break;
    }
    shutdown(sock, SHUT_RDWR);
    close(sock);
    return ok;
}

void HttpApi::Routes() {
    Post("/api/v1/players", [this](const httplib::Request& req, httplib::Response& res,
                                   const httplib::ContentReader& reader) {
        Handle(res, [&] {
            const auto player =
                players_.Register(ReadBody(req, reader, kMaxPlayerBodyBytes), ClientAddress(req, limits_.trustProxy));
            SendJson(res, 201, {{"name", player.name}, {"token", player.token}});
        });
    });
    Get(R"(/api/v1/players/([^/]+))", [this](const httplib::Request& req, httplib::Response& res) {
        Handle(res, [&] {
            const std::string name = req.matches[1];
            const auto player = ValidPlayerName(name) ? players_.Find(name) : std::nullopt;
            if (!player) throw ApiError(404, "name: no such player");
            SendJson(res, 200, boards_.PlayerBests(*player));
        });
    });
    Post("/api/v1/runs", [this](const httplib::Request& req, httplib::Response& res,
                                const httplib::ContentReader& reader) {
        Handle(res, [&] {
            const Player player = players_.Authenticate(req.get_header_value("Authorization"));
            const std::string body = ReadBody(req, reader, kMaxRaceFileBytes);
            const int64_t id = runs_.Submit(player, body, ClientAddress(req, limits_.trustProxy));
            queue_.Push(id);
            const std::string url = "/api/v1/runs/" + std::to_string(id);
            res.set_header("Location", url);
            SendJson(res, 202, {{"id", id}, {"status", "pending"}, {"url", url}});
        });
    });
    Get(R"(/api/v1/runs/([^/]+))", [this](const httplib::Request& req, httplib::Response& res) {
        Handle(res, [&] {
            const auto id = ParseId(req.matches[1]);
            if (!id) throw ApiError(400, "id: not a run's number");
            SendJson(res, 200, runs_.Describe(*id));
        });
    });
    Get(R"(/api/v1/runs/([^/]+)/file)", [this](const httplib::Request& req, httplib::Response& res) {
        Handle(res, [&] {
            const auto id = ParseId(req.matches[1]);
            if (!id) throw ApiError(400, "id: not a run's number");
            res.set_content(runs_.File(*id), "text/plain; charset=utf-8");
            res.set_header("Content-Disposition", "attachment; filename=\"run-" + std::to_string(*id) + ".race\"");
        });
    });
    Get("/api/v1/courses", [this](const httplib::Request&, httplib::Response& res) {
        Handle(res, [&] { SendJson(res, 200, boards_.Courses()); });
    });
    Post("/api/v1/courses", [this](const httplib::Request& req, httplib::Response& res,
                                   const httplib::ContentReader& reader) {
        Handle(res, [&] {
            const Player player = players_.Authenticate(req.get_header_value("Authorization"));
            const CourseInfo course = uploads_.Upload(player, ReadBody(req, reader, kMaxDescriptionBytes));
            res.set_header("Location", "/courses/" + course.id);
            SendJson(res, 201, {{"id", course.id}, {"name", course.name}, {"laps", course.laps}, {"hash", course.hash},
                                {"url", "/courses/" + course.id}, {"folder", "/api/v1/courses/" + course.id + "/folder"}});
        });
    });
    Get(R"(/api/v1/courses/([^/]+)/folder)", [this](const httplib::Request& req, httplib::Response& res) {
        Handle(res, [&] {
            const std::string id = req.matches[1];
            res.set_content(uploads_.Folder(id), "application/gzip");
            res.set_header("Content-Disposition", "attachment; filename=\"" + id + ".tar.gz\"");
        });
    });
    Get(R"(/api/v1/boards/([^/]+))", [this](const httplib::Request& req, httplib::Response& res) {
        Handle(res, [&] {
            std::string why;
            const auto query = ParseBoardQuery(req.params, why);
            if (!query) throw ApiError(400, why);
            SendJson(res, 200, boards_.Board(req.matches[1], *query));
        });
    });

    auto page = [](httplib::Response& res, const std::optional<std::string>& html, const std::string& what) {
        if (html) {
            res.set_content(*html, "text/html; charset=utf-8");
        } else {
            res.status = 404;
            res.set_content(Pages::NotFound(what), "text/html; charset=utf-8");
        }
    };
    Get("/", [this, page](const httplib::Request&, httplib::Response& res) {
        Handle(res, [&] { page(res, pages_.Home(), ""); });
    });
    Get(R"(/courses/([^/]+))", [this, page](const httplib::Request& req, httplib::Response& res) {
        Handle(res, [&] { page(res, pages_.Course(req.matches[1]), "There is no such course."); });
    });
    Get(R"(/courses/([^/]+)/map\.png)", [this](const httplib::Request& req, httplib::Response& res) {
        Handle(res, [&] {
            // Only a path the catalog holds is opened; nothing from the request goes into it.
            const auto course = courses_.Find(req.matches[1]);
            const auto png = course && !course->map.empty() ? ReadFile(course->map) : std::nullopt;
            if (!png) throw ApiError(404, "course: no map");
            res.set_content(*png, "image/png");
            res.set_header("Cache-Control", "max-age=3600");
        });
    });
    Get(R"(/players/([^/]+))", [this, page](const httplib::Request& req, httplib::Response& res) {
        Handle(res, [&] { page(res, pages_.PlayerPage(req.matches[1]), "There is no such player."); });
    });
    Get(R"(/runs/([^/]+))", [this, page](const httplib::Request& req, httplib::Response& res) {
        Handle(res, [&] {
            const auto id = ParseId(req.matches[1]);
            page(res, id ? pages_.RunPage(*id) : std::nullopt, "There is no such run.");
        });
    });
    Get(R"(/runs/([^/]+)/path\.png)", [this](const httplib::Request& req, httplib::Response& res) {
        Handle(res, [&] {
            // The file is named by the parsed number alone.
            const auto id = ParseId(req.matches[1]);
            const auto png = id ? pictures_.Png(*id) : std::nullopt;
            if (!png) throw ApiError(404, "run: no path picture");
            res.set_content(*png, "image/png");
            // A verified run's race never changes, so neither does its picture.
            res.set_header("Cache-Control", "public, max-age=604800, immutable");
        });
    });
}

}  // namespace server
