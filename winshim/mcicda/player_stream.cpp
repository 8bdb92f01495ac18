#include "mcicda/player_stream.h"

#include <algorithm>
#include <cstring>

namespace winshim {

PlayPlan PLAYER_Plan(const std::vector<AudioSpan>& audio, int32_t from, int32_t to) {
    PlayPlan plan;
    plan.from = from;
    plan.to = to;
    for (const AudioSpan& span : audio) {
        const int32_t a = std::max(span.start, from), b = std::min(span.end, to);
        if (a < b) plan.pieces.push_back({a, b});
    }
    return plan;
}

int64_t PlayPlan::sectors() const {
    int64_t n = 0;
    for (const AudioSpan& p : pieces) n += p.end - p.start;
    return n;
}

int32_t PlayPlan::lbaOf(int64_t frame) const {
    int64_t sector = frame / kFramesPerSector;
    for (const AudioSpan& p : pieces) {
        if (sector < p.end - p.start) return p.start + static_cast<int32_t>(sector);
        sector -= p.end - p.start;
    }
    return to;
}

PlayPlan::Run PlayPlan::run(int64_t sector, int max) const {
    for (const AudioSpan& p : pieces) {
        const int64_t len = p.end - p.start;
        if (sector < len)
            return {p.start + static_cast<int32_t>(sector), static_cast<int>(std::min<int64_t>(max, len - sector))};
        sector -= len;
    }
    return {to, 0};
}

void FrameRing::push(const int16_t* frames, size_t n) {
    const size_t cap = capacity();
    size_t tail = (head_ + size_) % cap;
    const size_t first = std::min(n, cap - tail);
    std::memcpy(&buf_[tail * 2], frames, first * 2 * sizeof(int16_t));
    std::memcpy(&buf_[0], frames + first * 2, (n - first) * 2 * sizeof(int16_t));
    size_ += n;
}

size_t FrameRing::pop(int16_t* out, size_t n) {
    n = std::min(n, size_);
    const size_t cap = capacity();
    const size_t first = std::min(n, cap - head_);
    std::memcpy(out, &buf_[head_ * 2], first * 2 * sizeof(int16_t));
    std::memcpy(out + first * 2, &buf_[0], (n - first) * 2 * sizeof(int16_t));
    head_ = (head_ + n) % cap;
    size_ -= n;
    return n;
}

size_t FrameRing::drop(size_t n) {
    n = std::min(n, size_);
    head_ = (head_ + n) % capacity();
    size_ -= n;
    return n;
}

}  // namespace winshim
