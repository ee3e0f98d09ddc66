#pragma once

class Scene_base;

// Holds the scene that runs and switches to a new one between frames.
class SceneManager {
public:
    static SceneManager& GetInstance();
    ~SceneManager();

    void SetScene(Scene_base* scene) { nextScene = scene; }
    // Switches to the pending scene (deleting the old one), then runs the current one.
    void Frame();
    // The same in two halves: one update, and a picture that may come between updates.
    void Step();
    void Picture();

    // To the pending scene, deleting the old one.
    void Switch();

    Scene_base* currentScene = nullptr;  // owned
    Scene_base* nextScene = nullptr;

    SceneManager() = default;  // public so tests can make their own
    SceneManager(const SceneManager&) = delete;
    SceneManager& operator=(const SceneManager&) = delete;
};
