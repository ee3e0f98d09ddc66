#include "framework/graphics/AxShaderManager.h"

AxShaderManager& AxShaderManager::GetInstance() {
    static AxShaderManager instance;
    return instance;
}
