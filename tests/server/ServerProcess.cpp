#include "ServerProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestPostgres.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;
using nlohmann::json;

namespace server_test {

std::string TempFolder(const std::string& tag) {
    std::string pattern = (fs::temp_directory_path() / ("vorlan-server-" + tag + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    return pattern;
}

ServerProcess::ServerProcess(std::vector<std::string> extra, std::string data)
    : ServerProcess(std::move(extra), std::move(data), "") {}

ServerProcess::ServerProcess(std::vector<std::string> extra, std::string data, std::string database)
    : extra_(std::move(extra)), data_(std::move(data)), database_(std::move(database)) {
    scratch_ = TempFolder("log");
    if (data_.empty()) {
        data_ = TempFolder("data");
        ownsData_ = true;
    }
    if (database_.empty() && TestPostgres::Chosen()) {
        static std::mutex mutex;
        static std::map<std::string, std::string> databases;  // data folder -> its database
        std::lock_guard lock(mutex);
        auto& url = databases[data_];
        if (url.empty()) url = TestPostgres::Get().NewDatabase();
        database_ = url;
    }
    if (database_.empty()) database_ = "sqlite:" + data_ + "/server.db";
}

ServerProcess::~ServerProcess() {
    if (pid_ > 0) Stop();
    std::error_code ec;
    fs::remove_all(scratch_, ec);
    if (ownsData_) fs::remove_all(data_, ec);
}

void ServerProcess::Start() {
    std::vector<std::string> args = {VORLAN_BINARY_DIR "/vorlan-moto-server", "--listen", "127.0.0.1:0", "--data", data_,
                                     "--game-data", VORLAN_BINARY_DIR "/Data", "--verifier",
                                     VORLAN_SOURCE_DIR "/tests/server/stand-in-verify.sh",
                                     // The sanitizers reserve far more address space than the limit allows.
                                     "--verify-memory", "0", "--database", database_};
    args.insert(args.end(), extra_.begin(), extra_.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe failed");
    const std::string log = scratch_ + "/server.log";
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (fd >= 0) dup2(fd, 2);
        close(out[0]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    pid_ = pid;
    // "listening on 127.0.0.1:PORT", or "verifying as NAME"
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, 200) <= 0) continue;
        char c[256];
        const ssize_t n = read(out[0], c, sizeof c);
        if (n <= 0) break;
        line.append(c, static_cast<size_t>(n));
    }
    close(out[0]);
    if (line.rfind("verifying as ", 0) == 0) {
        port_ = 0;
        return;
    }
    const size_t colon = line.rfind(':');
    if (line.rfind("listening on ", 0) != 0 || colon == std::string::npos)
        throw std::runtime_error("the server did not start: " + Log());
    port_ = std::stoi(line.substr(colon + 1));
}

void ServerProcess::Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the server did not stop cleanly:\n" << Log();
}

void ServerProcess::Kill9() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::string ServerProcess::Log() const {
    std::ifstream in(scratch_ + "/server.log");
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

httplib::Client ServerProcess::Client() const {
    httplib::Client client("127.0.0.1", port_);
    client.set_connection_timeout(5);
    // A shared course is raced ten times before it is answered: seconds, far
    // more under the sanitizers on a busy machine.
    client.set_read_timeout(90);
    return client;
}

std::string Register(httplib::Client& client, const std::string& name) {
    const auto res = client.Post("/api/v1/players", json{{"name", name}}.dump(), "application/json");
    if (!res || res->status != 201) throw std::runtime_error("cannot register " + name);
    return json::parse(res->body)["token"].get<std::string>();
}

std::string NewName(const std::string& prefix) {
    static std::atomic<int> n{0};
    return prefix + std::to_string(++n);
}

std::string RaceFile(const std::vector<std::string>& standIn) {
    static std::atomic<int> nonce{0};
    std::string file = "vorlan-moto-race 1\n";
    for (const auto& line : standIn) file += "stand-in " + line + "\n";
    file += "nonce " + std::to_string(getpid()) + "-" + std::to_string(++nonce) + "\n";
    return file;
}

std::string VerifiedLine(const std::string& course, const std::string& hash, const std::string& difficulty,
                         int64_t timeMs, const std::vector<int64_t>& laps, const std::string& statesHash,
                         bool autopilot) {
    const json j = {{"verdict", "verified"}, {"course", course}, {"courseHash", hash}, {"difficulty", difficulty},
                    {"autopilot", autopilot}, {"updates", timeMs / 16}, {"timeMs", timeMs}, {"lapsMs", laps},
                    {"rank", 1}, {"firstMismatch", nullptr}, {"build", "stand-in"}, {"statesHash", statesHash}};
    return "print " + j.dump();
}

httplib::Result Submit(httplib::Client& client, const std::string& token, const std::string& body) {
    httplib::Headers headers;
    if (!token.empty()) headers.emplace("Authorization", "Bearer " + token);
    return client.Post("/api/v1/runs", headers, body, "text/plain");
}

json WaitForVerdict(httplib::Client& client, int64_t id) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    json last;
    while (std::chrono::steady_clock::now() < deadline) {
        const auto res = client.Get("/api/v1/runs/" + std::to_string(id));
        if (res && res->status == 200) {
            last = json::parse(res->body);
            if (last["status"] != "pending") return last;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return last;
}

namespace {
// A response's head and as much body as its Content-Length says.
bool WholeResponse(const std::string& reply) {
    const size_t end = reply.find("\r\n\r\n");
    if (end == std::string::npos) return false;
    const size_t at = reply.find("Content-Length: ");
    if (at == std::string::npos || at > end) return true;
    return reply.size() >= end + 4 + std::stoul(reply.substr(at + 16));
}
}  // namespace

std::string RawExchange(int port, const std::string& bytes, int timeoutSeconds) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return "";
    }
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    std::string reply;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char buffer[4096];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        reply.append(buffer, static_cast<size_t>(n));
        if (WholeResponse(reply)) break;
    }
    close(fd);
    return reply;
}

std::string CourseHash(httplib::Client& client, const std::string& course) {
    const auto res = client.Get("/api/v1/courses");
    if (!res) throw std::runtime_error("no course list");
    const json list = json::parse(res->body);
    for (const auto& c : list["courses"])
        if (c["id"] == course) return c["hash"].get<std::string>();
    throw std::runtime_error("no course " + course + " in " + res->body);
}

std::string NewStatesHash() {
    static std::atomic<int> n{0};
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%08x%08x", static_cast<unsigned>(getpid()), static_cast<unsigned>(++n));
    return buffer;
}

std::string LoopCourse(const std::string& id, const std::string& name) {
    return "id " + id + "\nname " + name +
           "\ntheme meadow\nwidth 14\nstraight 60\narc 25 180\nstraight 120\narc 25 180\nstraight 60\n"
           "dash 30 centre\nswitch 150 left\nexcavator 185 left\ngate 240\n";
}

}  // namespace server_test
