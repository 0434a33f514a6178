#pragma once

class QPushButton;

// The icon step of the small tool windows: the button shows only its icon, flat,
// at a fixed square size.
void makeIconButton(QPushButton *button, const char *iconResource, int side);
