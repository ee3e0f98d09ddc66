#pragma once
// Loads each path once and hands out the same object for it from then on,
// failed loads included (no retry). The cache owns everything it hands out;
// pointers stay valid until it is destroyed. Paths are compared byte-wise.

#include <map>
#include <string>

template <class T>
class AxResourceCache {
public:
    AxResourceCache() = default;
    AxResourceCache(const AxResourceCache&) = delete;
    AxResourceCache& operator=(const AxResourceCache&) = delete;
    ~AxResourceCache() { Clear(); }

    // Destroys every object, in key order.
    void Clear() {
        for (auto& [path, object] : entries) delete object;
        entries.clear();
    }
    size_t Size() const { return entries.size(); }
    // Calls visit with every object held, in key order.
    template <class Visit>
    void ForEach(Visit visit) const {
        for (const auto& [path, object] : entries) visit(*object);
    }

protected:
    template <class LoadFn>
    T* Get(const std::string& path, LoadFn load) {
        const auto it = entries.find(path);
        if (it != entries.end()) return it->second;
        T* object = new T;
        load(*object, path);
        entries.emplace(path, object);
        return object;
    }

    std::map<std::string, T*> entries;
};
