#include "scene/OptionsScreen.h"

#include "framework/platform/KeyBindings.h"
#include "profile/Settings.h"
#include "scene/HudSprite.h"
#include "scene/OptionsLayout.h"
#include "scene/SettingsApply.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

namespace L = options_layout;

namespace {
constexpr int kNoteFrames = 150;
constexpr float kRenderScaleStep = 0.05f;

AxRect Rect(const L::Cell& c) { return {c[0], c[1], c[2], c[3]}; }

std::string* BindingOf(Settings& s, int line) {
    switch (line) {
        case OptionsScreen::kThrottle: return &s.keyThrottle;
        case OptionsScreen::kLeft: return &s.keyLeft;
        case OptionsScreen::kRight: return &s.keyRight;
        case OptionsScreen::kPause: return &s.keyPause;
        default: return nullptr;
    }
}
}  // namespace

void OptionsScreen::ShowNote(int which) {
    note = which;
    noteFrames = kNoteFrames;
    textNote.clear();
}

void OptionsScreen::ShowText(const std::string& text) {
    note = L::kHint;
    noteFrames = kNoteFrames;
    textNote = text;
}

// Letters, digits and '-' as the keyboard names them; Space stands for '_'.
void OptionsScreen::TypeName(int scancode, bool escape) {
    if (escape) {
        editingName = false;
        escapeHeld = true;
        return;
    }
    if (!scancode) return;
    const std::string name = ScancodeName(scancode);
    if (name == "Return" || name == "Keypad Enter") {
        editingName = false;
        if (nameDraft == settings.player) return;
        if (!Settings::ValidPlayerName(nameDraft) || nameDraft.size() < 3) {
            ShowText("A NAME IS 3 TO 16 OF A-Z 0-9 _ -");
            return;
        }
        settings.player = nameDraft;
        if (onChange) onChange(kPlayer);
    } else if (name == "Backspace") {
        if (!nameDraft.empty()) nameDraft.pop_back();
    } else if (nameDraft.size() < 16) {
        if (name == "Space") nameDraft += '_';
        else if (name.size() == 1 && (std::isalnum(static_cast<unsigned char>(name[0])) || name[0] == '-'))
            nameDraft += name[0];
    }
}

void OptionsScreen::Update(IPlatform& platform, bool canOpen, bool rawKeys) {
    openAtFrameStart = open;
    std::copy(std::begin(down), std::end(down), std::begin(before));
    for (int k = 0; k < kKeyCount; ++k) down[k] = platform.IsMenuKeyDown(static_cast<Key>(k));
    // Taken every frame, so a key pressed before the wait does not count.
    const int rawKey = platform.TakeKeyPressed();
    if (escapeHeld && !down[static_cast<int>(Key::Escape)]) escapeHeld = false;
    if (noteFrames > 0 && --noteFrames == 0) note = L::kHint;

    if (!open) {
        if (canOpen && Pressed(Key::Options)) {
            open = true;
            line = 0;
            waitingForKey = false;
            note = L::kHint;
            noteFrames = 0;
        }
        return;
    }

    if (editingName) {
        // Scripted keys stand for the keyboard keys they are by default.
        int key = rawKey;
        if (!rawKeys) {
            key = 0;
            for (int k = 0; k < kKeyCount && !key; ++k)
                if (Pressed(static_cast<Key>(k)) && static_cast<Key>(k) != Key::Escape)
                    key = DefaultScancode(static_cast<Key>(k));
        }
        TypeName(key, Pressed(Key::Escape));
        return;
    }

    if (waitingForKey) {
        int key = 0;
        if (rawKeys) {
            key = rawKey;
        } else {
            // Scripted keys stand for the keyboard keys they are by default.
            for (int k = 0; k < kKeyCount && !key; ++k)
                if (Pressed(static_cast<Key>(k))) key = DefaultScancode(static_cast<Key>(k));
        }
        if (key) Bind(key);
        return;
    }

    if (Pressed(Key::Options) || Pressed(Key::Escape)) {
        open = false;
        escapeHeld = down[static_cast<int>(Key::Escape)];
        if (onClose && !onClose()) ShowNote(L::kCannotSave);
        return;
    }
    if (Pressed(Key::Up)) line = (line + kLineCount - 1) % kLineCount;
    if (Pressed(Key::Down)) line = (line + 1) % kLineCount;
    if (line == kPlayer) {
        if (Pressed(Key::Left) || Pressed(Key::Right) || Pressed(Key::Enter)) {
            editingName = true;
            nameDraft = settings.player;
        }
        return;
    }
    if (BindingOf(settings, line)) {
        if (Pressed(Key::Left) || Pressed(Key::Right) || Pressed(Key::Enter)) waitingForKey = true;
        return;
    }
    if (Pressed(Key::Left)) Change(-1);
    if (Pressed(Key::Right)) Change(+1);
}

