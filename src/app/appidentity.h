// The application's identity: the settings store, the window title and the
// log read it back from the application object.
#pragma once

// Sets organisation name, organisation domain, application name and version
// on the application object, in that order.
void applyApplicationIdentity();
