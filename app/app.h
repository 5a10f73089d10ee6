// app/: the application: the program entry (main.cpp), the shell (the main window, its
// commands, dialogs, and the pauses and resumptions it tells the tuner), and the
// program's resources. (The pictures, the bars' faces and the readout's drawing are the
// views'.)
//
//   shell.h            programEntry and the main window's procedure
//   resource_script.h  strings, menus, accelerators and dialog templates by number
//   desktop_readout.h  the readout strip below the screen: the tuner's readout listener
//   remembered_choices.h  the player's choices as the settings store keeps them
//   settings_dialog.h  Start > Settings: the choices changed by touch or by keys
#pragma once

#include "app/desktop_readout.h"
#include "app/remembered_choices.h"
#include "app/resource_script.h"
#include "app/settings_dialog.h"
#include "app/shell.h"
