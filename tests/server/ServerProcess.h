#pragma once
// A real vorlan-moto-server on loopback for the tests: started on a free
// port (it binds port 0 and says which), its data in a temporary folder,
// the stand-in verifier in place of the real one. With
// VORLAN_TEST_DATABASE=postgresql its database is a new one on the test
// program's PostgreSQL (the same one again for the same data folder).

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace server_test {

std::string TempFolder(const std::string& tag);

class ServerProcess {
public:
    // extra: more options; data: the data folder (a new temporary one when empty).
    explicit ServerProcess(std::vector<std::string> extra = {}, std::string data = "");
    // On the database of that URL (every server given it shares it).
    ServerProcess(std::vector<std::string> extra, std::string data, std::string database);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    void Start();
    // SIGTERM and wait (the normal stop), or SIGKILL and wait.
    void Stop();
    void Kill9();
    bool Running() const { return pid_ > 0; }

    int Port() const { return port_; }  // 0 for a verify server
    int Pid() const { return pid_; }
    const std::string& Database() const { return database_; }
    const std::string& Data() const { return data_; }
    std::string Log() const;
    httplib::Client Client() const;

private:
    std::vector<std::string> extra_;
    std::string data_;
    std::string scratch_;
    std::string database_;
    bool ownsData_ = false;
    int pid_ = -1;
    int port_ = 0;
};

// What tests say to the server, in its words.
std::string Register(httplib::Client& client, const std::string& name);
// A name no other test in this run has used.
std::string NewName(const std::string& prefix);
// A race file whose stand-in lines are given; nonce makes each file unique.
std::string RaceFile(const std::vector<std::string>& standIn);
// The stand-in line of a verified race.
std::string VerifiedLine(const std::string& course, const std::string& hash, const std::string& difficulty,
                         int64_t timeMs, const std::vector<int64_t>& laps, const std::string& statesHash,
                         bool autopilot = false);
httplib::Result Submit(httplib::Client& client, const std::string& token, const std::string& body);
// Polls the run until it is no longer pending (at most 30 s); its last answer.
nlohmann::json WaitForVerdict(httplib::Client& client, int64_t id);
// Sends bytes on a fresh loopback connection and returns what comes back until the server closes it.
std::string RawExchange(int port, const std::string& bytes, int timeoutSeconds = 10);
// The hash the server gives a course.
std::string CourseHash(httplib::Client& client, const std::string& course);
// A new states hash for each call.
std::string NewStatesHash();
// The README's worked example course (a loop the bikes can race), under another id and name.
std::string LoopCourse(const std::string& id, const std::string& name);

}  // namespace server_test
