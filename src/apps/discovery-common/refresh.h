#pragma once

// Refresh: empties the list and its control, then probes through every usable interface. GUI thread.
// Always returns -4 ("continue"): Refresh never closes the window.
int btn_exit_cb();
