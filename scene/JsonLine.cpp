#include "scene/JsonLine.h"

#include <cmath>
#include <cstdio>

void JsonLine::Key(const char* key) {
    if (needComma) text += ',';
    if (key) {
        text += '"';
        text += key;
        text += "\":";
    }
    needComma = true;
}

JsonLine& JsonLine::BeginObject(const char* key) {
    Key(key);
    text += '{';
    needComma = false;
    return *this;
}

JsonLine& JsonLine::EndObject() {
    text += '}';
    needComma = true;
    return *this;
}

JsonLine& JsonLine::BeginArray(const char* key) {
    Key(key);
    text += '[';
    needComma = false;
    return *this;
}

JsonLine& JsonLine::EndArray() {
    text += ']';
    needComma = true;
    return *this;
}

JsonLine& JsonLine::Number(const char* key, double value) {
    Key(key);
    if (!std::isfinite(value)) {
        text += "null";  // JSON has no NaN or infinity
        return *this;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.9g", value);
    text += buffer;
    return *this;
}

JsonLine& JsonLine::Integer(const char* key, long long value) {
    Key(key);
    text += std::to_string(value);
    return *this;
}

JsonLine& JsonLine::Null(const char* key) {
    Key(key);
    text += "null";
    return *this;
}

JsonLine& JsonLine::Bool(const char* key, bool value) {
    Key(key);
    text += value ? "true" : "false";
    return *this;
}

JsonLine& JsonLine::String(const char* key, const std::string& value) {
    Key(key);
    text += '"';
    for (unsigned char c : value) {
        switch (c) {
            case '"': text += "\\\""; break;
            case '\\': text += "\\\\"; break;
            case '\n': text += "\\n"; break;
            case '\t': text += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    text += buffer;
                } else {
                    text += static_cast<char>(c);
                }
        }
    }
    text += '"';
    return *this;
}

JsonLine& JsonLine::Vec3(const char* key, float x, float y, float z) {
    BeginArray(key);
    Number(nullptr, x).Number(nullptr, y).Number(nullptr, z);
    return EndArray();
}
