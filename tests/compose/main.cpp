// The window tests' own main: offscreen, Japanese Qt texts, the watchdog.
#include "ui/main.cpp"
