// platform/kernel/: the few operating-system services the capture road needs, with the
// handheld's numbers and habits on top of POSIX threads.
//
//   threads.h          auto-reset events, kernel threads with exit codes and priorities,
//                      and each thread's own bounded message queue
//   window_messages.h  the main thread's queue of posted window messages, which carries
//                      the capture thread's wake-up to the main window
//   bounded_queue.h    the fixed ring both kinds of queue keep their messages in
#pragma once

#include "platform/kernel/bounded_queue.h"
#include "platform/kernel/threads.h"
#include "platform/kernel/window_messages.h"
