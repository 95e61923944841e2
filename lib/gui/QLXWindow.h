#pragma once
// What the program's windows share with the desktop's dialogs: Enter on a
// focused push button presses it, and a window's size given as its outer
// size, frame and title bar included, so it takes that room on the screen
// whatever frame the window manager draws.

#include <QMargins>
#include <QSize>

class QWidget;

// Enter (Return or the keypad's Enter, without Ctrl, Alt or Shift) on a push
// button of Window that has the focus presses that button, as Space does,
// whichever button is the window's default. Enter in any other control is
// left to that control and the window.
void EnterPressesFocusedButton(QWidget *Window);

// The frame the size of a window is reckoned with: until the window manager
// has drawn one, a nominal dialog frame (3 pixels each side and a 19-pixel
// caption); once Window is sized by SetOuterSize and shown framed, the
// frame as drawn.
QMargins NominalFrame();
QMargins WindowFrame(const QWidget *Window);
// Window's size with its frame.
QSize OuterSize(const QWidget *Window);

// Sizes Window so that its outer size is Outer (Fixed: not resizable), or
// sets its minimum outer size. When the window manager frames the window
// differently from the frame reckoned with, the inside changes by the
// difference, so the outer size and the minimum stay as given.
void SetOuterSize(QWidget *Window, QSize Outer);
void SetFixedOuterSize(QWidget *Window, QSize Outer);
void SetMinimumOuterSize(QWidget *Window, QSize Outer);
