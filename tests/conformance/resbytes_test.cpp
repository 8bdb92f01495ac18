// The resource readers over resource bytes made by hand: other languages, string
// names, the plain dialog format, and damaged images.
#include <windows.h>
#include <gtest/gtest.h>

#include <QMenu>
#include <QMenuBar>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "../../resources/resource.h"
#include "core/app.h"
#include "core/resources.h"
#include "user32/menu.h"
#include "winshim_resources.h"

namespace {

using winshim::ResBytes;

std::string menuString(HMENU menu, UINT item, UINT flags) {
    char buffer[64] = "untouched";
    int n = GetMenuStringA(menu, item, buffer, sizeof buffer, flags);
    EXPECT_EQ(n, int(std::strlen(buffer)));
    return buffer;
}

struct Bytes {
    std::vector<std::uint8_t> v;
    Bytes& u16(unsigned x) {
        v.push_back(std::uint8_t(x & 0xFF));
        v.push_back(std::uint8_t(x >> 8 & 0xFF));
        return *this;
    }
    Bytes& u32(DWORD x) { return u16(x & 0xFFFF).u16(x >> 16); }
    Bytes& str(const char* s) {
        for (; *s; ++s) u16(static_cast<unsigned char>(*s));
        return u16(0);
    }
    Bytes& ord(unsigned n) { return u16(0xFFFF).u16(n); }
    Bytes& align() {
        while (v.size() % 4) v.push_back(0);
        return *this;
    }
    Bytes& add(const Bytes& b) {
        v.insert(v.end(), b.v.begin(), b.v.end());
        return *this;
    }
    ResBytes span() const { return ResBytes(v.data(), v.size()); }
    Bytes first(std::size_t n) const {
        Bytes b;
        b.v.assign(v.begin(), v.begin() + std::ptrdiff_t(n));
        return b;
    }
};

Bytes resEntry(const Bytes& type, const Bytes& name, WORD language, const Bytes& data) {
    Bytes fields;
    fields.add(type).add(name).align();
    fields.u32(0).u16(0x1030).u16(language).u32(0).u32(0);
    Bytes out;
    out.u32(DWORD(data.v.size())).u32(DWORD(8 + fields.v.size())).add(fields).add(data).align();
    return out;
}

Bytes emptyEntry() {
    return resEntry(Bytes().ord(0), Bytes().ord(0), 0, Bytes());
}

Bytes menuBytes(const char* popup, const char* item, unsigned id) {
    return Bytes().u16(0).u16(0).u16(MF_POPUP | MF_END).str(popup).u16(MF_END).u16(id).str(item);
}

// A menu named by a string, in German and in English (United States).
Bytes testImage() {
    Bytes image = emptyEntry();
    image.add(resEntry(Bytes().ord(4), Bytes().str("TESTMENU"), 0x0407, menuBytes("Musik", "Felsen", 8)));
    image.add(resEntry(Bytes().ord(4), Bytes().str("TESTMENU"), 0x0409, menuBytes("Music", "Rock & Roll", 7)));
    return image;
}

void registerTestImages() {
    // The module keeps the bytes for the rest of the process.
    static const Bytes good = testImage();
    static const Bytes bad = Bytes().u32(999).u32(32).add(Bytes().ord(4).ord(300));
    static const bool once = winshim::RES_RegisterModule(good.v.data(), good.v.size()) &&
                             winshim::RES_RegisterModule(bad.v.data(), bad.v.size());
    (void)once;
}

TEST(RegisteredImages, AreSearchedByNameAndLanguage) {
    registerTestImages();
    HINSTANCE module = GetModuleHandleA(nullptr);
    HMENU menu = LoadMenuA(module, "testMenu");
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menuString(menu, 0, MF_BYPOSITION), "Music") << "English (United States) comes first";
    EXPECT_EQ(GetMenuItemID(GetSubMenu(menu, 0), 0), 7u);

    winshim::APP_Ensure();
    QMenuBar bar;
    winshim::MENU_Populate(menu, &bar, nullptr);
    ASSERT_EQ(bar.actions().size(), 1);
    QMenu* music = bar.actions()[0]->menu();
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(music->actions()[0]->text(), "Rock && Roll") << "'&' shows as itself, not as a mnemonic";
    DestroyMenu(menu);

    // The damaged image added nothing and took nothing away.
    EXPECT_EQ(LoadMenuA(module, MAKEINTRESOURCE(300)), nullptr);
    HMENU main = LoadMenuA(module, MAKEINTRESOURCE(104));
    EXPECT_NE(main, nullptr);
    DestroyMenu(main);
}

