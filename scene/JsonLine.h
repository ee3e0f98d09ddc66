#pragma once
// Builds one compact JSON object for the trace. Numbers carry up to 9
// significant digits, enough to tell any two floats apart.

#include <string>

class JsonLine {
public:
    JsonLine& BeginObject(const char* key = nullptr);
    JsonLine& EndObject();
    JsonLine& BeginArray(const char* key = nullptr);
    JsonLine& EndArray();
    JsonLine& Number(const char* key, double value);
    JsonLine& Integer(const char* key, long long value);
    JsonLine& Bool(const char* key, bool value);
    JsonLine& Null(const char* key);
    JsonLine& String(const char* key, const std::string& value);
    // Array elements: pass a null key.
    JsonLine& Vec3(const char* key, float x, float y, float z);

    const std::string& Text() const { return text; }
    void Clear() { text.clear(); needComma = false; }

private:
    void Key(const char* key);
    std::string text;
    bool needComma = false;
};
