#include "server/Html.h"

#include <ctime>

namespace server {

std::string EscapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string HtmlPage(const std::string& title, const SafeHtml& body) {
    Html h;
    h << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"><title>"
      << title
      << " - Vorlan Moto</title><style>"
         "body{font-family:sans-serif;max-width:60em;margin:1em auto;padding:0 1em;background:#fbf8f2;color:#222}"
         "table{border-collapse:collapse;margin:.5em 0 1.5em}td,th{padding:.2em .8em;text-align:left;"
         "border-bottom:1px solid #ddd}td.t{font-variant-numeric:tabular-nums;text-align:right}"
         "img.map{max-width:18em;border:1px solid #ccc}img.path{max-width:28em;border:1px solid #ccc}"
         "figure{margin:0 0 1em}figcaption{font-size:.9em;color:#555;max-width:32em}a{color:#a33}"
         "</style></head><body><p><a href=\"/\">Vorlan Moto leaderboard</a></p>\n"
      << body << "\n</body></html>\n";
    return h.Str();
}

std::string FormatTime(int64_t ms) {
    if (ms < 0) ms = 0;
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld.%03lld", static_cast<long long>(ms / 60000),
                  static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
    return buffer;
}

std::string FormatDate(int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d", &tm);
    return buffer;
}

std::string UrlSegment(std::string_view text) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
            c == '.' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += digits[u >> 4];
            out += digits[u & 15];
        }
    }
    return out;
}

}  // namespace server
