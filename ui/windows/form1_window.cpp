#include "ui/windows/form1_window.h"

#include <commctrl.h>
// The GUIDs of the accessibility annotations, defined here.
#include <initguid.h>
#include <oleacc.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <array>
#include <cctype>
#include <cmath>
#include <optional>
#include <utility>

#include "platform/windows/wide_text.h"

namespace tessaril {
namespace {

constexpr wchar_t kClassName[] = L"TessarilForm1";
constexpr wchar_t kProgressClassName[] = L"TessarilProgress";
// The progress window's text, bar and button at 96 dpi, and its client area.
constexpr std::array<DesignBox, 3> kProgressPlaces{
    {{12, 10, 296, 34}, {12, 48, 296, 16}, {232, 72, 76, 25}}};
constexpr DesignBox kProgressClient{0, 0, 320, 107};
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// Not IDOK and IDCANCEL, which Return and Escape send from any control.
constexpr int kFirstControlId = 100;
constexpr int kProgramIcon = 1;

std::wstring Wide(std::string_view utf8) { return WideFromUtf8(utf8).value_or(std::wstring()); }

std::wstring ClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::kLabel:
      return WC_STATICW;
    case ControlKind::kTextBox:
      return WC_EDITW;
    case ControlKind::kButton:
      return WC_BUTTONW;
  }
  return {};
}

DWORD StyleOf(Form1Control control) {
  constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
  switch (Design(control).kind) {
    case ControlKind::kLabel:
      // A box's label stands on the box's text line and gives its access key to the box.
      if (NamesABox(control)) return kChild | SS_LEFT | SS_CENTERIMAGE;
      return kChild | SS_LEFT | SS_NOPREFIX;
    case ControlKind::kTextBox:
      return kChild | WS_TABSTOP | ES_AUTOHSCROLL;
    case ControlKind::kButton:
      return kChild | WS_TABSTOP | BS_PUSHBUTTON;
  }
  return kChild;
}

// How a control's text is drawn, as its style has it.
UINT DrawFlags(Form1Control control) {
  if (Design(control).kind != ControlKind::kLabel || NamesABox(control)) return DT_SINGLELINE;
  return DT_WORDBREAK | DT_NOPREFIX;
}

RECT ToRect(const DesignBox& box) {
  return {box.left, box.top, box.left + box.width, box.top + box.height};
}

// A box takes one dropped file as its whole text, and refuses several.
LRESULT CALLBACK PathBoxProcedure(HWND box, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                  DWORD_PTR) {
  if (message != WM_DROPFILES) return ::DefSubclassProc(box, message, wparam, lparam);
  const auto drop = reinterpret_cast<HDROP>(wparam);
  if (::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
    std::wstring path(::DragQueryFileW(drop, 0, nullptr, 0), L'\0');
    ::DragQueryFileW(drop, 0, path.data(), static_cast<UINT>(path.size() + 1));
    // Through the selection, so that Ctrl+Z brings the old text back.
    ::SendMessageW(box, EM_SETSEL, 0, -1);
    ::SendMessageW(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
    ::SetFocus(box);
  }
  ::DragFinish(drop);
  return 0;
}

// Screen readers read `description` as the window's, or nothing when it is null. The system
// keeps it beside the window until it is cleared.
void AnnotateDescription(HWND window, const wchar_t* description) {
  IAccPropServices* annotations = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IAccPropServices, reinterpret_cast<void**>(&annotations)))) {
    return;
  }
  const auto client = static_cast<DWORD>(OBJID_CLIENT);
  if (description != nullptr) {
    annotations->SetHwndPropStr(window, client, CHILDID_SELF, PROPID_ACC_DESCRIPTION, description);
  } else {
    MSAAPROPID property = PROPID_ACC_DESCRIPTION;
    annotations->ClearHwndProps(window, client, CHILDID_SELF, &property, 1);
  }
  annotations->Release();
}

}  // namespace

void MessageBoxNotices::ShowNotice(std::string_view text, NoticeIcon icon) {
  UINT kind = MB_OK;
  switch (icon) {
    case NoticeIcon::kInformation:
      kind |= MB_ICONINFORMATION;
      break;
    case NoticeIcon::kCritical:
      kind |= MB_ICONERROR;
      break;
  }
  if (const HWND focus = ::GetFocus(); focus != nullptr && ::IsChild(owner_, focus)) {
    focus_ = focus;
  }
  ::MessageBoxW(owner_, Wide(text).c_str(), Wide(kApplicationTitle).c_str(), kind);
  // The owner gets the focus back itself, not the control that had it.
  if (focus_ != nullptr) ::SetFocus(focus_);
}

