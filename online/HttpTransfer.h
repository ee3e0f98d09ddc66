#pragma once
// One HTTP exchange through libcurl with limits on everything: the time to
// connect and in all, the size of the answer, no redirects, http and https
// only, no signals (it runs on the online client's thread).

#include <atomic>
#include <cstddef>
#include <string>

struct HttpLimits {
    long connectMs = 4000;
    long totalMs = 10000;
    size_t maxBytes = 1u << 20;
};

struct HttpAnswer {
    bool reached = false;  // an HTTP answer came back whole (any status)
    long status = 0;
    std::string body;
    std::string contentType;
    std::string error;  // one line when not reached
};

class HttpTransfer {
public:
    // cancel, when given and set, ends a transfer under way within a fraction of a second.
    explicit HttpTransfer(const std::atomic<bool>* cancel = nullptr);
    ~HttpTransfer();
    HttpTransfer(const HttpTransfer&) = delete;
    HttpTransfer& operator=(const HttpTransfer&) = delete;

    // method "GET" or "POST"; token, when given, goes as a bearer token.
    HttpAnswer Exchange(const std::string& method, const std::string& url, const std::string& body,
                        const std::string& contentType, const std::string& token, const HttpLimits& limits);

    // Once per process, before any thread uses libcurl.
    static void GlobalInit();

private:
    void* curl = nullptr;
    const std::atomic<bool>* cancel;
};
