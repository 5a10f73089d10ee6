// app/: the application: the program entry (main.cpp), the shell (the main window, its
// commands, dialogs, and the pauses and resumptions it tells the tuner), and the
// program's resources.
//
//   shell.h            programEntry and the main window's procedure
//   resource_script.h  strings, menus, accelerators and dialog templates by number
//   resources.h        the built-in pictures (icon, menu-bar image, the dial's background)
//   chrome_picture.h   the program's bars as a still picture, for veldra-file
//   desktop_readout.h  the readout strip below the screen: the tuner's readout listener
#pragma once

#include "app/chrome_picture.h"
#include "app/desktop_readout.h"
#include "app/resource_script.h"
#include "app/resources.h"
#include "app/shell.h"
