#pragma once
// A small HTML builder that escapes by default: only string literals written
// in this program's source go out as markup; every std::string (names,
// course names, reasons: anything that came from outside) is escaped.

#include <cstdint>
#include <string>
#include <string_view>

namespace server {

std::string EscapeHtml(std::string_view text);

// Markup built elsewhere with Html, passed on unescaped.
struct SafeHtml {
    std::string html;
};

class Html {
public:
    template <size_t N>
    Html& operator<<(const char (&literal)[N]) {
        out_.append(literal, N - 1);
        return *this;
    }
    Html& operator<<(const std::string& text) {
        out_ += EscapeHtml(text);
        return *this;
    }
    Html& operator<<(int64_t n) {
        out_ += std::to_string(n);
        return *this;
    }
    Html& operator<<(int n) { return *this << static_cast<int64_t>(n); }
    Html& operator<<(const SafeHtml& safe) {
        out_ += safe.html;
        return *this;
    }
    const std::string& Str() const { return out_; }
    SafeHtml Safe() const { return {out_}; }

private:
    std::string out_;
};

// A whole page around body, titled title (escaped).
std::string HtmlPage(const std::string& title, const SafeHtml& body);
// 83456 ms -> "1:23.456".
std::string FormatTime(int64_t ms);
// Unix seconds -> "2026-12-09" (UTC).
std::string FormatDate(int64_t seconds);
// A path segment for a URL: everything outside A-Z a-z 0-9 - _ . ~ percent-encoded.
std::string UrlSegment(std::string_view text);

}  // namespace server
