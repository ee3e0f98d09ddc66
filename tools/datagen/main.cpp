// vorlan-datagen OUTDIR: writes OUTDIR/Data and the overview pictures beside it.

#include "Generator.h"

#include <algorithm>
#include <cstdio>
#include <system_error>
#include <vector>

namespace {
struct Entry {
    std::string name;
    int order;
    GeneratorFn fn;
};
std::vector<Entry>& Registry() {
    static std::vector<Entry> entries;
    return entries;
}
}  // namespace

GeneratorRegistrar::GeneratorRegistrar(const char* name, int order, GeneratorFn fn) {
    Registry().push_back({name, order, fn});
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vorlan-datagen OUTDIR\n");
        return 2;
    }
    GenContext context;
    context.outDir = argv[1];
    context.dataDir = context.outDir / "Data";
    std::error_code ec;
    std::filesystem::create_directories(context.dataDir, ec);
    if (ec) {
        std::fprintf(stderr, "vorlan-datagen: cannot create %s: %s\n", context.dataDir.c_str(), ec.message().c_str());
        return 1;
    }
    auto entries = Registry();
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.order != b.order ? a.order < b.order : a.name < b.name; });
    int failures = 0;
    for (const Entry& entry : entries) {
        if (!entry.fn(context)) {
            std::fprintf(stderr, "vorlan-datagen: %s failed\n", entry.name.c_str());
            ++failures;
        }
    }
    return failures ? 1 : 0;
}
