// Drives the Win32 window for the shared window tests through window messages, as the keyboard,
// the mouse, a file manager and a screen reader reach it. TESSARIL_TEST_DPI names the dpi the
// system is set to.
#include <gtest/gtest.h>
#include <windows.h>
//
#include <commctrl.h>
#include <ole2.h>
#include <oleacc.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "platform/windows/wide_text.h"
#include "tests/ui/form1_driver.h"
#include "ui/windows/form1_window.h"

namespace tessaril::testing {
namespace {

std::string WindowText(HWND window) {
  wchar_t text[1024] = L"";
  ::GetWindowTextW(window, text, static_cast<int>(std::size(text)));
  return Utf8FromWide(text);
}

// What a screen reader reads as the name of `window`'s client area.
std::string AccessibleName(HWND window) {
  IAccessible* accessible = nullptr;
  BSTR name = nullptr;
  VARIANT self{};
  self.vt = VT_I4;  // CHILDID_SELF
  if (SUCCEEDED(::AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT),
                                             __uuidof(IAccessible),
                                             reinterpret_cast<void**>(&accessible)))) {
    accessible->get_accName(self, &name);
    accessible->Release();
  }
  const std::string result = name != nullptr ? Utf8FromWide(name) : "(none)";
  ::SysFreeString(name);
  return result;
}