TEST(ResourceNames, MatchAsFindResourceMatchesThem) {
    using winshim::ResId;
    struct Case {
        ResId id;
        LPCSTR key;
        bool matches;
    } cases[] = {
        {ResId::Ordinal(104), MAKEINTRESOURCE(104), true},
        {ResId::Ordinal(104), "#104", true},
        {ResId::Ordinal(104), "#0104", true},
        {ResId::Ordinal(104), "#105", false},
        {ResId::Ordinal(104), "#104x", false},
        {ResId::Ordinal(104), "#", false},
        {ResId::Ordinal(104), "#70000", false},
        {ResId::Ordinal(104), "104", false},
        {ResId::Name("VARNEL"), "varnel", true},
        {ResId::Name("VARNEL"), "Varnel", true},
        {ResId::Name("VARNEL"), "VARNELS", false},
        {ResId::Name("104"), MAKEINTRESOURCE(104), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.id.matches(c.key), c.matches)
            << (IS_INTRESOURCE(c.key) ? "ordinal" : c.key) << " against " << c.id.name << c.id.ordinal;
}

TEST(ResFile, ReadsHeadersAndRejectsDamage) {
    Bytes good = testImage();
    auto entries = winshim::RES_ParseFile(good.span());
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 2u);
    const winshim::ResEntry& en = (*entries)[1];
    EXPECT_TRUE(en.type.isOrdinal);
    EXPECT_EQ(en.type.ordinal, 4);
    EXPECT_EQ(en.name.name, "TESTMENU");
    EXPECT_EQ(en.language, 0x0409);
    EXPECT_EQ(en.memoryFlags, 0x1030);
    EXPECT_EQ(en.data.size(), menuBytes("Music", "Rock & Roll", 7).v.size());

    Bytes menu = menuBytes("A", "B", 1);
    struct Case {
        const char* what;
        Bytes bytes;
        bool ok;
    } cases[] = {
        {"nothing at all", Bytes(), true},
        {"only the empty entry", emptyEntry(), true},
        {"data running past the end", Bytes().u32(1000).u32(32).ord(4).ord(1).u32(0).u32(0).u32(0).u32(0), false},
        {"header size smaller than its fields", Bytes().u32(0).u32(8).ord(4).ord(1).u32(0).u32(0).u32(0).u32(0), false},
        {"header size past the end", Bytes().u32(0).u32(0xFFFFFFF0).ord(4).ord(1).u32(0).u32(0).u32(0).u32(0), false},
        {"name without its terminator", Bytes().u32(0).u32(64).ord(4).u16('A').u16('B'), false},
        {"ordinal cut short", Bytes().u32(0).u32(32).ord(4).u16(0xFFFF), false},
        {"three stray bytes", Bytes().add(emptyEntry()).u32(0x030201).first(emptyEntry().v.size() + 3), false},
        {"good entry, then junk", Bytes().add(resEntry(Bytes().ord(4), Bytes().ord(1), 0, menu)).u32(7), false},
    };
    for (const auto& c : cases) EXPECT_EQ(winshim::RES_ParseFile(c.bytes.span()).has_value(), c.ok) << c.what;

    // A cut image reads only when the cut falls between two entries (the padding
    // after the last one may be missing).
    std::size_t firstEnd = emptyEntry().v.size();
    std::size_t secondEnd =
        firstEnd + resEntry(Bytes().ord(4), Bytes().str("TESTMENU"), 0x0407, menuBytes("Musik", "Felsen", 8)).v.size();
    std::size_t lastData = good.v.size() - (4 - menuBytes("Music", "Rock & Roll", 7).v.size() % 4) % 4;
    for (std::size_t n = 0; n < good.v.size(); ++n) {
        bool boundary = n == 0 || n == firstEnd || n == secondEnd || n >= lastData;
        EXPECT_EQ(winshim::RES_ParseFile(good.first(n).span()).has_value(), boundary) << "cut at " << n;
    }
}

