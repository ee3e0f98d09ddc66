#include "framework/MotionBlend.h"

#include <algorithm>
#include <cmath>

namespace {
float Lerp(float a, float b, float t) { return a + (b - a) * t; }

float RowLength(const Matrix& m, int row) {
    return std::sqrt(m.m[row][0] * m.m[row][0] + m.m[row][1] * m.m[row][1] + m.m[row][2] * m.m[row][2]);
}
}  // namespace

MotionBlend& MotionBlend::Get() {
    static MotionBlend instance;
    return instance;
}

void MotionBlend::BeginPicture(long long updateCount, float share) {
    updates = updateCount;
    fraction = std::clamp(share, 0.0f, 1.0f);
    // Things not drawn for a while (gone, or hidden) are forgotten.
    std::erase_if(entries, [&](const Entry& e) { return e.curUpdate < updates - kMaxSpan; });
}

void MotionBlend::Jump() { entries.clear(); }

void MotionBlend::Jump(const void* key) {
    auto it = std::lower_bound(entries.begin(), entries.end(), key,
                               [](const Entry& e, const void* k) { return std::less<const void*>()(e.key, k); });
    if (it != entries.end() && it->key == key) entries.erase(it);
}

MotionBlend::Entry& MotionBlend::Take(const void* key, const Matrix& now, bool& fresh) {
    auto it = std::lower_bound(entries.begin(), entries.end(), key,
                               [](const Entry& e, const void* k) { return std::less<const void*>()(e.key, k); });
    fresh = it == entries.end() || it->key != key;
    if (fresh) {
        Entry entry;
        entry.key = key;
        entry.prevUpdate = entry.curUpdate = updates;
        entry.prev = entry.cur = now;
        return *entries.insert(it, entry);
    }
    if (it->curUpdate != updates) {
        it->prev = it->cur;
        it->prevUpdate = it->curUpdate;
        it->curUpdate = updates;
    }
    it->cur = now;
    return *it;
}

float MotionBlend::Share(const Entry& entry) const {
    const long long span = entry.curUpdate - entry.prevUpdate;
    if (span <= 0 || span > kMaxSpan) return 1.0f;
    // The picture's moment, in updates: between the last update and the next.
    const float at = static_cast<float>(updates - 1 - entry.prevUpdate) + fraction;
    return std::clamp(at / static_cast<float>(span), 0.0f, 1.0f);
}

Matrix MotionBlend::World(const void* key, const Matrix& now) {
    bool fresh = false;
    const Entry& entry = Take(key, now, fresh);
    // At the full step the picture is the update's own, bit for bit.
    if (fresh || fraction >= 1.0f) return now;
    const float t = Share(entry);
    const float moved = (entry.cur.Translation() - entry.prev.Translation()).Length();
    if (moved > kJumpDistance * static_cast<float>(entry.curUpdate - entry.prevUpdate)) return now;
    return t >= 1.0f ? now : BlendWorld(entry.prev, entry.cur, t);
}

Matrix MotionBlend::Values(const void* key, const Matrix& now) {
    bool fresh = false;
    const Entry& entry = Take(key, now, fresh);
    if (fresh || fraction >= 1.0f) return now;
    const float t = Share(entry);
    return t >= 1.0f ? now : BlendValues(entry.prev, entry.cur, t);
}

Matrix MotionBlend::BlendValues(const Matrix& from, const Matrix& to, float t) {
    Matrix out;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) out.m[r][c] = Lerp(from.m[r][c], to.m[r][c], t);
    return out;
}

Quaternion MotionBlend::RotationOf(const Matrix& r) {
    // The inverse of Matrix::CreateFromQuaternion (row vectors).
    const float m00 = r.m[0][0], m11 = r.m[1][1], m22 = r.m[2][2];
    const float trace = m00 + m11 + m22;
    Quaternion q;
    if (trace > 0.0f) {
        const float s = std::sqrt(trace + 1.0f) * 2.0f;
        q.w = 0.25f * s;
        q.x = (r.m[1][2] - r.m[2][1]) / s;
        q.y = (r.m[2][0] - r.m[0][2]) / s;
        q.z = (r.m[0][1] - r.m[1][0]) / s;
    } else if (m00 > m11 && m00 > m22) {
        const float s = std::sqrt(1.0f + m00 - m11 - m22) * 2.0f;
        q.x = 0.25f * s;
        q.y = (r.m[1][0] + r.m[0][1]) / s;
        q.z = (r.m[2][0] + r.m[0][2]) / s;
        q.w = (r.m[1][2] - r.m[2][1]) / s;
    } else if (m11 > m22) {
        const float s = std::sqrt(1.0f + m11 - m00 - m22) * 2.0f;
        q.y = 0.25f * s;
        q.x = (r.m[0][1] + r.m[1][0]) / s;
        q.z = (r.m[1][2] + r.m[2][1]) / s;
        q.w = (r.m[2][0] - r.m[0][2]) / s;
    } else {
        const float s = std::sqrt(1.0f + m22 - m00 - m11) * 2.0f;
        q.z = 0.25f * s;
        q.x = (r.m[2][0] + r.m[0][2]) / s;
        q.y = (r.m[1][2] + r.m[2][1]) / s;
        q.w = (r.m[0][1] - r.m[1][0]) / s;
    }
    return q;
}

Matrix MotionBlend::BlendWorld(const Matrix& from, const Matrix& to, float t) {
    float scaleFrom[3], scaleTo[3];
    for (int i = 0; i < 3; ++i) {
        scaleFrom[i] = RowLength(from, i);
        scaleTo[i] = RowLength(to, i);
        if (scaleFrom[i] < 1e-6f || scaleTo[i] < 1e-6f) return BlendValues(from, to, t);
    }
    Matrix rotFrom, rotTo;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            rotFrom.m[i][j] = from.m[i][j] / scaleFrom[i];
            rotTo.m[i][j] = to.m[i][j] / scaleTo[i];
        }
    if (rotFrom.Determinant() < 0.5f || rotTo.Determinant() < 0.5f) return BlendValues(from, to, t);
    Quaternion a = RotationOf(rotFrom), b = RotationOf(rotTo);
    if (a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w < 0.0f) b = {-b.x, -b.y, -b.z, -b.w};
    // Normalised linear blend: the turn between two updates is small enough
    // that its uneven speed cannot be seen.
    Quaternion q{Lerp(a.x, b.x, t), Lerp(a.y, b.y, t), Lerp(a.z, b.z, t), Lerp(a.w, b.w, t)};
    const float length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    q = {q.x / length, q.y / length, q.z / length, q.w / length};
    Matrix out = Matrix::CreateFromQuaternion(q);
    for (int i = 0; i < 3; ++i) {
        const float s = Lerp(scaleFrom[i], scaleTo[i], t);
        for (int j = 0; j < 3; ++j) out.m[i][j] *= s;
        out.m[i][3] = Lerp(from.m[i][3], to.m[i][3], t);
    }
    for (int j = 0; j < 4; ++j) out.m[3][j] = Lerp(from.m[3][j], to.m[3][j], t);
    return out;
}
