/* The one place where the program meets the platform: the Windows interfaces it
 * uses, and nothing else. Every program file includes this header first. */
#ifndef VARNEL_PLATFORM_H
#define VARNEL_PLATFORM_H

/* windows.h first: the SDK's other headers build on it. */
#include <windows.h>

#include <commctrl.h>
#include <dbt.h>
#include <mmsystem.h>
#include <shlobj.h>
#include <stdio.h>
#include <string.h>

#include "resource.h"

#endif
