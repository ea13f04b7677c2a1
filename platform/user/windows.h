// Windows, classes, messages, dialogs, standard controls and message boxes:
// the header of the window system that callers include.
//  platform/user/window_model.h  the window manager: classes, windows,
//                                messages and queues, geometry, focus and
//                                activation, painting, timers, hooks,
//                                monitors and system metrics;
//  platform/user/dialogs.h       the dialog manager and message boxes;
//  platform/user/controls.h      the standard controls.
#pragma once

#include "platform/user/controls.h"
#include "platform/user/dialogs.h"
#include "platform/user/menu.h"
#include "platform/user/owner_draw.h"
#include "platform/user/window_model.h"
