// The program's compiled resources as the Windows resource functions see them: the
// three dialog templates, the main menu and the icon, the identifiers of
// resource.h. Resource bytes made by hand, damaged ones among them:
// resbytes_test.cpp.
#include "core/resources.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <QMenu>
#include <QMenuBar>
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "../../resources/resource.h"
#include "core/app.h"
#include "user32/icon.h"
#include "user32/menu.h"

namespace {

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

// The standard and the small size, and the images a screen scaled 1.5 or 2 times
// draws them from.
TEST(AppIcon, HoldsImagesForEveryScaleWithTransparentCorners) {
    HINSTANCE module = GetModuleHandleA(nullptr);
    HICON icon = LoadIconA(module, MAKEINTRESOURCE(102));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(LoadIconA(module, MAKEINTRESOURCE(102)), icon) << "a loaded icon is shared";
    EXPECT_EQ(LoadIconA(module, "#102"), icon);
    EXPECT_EQ(winshim::ICON_Size(icon), QSize(32, 32));

    // The group: images of 16 colours (4 bits, one plane), the standard size first.
    const int sides[] = {32, 16, 64, 48, 24};
    auto group = winshim::RES_Find(module, RT_GROUP_ICON, MAKEINTRESOURCE(IDI_APP));
    ASSERT_TRUE(group);
    ASSERT_EQ(group->size(), 6u + std::size(sides) * 14);
    EXPECT_EQ((*group)[4], std::size(sides));
    for (size_t i = 0; i < std::size(sides); ++i) {
        const std::uint8_t* e = group->data() + 6 + 14 * i;
        const int side = sides[i];
        EXPECT_EQ(e[0], side);
        EXPECT_EQ(e[1], side);
        EXPECT_EQ(e[2], 16) << "colours";
        EXPECT_EQ(e[4] | e[5] << 8, 1) << "planes";
        EXPECT_EQ(e[6] | e[7] << 8, 4) << "bits per pixel";
    }
    QIcon qicon = winshim::ICON_ToQIcon(icon);
    QList<QSize> sizes = qicon.availableSizes();
    for (int side : sides) {
        EXPECT_TRUE(sizes.contains(QSize(side, side))) << side;
        QImage image = qicon.pixmap(side, side).toImage();
        ASSERT_EQ(image.size(), QSize(side, side));
        EXPECT_EQ(image.pixelColor(side - 1, 0).alpha(), 0) << side << ": corner shows through";
        EXPECT_EQ(image.pixelColor(side * 7 / 16, side * 7 / 16).alpha(), 0) << side << ": centre hole";
        EXPECT_EQ(image.pixelColor(side / 8, side * 7 / 16).alpha(), 255) << side << ": the disc";
    }  // On a scaled screen the icon is drawn from the image made for that size, not stretched.
    for (auto [side, ratio] : {std::pair{32, 2.0}, {32, 1.5}, {16, 1.5}}) {
        const int pixels = int(side * ratio);
        EXPECT_EQ(qicon.pixmap(QSize(side, side), ratio).toImage(), qicon.pixmap(pixels, pixels).toImage())
            << side << " at " << ratio;
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
}  // namespace
