// Works the Win32 window through window messages, as the keyboard, the mouse, a file manager
// and a screen reader reach it. TESSARIL_TEST_DPI names the dpi the system is set to.
#include <gtest/gtest.h>
#include <windows.h>
//
#include <ole2.h>
#include <oleacc.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "ui/windows/form1_window.h"

namespace tessaril {
namespace {

using C = Form1Control;

const wchar_t kWarning[] =
    L"Mit diesem Programm können Sie ihren alten Katalog aus einer Version 1.0 bis 3.x in das "
    L"Format der neuen Version 4.x konvertieren. Bitte beachten Sie, dass die Konversion nicht "
    L"rückgängig gemacht werden kann!";

struct Expected {
  C control;
  const wchar_t* text;
  const wchar_t* name;  // What a screen reader says.
  RECT box;             // At 96 dpi: left, top, right, bottom.
};
const Expected kControls[] = {
    {C::kLabel1, kWarning, kWarning, {8, 8, 401, 65}},
    {C::kLabel2, L"&alte Katalogdatei:", L"alte Katalogdatei:", {8, 72, 100, 91}},
    {C::kTxtSource, L"", L"alte Katalogdatei:", {104, 72, 401, 91}},
    {C::kLabel3, L"&neue Katalogdatei:", L"neue Katalogdatei:", {8, 96, 100, 115}},
    {C::kTxtDest, L"", L"neue Katalogdatei:", {104, 96, 401, 115}},
    {C::kCmdConvert, L"&Konvertieren", L"Konvertieren", {200, 120, 313, 145}},
    {C::kCmdEnde, L"&Ende", L"Ende", {320, 120, 401, 145}},
    {C::kLabel4, L"www.velmora.example", L"www.velmora.example", {0, 136, 185, 153}},
};

UINT SystemDpi() {
  const char* dpi = std::getenv("TESSARIL_TEST_DPI");
  return dpi == nullptr ? 96 : static_cast<UINT>(std::atoi(dpi));
}

std::wstring WindowText(HWND window) {
  wchar_t text[1024] = L"";
  ::GetWindowTextW(window, text, static_cast<int>(std::size(text)));
  return text;
}

// What a screen reader reads as the name of `window`'s client area.
std::wstring AccessibleName(HWND window) {
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
  const std::wstring result = name != nullptr ? name : L"(none)";
  ::SysFreeString(name);
  return result;
}

// The window with the message font at `font_height` (0: the system's own), shown and active.
class Window {
 public:
  explicit Window(LONG font_height = 0) {
    // Path completion and screen readers' objects are COM's, as in the program.
    [[maybe_unused]] static const HRESULT ole = ::OleInitialize(nullptr);
    metrics_.cbSize = sizeof metrics_;
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics_, &metrics_, 0);
    if (font_height != 0) {
      NONCLIENTMETRICSW changed = metrics_;
      changed.lfMessageFont.lfHeight = font_height;
      ::SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof changed, &changed, 0);
    }
    form_ = std::make_unique<Form1>(::GetModuleHandleW(nullptr));
    ::ShowWindow(form_->handle(), SW_SHOW);
    ::SetForegroundWindow(form_->handle());
    Pump();
  }
  ~Window() {
    form_.reset();
    ::SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof metrics_, &metrics_, 0);
  }
  Form1& form() { return *form_; }
  HWND operator[](C control) const { return form_->control(control); }

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
  // A key as the keyboard sends it to the focused control; `alt_char` is Alt with that letter.
  void Key(WPARAM key, bool alt_char = false) {
    ::PostMessageW(::GetFocus(), alt_char ? WM_SYSCHAR : WM_KEYDOWN, key,
                   alt_char ? LPARAM{1} << 29 : 1);
    Pump();
  }

 private:
  NONCLIENTMETRICSW metrics_{};
  std::unique_ptr<Form1> form_;
};

