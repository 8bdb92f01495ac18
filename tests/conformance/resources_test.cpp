// The program's compiled resources as the Windows resource functions see them: the
// three dialog templates, the main menu and the icon, the identifiers of resource.h,
// and the readers' handling of damaged resource bytes.
#include "core/resources.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <QMenu>
#include <QMenuBar>
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "../../resources/resource.h"
#include "core/app.h"
#include "user32/icon.h"
#include "user32/menu.h"
#include "winshim_resources.h"

namespace {

using winshim::ResBytes;

bool sameNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// ---------------------------------------------------------------------------
// Identifiers

TEST(ResourceIds, MatchTheProgramsNumbers) {
    struct Case {
        const char* name;
        int value, expected;
    } cases[] = {
        {"IDD_MAIN", IDD_MAIN, 101},
        {"IDI_APP", IDI_APP, 102},
        {"IDR_MAINMENU", IDR_MAINMENU, 104},
        {"IDD_LIST_EDITOR", IDD_LIST_EDITOR, 105},
        {"IDD_DRIVE", IDD_DRIVE, 106},
        {"IDC_TITLE_LIST", IDC_TITLE_LIST, 1000},
        {"IDC_PLAY", IDC_PLAY, 1001},
        {"IDM_STOP", IDM_STOP, 1002},
        {"IDC_COMPOSER", IDC_COMPOSER, 1003},
        {"IDC_ALBUM", IDC_ALBUM, 1004},
        {"IDC_DISC_ID", IDC_DISC_ID, 1009},
        {"IDC_SAVE", IDC_SAVE, 1010},
        {"IDC_CLOSE", IDC_CLOSE, 1011},
        {"IDC_EDIT_COMPOSER", IDC_EDIT_COMPOSER, 1012},
        {"IDC_EDIT_ALBUM", IDC_EDIT_ALBUM, 1013},
        {"IDC_TRACK_COUNT", IDC_TRACK_COUNT, 1014},
        {"IDC_EDIT_TRACK", IDC_EDIT_TRACK, 1017},
        {"IDC_ADD", IDC_ADD, 1018},
        {"IDC_DRIVE_LIST", IDC_DRIVE_LIST, 1020},
        {"IDM_EXIT", IDM_EXIT, 40001},
        {"IDC_PAUSE", IDC_PAUSE, 40002},
        {"IDC_EJECT", IDC_EJECT, 40003},
        {"IDM_CLOSE", IDM_CLOSE, 40004},
        {"IDM_ABOUT", IDM_ABOUT, 40005},
        {"IDM_VIEW_LARGE_ICONS", IDM_VIEW_LARGE_ICONS, 40006},
        {"IDM_VIEW_SMALL_ICONS", IDM_VIEW_SMALL_ICONS, 40007},
        {"IDM_VIEW_REPORT", IDM_VIEW_REPORT, 40008},
        {"IDM_VIEW_LIST", IDM_VIEW_LIST, 40009},
        {"IDM_SONG_LIST", IDM_SONG_LIST, 40010},
        {"IDM_DRIVE", IDM_DRIVE, 40011},
        {"IDM_HELP_CONTENTS", IDM_HELP_CONTENTS, 57670},
    };
    for (const auto& c : cases) EXPECT_EQ(c.value, c.expected) << c.name;
}

// ---------------------------------------------------------------------------
// Dialog templates

struct ItemTable {
    int id;
    const char* cls;
    const char* text;
    short x, y, cx, cy;
    DWORD style;
};

struct DialogTable {
    int resource;
    DWORD style;
    short cx, cy;
    const char* title;
    const char* cls;  // empty for the standard dialog class
    std::vector<ItemTable> items;
};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

const DialogTable kDialogs[] = {
    {101,
     0x90CE0040,
     305,
     150,
     "Varnel",
     "Varnel",
     {
         {1001, "Button", "Play", 247, 13, 51, 14, 0x50010001},
         {-1, "Static", "Title:", 27, 33, 20, 9, 0x50020000},
         {-1, "Static", "Composer", 12, 13, 36, 11, 0x50020000},
         {1003, "Static", "", 53, 13, 177, 13, 0x50021000},
         {1004, "Static", "", 53, 32, 178, 12, 0x50021000},
         {40003, "Button", "Eject", 247, 49, 51, 14, 0x50010000},
         {-1, "Static", "Disc ID:", 20, 51, 30, 9, 0x50020000},
         {1009, "Static", "", 54, 49, 53, 13, 0x50021000},
         {40002, "Button", "Pause", 247, 31, 51, 14, 0x58010000},
     }},
    {105,
     WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
     270,
     193,
     "List Editor",
     "",
     {
         {1010, "Button", "Save", 155, 172, 50, 14, kChild | BS_DEFPUSHBUTTON | WS_TABSTOP},
         {1011, "Button", "Close", 213, 172, 50, 14, kChild | BS_PUSHBUTTON | WS_TABSTOP},
         {-1, "Static", "Disc ID :", 7, 7, 42, 10, kChild | SS_LEFT | WS_GROUP},
         {1009, "Static", "Static", 62, 7, 64, 12, kChild | SS_LEFT | SS_SUNKEN | WS_GROUP},
         {-1, "Static", "Composer :", 7, 28, 51, 9, kChild | SS_LEFT | WS_GROUP},
         {-1, "Static", "Title / Album :", 7, 45, 53, 10, kChild | SS_LEFT | WS_GROUP},
         {1012, "Edit", "", 61, 26, 202, 13, kChild | ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
         {1013, "Edit", "", 61, 43, 202, 12, kChild | ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
         {-1, "Static", "Tracks :", 148, 7, 27, 8, kChild | SS_LEFT | WS_GROUP},
         {1014, "Static", "Static", 187, 7, 36, 12, kChild | SS_LEFT | SS_SUNKEN | WS_GROUP},
         {-1, "Static", "Title :", 31, 63, 18, 8, kChild | SS_LEFT | WS_GROUP},
         {1017, "Edit", "", 62, 60, 201, 13, kChild | ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
         {1000, "ListBox", "", 7, 100, 256, 67,
          kChild | LBS_NOTIFY | LBS_SORT | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER | WS_TABSTOP},
         {1018, "Button", "Add", 7, 82, 256, 14, kChild | BS_PUSHBUTTON | WS_TABSTOP},
     }},
    {106,
     0x80C800C0,
     153,
     63,
     "Drive",
     "",
     {
         {-1, "Static", "Select Drive :", 7, 25, 46, 11, 0x50020000},
         {1020, "ComboBox", "", 62, 23, 71, 49, 0x50010103},
     }},
};

TEST(DialogTemplates, MatchTheirTables) {
    for (const DialogTable& table : kDialogs) {
        SCOPED_TRACE("dialog " + std::to_string(table.resource));
        auto bytes = winshim::RES_Find(GetModuleHandleA(nullptr), RT_DIALOG, MAKEINTRESOURCE(table.resource));
        ASSERT_TRUE(bytes);
        auto dlg = winshim::RES_ParseDialog(*bytes);
        ASSERT_TRUE(dlg);
        EXPECT_EQ(dlg->style, table.style);
        EXPECT_EQ(dlg->exStyle, 0u);
        EXPECT_EQ(dlg->x, 0);
        EXPECT_EQ(dlg->y, 0);
        EXPECT_EQ(dlg->cx, table.cx);
        EXPECT_EQ(dlg->cy, table.cy);
        EXPECT_TRUE(dlg->menu.empty());
        EXPECT_EQ(dlg->title, table.title);
        EXPECT_FALSE(dlg->className.isOrdinal);
        EXPECT_TRUE(sameNoCase(dlg->className.name, table.cls)) << dlg->className.name;
        ASSERT_TRUE(dlg->font);
        EXPECT_EQ(dlg->font->pointSize, 8);
        EXPECT_EQ(dlg->font->face, "MS Sans Serif");
        EXPECT_FALSE(dlg->font->italic);
        ASSERT_EQ(dlg->items.size(), table.items.size());
        for (std::size_t i = 0; i < table.items.size(); ++i) {
            const ItemTable& want = table.items[i];
            const winshim::DialogItem& got = dlg->items[i];
            SCOPED_TRACE("control " + std::to_string(i + 1) + " \"" + want.text + "\"");
            EXPECT_EQ(got.id, want.id);
            EXPECT_TRUE(sameNoCase(got.className, want.cls)) << got.className;
            EXPECT_FALSE(got.text.isOrdinal);
            EXPECT_EQ(got.text.name, want.text);
            EXPECT_EQ(got.x, want.x);
            EXPECT_EQ(got.y, want.y);
            EXPECT_EQ(got.cx, want.cx);
            EXPECT_EQ(got.cy, want.cy);
            EXPECT_EQ(got.style, want.style) << std::hex << got.style << " != " << want.style;
            EXPECT_EQ(got.exStyle, 0u);
            EXPECT_TRUE(got.creationData.empty());
        }
    }
}

// ---------------------------------------------------------------------------
// The main menu

struct MenuTable {
    const char* popup;
    std::vector<std::pair<const char*, UINT>> items;  // nullptr text: separator
};

const MenuTable kMainMenu[] = {
    {"File", {{"Exit", 40001}}},
    {"Edit", {{"Song List...", 40010}}},
    {"Player",
     {{"Play", 1001},
      {"Stop", 1002},
      {"Pause", 40002},
      {nullptr, 0},
      {"Eject", 40003},
      {"Close", 40004},
      {nullptr, 0},
      {"Drive...", 40011}}},
    {"View", {{"Large Icons", 40006}, {"Small Icons", 40007}, {"Report View", 40008}, {"List View", 40009}}},
    {"Help", {{"Help Contents...", 57670}, {"About", 40005}}},
};

std::string menuString(HMENU menu, UINT item, UINT flags) {
    char buffer[64] = "untouched";
    int n = GetMenuStringA(menu, item, buffer, sizeof buffer, flags);
    EXPECT_EQ(n, int(std::strlen(buffer)));
    return buffer;
}

TEST(MainMenu, HasTheItemsOfItsTable) {
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(104));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 5);
    for (int pos = 0; pos < 5; ++pos) {
        const MenuTable& table = kMainMenu[pos];
        SCOPED_TRACE(table.popup);
        int count = int(table.items.size());
        EXPECT_EQ(GetMenuItemID(menu, pos), UINT(-1));
        EXPECT_EQ(GetMenuState(menu, pos, MF_BYPOSITION), UINT(MF_POPUP | count << 8));
        EXPECT_EQ(menuString(menu, pos, MF_BYPOSITION), table.popup);
        HMENU sub = GetSubMenu(menu, pos);
        ASSERT_NE(sub, nullptr);
        EXPECT_EQ(GetSubMenu(menu, pos), sub) << "a pop-up keeps its handle";
        ASSERT_EQ(GetMenuItemCount(sub), count);
        for (int i = 0; i < count; ++i) {
            auto [text, id] = table.items[i];
            SCOPED_TRACE(text ? text : "separator");
            EXPECT_EQ(GetSubMenu(sub, i), nullptr);
            EXPECT_EQ(GetMenuItemID(sub, i), id);
            EXPECT_EQ(GetMenuState(sub, i, MF_BYPOSITION), text ? UINT(MF_STRING) : UINT(MF_SEPARATOR));
            EXPECT_EQ(menuString(sub, i, MF_BYPOSITION), text ? text : "");
            if (text) {  // by command, from the top of the menu
                EXPECT_EQ(menuString(menu, id, MF_BYCOMMAND), text);
                EXPECT_EQ(GetMenuState(menu, id, MF_BYCOMMAND), UINT(MF_STRING));
            }
        }
    }
    EXPECT_TRUE(DestroyMenu(menu));
}

TEST(MainMenu, AnswersLikeWindowsForWhatIsNotThere) {
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(104));
    ASSERT_NE(menu, nullptr);
    HMENU player = GetSubMenu(menu, 2);
    HMENU destroyed = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(104));
    HMENU destroyedSub = GetSubMenu(destroyed, 0);
    ASSERT_TRUE(DestroyMenu(destroyed));
    HMENU bogus = reinterpret_cast<HMENU>(std::uintptr_t{0x1234});
    char buffer[16];
    for (HMENU invalid : {bogus, destroyed, destroyedSub, HMENU(nullptr)}) {
        EXPECT_EQ(GetMenuItemCount(invalid), -1);
        EXPECT_EQ(GetSubMenu(invalid, 0), nullptr);
        EXPECT_EQ(GetMenuItemID(invalid, 0), UINT(-1));
        EXPECT_EQ(GetMenuState(invalid, 0, MF_BYPOSITION), UINT(-1));
        EXPECT_EQ(GetMenuStringA(invalid, 0, buffer, sizeof buffer, MF_BYPOSITION), 0);
        EXPECT_FALSE(DestroyMenu(invalid));
    }
    EXPECT_EQ(GetSubMenu(menu, 5), nullptr);
    EXPECT_EQ(GetSubMenu(menu, -1), nullptr);
    EXPECT_EQ(GetMenuItemID(player, 8), UINT(-1));
    EXPECT_EQ(GetMenuItemID(player, -1), UINT(-1));
    EXPECT_EQ(GetMenuState(player, 8, MF_BYPOSITION), UINT(-1));
    EXPECT_EQ(GetMenuState(menu, 4242, MF_BYCOMMAND), UINT(-1));
    EXPECT_EQ(GetMenuStringA(menu, 4242, buffer, sizeof buffer, MF_BYCOMMAND), 0);
    DestroyMenu(menu);
}

