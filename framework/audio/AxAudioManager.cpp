#include "framework/audio/AxAudioManager.h"

AxAudioManager& AxAudioManager::GetInstance() {
    static AxAudioManager instance;
    return instance;
}