// Describes the notice in front, if there is one, and answers it with OK.
std::vector<std::wstring> g_notices;
void CALLBACK AnswerNotice(HWND, UINT, UINT_PTR, DWORD) {
  const HWND box = ::GetActiveWindow();
  wchar_t text[1024] = L"";
  if (::GetDlgItemTextW(box, 0xFFFF, text, 1024) == 0) return;
  std::wstring seen = WindowText(box) + L"|";
  for (HWND child = nullptr; (child = ::FindWindowExW(box, child, nullptr, nullptr));) {
    const auto icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
    if (icon == ::LoadIconW(nullptr, IDI_INFORMATION)) seen += L"information|";
    if (icon == ::LoadIconW(nullptr, IDI_ERROR)) seen += L"critical|";
    wchar_t kind[8] = L"";
    ::GetClassNameW(child, kind, 8);
    if (std::wcscmp(kind, L"Button") == 0 && ::IsWindowVisible(child)) {
      seen += WindowText(child) + L"|";
    }
  }
  if (::GetCursor() == ::LoadCursorW(nullptr, IDC_WAIT)) seen += L"wait cursor|";
  g_notices.push_back(seen + text);
  ::SendMessageW(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
}

TEST(Form1Window, ControlsHaveTheirTextsPlacesAndTabOrder) {
  const double dpi_scale = SystemDpi() / 96.0;
  // The message font's height at 96 dpi (0: the system's own), and whether the design's
  // places then stand exactly.
  const std::pair<LONG, bool> fonts[] = {{-9, true}, {0, false}, {-24, false}};
  for (const auto& [font_height, exact] : fonts) {
    const double least = std::max(dpi_scale, -font_height / 12.0);
    Window window(font_height);
    const HWND form = window.form().handle();
    RECT client;
    ::GetClientRect(form, &client);
    const double scale = client.right / 408.0;
    SCOPED_TRACE(std::to_string(font_height) + " px font, scale " + std::to_string(scale));
    // A set font's height is in pixels at the system's dpi; the design's font is 12 pixels.
    EXPECT_GE(scale, least);
    EXPECT_LE(scale, least * 1.5) << "at most a half more where a wide font needs it";
    if (exact) {
      EXPECT_DOUBLE_EQ(scale, dpi_scale);
    }
    EXPECT_NEAR(client.bottom, 152 * scale, 1);
    for (const Expected& e : kControls) {
      SCOPED_TRACE(std::string(e.name, e.name + std::wcslen(e.name)));
      const HWND control = window[e.control];
      RECT box;
      ::GetWindowRect(control, &box);
      ::MapWindowPoints(HWND_DESKTOP, form, reinterpret_cast<POINT*>(&box), 2);
      EXPECT_NEAR(box.left, e.box.left * scale, 1);
      EXPECT_NEAR(box.top, e.box.top * scale, 1);
      EXPECT_NEAR(box.right, e.box.right * scale, 1);
      EXPECT_NEAR(box.bottom, e.box.bottom * scale, 1);
      EXPECT_EQ(WindowText(control), e.text);
      EXPECT_EQ(AccessibleName(control), e.name);
    }
  }
  Window window;
  EXPECT_EQ(WindowText(window.form().handle()), L"Tessaril");
  EXPECT_EQ(AccessibleName(window.form().handle()), L"Tessaril");
  EXPECT_NE(::SendMessageW(window.form().handle(), WM_GETICON, ICON_BIG, 0), 0);
  EXPECT_EQ(::GetFocus(), window[C::kTxtSource]);
  for (const C next : {C::kTxtDest, C::kCmdEnde, C::kCmdConvert, C::kTxtSource}) {
    window.Key(VK_TAB);
    EXPECT_EQ(::GetFocus(), window[next]);
  }
}

TEST(Form1Window, KeysPressOnlyWhatTheyName) {
  testing::TempFolder folder;
  const std::string source = folder.File("alt.kat"), dest = folder.File("neu.kat");
  testing::WriteBytes(source, testing::ValidCatalogue(3));
  const std::wstring title = L"Velmora Tessaril 3.x --> 4.x|";
  const std::wstring converted = title + L"information|OK|Konvertieren erfolgreich abgeschlossen";
  struct Press {
    C focus;  // Where the focus is before the key, and is again after a notice.
    WPARAM key;
    bool alt_char;        // Alt and that letter.
    std::wstring notice;  // Empty: the key starts nothing; else as far as it is fixed.
    C focus_after;
    bool source_exists = true;
  };
  const Press presses[] = {
      {C::kTxtSource, VK_RETURN, false, L"", C::kTxtSource},
      {C::kTxtDest, VK_ESCAPE, false, L"", C::kTxtDest},
      {C::kCmdConvert, VK_RETURN, false, converted, C::kCmdConvert},
      {C::kTxtDest, L'k', true, converted, C::kTxtDest},
      {C::kCmdEnde, L'a', true, L"", C::kTxtSource},
      {C::kCmdConvert, L'n', true, L"", C::kTxtDest},
      {C::kCmdConvert, VK_RETURN, false,
       title + L"critical|OK|Fehler beim konvertieren: [53] Datei nicht gefunden", C::kCmdConvert,
       false},
  };
  for (const Press& press : presses) {
    SCOPED_TRACE(std::to_string(&press - presses));
    Window window;
    window.form().SetText(C::kTxtSource, press.source_exists ? source : folder.File("fehlt.kat"));
    window.form().SetText(C::kTxtDest, dest);
    std::filesystem::remove(dest);
    ::SetFocus(window[press.focus]);
    g_notices.clear();
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 10, AnswerNotice);
    window.Key(press.key, press.alt_char);
    ::KillTimer(nullptr, timer);
    ASSERT_EQ(g_notices.size(), press.notice.empty() ? 0u : 1u);
    EXPECT_EQ(g_notices.empty() ? L"" : g_notices[0].substr(0, press.notice.size()), press.notice);
    EXPECT_EQ(std::filesystem::exists(dest), press.notice == converted);
    EXPECT_EQ(::GetFocus(), window[press.focus_after]);
  }
  Window window;
  window.Key(L'e', true);
  EXPECT_EQ(window.form().handle(), nullptr) << "Alt+E closes the window";
}

HDROP DroppedFiles(const std::vector<std::wstring>& paths) {
  std::wstring names;
  for (const std::wstring& path : paths) names += path + L'\0';
  names += L'\0';
  const HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::memcpy(drop + 1, names.data(), names.size() * sizeof(wchar_t));
  ::GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

TEST(Form1Window, OneDroppedFileReplacesTheText) {
  Window window;
  const std::pair<std::vector<std::wstring>, const wchar_t*> drops[] = {
      {{L"C:\\Kataloge\\alt ä.kat"}, L"C:\\Kataloge\\alt ä.kat"},
      {{L"C:\\a.kat", L"C:\\b.kat"}, L"C:\\vorher.kat"},
  };
  for (const auto& [paths, text] : drops) {
    for (const C box : {C::kTxtSource, C::kTxtDest}) {
      ::SetWindowTextW(window[box], L"C:\\vorher.kat");
      ::SendMessageW(window[box], WM_DROPFILES, reinterpret_cast<WPARAM>(DroppedFiles(paths)), 0);
      EXPECT_EQ(WindowText(window[box]), text);
    }
  }
}

}  // namespace
}  // namespace tessaril
