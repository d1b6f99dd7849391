#pragma once
// Starts a run in the analysis window from the settings screen.

namespace waveharm {

class SettingsScreen;
class AnalysisWindow;

/// Shows a new analysis window for the screen's settings and recordings; the run starts
/// at once. After the last recording (or when the window is closed) the window goes
/// away and the settings screen is shown again; "終了" ends the program. Returns the
/// window, which deletes itself when closed.
AnalysisWindow* launchAnalysisWindow(SettingsScreen& screen);

}  // namespace waveharm
