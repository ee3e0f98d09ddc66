#pragma once
// Stand-in until texture loading lands: no texture ever loads.
#include <string>

class AxTexture {
public:
    std::string filePath;
};
