/* kbhit: whether a character from the terminal waits. */
#include "korvan.h"
#include "monitor.h"

int kbhit(void) { return korvanService(kServiceCharWaiting, 0) != 0; }
