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
    Switch();
    if (currentScene) currentScene->Frame();
}

void SceneManager::Step() {
    Switch();
    if (currentScene) currentScene->Step();
}

void SceneManager::Switch() {
    if (nextScene != currentScene) {
        delete currentScene;
        currentScene = nextScene;
    }
}

void SceneManager::Picture() {
    if (currentScene) currentScene->Picture();
}
