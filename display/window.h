// The full-screen window, its procedure, the keyboard and typed-character state and the message pump.
#pragma once

#include "platform/platform.h"

#include <cstdint>

// Keyboard state of this pump and of the previous one (bit 7 set: down), by virtual-key code.
extern uint8_t keys[256];
extern uint8_t lastkeys[256];
// Characters typed and not yet taken by getkey, oldest first, zero-terminated (at most 499).
extern char typedkeys[500];
constexpr int maxtypedkeys = 499;

// Create the window (or show it again when it exists) and return it.
pfwindow* makewindow(pfinstance* instance, int width, int height, const char* title);
// Show the mouse cursor and hide the window.
void hidewindow();
// The window procedure: paint, destroy, typed characters and the mouse.
intptr_t windowproc(pfwindow* window, uint32_t message, uintptr_t wparam, intptr_t lparam);
// Read the keyboard and empty the message queue; while the window is minimised the display is
// suspended and rebuilt on restore. Returns 1 when a quit message was taken, else 0.
int dealwithmessages();
// Take the oldest typed character, or 0 when there is none.
int getkey();

// True when the key is down in the given state.
inline bool keydown(const uint8_t* state, int vk) { return (state[vk] & 0x80) != 0; }
