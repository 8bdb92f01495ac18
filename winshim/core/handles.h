// The table behind an opaque handle type that winshim gives out (menus, icons,
// image lists, pens, device contexts). Handles count up from a tag and are never
// reused, so a freed handle stays invalid and gets Windows' answers for a stale
// handle; the tag makes a stray handle stand out in logs.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <utility>

namespace winshim {

template <class Handle, class T>
class HandleTable {
public:
    explicit HandleTable(std::uintptr_t tag) : next_(tag) {}

    Handle add(T value) {
        std::uintptr_t key = next_++;
        items_.emplace(key, std::move(value));
        return reinterpret_cast<Handle>(key);
    }
    // The object of a live handle, or null. Stays valid until that handle is removed.
    T* find(Handle handle) {
        auto it = items_.find(reinterpret_cast<std::uintptr_t>(handle));
        return it == items_.end() ? nullptr : &it->second;
    }
    bool remove(Handle handle) { return items_.erase(reinterpret_cast<std::uintptr_t>(handle)) != 0; }

private:
    std::unordered_map<std::uintptr_t, T> items_;
    std::uintptr_t next_;
};

}  // namespace winshim