void OptionsScreen::Change(int step) {
    // From the value shown; a change is the player's and ends this run's own value.
    const Settings shown = overrides.Apply(settings);
    switch (line) {
        case kGhost:
            settings.ghost = !shown.ghost;
            overrides.ghost.reset();
            break;
        case kFullscreen:
            settings.fullscreen = !shown.fullscreen;
            overrides.fullscreen.reset();
            break;
        case kDifficulty: {
            const int d = std::clamp(static_cast<int>(shown.difficulty) + step, 0, 2);
            settings.difficulty = static_cast<Difficulty>(d);
            overrides.difficulty.reset();
            break;
        }
        case kMusic: settings.music = std::clamp(settings.music + step, 0, Settings::kMaxVolume); break;
        case kEffects: settings.effects = std::clamp(settings.effects + step, 0, Settings::kMaxVolume); break;
        case kRenderScale: {
            // Auto sits past 100 %. A change starts from what is shown and
            // ends this run's value from the command line.
            if (shown.renderScaleAuto) {
                if (step > 0) return;
                settings.renderScaleAuto = false;
                settings.renderScale = Settings::kMaxRenderScale;
            } else if (step > 0 && shown.renderScale >= Settings::kMaxRenderScale) {
                settings.renderScaleAuto = true;
            } else {
                // Whole steps of 5 %, so repeated presses land on round values.
                const float steps = std::round(shown.renderScale / kRenderScaleStep) + static_cast<float>(step);
                settings.renderScale =
                    std::clamp(steps * kRenderScaleStep, Settings::kMinRenderScale, Settings::kMaxRenderScale);
                settings.renderScaleAuto = false;
            }
            overrides.renderScale.reset();
            overrides.renderScaleAuto.reset();
            break;
        }
        default: return;
    }
    if (onChange) onChange(line);
}

void OptionsScreen::Bind(int scancode) {
    waitingForKey = false;
    std::string* binding = BindingOf(settings, line);
    if (!binding) return;
    Settings candidate = settings;
    *BindingOf(candidate, line) = ScancodeName(scancode);
    // Refused with a note; the old binding stays, so throttle and steering
    // are never left without a key.
    if (IsFixedScancode(scancode)) {
        ShowNote(L::kFixedKeys);
        return;
    }
    if (!KeyBindingProblem(KeyBindingsOf(candidate)).empty()) {
        ShowNote(L::kBoundTwice);
        return;
    }
    *binding = ScancodeName(scancode);
    if (onChange) onChange(line);
}

void OptionsScreen::Draw(AxTexture* atlas) const {
    if (!open) return;
    auto stretched = [&](const L::Cell& tile, float x, float y, float w, float h, float alpha) {
        const L::Cell inner = L::Inner(tile);
        const Matrix m = Matrix::CreateScale(w / static_cast<float>(inner[2]), h / static_cast<float>(inner[3]), 1.0f) *
                         HudAt(x, y);
        DrawHudSprite(m, atlas, Rect(inner), alpha);
    };
    auto text = [&](const std::string& s, float x, float y) {
        for (size_t i = 0; i < s.size() && i < 40; ++i)
            DrawHudSprite(HudAt(x + static_cast<float>(i * L::kGlyphAdvance), y), atlas, Rect(L::Glyph(s[i])), 1.0f,
                          0.0f, 0.5f);
    };
    constexpr float kTop = 200.0f, kRow = 44.0f, kLabelX = -400.0f, kValueX = 40.0f, kMarkX = 230.0f;
    const Settings shown = overrides.Apply(settings);

    stretched(L::kPanelTile, 0.0f, 0.0f, 920.0f, 680.0f, 1.0f);
    DrawHudSprite(HudAt(0.0f, 280.0f), atlas, Rect(L::kTitle));
    for (int i = 0; i < kLineCount; ++i) {
        const float y = kTop - kRow * static_cast<float>(i);
        if (i == line) stretched(L::kBarTile, 0.0f, y, 880.0f, kRow - 4.0f, 1.0f);
        // The atlas has the first lines' names; later ones are spelt out.
        if (i < L::kLines) DrawHudSprite(HudAt(kLabelX, y), atlas, Rect(L::Label(i)), 1.0f, 0.0f, 0.5f);
        else text("PLAYER", kLabelX, y);
        auto word = [&](int w) { DrawHudSprite(HudAt(kValueX, y), atlas, Rect(L::WordCell(w)), 1.0f, 0.0f, 0.5f); };
        auto pips = [&](int value) {
            for (int p = 0; p < Settings::kMaxVolume; ++p)
                DrawHudSprite(HudAt(kValueX + 28.0f * static_cast<float>(p), y), atlas,
                              Rect(p < value ? L::kPipOn : L::kPipOff), 1.0f, 0.0f, 0.5f);
            text(std::to_string(value), kValueX + 300.0f, y);
        };
        // This run's own value, not the saved one.
        auto mark = [&](bool overridden) {
            if (overridden) text("(THIS RUN)", kMarkX, y);
        };
        switch (i) {
            case kGhost:
                word(shown.ghost ? L::kOn : L::kOff);
                mark(overrides.ghost.has_value());
                break;
            case kDifficulty:
                word(L::kEasy + static_cast<int>(shown.difficulty));
                mark(overrides.difficulty.has_value());
                break;
            case kMusic: pips(settings.music); break;
            case kEffects: pips(settings.effects); break;
            case kFullscreen:
                word(shown.fullscreen ? L::kOn : L::kOff);
                mark(overrides.fullscreen.has_value());
                break;
            case kRenderScale:
                if (shown.renderScaleAuto) text("AUTO", kValueX, y);
                else text(std::to_string(static_cast<int>(std::lround(shown.renderScale * 100.0f))) + "%", kValueX, y);
                mark(overrides.renderScale.has_value() || overrides.renderScaleAuto.has_value());
                break;
            case kPlayer:
                if (editingName) text(nameDraft + "_", kValueX, y);
                else text(settings.player.empty() ? "NONE" : settings.player, kValueX, y);
                break;
            default:
                if (waitingForKey && i == line) word(L::kPressKey);
                else text(*BindingOf(settings, i), kValueX, y);
                break;
        }
    }
    const float noteY = kTop - kRow * static_cast<float>(kLineCount) - 20.0f;
    if (!textNote.empty() && noteFrames > 0) text(textNote, -0.5f * static_cast<float>(textNote.size() * L::kGlyphAdvance), noteY);
    else DrawHudSprite(HudAt(0.0f, noteY), atlas, Rect(L::NoteCell(note)));
}
