#include "framework/AxString.h"

#include <iconv.h>

#include <cerrno>
#include <string>

namespace {
const char* CodePageName(unsigned codePage) {
    switch (codePage) {
        case 932: return "CP932";
        case 65001: return "UTF-8";
        case 1252: return "CP1252";
        default: return nullptr;
    }
}
}  // namespace

std::u16string AxToWideString(const std::string& text, unsigned codePage) {
    if (text.empty()) return {};
    const char* from = CodePageName(codePage);
    if (!from) return {};
    iconv_t cd = iconv_open("UTF-16LE", from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};

    // Every input byte yields at most one UTF-16 unit (two bytes) in these code pages.
    std::string out(text.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1) || inLeft != 0) return {};

    const size_t units = (out.size() - outLeft) / 2;
    std::u16string result(units, u'\0');
    for (size_t i = 0; i < units; ++i) {
        result[i] = static_cast<char16_t>(static_cast<unsigned char>(out[2 * i]) |
                                          (static_cast<unsigned char>(out[2 * i + 1]) << 8));
    }
    return result;
}
