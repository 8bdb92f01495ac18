// Pieces shared by the standard controls: window texts as Qt strings, the '&'
// prefix of labels, the loud default of a control's window procedure, and the
// string list behind list boxes and combo boxes.
#pragma once

#include <windows.h>

#include <QString>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/log.h"

namespace winshim {

// Window texts are bytes in the process's 8-bit encoding, as DefWindowProcA keeps them.
inline QString CTL_ToQt(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), qsizetype(text.size()));
}
inline std::string CTL_FromQt(const QString& text) {
    QByteArray bytes = text.toLocal8Bit();
    return std::string(bytes.constData(), size_t(bytes.size()));
}
inline std::string CTL_Arg(LPARAM lParam) {
    const char* text = reinterpret_cast<const char*>(lParam);
    return text ? text : "";
}

// What a label shows for a text with '&' prefixes: "&&" is one '&', a lone '&'
// marks the next character as the mnemonic (underlined only while Alt is down on
// current desktops, so it is simply dropped).
inline QString CTL_StripPrefix(const std::string& text) {
    std::string shown;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size())
            ++i;
        else if (text[i] == '&')
            continue;
        shown += text[i];
    }
    return CTL_ToQt(shown);
}

// Copies an item's text with its NUL into a caller's buffer that Windows assumes
// big enough (LB_GETTEXT, CB_GETLBTEXT); answers the length.
inline LRESULT CTL_CopyItem(const std::string& text, LPARAM buffer) {
    if (char* out = reinterpret_cast<char*>(buffer)) std::memcpy(out, text.c_str(), text.size() + 1);
    return LRESULT(text.size());
}

// The strings of a single-selection list box (and a combo box's list), with the
// rules Windows keeps: a sorted list sorts only what is added, never what is
// inserted at a position; the selection follows its item when others come and go,
// and deleting the selected item leaves nothing selected. Index results are -1
// (LB_ERR and CB_ERR alike) for an index that is out of range.
class StringList {
public:
    int count() const { return int(items_.size()); }
    int selection() const { return selection_; }
    const std::string* at(int index) const { return valid(index) ? &items_[size_t(index)] : nullptr; }

    int add(const std::string& text, bool sorted) {
        int index = count();
        if (sorted) {
            const QString key = CTL_ToQt(text);
            index = 0;
            while (index < count() && key.compare(CTL_ToQt(items_[size_t(index)]), Qt::CaseInsensitive) >= 0) ++index;
        }
        return insert(index, text);
    }
    int insert(int index, const std::string& text) {
        if (index == -1) index = count();
        if (index < 0 || index > count()) return -1;
        items_.insert(items_.begin() + index, text);
        if (selection_ >= index) ++selection_;
        return index;
    }
    int remove(int index) {
        if (!valid(index)) return -1;
        items_.erase(items_.begin() + index);
        if (selection_ == index)
            selection_ = -1;
        else if (selection_ > index)
            --selection_;
        return count();
    }
    void clear() {
        items_.clear();
        selection_ = -1;
    }
    // False (and no change) for an index that is neither -1 nor an item.
    bool select(int index) {
        if (index != -1 && !valid(index)) return false;
        selection_ = index;
        return true;
    }

private:
    bool valid(int index) const { return index >= 0 && index < count(); }
    std::vector<std::string> items_;
    int selection_ = -1;
};

}  // namespace winshim