Form1::Form1(HINSTANCE instance) : instance_(instance) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = Procedure;
  window_class.hInstance = instance;
  window_class.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(kProgramIcon));
  window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kClassName;
  ::RegisterClassExW(&window_class);  // Fails harmlessly for a second window.
  ::CreateWindowExW(0, kClassName, Wide(kForm1Title).c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                    kForm1ClientWidth, kForm1ClientHeight, nullptr, nullptr, instance, this);
  CreateControls(instance);
  Layout(::GetDpiForWindow(window_));
  AnnotateDescription(window_, Wide(Form1Description()).c_str());
}

Form1::~Form1() {
  if (window_ != nullptr) ::DestroyWindow(window_);
  if (font_ != nullptr) ::DeleteObject(font_);
}

void Form1::CreateControls(HINSTANCE instance) {
  int id = kFirstControlId;
  for (std::size_t i = 0; i < kForm1Controls.size(); ++i) {
    const ControlDesign& design = kForm1Controls[i];
    const DWORD ex_style = design.kind == ControlKind::kTextBox ? WS_EX_CLIENTEDGE : 0;
    controls_[i] =
        ::CreateWindowExW(ex_style, ClassOf(design.kind).c_str(), Wide(design.text).c_str(),
                          StyleOf(static_cast<Form1Control>(i)), 0, 0, 0, 0, window_,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), instance, nullptr);
    if (design.kind != ControlKind::kTextBox) continue;
    ::SHAutoComplete(controls_[i], SHACF_FILESYSTEM);
    ::DragAcceptFiles(controls_[i], TRUE);
    ::SetWindowSubclass(controls_[i], PathBoxProcedure, 0, 0);
  }
  // Tab follows the order of the windows; a box's label moves with it, so that the label's
  // access key still leads into its box.
  HWND after = control(kForm1TabOrder.front());
  for (std::size_t i = 1; i < kForm1TabOrder.size(); ++i) {
    const auto index = static_cast<std::size_t>(kForm1TabOrder[i]);
    if (index > 0 && NamesABox(static_cast<Form1Control>(index - 1))) {
      ::SetWindowPos(controls_[index - 1], after, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      after = controls_[index - 1];
    }
    ::SetWindowPos(controls_[index], after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    after = controls_[index];
  }
  focus_ = control(kForm1TabOrder.front());
}

NeededSize Form1::Needed(HDC dc, Form1Control control, const DesignBox& box) const {
  const ControlDesign& design = Design(control);
  if (design.kind == ControlKind::kTextBox) return {0, 0};
  RECT needed = ToRect(box);
  ::DrawTextW(dc, Wide(design.text).c_str(), -1, &needed, DrawFlags(control) | DT_CALCRECT);
  // A button's frame and focus rectangle take a few pixels on each side.
  const LONG frame = design.kind == ControlKind::kButton ? 8 : 0;
  return {needed.right - needed.left + 2 * frame, needed.bottom - needed.top};
}

void Form1::Layout(UINT dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  ::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi);
  const HFONT font = ::CreateFontIndirectW(&metrics.lfMessageFont);
  const HDC dc = ::GetDC(window_);
  const HGDIOBJ old_font = ::SelectObject(dc, font);
  TEXTMETRICW text_metrics{};
  ::GetTextMetricsW(dc, &text_metrics);
  const double font_pixels = text_metrics.tmHeight - text_metrics.tmInternalLeading;
  const double scale = LayoutScale(
      dpi / 96.0, font_pixels,
      [&](Form1Control control, const DesignBox& box) { return Needed(dc, control, box); });
  ::SelectObject(dc, old_font);
  ::ReleaseDC(window_, dc);

  for (std::size_t i = 0; i < kForm1Controls.size(); ++i) {
    const DesignBox box = Scaled(kForm1Controls[i].box, scale);
    ::SetWindowPos(controls_[i], nullptr, box.left, box.top, box.width, box.height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
  if (font_ != nullptr) ::DeleteObject(font_);
  font_ = font;
  // The icons in the sizes this dpi asks for, from the renderings in the icon file.
  for (const auto& [kind, size] : {std::pair<WPARAM, int>(ICON_BIG, SM_CXICON),
                                   std::pair<WPARAM, int>(ICON_SMALL, SM_CXSMICON)}) {
    const int pixels = ::GetSystemMetricsForDpi(size, dpi);
    ::SendMessageW(window_, WM_SETICON, kind,
                   reinterpret_cast<LPARAM>(::LoadImageW(instance_, MAKEINTRESOURCEW(kProgramIcon),
                                                         IMAGE_ICON, pixels, pixels, LR_SHARED)));
  }
  scale_ = scale;
  const DesignBox client = Scaled({0, 0, kForm1ClientWidth, kForm1ClientHeight}, scale);
  RECT frame{0, 0, client.width, client.height};
  ::AdjustWindowRectExForDpi(&frame, kStyle, FALSE, 0, dpi);
  ::SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string Form1::Text(Form1Control box) const {
  const HWND edit = control(box);
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(::GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
  return Utf8FromWide(text);
}

void Form1::SetText(Form1Control box, const std::string& utf8) {
  ::SetWindowTextW(control(box), Wide(utf8).c_str());
}

void Form1::SetBusy(bool busy) {
  busy_ = busy;
  ::SetCursor(::LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void Form1::Close() { ::DestroyWindow(window_); }

// Owned by this window and over it, its controls the common ones; this window's controls take
// no input meanwhile, but its title bar still closes it, which ends the run first.
void Form1::ShowProgress() {
  const INITCOMMONCONTROLSEX progress_bars{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&progress_bars);
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = ProgressProcedure;
  window_class.hInstance = instance_;
  window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kProgressClassName;
  ::RegisterClassExW(&window_class);  // Fails harmlessly the second time.
  constexpr DWORD kProgressStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  const DesignBox client = Scaled(kProgressClient, scale_);
  RECT frame{0, 0, client.width, client.height}, owner{};
  ::AdjustWindowRectExForDpi(&frame, kProgressStyle, FALSE, WS_EX_DLGMODALFRAME,
                             ::GetDpiForWindow(window_));
  ::GetWindowRect(window_, &owner);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  progress_ = ::CreateWindowExW(
      WS_EX_DLGMODALFRAME, kProgressClassName, Wide(kApplicationTitle).c_str(), kProgressStyle,
      (owner.left + owner.right - width) / 2, (owner.top + owner.bottom - height) / 2, width,
      height, window_, nullptr, instance_, nullptr);
  ::SetWindowLongPtrW(progress_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  const std::array<std::pair<const wchar_t*, DWORD>, 3> kinds{
      {{WC_STATICW, SS_LEFT},
       {PROGRESS_CLASSW, PBS_SMOOTH},
       {WC_BUTTONW, WS_TABSTOP | BS_DEFPUSHBUTTON}}};
  const std::array<std::string_view, 3> texts{kProgressText, kProgressBarName, kProgressCancel};
  std::array<HWND, 3> children{};
  for (std::size_t i = 0; i < children.size(); ++i) {
    const DesignBox box = Scaled(kProgressPlaces[i], scale_);
    children[i] = ::CreateWindowExW(
        0, kinds[i].first, Wide(texts[i]).c_str(), WS_CHILD | WS_VISIBLE | kinds[i].second,
        box.left, box.top, box.width, box.height, progress_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(i == 2 ? IDCANCEL : 0)), instance_, nullptr);
    ::SendMessageW(children[i], WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  }
  progress_bar_ = children[1];
  ::SendMessageW(progress_bar_, PBM_SETRANGE32, 0, kProgressSteps);
  if (const HWND focus = ::GetFocus(); focus != nullptr && ::IsChild(window_, focus)) {
    focus_ = focus;
  }
  // The focus goes to "Abbrechen" before the controls it leaves are disabled, so that it does
  // not pass through another control on its way.
  run_ended_ = false;
  ::ShowWindow(progress_, SW_SHOW);
  ::SetFocus(children[2]);
  for (const HWND control : controls_) ::EnableWindow(control, FALSE);
}

bool Form1::PumpProgress(int steps) {
  ::SendMessageW(progress_bar_, PBM_SETPOS, static_cast<WPARAM>(steps), 0);
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    // The program is to end: the run ends first, and the message loop hears of it after.
    if (message.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    if (::IsDialogMessageW(progress_, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return !run_ended_;
}

void Form1::HideProgress() {
  for (const HWND control : controls_) ::EnableWindow(control, TRUE);
  ::DestroyWindow(std::exchange(progress_, nullptr));
  progress_bar_ = nullptr;
  if (focus_ != nullptr) ::SetFocus(focus_);
}

// Its button, Escape and its close box end the run; the window stays until the run is over.
LRESULT CALLBACK Form1::ProgressProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* form = reinterpret_cast<Form1*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  const bool ends_run =
      message == WM_CLOSE || (message == WM_COMMAND && LOWORD(wparam) == IDCANCEL);
  if (form == nullptr || !ends_run) return ::DefWindowProcW(window, message, wparam, lparam);
  form->run_ended_ = true;
  return 0;
}

void Form1::OnCommand(int id) {
  const HWND focus = ::GetFocus();
  switch (id) {
    case IDOK:  // Return: presses a focused button, and nothing in a box.
      if (focus == control(Form1Control::kCmdConvert) || focus == control(Form1Control::kCmdEnde)) {
        ::SendMessageW(focus, BM_CLICK, 0, 0);
      }
      return;
    case kFirstControlId + static_cast<int>(Form1Control::kCmdConvert):
      cmdConvert_Click();
      return;
    case kFirstControlId + static_cast<int>(Form1Control::kCmdEnde):
      cmdEnde_Click();
      return;
    default:  // Escape (IDCANCEL) and the boxes' own notifications start nothing.
      return;
  }
}

LRESULT CALLBACK Form1::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    form->window_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<Form1*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (form == nullptr) return ::DefWindowProcW(window, message, wparam, lparam);
  return form->Handle(message, wparam, lparam);
}

LRESULT Form1::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED) OnCommand(LOWORD(wparam));
      return 0;
    case WM_ACTIVATE:
      // Where the focus was when the window lost it is where it goes back.
      if (LOWORD(wparam) == WA_INACTIVE) {
        if (const HWND focus = ::GetFocus(); focus != nullptr && ::IsChild(window_, focus)) {
          focus_ = focus;
        }
      } else if (const HWND focus = ::GetFocus();
                 focus_ != nullptr && (focus == nullptr || focus == window_)) {
        ::SetFocus(focus_);
      }
      return 0;
    case WM_NEXTDLGCTL:
      // A label's access key: the keyboard handling focuses the label, then the next control.
      if (LOWORD(lparam) != 0) {
        ::SetFocus(reinterpret_cast<HWND>(wparam));
      } else {
        ::SetFocus(::GetNextDlgTabItem(window_, ::GetFocus(), wparam != 0));
      }
      return 0;
    case WM_CLOSE:
      if (QueryClose()) ::DestroyWindow(window_);
      return 0;
    case WM_SETCURSOR:
      if (!busy_) break;
      ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
      return TRUE;
    case WM_DPICHANGED: {
      Layout(HIWORD(wparam));
      const auto* suggested = reinterpret_cast<const RECT*>(lparam);
      ::SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_NCDESTROY: {
      const HWND window = window_;
      AnnotateDescription(window, nullptr);
      ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      window_ = nullptr;
      ::PostQuitMessage(0);
      return ::DefWindowProcW(window, message, wparam, lparam);
    }
    default:
      break;
  }
  return ::DefWindowProcW(window_, message, wparam, lparam);
}

bool FormKeyboardMessage(const Form1& form, MSG& message) {
  if (form.handle() == nullptr) return false;
  // A button's access key presses it where the focus is, so that the focus is still there
  // after the notice; the dialog keyboard handling would move it onto the button first.
  if (message.message == WM_SYSCHAR) {
    for (std::size_t i = 0; i < kForm1Controls.size(); ++i) {
      const ControlDesign& design = kForm1Controls[i];
      const std::size_t mark = design.text.find('&');
      if (design.kind != ControlKind::kButton || mark + 1 >= design.text.size()) continue;
      if (std::tolower(design.text[mark + 1]) != std::tolower(static_cast<int>(message.wParam))) {
        continue;
      }
      ::SendMessageW(form.handle(), WM_COMMAND, MAKEWPARAM(kFirstControlId + i, BN_CLICKED),
                     reinterpret_cast<LPARAM>(form.control(static_cast<Form1Control>(i))));
      return true;
    }
  }
  return ::IsDialogMessageW(form.handle(), &message);
}

int RunMessageLoop(const Form1& form) {
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (FormKeyboardMessage(form, message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace tessaril
