#pragma once

namespace panel {

// Gives every window of the program the icon that its desktop entry names,
// and tells the desktop which entry the windows belong to.
void setProgramIcon();

} // namespace panel
