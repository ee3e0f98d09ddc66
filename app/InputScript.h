#pragma once
// Scripted keys for reproducible runs. Each non-empty line not starting with
// '#' is "FIRST LAST KEY...": the keys are down in frames FIRST..LAST inclusive.

#include "framework/platform/Platform.h"

#include <string>
#include <vector>

class InputScript {
public:
    struct Range {
        long long first = 0;
        long long last = 0;
        unsigned keys = 0;  // bit per Key
    };

    // False with the first bad line's number and a description in error.
    bool Parse(const std::string& text, std::string& error);
    bool LoadFile(const std::string& path, std::string& error);
    bool IsDown(long long frame, Key key) const;

    std::vector<Range> ranges;
};

bool ParseKeyName(const std::string& name, Key& key);
