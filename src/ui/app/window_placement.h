#pragma once
// Top-level windows placed by their outer frame, as the settings file keeps them. The frame's
// size is known only once the window manager has decorated a shown window; until then the
// frame last measured on any window stands in for it, so that a place stored at shutdown is
// the place restored at the next start, however often the program starts.
#include <QRect>

class QObject;
class QWidget;

namespace jqz {

// The window's outer rectangle (frame included).
QRect OuterGeometry(const QWidget* window);

// Places the window by its outer rectangle: brought onto the screen that holds most of it
// (the primary screen when none does) and cut to that screen's free area.
void PlaceByFrame(QWidget* window, const QRect& outer);

// Shows the window, waits briefly for its frame, and places it again with that frame.
void ShowPlaced(QWidget* window, const QRect& outer);

// The outer rectangle moved and cut to lie on a screen's free area.
QRect FitOnScreen(const QRect& outer);

// Makes a window no larger than the free area of the screen it will appear on (its parent's,
// else the primary one), frame included. A window whose controls need more room than that
// gets what it holds put into a scroll area, so that every control can still be reached.
void FitToScreen(QWidget* window);

// From now on, for as long as `owner` lives, every dialog the application shows is fitted to
// the screen it appears on and moved wholly onto its free area.
void FitDialogsToScreen(QObject* owner);

// Fits a dialog to the screen it will appear on and centres it there.
void CentreDialog(QWidget* dialog);

}  // namespace jqz
