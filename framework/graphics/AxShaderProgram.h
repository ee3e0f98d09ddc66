#pragma once
// A linked GLSL vertex + fragment program with its uniform blocks tied to
// numbered binding points and its samplers to numbered texture units.

#include "framework/graphics/AxDirect3D.h"

#include <initializer_list>
#include <string>
#include <utility>

class AxShaderProgram {
public:
    AxShaderProgram() = default;
    AxShaderProgram(const AxShaderProgram&) = delete;
    AxShaderProgram& operator=(const AxShaderProgram&) = delete;
    ~AxShaderProgram() { Release(); }

    // Sources start after the version line. Every active vertex input must
    // be named in the layout (the layout is checked against the program);
    // layout element i feeds attribute location i.
    bool Build(const char* vertexSource, const char* fragmentSource, const AxInputLayout& layout,
               std::initializer_list<std::pair<const char*, int>> blocks,
               std::initializer_list<std::pair<const char*, int>> samplers);
    void Release();

    unsigned program = 0;
    std::string log;  // compiler or linker messages of the last failed Build
};
