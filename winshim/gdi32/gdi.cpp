// Pens, stock objects and lines. A device context of a window draws with the
// painter of the paint in progress; outside a paint there is nothing to draw on
// (on Windows such drawing is wiped by the next paint anyway).
#include <QPainter>
#include <map>

#include "core/handles.h"
#include "user32/window.h"

namespace winshim {
namespace {
struct GdiObject {
    enum Kind { Pen, Brush, Other } kind = Other;
    QPen pen;
    bool stock = false;
};

struct DeviceContext {
    HWND hwnd = nullptr;
    HGDIOBJ pen = nullptr;
    QPoint position;
};

HandleTable<HGDIOBJ, GdiObject>& objects() {
    static HandleTable<HGDIOBJ, GdiObject> table(0x47000001);
    return table;
}
HandleTable<HDC, DeviceContext>& contexts() {
    static HandleTable<HDC, DeviceContext> table(0x44000001);
    return table;
}

GdiObject* object(HGDIOBJ handle) { return objects().find(handle); }
DeviceContext* context(HDC dc) { return contexts().find(dc); }

QPen makePen(int style, int width, COLORREF color) {
    QPen pen(QColor(GetRValue(color), GetGValue(color), GetBValue(color)));
    pen.setWidth(std::max(width, 1));
    pen.setCapStyle(Qt::FlatCap);
    switch (style) {
    case PS_DASH:
        pen.setStyle(Qt::DashLine);
        break;
    case PS_DOT:
        pen.setStyle(Qt::DotLine);
        break;
    case PS_NULL:
        pen.setStyle(Qt::NoPen);
        break;
    }
    return pen;
}

HGDIOBJ stockObject(int index) {
    static std::map<int, HGDIOBJ> stock;
    auto it = stock.find(index);
    if (it != stock.end()) return it->second;
    GdiObject obj;
    obj.stock = true;
    switch (index) {
    case WHITE_PEN:
        obj.kind = GdiObject::Pen;
        obj.pen = makePen(PS_SOLID, 1, RGB(255, 255, 255));
        break;
    case BLACK_PEN:
        obj.kind = GdiObject::Pen;
        obj.pen = makePen(PS_SOLID, 1, RGB(0, 0, 0));
        break;
    case NULL_PEN:
        obj.kind = GdiObject::Pen;
        obj.pen = makePen(PS_NULL, 1, 0);
        break;
    case WHITE_BRUSH:
    case LTGRAY_BRUSH:
    case GRAY_BRUSH:
    case DKGRAY_BRUSH:
    case BLACK_BRUSH:
    case NULL_BRUSH:
        obj.kind = GdiObject::Brush;
        break;
    case DEFAULT_GUI_FONT:
        obj.kind = GdiObject::Other;
        break;
    default:
        return nullptr;
    }
    return stock[index] = objects().add(std::move(obj));
}
}  // namespace
}  // namespace winshim

using namespace winshim;

extern "C" HDC WINAPI GetDC(HWND hwnd) {
    if (hwnd && !WIN_Get(hwnd)) return nullptr;
    DeviceContext dc;
    dc.hwnd = hwnd;
    dc.pen = stockObject(BLACK_PEN);
    return contexts().add(dc);
}

extern "C" int WINAPI ReleaseDC(HWND, HDC dc) { return contexts().remove(dc) ? 1 : 0; }

extern "C" HPEN WINAPI CreatePen(int style, int width, COLORREF color) {
    GdiObject obj;
    obj.kind = GdiObject::Pen;
    obj.pen = makePen(style, width, color);
    return static_cast<HPEN>(objects().add(std::move(obj)));
}

extern "C" HGDIOBJ WINAPI GetStockObject(int index) { return stockObject(index); }

extern "C" HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ handle) {
    DeviceContext* c = context(dc);
    GdiObject* obj = object(handle);
    if (!c || !obj) return nullptr;
    if (obj->kind != GdiObject::Pen) return stockObject(WHITE_BRUSH);
    HGDIOBJ previous = c->pen;
    c->pen = handle;
    return previous;
}

extern "C" BOOL WINAPI MoveToEx(HDC dc, int x, int y, LPPOINT previous) {
    DeviceContext* c = context(dc);
    if (!c) return FALSE;
    if (previous) *previous = POINT{c->position.x(), c->position.y()};
    c->position = QPoint(x, y);
    return TRUE;
}

extern "C" BOOL WINAPI LineTo(HDC dc, int x, int y) {
    DeviceContext* c = context(dc);
    if (!c) return FALSE;
    QPoint to(x, y);
    QPainter* painter = to == c->position ? nullptr : PAINT_Current(c->hwnd);
    if (painter) {
        GdiObject* pen = object(c->pen);
        painter->save();
        painter->setPen(pen ? pen->pen : QPen(Qt::black));
        // GDI draws from the start point up to, but not including, the end point.
        QPoint delta = to - c->position;
        QPoint last = to - QPoint(delta.x() > 0 ? 1 : delta.x() < 0 ? -1 : 0, delta.y() > 0 ? 1 : delta.y() < 0 ? -1 : 0);
        painter->drawLine(c->position, last);
        painter->restore();
    }
    c->position = to;
    return TRUE;
}
