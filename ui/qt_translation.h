#pragma once
// Qt's own texts in Japanese: the buttons and captions of the file dialogs and message
// boxes that Qt draws for the program.

class QCoreApplication;

namespace waveharm {

/// Loads Qt's Japanese translation (qtbase_ja) from Qt's translations folder into `app`.
/// False when the translation is not installed; Qt's texts then stay English.
bool installQtJapanese(QCoreApplication& app);

}  // namespace waveharm
