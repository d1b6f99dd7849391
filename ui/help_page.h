#pragma once
// The help page (F1): a campaign's workflow on one page, in Japanese.

#include <QString>

class QWidget;

namespace waveharm {

/// The page's text as HTML.
QString helpPageHtml();

/// Shows the help page beside `parent` (one page at a time; a second F1 raises it).
void showHelpPage(QWidget* parent);

}  // namespace waveharm
