#pragma once
// The MFC and Win32 pieces of the stand-in in one include, as afxwin.h gathers them for MFC code.
#include "host/win32/CBrush.h"
#include "host/win32/CDC.h"
#include "host/win32/CFont.h"
#include "host/win32/CGdiObject.h"
#include "host/win32/CPen.h"
#include "host/win32/CPoint.h"
#include "host/win32/CRect.h"
#include "host/win32/CSize.h"
#include "host/win32/WinGdi.h"
#include "host/win32/Windef.h"
