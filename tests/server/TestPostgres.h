#pragma once
// One real PostgreSQL 15 server for a test program, started on first use
// in a temporary folder (listening on a Unix socket there, no TCP), as the
// postgres user when the tests run as root, and stopped when the program
// ends. Each case takes a fresh database of its own.

#include <string>

namespace server_test {

class TestPostgres {
public:
    // The running server, started now if it is not; throws when it cannot be.
    static TestPostgres& Get();
    // Whether the tests run against PostgreSQL (VORLAN_TEST_DATABASE=postgresql).
    static bool Chosen();

    // A new empty database; its URL for --database.
    std::string NewDatabase();
    // A database's URL.
    std::string Url(const std::string& name) const;
    void Stop();
    void Start();
    void Restart();
    void StopAtExit();

private:
    TestPostgres();
    std::string Run(const std::string& command) const;

    std::string folder_;
    bool running_ = false;
    int databases_ = 0;
};

}  // namespace server_test
