#pragma once
// Content generation: each asset family registers a function that writes its
// files under the output directory. Output must be deterministic.

#include <filesystem>
#include <string>

struct GenContext {
    std::filesystem::path outDir;   // the build directory
    std::filesystem::path dataDir;  // outDir / "Data"
};

using GeneratorFn = bool (*)(const GenContext&);

// Families run in ascending order, then by name.
struct GeneratorRegistrar {
    GeneratorRegistrar(const char* name, int order, GeneratorFn fn);
};

#define VORLAN_REGISTER_GENERATOR(name, order, fn) \
    static const GeneratorRegistrar registrar_##fn((name), (order), (fn))
