/* GDI32: pens, stock objects and lines on a window's device context. */
#ifndef WINSHIM_WINGDI_H
#define WINSHIM_WINGDI_H

#include "windef.h"

#define PS_SOLID 0
#define PS_DASH 1
#define PS_DOT 2
#define PS_NULL 5

#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define DEFAULT_GUI_FONT 17

#ifndef RC_INVOKED
#ifdef __cplusplus
extern "C" {
#endif

HPEN WINAPI CreatePen(int style, int width, COLORREF color);
HGDIOBJ WINAPI GetStockObject(int index);
HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object);
BOOL WINAPI MoveToEx(HDC dc, int x, int y, LPPOINT previous);
BOOL WINAPI LineTo(HDC dc, int x, int y);

#ifdef __cplusplus
}
#endif
#endif /* RC_INVOKED */

#endif
