#include "scene/SettingsApply.h"

#include "framework/audio/AxAudioManager.h"
#include "profile/Settings.h"

#include <cstdio>

KeyBindings KeyBindingsOf(const Settings& settings) {
    KeyBindings keys;
    keys.throttle = ScancodeFromName(settings.keyThrottle);
    keys.left = ScancodeFromName(settings.keyLeft);
    keys.right = ScancodeFromName(settings.keyRight);
    keys.pause = ScancodeFromName(settings.keyPause);
    return keys;
}

void LoadPlayerSettings(Settings& settings, const std::string& path) {
    settings.Load(path, [](const std::string& name) { return ScancodeFromName(name) >= 0; });
    std::fputs(settings.ProblemReport().c_str(), stderr);
    if (const std::string problem = KeyBindingProblem(KeyBindingsOf(settings)); !problem.empty()) {
        std::fprintf(stderr, "vorlan: %s: key bindings ignored (%s), the usual keys used\n", path.c_str(),
                     problem.c_str());
        const Settings defaults;
        settings.keyThrottle = defaults.keyThrottle;
        settings.keyLeft = defaults.keyLeft;
        settings.keyRight = defaults.keyRight;
        settings.keyPause = defaults.keyPause;
    }
}

void ApplyVolumesAndKeys(const Settings& settings) {
    AxAudioManager& audio = AxAudioManager::GetInstance();
    audio.SetCategoryVolume(AxSoundCategory::Music, static_cast<float>(settings.music) / Settings::kMaxVolume);
    audio.SetCategoryVolume(AxSoundCategory::Effects, static_cast<float>(settings.effects) / Settings::kMaxVolume);
    SetKeyBindings(KeyBindingsOf(settings));  // refuses a set without a throttle or steering key
}

void ResetVolumesAndKeys() {
    AxAudioManager::GetInstance().SetCategoryVolume(AxSoundCategory::Music, 1.0f);
    AxAudioManager::GetInstance().SetCategoryVolume(AxSoundCategory::Effects, 1.0f);
    SetKeyBindings(KeyBindings());
}
