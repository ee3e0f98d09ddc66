#include "TestPostgres.h"

#include "ServerProcess.h"

#include <libpq-fe.h>
#include <pwd.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <stdexcept>

namespace fs = std::filesystem;

namespace server_test {

namespace {

const std::string kBin = "/usr/lib/postgresql/15/bin/";

TestPostgres* instance = nullptr;

class StopPostgres : public ::testing::Environment {
public:
    void TearDown() override {
        if (instance) instance->StopAtExit();
    }
};
[[maybe_unused]] ::testing::Environment* const kEnvironment = ::testing::AddGlobalTestEnvironment(new StopPostgres);

}  // namespace

TestPostgres& TestPostgres::Get() {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    if (!instance) instance = new TestPostgres();
    return *instance;
}

bool TestPostgres::Chosen() {
    const char* v = std::getenv("VORLAN_TEST_DATABASE");
    return v && std::string(v) == "postgresql";
}

// PostgreSQL will not run as root: as root its folder is given to the postgres user.
std::string TestPostgres::Run(const std::string& command) const {
    if (geteuid() != 0) return command;
    return "runuser -u " + std::string(getpwnam("postgres") ? "postgres" : "nobody") + " -- " + command;
}

TestPostgres::TestPostgres() {
    folder_ = TempFolder("postgres");
    if (geteuid() == 0) {
        const passwd* pw = getpwnam("postgres");
        if (!pw) pw = getpwnam("nobody");
        if (!pw || chown(folder_.c_str(), pw->pw_uid, pw->pw_gid) != 0)
            throw std::runtime_error("cannot give " + folder_ + " to PostgreSQL's user");
    }
    const std::string init = Run(kBin + "initdb -D " + folder_ + "/db -U postgres --auth=trust --no-sync -E UTF8 "
                                 "--locale=C >" + folder_ + "/initdb.log 2>&1");
    if (std::system(init.c_str()) != 0) throw std::runtime_error("initdb failed: see " + folder_ + "/initdb.log");
    Start();
}

void TestPostgres::Start() {
    // A Unix socket in its folder only; durability is not what the tests are about.
    const std::string start = Run(kBin + "pg_ctl -D " + folder_ + "/db -l " + folder_ + "/postgres.log -w -s -o \"-k " +
                                  folder_ + " -c listen_addresses='' -p 5432 -c fsync=off -c synchronous_commit=off "
                                            "-c full_page_writes=off -c max_connections=200\" start");
    if (std::system(start.c_str()) != 0)
        throw std::runtime_error("PostgreSQL did not start: see " + folder_ + "/postgres.log");
    running_ = true;
}

void TestPostgres::Stop() {
    if (!running_) return;
    const std::string stop = Run(kBin + "pg_ctl -D " + folder_ + "/db -w -s -m fast stop");
    if (std::system(stop.c_str()) != 0) throw std::runtime_error("PostgreSQL did not stop");
    running_ = false;
}

void TestPostgres::Restart() {
    Stop();
    Start();
}

void TestPostgres::StopAtExit() {
    try {
        Stop();
    } catch (const std::exception& e) {
        ADD_FAILURE() << e.what();
    }
    std::error_code ec;
    fs::remove_all(folder_, ec);
}

std::string TestPostgres::Url(const std::string& name) const {
    return "postgresql:///" + name + "?host=" + folder_ + "&port=5432&user=postgres";
}

std::string TestPostgres::NewDatabase() {
    const std::string name = "test_" + std::to_string(getpid()) + "_" + std::to_string(++databases_);
    PGconn* c = PQconnectdb(Url("postgres").c_str());
    const bool connected = PQstatus(c) == CONNECTION_OK;
    PGresult* r = connected ? PQexec(c, ("CREATE DATABASE " + name).c_str()) : nullptr;
    const bool made = r && PQresultStatus(r) == PGRES_COMMAND_OK;
    const std::string why = PQerrorMessage(c);
    PQclear(r);
    PQfinish(c);
    if (!made) throw std::runtime_error("CREATE DATABASE " + name + ": " + why);
    return Url(name);
}

}  // namespace server_test
