// platform/desktop/: what the program needs of the Linux desktop around it.
//
//   single_instance.h  finding the running copy of the program and bringing it forward
//   help_viewer.h      the help page, opened in the desktop's browser
//   settings_store.h   the player's choices kept between runs (a file; the page's storage)
#pragma once

#include "platform/desktop/help_viewer.h"
#include "platform/desktop/settings_store.h"
#include "platform/desktop/single_instance.h"
