// What assistive technology and tooltips say about each control of the
// window: its accessible name and description, and the key that drives it.
#pragma once

class QWidget;

// Sets the accessible name, description and tooltip of every described
// control under `window`, and lets Tab move through the encoder fields and
// their "Connect" button (every other control keeps click-only focus).
void describeControls(QWidget *window);