TEST(MainMenu, GetMenuStringFollowsTheBufferRules) {
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(IDR_MAINMENU));
    ASSERT_NE(menu, nullptr);
    struct Case {
        bool nullBuffer;
        int size;
        int result;
        const char* text;  // what the buffer holds afterwards
    } cases[] = {
        {true, 64, 12, nullptr},  // no buffer: the length
        {false, 0, 12, "#"},      // no room: the length, buffer untouched
        {false, 1, 0, ""},
        {false, 5, 4, "Song"},
        {false, 12, 11, "Song List.."},
        {false, 13, 12, "Song List..."},
        {false, 64, 12, "Song List..."},
    };
    for (const auto& c : cases) {
        char buffer[64] = "#";
        int n = GetMenuStringA(menu, IDM_SONG_LIST, c.nullBuffer ? nullptr : buffer, c.size, MF_BYCOMMAND);
        EXPECT_EQ(n, c.result) << "size " << c.size;
        if (c.text) {
            EXPECT_STREQ(buffer, c.text) << "size " << c.size;
        }
    }
    DestroyMenu(menu);
}

TEST(MainMenu, ShowsInAQtMenuBarAndReportsCommands) {
    winshim::APP_Ensure();
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), "#104");
    ASSERT_NE(menu, nullptr);
    QMenuBar bar;
    std::vector<UINT> commands;
    winshim::MENU_Populate(menu, &bar, [&](UINT id) { commands.push_back(id); });
    QStringList titles;
    for (QAction* a : bar.actions()) titles << a->text();
    EXPECT_EQ(titles, QStringList({"File", "Edit", "Player", "View", "Help"}));
    QMenu* player = bar.actions()[2]->menu();
    ASSERT_NE(player, nullptr);
    QStringList items;
    for (QAction* a : player->actions()) items << (a->isSeparator() ? QString("-") : a->text());
    EXPECT_EQ(items, QStringList({"Play", "Stop", "Pause", "-", "Eject", "Close", "-", "Drive..."}));
    player->actions()[7]->trigger();
    player->actions()[0]->trigger();
    EXPECT_EQ(commands, (std::vector<UINT>{40011, 1001}));

    QMenuBar other;
    winshim::MENU_Populate(reinterpret_cast<HMENU>(std::uintptr_t{0x1234}), &other, nullptr);
    EXPECT_TRUE(other.actions().isEmpty());
    DestroyMenu(menu);
}

