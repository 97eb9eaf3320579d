#pragma once
// Shared set-up of the program's fixed-size windows.
#include <QString>

class QLabel;
class QWidget;

namespace app {

// Frame of a fixed-size window: a title bar with the system menu and a close button, plus a
// minimise button when asked; no resizing.
void SetFixedFrame(QWidget* w, bool minimiseBox);
// Centres a window on the screen it is on (the primary screen before it is shown).
void CentreOnScreen(QWidget* w);
// A picture that fills the client area from its top-left corner, beneath every other child.
QLabel* AddBackground(QWidget* w, const QString& picture);

}  // namespace app
