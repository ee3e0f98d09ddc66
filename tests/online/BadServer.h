#pragma once
// A misbehaving HTTP server on loopback for the online client's tests: each
// connection gets the same bad answer, whatever it asked.

#include <atomic>
#include <string>
#include <thread>

class BadServer {
public:
    enum class Fault { Garbage, HtmlError, HugeBody, Slow, RedirectLoop, Hangup };
    explicit BadServer(Fault fault, int slowSeconds = 30);
    ~BadServer();
    int Port() const { return port; }
    int Connections() const { return connections; }
    static const char* Name(Fault fault);

private:
    void Serve();
    void Answer(int client);
    Fault fault;
    int slowSeconds;
    int listener = -1;
    int port = 0;
    std::atomic<bool> stop{false};
    std::atomic<int> connections{0};
    std::thread thread;
};

// A loopback port with nothing listening on it.
int ClosedPort();
