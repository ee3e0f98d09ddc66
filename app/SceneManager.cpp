#include "app/SceneManager.h"

#include "app/Scene_base.h"

SceneManager& SceneManager::GetInstance() {
    static SceneManager instance;
    return instance;
}

SceneManager::~SceneManager() {
    delete currentScene;
    currentScene = nullptr;
}

void SceneManager::Frame() {
    if (nextScene != currentScene) {
        delete currentScene;
        currentScene = nextScene;
    }
    if (currentScene) currentScene->Frame();
}