TEST(DialogReader, TakesThePlainTemplateFormat) {
    Bytes dlg;
    dlg.u32(WS_POPUP | DS_SETFONT).u32(WS_EX_TOOLWINDOW).u16(2).u16(1).u16(2).u16(100).u16(50);
    dlg.u16(0).ord(0x7F01).str("Plain").u16(10).str("Tahoma");
    dlg.align().u32(WS_CHILD | BS_PUSHBUTTON).u32(0).u16(5).u16(6).u16(40).u16(14).u16(0xFFFF);
    dlg.ord(0x80).str("OK").u16(4).u16(0x0201).u16(0x0403);
    dlg.align().u32(WS_CHILD | CBS_DROPDOWNLIST).u32(0).u16(5).u16(26).u16(40).u16(60).u16(7);
    dlg.ord(0x85).ord(0x42).u16(0);
    auto t = winshim::RES_ParseDialog(dlg.span());
    ASSERT_TRUE(t);
    EXPECT_FALSE(t->extended);
    EXPECT_EQ(t->style, DWORD(WS_POPUP | DS_SETFONT));
    EXPECT_EQ(t->exStyle, DWORD(WS_EX_TOOLWINDOW));
    EXPECT_EQ(t->cx, 100);
    EXPECT_TRUE(t->menu.empty());
    EXPECT_TRUE(t->className.isOrdinal);
    EXPECT_EQ(t->className.ordinal, 0x7F01);
    EXPECT_EQ(t->title, "Plain");
    ASSERT_TRUE(t->font);
    EXPECT_EQ(t->font->pointSize, 10);
    EXPECT_EQ(t->font->face, "Tahoma");
    ASSERT_EQ(t->items.size(), 2u);
    EXPECT_EQ(t->items[0].id, -1);
    EXPECT_EQ(t->items[0].className, "Button");
    EXPECT_EQ(t->items[0].text.name, "OK");
    EXPECT_EQ(t->items[0].creationData, (std::vector<std::uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(t->items[1].id, 7);
    EXPECT_EQ(t->items[1].className, "ComboBox");
    EXPECT_TRUE(t->items[1].text.isOrdinal);
    EXPECT_EQ(t->items[1].text.ordinal, 0x42);

    for (std::size_t n = 0; n < dlg.v.size(); ++n)
        EXPECT_FALSE(winshim::RES_ParseDialog(dlg.first(n).span())) << "cut at " << n;
}

TEST(DamagedBytes, AreRejectedByEveryReader) {
    // Every cut of a real template or menu is refused.
    HINSTANCE module = GetModuleHandleA(nullptr);
    for (int id : {IDD_MAIN, IDD_LIST_EDITOR, IDD_DRIVE}) {
        auto bytes = winshim::RES_Find(module, RT_DIALOG, MAKEINTRESOURCE(id));
        ASSERT_TRUE(bytes);
        for (std::size_t n = 0; n < bytes->size(); ++n)
            EXPECT_FALSE(winshim::RES_ParseDialog(bytes->first(n))) << id << " cut at " << n;
    }
    auto menu = winshim::RES_Find(module, RT_MENU, MAKEINTRESOURCE(IDR_MAINMENU));
    ASSERT_TRUE(menu);
    for (std::size_t n = 0; n < menu->size(); ++n) {
        auto parsed = winshim::RES_ParseMenu(menu->first(n));
        // Four bytes are a bare header: a menu without items.
        EXPECT_EQ(parsed.has_value(), n == 4) << "cut at " << n;
    }

    Bytes deep = Bytes().u16(0).u16(0);
    for (int i = 0; i < 2000; ++i) deep.u16(MF_POPUP | MF_END).u16(0);
    struct Case {
        const char* what;
        Bytes bytes;
    } menus[] = {
        {"extended menu header", Bytes().u16(1).u16(4).u32(0).u16(MF_END).u16(1).str("A")},
        {"header size past the end", Bytes().u16(0).u16(0xFFFF).u16(MF_END).u16(1).str("A")},
        {"no item ends the menu", Bytes().u16(0).u16(0).u16(0).u16(1).str("A").u16(0).u16(2).str("B")},
        {"pop-ups nested 2000 deep", deep},
    };
    for (const auto& c : menus) EXPECT_FALSE(winshim::RES_ParseMenu(c.bytes.span())) << c.what;

    Bytes manyItems;
    manyItems.u16(1).u16(0xFFFF).u32(0).u32(0).u32(WS_POPUP).u16(0xFFFF).u16(0).u16(0).u16(10).u16(10);
    manyItems.u16(0).u16(0).str("");
    EXPECT_FALSE(winshim::RES_ParseDialog(manyItems.span())) << "65535 items announced, none there";

    // Noise: each reader refuses it or gives a result that the bytes can hold: data
    // inside the image, and no more items or text than the bytes could encode (a
    // dialog item takes at least 24 bytes, a menu item 4, a UTF-16 unit at most 3 bytes
    // of UTF-8).
    const auto menuNodes = [](const auto& self, const std::vector<winshim::MenuNode>& nodes) -> std::size_t {
        std::size_t n = nodes.size();
        for (const auto& node : nodes) n += self(self, node.children) + node.text.size() / 3;
        return n;
    };
    int accepted = 0;
    std::uint32_t seed = 12345;
    for (int round = 0; round < 500; ++round) {
        Bytes noise;
        std::size_t size = round % 97 * 3;
        for (std::size_t i = 0; i < size; ++i) {
            seed = seed * 1664525u + 1013904223u;
            noise.v.push_back(std::uint8_t(seed >> 24));
        }
        if (round % 3 == 0 && noise.v.size() >= 4) noise.v[0] = 1, noise.v[1] = 0, noise.v[2] = noise.v[3] = 0xFF;
        SCOPED_TRACE(round);
        const auto* begin = noise.v.data();
        if (auto file = winshim::RES_ParseFile(noise.span())) {
            ++accepted;
            for (const auto& e : *file) {
                EXPECT_GE(e.data.data(), begin);
                EXPECT_LE(e.data.data() + e.data.size(), begin + size);
            }
        }
        if (auto dialog = winshim::RES_ParseDialog(noise.span())) {
            ++accepted;
            EXPECT_LE(dialog->items.size() * 24, size);
            for (const auto& item : dialog->items) EXPECT_LE(item.creationData.size(), size);
            EXPECT_LE(dialog->title.size(), size * 3 / 2);
        }
        if (auto menu = winshim::RES_ParseMenu(noise.span())) {
            ++accepted;
            EXPECT_LE(menuNodes(menuNodes, *menu) * 4, size);
        }
    }
    EXPECT_GT(accepted, 0) << "no noise was accepted: the checks above checked nothing";
}

}  // namespace
