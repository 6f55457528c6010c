#pragma once

// What screen readers are told about the setup window's own widgets: the window is a frame
// named by its caption, and the two-row tab control a page-tab list. Installing twice is
// harmless.
namespace PagefrmAccessibility {
void install();
}