// The progress window as the shared tests read it, its controls in the order made.
std::string DescribedProgress(HWND form, HWND progress) {
  const HWND text = ::GetWindow(progress, GW_CHILD), bar = ::GetWindow(text, GW_HWNDNEXT),
             button = ::GetWindow(bar, GW_HWNDNEXT);
  PBRANGE range{};
  ::SendMessageW(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  const auto value = static_cast<int>(::SendMessageW(bar, PBM_GETPOS, 0, 0));
  bool idle = true;
  for (HWND child = ::GetWindow(form, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    idle = idle && !::IsWindowEnabled(child);
  }
  return "progress|" + AccessibleName(progress) + "|" + AccessibleName(text) + "|" +
         AccessibleName(button) + (::GetFocus() == button ? " focused" : "") + "|bar " +
         AccessibleName(bar) + " " + std::to_string(range.iLow) + "-" +
         std::to_string(range.iHigh) +
         (value < range.iLow || value > range.iHigh ? " beyond its range" : "") +
         (value == range.iHigh ? " full" : "") + (idle ? "" : "|main window takes input");
}

// Describes the notice or the progress window in front, if there is one, and answers it: a
// notice with OK, a progress window as `g_end_run` says.
HWND g_form = nullptr;
const Form1* g_window = nullptr;
EndRun g_end_run = EndRun::kButton;
std::vector<std::string> g_notices;
void CALLBACK AnswerNotice(HWND, UINT, UINT_PTR, DWORD) {
  if (const HWND progress = g_window->progress();
      progress != nullptr && (g_notices.empty() || !g_notices.back().starts_with("progress|"))) {
    g_notices.push_back(DescribedProgress(g_form, progress));
    const HWND button = ::GetDlgItem(progress, IDCANCEL);
    if (g_end_run == EndRun::kButton) ::SendMessageW(button, BM_CLICK, 0, 0);
    if (g_end_run == EndRun::kEscape) ::PostMessageW(::GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);
    if (g_end_run == EndRun::kCloseWindow) ::PostMessageW(g_form, WM_CLOSE, 0, 0);
    return;
  }
  const HWND box = ::GetActiveWindow();
  wchar_t text[1024] = L"";
  if (::GetDlgItemTextW(box, 0xFFFF, text, 1024) == 0) return;
  std::string seen = WindowText(box) + "|";
  for (HWND child = nullptr; (child = ::FindWindowExW(box, child, nullptr, nullptr));) {
    const auto icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
    if (icon == ::LoadIconW(nullptr, IDI_INFORMATION)) seen += "information|";
    if (icon == ::LoadIconW(nullptr, IDI_ERROR)) seen += "critical|";
    wchar_t kind[8] = L"";
    ::GetClassNameW(child, kind, 8);
    if (std::wcscmp(kind, L"Button") == 0 && ::IsWindowVisible(child)) {
      seen += WindowText(child) + "|";
    }
  }
  if (::GetWindow(box, GW_OWNER) == g_form && !::IsWindowEnabled(g_form)) {
    seen += "modal over the window|";
  }
  if (::GetCursor() == ::LoadCursorW(nullptr, IDC_WAIT)) seen += "wait cursor|";
  g_notices.push_back(seen + Utf8FromWide(text));
  ::SendMessageW(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
}

// A list of dropped files as a file manager hands it over.
HDROP DroppedFiles(const std::vector<std::string>& paths) {
  std::wstring names;
  for (const std::string& path : paths) names += WideFromUtf8(path).value() + L'\0';
  names += L'\0';
  const HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::memcpy(drop + 1, names.data(), names.size() * sizeof(wchar_t));
  ::GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

// The window with the system's message font at a height of its own, which is the system's
// again when the window is gone.
class Win32Form1 : public Form1Driver {
 public:
  Win32Form1() { UseFont(0); }
  ~Win32Form1() override { Shut(); }

  Form1Window& form() override { return *form_; }
  // A set font is `pixels` high at the system's dpi.
  void UseFont(int pixels) override {
    Shut();
    // Path completion and screen readers' objects are COM's, as in the program.
    [[maybe_unused]] static const HRESULT ole = ::OleInitialize(nullptr);
    metrics_.cbSize = sizeof metrics_;
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics_, &metrics_, 0);
    NONCLIENTMETRICSW changed = metrics_;
    if (pixels != 0) changed.lfMessageFont.lfHeight = -pixels;
    ::SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof changed, &changed, 0);
    form_ = std::make_unique<Form1>(::GetModuleHandleW(nullptr));
    g_form = form_->handle();
    g_window = form_.get();
    ::ShowWindow(g_form, SW_SHOW);
    ::SetForegroundWindow(g_form);
    Pump();
  }
  SeenControl Seen(std::optional<Form1Control> control) const override {
    const HWND window = control ? form_->control(*control) : form_->handle();
    RECT box;
    if (!control) {
      ::GetClientRect(window, &box);
    } else if (::GetWindowRect(window, &box)) {
      ::MapWindowPoints(HWND_DESKTOP, form_->handle(), reinterpret_cast<POINT*>(&box), 2);
    }
    return {{box.left, box.top, box.right, box.bottom},
            WindowText(window),
            AccessibleName(window),
            ::GetFocus() == window};
  }
  bool HasIcon() const override {
    return ::SendMessageW(form_->handle(), WM_GETICON, ICON_BIG, 0) != 0;
  }
  void Focus(Form1Control control) override { ::SetFocus(form_->control(control)); }
  std::vector<std::string> Press(Key key, bool, EndRun end_run) override {
    // In the order of Key: what the keyboard sends to the focused control. The keypad's Enter
    // is Return with the extended-key flag; Alt and a letter come as a system character.
    const WPARAM keys[] = {VK_TAB, VK_RETURN, VK_RETURN, VK_ESCAPE, L'a', L'e', L'k', L'n'};
    const bool alt = key >= Key::kAltA;
    const LPARAM flags = alt ? LPARAM{1} << 29 : 1 | (key == Key::kEnter ? LPARAM{1} << 24 : 0);
    g_notices.clear();
    g_end_run = end_run;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 10, AnswerNotice);
    if (key == Key::kClick) {
      const HWND button = form_->control(Form1Control::kCmdConvert);
      ::PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
      ::PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    } else {
      ::PostMessageW(::GetFocus(), alt ? WM_SYSCHAR : WM_KEYDOWN, keys[static_cast<int>(key)],
                     flags);
    }
    Pump();
    ::KillTimer(nullptr, timer);
    return g_notices;
  }
  void Drop(Form1Control box, const std::vector<std::string>& paths) override {
    ::SendMessageW(form_->control(box), WM_DROPFILES, reinterpret_cast<WPARAM>(DroppedFiles(paths)),
                   0);
  }
  bool Busy() const override { return ::GetCursor() == ::LoadCursorW(nullptr, IDC_WAIT); }
  bool IsOpen() const override { return form_->handle() != nullptr; }

 private:
  void Shut() {
    if (form_ == nullptr) return;
    form_.reset();
    ::SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof metrics_, &metrics_, 0);
  }
  // Hands every waiting message to the window as its own message loop does; the closed
  // window's quit message would end the next notice at once.
  void Pump() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT || FormKeyboardMessage(*form_, message)) continue;
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }

  NONCLIENTMETRICSW metrics_{};
  std::unique_ptr<Form1> form_;
};

}  // namespace

std::unique_ptr<Form1Driver> OpenForm1() { return std::make_unique<Win32Form1>(); }

}  // namespace tessaril::testing