// ---------------------------------------------------------------------------
// Icons, cursors and missing resources

TEST(AppIcon, HoldsA32And16PixelImageWithTransparentCorners) {
    HINSTANCE module = GetModuleHandleA(nullptr);
    HICON icon = LoadIconA(module, MAKEINTRESOURCE(102));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(LoadIconA(module, MAKEINTRESOURCE(102)), icon) << "a loaded icon is shared";
    EXPECT_EQ(LoadIconA(module, "#102"), icon);
    EXPECT_EQ(winshim::ICON_Size(icon), QSize(32, 32));

    // The group: a 32 x 32 and a 16 x 16 image of 16 colours (4 bits, one plane).
    auto group = winshim::RES_Find(module, RT_GROUP_ICON, MAKEINTRESOURCE(IDI_APP));
    ASSERT_TRUE(group);
    ASSERT_EQ(group->size(), 6u + 2 * 14);
    EXPECT_EQ((*group)[4], 2);
    for (int i = 0; i < 2; ++i) {
        const std::uint8_t* e = group->data() + 6 + 14 * i;
        int side = i == 0 ? 32 : 16;
        EXPECT_EQ(e[0], side);
        EXPECT_EQ(e[1], side);
        EXPECT_EQ(e[2], 16) << "colours";
        EXPECT_EQ(e[4] | e[5] << 8, 1) << "planes";
        EXPECT_EQ(e[6] | e[7] << 8, 4) << "bits per pixel";
    }
    QIcon qicon = winshim::ICON_ToQIcon(icon);
    QList<QSize> sizes = qicon.availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    for (int side : {32, 16}) {
        QImage image = qicon.pixmap(side, side).toImage();
        ASSERT_EQ(image.size(), QSize(side, side));
        EXPECT_EQ(image.pixelColor(side - 1, 0).alpha(), 0) << side << ": corner shows through";
        EXPECT_EQ(image.pixelColor(side * 7 / 16, side * 7 / 16).alpha(), 0) << side << ": centre hole";
        EXPECT_EQ(image.pixelColor(side / 8, side * 7 / 16).alpha(), 255) << side << ": the disc";
    }
}

