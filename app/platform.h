/* The one place where the program meets the platform: the Windows interfaces it
 * uses, and nothing else. Every program file includes this header first. */
#ifndef VARNEL_PLATFORM_H
#define VARNEL_PLATFORM_H

#include <commctrl.h>
#include <dbt.h>
#include <mmsystem.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "resource.h"

#endif
