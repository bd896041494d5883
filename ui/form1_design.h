#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "platform/notice_service.h"

namespace tessaril {

/// A control's place and size in pixels at 96 dpi, from the top left of the client area.
struct DesignBox {
  int left;
  int top;
  int width;
  int height;
  friend bool operator==(const DesignBox&, const DesignBox&) = default;
};

enum class ControlKind {
  kLabel,    // Shows its text; takes no focus.
  kTextBox,  // A single-line path box.
  kButton,   // A command button, neither default nor cancel button.
};

/// The controls of `Form1`, in the order they are created: each label right before the box it
/// names, which is how Windows names a box for screen readers.
enum class Form1Control : std::size_t {
  kLabel1,
  kLabel2,
  kTxtSource,
  kLabel3,
  kTxtDest,
  kCmdConvert,
  kCmdEnde,
  kLabel4,
};

struct ControlDesign {
  std::string_view name;
  ControlKind kind;
  /// UTF-8; "&" marks the access key, "&&" stands for an "&".
  std::string_view text;
  DesignBox box;
};

// A label ends this far before its box, so that its colon never touches the box's frame.
inline constexpr int kLabelGap = 4;

/// Every control of the window, indexed by `Form1Control`. Laid out in twips, 15 to a pixel;
/// a box's label is as high as its box, so that its text stands centred on the box's text
/// line, and ends a gap before it.
inline constexpr std::array<ControlDesign, 8> kForm1Controls{{
    {"Label1",
     ControlKind::kLabel,
     "Mit diesem Programm können Sie ihren alten Katalog aus einer Version 1.0 bis 3.x in das "
     "Format der neuen Version 4.x konvertieren. Bitte beachten Sie, dass die Konversion nicht "
     "rückgängig gemacht werden kann!",
     {8, 8, 393, 57}},
    {"Label2", ControlKind::kLabel, "&alte Katalogdatei:", {8, 72, 104 - kLabelGap - 8, 19}},
    {"txtSource", ControlKind::kTextBox, "", {104, 72, 297, 19}},
    {"Label3", ControlKind::kLabel, "&neue Katalogdatei:", {8, 96, 104 - kLabelGap - 8, 19}},
    {"txtDest", ControlKind::kTextBox, "", {104, 96, 297, 19}},
    {"cmdConvert", ControlKind::kButton, "&Konvertieren", {200, 120, 113, 25}},
    {"cmdEnde", ControlKind::kButton, "&Ende", {320, 120, 81, 25}},
    {"Label4", ControlKind::kLabel, "www.velmora.example", {0, 136, 185, 17}},
}};

inline constexpr const ControlDesign& Design(Form1Control control) {
  return kForm1Controls[static_cast<std::size_t>(control)];
}

/// Whether `control` is a label that names the text box created right after it: it stands on
/// that box's text line, gives it its access key and, for screen readers, its name.
inline constexpr bool NamesABox(Form1Control control) {
  const auto index = static_cast<std::size_t>(control);
  return Design(control).kind == ControlKind::kLabel && index + 1 < kForm1Controls.size() &&
         kForm1Controls[index + 1].kind == ControlKind::kTextBox;
}

/// The focus moves with Tab in this order, and starts in the first.
inline constexpr std::array<Form1Control, 4> kForm1TabOrder{
    Form1Control::kTxtSource, Form1Control::kTxtDest, Form1Control::kCmdEnde,
    Form1Control::kCmdConvert};

inline constexpr std::string_view kForm1Title = "Tessaril";
inline constexpr int kForm1ClientWidth = 408;
inline constexpr int kForm1ClientHeight = 152;
/// The font size the places were laid out for: 9 points at 96 dpi.
inline constexpr double kForm1FontPixels = 12.0;

/// What assistive technology reads as the window's description: its warning.
inline constexpr std::string_view Form1Description() { return Design(Form1Control::kLabel1).text; }

/// `box` at `scale` times its size; edges are rounded, so that neighbours stay neighbours.
DesignBox Scaled(const DesignBox& box, double scale);

/// The width and height in pixels that a control's text needs, as its toolkit draws it in a box.
struct NeededSize {
  int width;
  int height;
};

/// How much larger than designed the window is laid out: at least the monitor's `dpi_scale`
/// and the font's size against the designed one, and then larger still until every control's
/// text fits its box at that scale, as `needed` measures it, so that a wide or large font is
/// never shrunk and no text is cut.
double LayoutScale(double dpi_scale, double font_pixels,
                   const std::function<NeededSize(Form1Control, const DesignBox&)>& needed);

/// The window a run shows once it has lasted about a second: what runs, a bar of how far it is,
/// and one button that ends it; titled like the notices.
inline constexpr std::string_view kProgressText =
    "Der Katalog wird konvertiert. Abbrechen lässt die neue Katalogdatei, wie sie war.";
inline constexpr std::string_view kProgressCancel = "Abbrechen";
/// What a screen reader calls the bar.
inline constexpr std::string_view kProgressBarName = "Fortschritt";
/// The bar's steps, from none to all of the source read: a percent each, so that a screen
/// reader hears of a new value at most a hundred times a run.
inline constexpr int kProgressSteps = 100;

/// `directory` with `file_name` after it, joined by exactly one `separator`.
std::string PathInDirectory(std::string directory, char separator, std::string_view file_name);

/// What the shared handlers need of a window, in that window's toolkit, and the handlers
/// themselves, written once for both windows.
class Form1Window {
 public:
  virtual ~Form1Window() = default;

  /// Fills both boxes with the default catalogues beside the executable, or in the home folder
  /// when the user may not write there; checks nothing.
  void Form_Load();
  /// Converts the catalogue named in `txtSource` into the one in `txtDest`, with the wait cursor
  /// until the notice; the conversion reports its outcome itself, so nothing reaches the caller.
  /// A run that lasts shows the progress window, which may end it.
  void cmdConvert_Click();
  /// Closes the window, which ends the program.
  void cmdEnde_Click();
  /// Whether the window may close now that it is asked to, by its title bar or the session's
  /// end: during a run it ends the run first, and closes itself once the run is over.
  bool QueryClose();

  /// The text of a box as UTF-8, as it stands.
  virtual std::string Text(Form1Control box) const = 0;
  virtual void SetText(Form1Control box, const std::string& utf8) = 0;
  /// The wait cursor over the whole program while `busy`.
  virtual void SetBusy(bool busy) = 0;
  virtual NoticeService& Notices() = 0;
  virtual void Close() = 0;
  /// Shows the progress window over this one, whose controls then take no input.
  virtual void ShowProgress() = 0;
  /// Sets the bar to `steps` of `kProgressSteps` and handles the input waiting meanwhile; false
  /// once the user ended the run there.
  virtual bool PumpProgress(int steps) = 0;
  /// Takes the progress window away and gives the controls back.
  virtual void HideProgress() = 0;

 private:
  friend class RunFeedback;
  bool running_ = false;
  bool closing_ = false;
};

}  // namespace tessaril
