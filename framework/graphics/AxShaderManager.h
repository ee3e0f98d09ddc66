#pragma once
// Stand-in until the shader programs land: owns nothing yet.

class AxShaderManager {
public:
    static AxShaderManager& GetInstance();
    void Init() {}
    void Release() {}

private:
    AxShaderManager() = default;
};
