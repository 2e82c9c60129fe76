#pragma once
// The framework in one include: the application, windows, frames, dialogs and controls.

#include "DataExchange.h"
#include "Dialog.h"
#include "FrameWnd.h"
#include "ListBox.h"
#include "MessageMap.h"
#include "Object.h"
#include "PaintDC.h"
#include "RuntimeClass.h"
#include "WinApp.h"
#include "Wnd.h"
#include "afxres.h"