TEST(MissingResources, GiveNullAndTheWindowsError) {
    HINSTANCE module = GetModuleHandleA(nullptr);
    struct Case {
        const char* what;
        void* result;
        DWORD error;
    };
    auto icon = [](HINSTANCE m, LPCSTR n) {
        SetLastError(0);
        return static_cast<void*>(LoadIconA(m, n));
    };
    auto menu = [](HINSTANCE m, LPCSTR n) {
        SetLastError(0);
        return static_cast<void*>(LoadMenuA(m, n));
    };
    std::vector<Case> cases;
    auto add = [&](const char* what, void* result) { cases.push_back({what, result, GetLastError()}); };
    add("icon 999", icon(module, MAKEINTRESOURCE(999)));
    add("icon by a name that is not there", icon(module, "NOSUCHICON"));
    add("icon 101, which is a dialog", icon(module, MAKEINTRESOURCE(IDD_MAIN)));
    add("system icon 102", icon(nullptr, MAKEINTRESOURCE(102)));
    add("menu 999", menu(module, MAKEINTRESOURCE(999)));
    add("menu 102, which is an icon", menu(module, MAKEINTRESOURCE(IDI_APP)));
    for (const Case& c : cases) {
        EXPECT_EQ(c.result, nullptr) << c.what;
        EXPECT_EQ(c.error, DWORD(ERROR_RESOURCE_NAME_NOT_FOUND)) << c.what;
    }
}

TEST(SystemIconsAndCursors, AreThere) {
    HICON app = LoadIconA(nullptr, IDI_APPLICATION);
    EXPECT_NE(app, nullptr);
    EXPECT_EQ(LoadIconA(nullptr, IDI_APPLICATION), app);
    struct Case {
        LPCSTR id;
        Qt::CursorShape shape;
    } cases[] = {{IDC_ARROW, Qt::ArrowCursor}, {IDC_IBEAM, Qt::IBeamCursor}, {IDC_WAIT, Qt::WaitCursor}};
    for (const auto& c : cases) {
        HCURSOR cursor = LoadCursorA(nullptr, c.id);
        ASSERT_NE(cursor, nullptr);
        EXPECT_EQ(winshim::ICON_ToQCursor(cursor).shape(), c.shape);
    }
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCE(1)), nullptr);
    EXPECT_EQ(GetModuleHandleA("no-such-library.dll"), nullptr);
}

// ---------------------------------------------------------------------------
// Resource bytes made by hand: other languages, string names, the plain dialog
// format, and damaged images.

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
