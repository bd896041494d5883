#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "platform/notice_service.h"
#include "ui/form1_design.h"

namespace tessaril {

/// Shows each notice as a message box over `owner`, titled like every notice, OK only, and
/// gives the focus back to the control that had it, which it keeps in `focus`. Both are the
/// window's own and may change.
class MessageBoxNotices : public NoticeService {
 public:
  MessageBoxNotices(const HWND& owner, HWND& focus) : owner_(owner), focus_(focus) {}
  void ShowNotice(std::string_view text, NoticeIcon icon) override;

 private:
  const HWND& owner_;
  HWND& focus_;
};

/// The program's one window on the Win32 API, laid out from the shared design for the
/// monitor's dpi and the system's message font.
class Form1 : public Form1Window {
 public:
  /// Creates the window, hidden; `instance` holds the program's icon.
  explicit Form1(HINSTANCE instance);
  ~Form1() override;
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  HWND handle() const { return window_; }
  HWND control(Form1Control control) const { return controls_[static_cast<std::size_t>(control)]; }

  std::string Text(Form1Control box) const override;
  void SetText(Form1Control box, const std::string& utf8) override;
  void SetBusy(bool busy) override;
  NoticeService& Notices() override { return notices_; }
  void Close() override;
  void ShowProgress() override;
  bool PumpProgress(int steps) override;
  void HideProgress() override;

  /// The progress window while a run shows it, else null.
  HWND progress() const { return progress_; }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK ProgressProcedure(HWND window, UINT message, WPARAM wparam,
                                            LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void CreateControls(HINSTANCE instance);
  void Layout(UINT dpi);
  NeededSize Needed(HDC dc, Form1Control control, const DesignBox& box) const;
  void OnCommand(int id);

  HINSTANCE instance_;
  HWND window_ = nullptr;
  std::array<HWND, kForm1Controls.size()> controls_{};
  HFONT font_ = nullptr;
  double scale_ = 1.0;    // Of the layout, against the design at 96 dpi.
  HWND focus_ = nullptr;  // The control to give the focus back to on activation.
  bool busy_ = false;
  HWND progress_ = nullptr;  // The progress window, its bar,
  HWND progress_bar_ = nullptr;
  bool run_ended_ = false;  // and whether the user ended the run there.
  MessageBoxNotices notices_{window_, focus_};
};

/// Hands `message` to the window's keyboard handling (Tab, access keys, Return and Escape);
/// false when the caller is to translate and dispatch it.
bool FormKeyboardMessage(const Form1& form, MSG& message);

/// Runs the program's messages until the window is closed; gives the exit code.
int RunMessageLoop(const Form1& form);

}  // namespace tessaril
