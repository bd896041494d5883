#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/form1_design.h"

namespace tessaril::testing {

/// What the user and a screen reader find of a control, or of the window: its client area and
/// its title.
struct SeenControl {
  struct {
    int left, top, right, bottom;
  } box;             // In pixels in the window's client area.
  std::string text;  // UTF-8, with "&" before the access key.
  std::string name;  // What a screen reader says.
  bool focused;      // Has the keyboard focus.
};

// In the order of the drivers' key tables, Alt and a letter after the others; kEnter is the
// keypad's, kClick the mouse's on "Konvertieren".
enum class Key { kTab, kReturn, kEnter, kEscape, kAltA, kAltE, kAltK, kAltN, kClick };

/// How the user ends a run whose progress window shows: its button, Escape in it, or closing
/// the main window by its title bar.
enum class EndRun { kButton, kEscape, kCloseWindow };

/// `Form1` of one toolkit, worked as the keyboard, the mouse, a file manager and a screen
/// reader reach it; the tests that both windows must pass are written once against it.
class Form1Driver {
 public:
  virtual ~Form1Driver() = default;
  virtual Form1Window& form() = 0;
  /// The window laid out for a font `pixels` high at the system's dpi (0: the system's own).
  virtual void UseFont(int pixels) = 0;
  /// A control as it is now; without one, the window's client area and title.
  virtual SeenControl Seen(std::optional<Form1Control> control) const = 0;
  virtual bool HasIcon() const = 0;
  virtual void Focus(Form1Control control) = 0;
  /// Types `key` where the focus is, and answers each notice it opens with OK; gives those
  /// notices as "title|icon|buttons|modal over the window|[wait cursor|]text". `acts`: the key
  /// is to show a notice or close the window, which may take a moment. A progress window that
  /// shows meanwhile is given as "progress|title|text|button[ focused]|bar from-to[|main window
  /// takes input]", all as a screen reader reads them, and the run is ended as `end_run` says.
  virtual std::vector<std::string> Press(Key key, bool acts, EndRun end_run = EndRun::kButton) = 0;
  /// Drops files with these UTF-8 paths on `box`, as a file manager does.
  virtual void Drop(Form1Control box, const std::vector<std::string>& paths) = 0;
  /// Whether the wait cursor shows.
  virtual bool Busy() const = 0;
  virtual bool IsOpen() const = 0;
  /// The toolkit's own checks of the window as it is laid out now.
  virtual void ExpectOwnLayout() const {}
};

/// The window of the toolkit under test, shown and active, in the system's font.
std::unique_ptr<Form1Driver> OpenForm1();

}  // namespace tessaril::testing
