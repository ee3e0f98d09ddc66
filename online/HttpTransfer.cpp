#include "online/HttpTransfer.h"

#include <curl/curl.h>

#include <mutex>

namespace {
struct Sink {
    std::string* body;
    size_t max;
    bool over = false;
};

size_t Write(char* data, size_t size, size_t count, void* user) {
    Sink& sink = *static_cast<Sink*>(user);
    const size_t n = size * count;
    // Cut off as soon as the answer outgrows what it may be, whatever its
    // Content-Length said (or did not say).
    if (sink.body->size() + n > sink.max) {
        sink.over = true;
        return 0;
    }
    sink.body->append(data, n);
    return n;
}
int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* cancel = static_cast<const std::atomic<bool>*>(user);
    return cancel && cancel->load() ? 1 : 0;
}
}  // namespace

void HttpTransfer::GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpTransfer::HttpTransfer(const std::atomic<bool>* cancel) : cancel(cancel) {
    GlobalInit();
    curl = curl_easy_init();
}

HttpTransfer::~HttpTransfer() {
    if (curl) curl_easy_cleanup(static_cast<CURL*>(curl));
}

HttpAnswer HttpTransfer::Exchange(const std::string& method, const std::string& url, const std::string& body,
                                  const std::string& contentType, const std::string& token, const HttpLimits& limits) {
    HttpAnswer answer;
    CURL* c = static_cast<CURL*>(curl);
    if (!c) {
        answer.error = "libcurl cannot start";
        return answer;
    }
    curl_easy_reset(c);
    Sink sink{&answer.body, limits.maxBytes};
    char errorText[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, limits.connectMs);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, limits.totalMs);
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Write);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(c, CURLOPT_USERAGENT, "vorlan-moto");
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, Progress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(cancel));
    // No proxy from the environment: the player named the server.
    curl_easy_setopt(c, CURLOPT_PROXY, "");
    curl_slist* headers = nullptr;
    if (!token.empty()) headers = curl_slist_append(headers, ("Authorization: Bearer " + token).c_str());
    if (method == "POST") {
        headers = curl_slist_append(headers, ("Content-Type: " + contentType).c_str());
        headers = curl_slist_append(headers, "Expect:");
        curl_easy_setopt(c, CURLOPT_POST, 1L);
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.data());
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    }
    if (headers) curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
    const CURLcode rc = curl_easy_perform(c);
    if (headers) curl_slist_free_all(headers);
    if (rc != CURLE_OK) {
        if (sink.over || rc == CURLE_FILESIZE_EXCEEDED)
            answer.error = "the answer is larger than " + std::to_string(limits.maxBytes / 1024) + " KiB";
        else
            answer.error = errorText[0] ? errorText : curl_easy_strerror(rc);
        answer.body.clear();
        return answer;
    }
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &answer.status);
    char* type = nullptr;
    if (curl_easy_getinfo(c, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type) answer.contentType = type;
    answer.reached = true;
    return answer;
}
