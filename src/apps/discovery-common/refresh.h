#pragma once

// Refresh: empties the list and its control, joins the group on interfaces that came up since the last
// walk (and leaves those that went), then probes through every usable interface. GUI thread.
// Always returns -4 ("continue"): Refresh never closes the window; the name is the button's callback's.
int btn_exit_cb();
