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

RECT PlaceIn(HWND control, HWND parent) {
  RECT box;
  ::GetWindowRect(control, &box);
  ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&box), 2);
  return box;
}

std::wstring AccessibleName(HWND window, LONG object) {
  IAccessible* accessible = nullptr;
  if (FAILED(::AccessibleObjectFromWindow(window, static_cast<DWORD>(object), __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&accessible)))) {
    return L"(none)";
  }
  VARIANT self;
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  std::wstring result = L"(no name)";
  if (accessible->get_accName(self, &name) == S_OK && name != nullptr) result = name;
  ::SysFreeString(name);
  accessible->Release();
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
    MSG quit;
    ::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  }
  Form1& form() { return *form_; }
  HWND operator[](C control) const { return form_->control(control); }

  // Hands every waiting message to the window as its own message loop does.
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
    const HWND focus = ::GetFocus();
    if (alt_char) {
      ::PostMessageW(focus, WM_SYSCHAR, key, LPARAM{1} << 29);
    } else {
      ::PostMessageW(focus, WM_KEYDOWN, key, 1);
      ::PostMessageW(focus, WM_KEYUP, key, LPARAM{1} | (LPARAM{3} << 30));
    }
    Pump();
  }

 private:
  NONCLIENTMETRICSW metrics_{};
  std::unique_ptr<Form1> form_;
};

// Every notice that appears while `act` runs, described and answered with OK.
std::vector<std::wstring> g_notices;
void CALLBACK AnswerNotice(HWND, UINT, UINT_PTR, DWORD) {
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND box, LPARAM) -> BOOL {
        wchar_t kind[16];
        ::GetClassNameW(box, kind, 16);
        if (std::wcscmp(kind, L"#32770") != 0 || !::IsWindowVisible(box)) return TRUE;
        std::wstring seen = WindowText(box) + L"|";
        int buttons = 0;
        std::pair<std::wstring*, int*> found(&seen, &buttons);
        ::EnumChildWindows(
            box,
            [](HWND child, LPARAM found) -> BOOL {
              wchar_t child_kind[16];
              ::GetClassNameW(child, child_kind, 16);
              auto& seen = *reinterpret_cast<std::pair<std::wstring*, int*>*>(found);
              if (std::wcscmp(child_kind, L"Button") == 0) {
                ++*seen.second;
                *seen.first += WindowText(child) + L"|";
              }
              const auto icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
              if (icon == ::LoadIconW(nullptr, IDI_INFORMATION)) *seen.first += L"information|";
              if (icon == ::LoadIconW(nullptr, IDI_ERROR)) *seen.first += L"critical|";
              return TRUE;
            },
            reinterpret_cast<LPARAM>(&found));
        if (::GetCursor() == ::LoadCursorW(nullptr, IDC_WAIT)) seen += L"wait cursor|";
        wchar_t text[1024] = L"";
        ::GetDlgItemTextW(box, 0xFFFF, text, 1024);
        g_notices.push_back(seen + std::to_wstring(buttons) + L"|" + text);
        ::SendMessageW(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        return FALSE;
      },
      0);
}

std::vector<std::wstring> NoticesDuring(Window& window, void (Window::*act)(WPARAM, bool),
                                        WPARAM key, bool alt_char) {
  g_notices.clear();
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 10, AnswerNotice);
  (window.*act)(key, alt_char);
  ::KillTimer(nullptr, timer);
  return g_notices;
}

TEST(Form1Window, ControlsHaveTheirTextsPlacesAndTabOrder) {
  const double dpi_scale = SystemDpi() / 96.0;
  // The message font's height at 96 dpi (0: the system's own), and whether the design's
  // places then stand exactly.
  const std::pair<LONG, bool> fonts[] = {{-9, true}, {0, false}, {-24, false}};
  for (const auto& [font_height, exact] : fonts) {
    Window window(font_height);
    const HWND form = window.form().handle();
    EXPECT_EQ(::GetDpiForWindow(form), SystemDpi());
    RECT client;
    ::GetClientRect(form, &client);
    const double scale = client.right / 408.0;
    SCOPED_TRACE(std::to_string(font_height) + " px font, scale " + std::to_string(scale));
    // A set font's height is in pixels at the system's dpi; the design's font is 12 pixels.
    EXPECT_GE(scale, std::max(dpi_scale, -font_height / 12.0));
    if (exact) {
      EXPECT_DOUBLE_EQ(scale, dpi_scale);
    }
    EXPECT_NEAR(client.bottom, 152 * scale, 1);
    for (const Expected& e : kControls) {
      SCOPED_TRACE(std::string(e.name, e.name + std::wcslen(e.name)));
      const HWND control = window[e.control];
      EXPECT_EQ(::GetParent(control), form);
      const RECT box = PlaceIn(control, form);
      EXPECT_NEAR(box.left, e.box.left * scale, 1);
      EXPECT_NEAR(box.top, e.box.top * scale, 1);
      EXPECT_NEAR(box.right, e.box.right * scale, 1);
      EXPECT_NEAR(box.bottom, e.box.bottom * scale, 1);
      EXPECT_EQ(WindowText(control), e.text);
      EXPECT_EQ(AccessibleName(control, OBJID_CLIENT), e.name);
    }
  }
  Window window;
  EXPECT_EQ(WindowText(window.form().handle()), L"Tessaril");
  EXPECT_EQ(AccessibleName(window.form().handle(), OBJID_CLIENT), L"Tessaril");
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
  const std::wstring converted =
      L"Velmora Tessaril 3.x --> 4.x|information|OK|1|Konvertieren erfolgreich abgeschlossen";
  struct Press {
    C focus;  // Where the focus is before the key, and is again after the notice.
    WPARAM key;
    bool alt_char;
    std::wstring notice;  // Empty: the key starts nothing.
    C focus_after;
  };
  const Press presses[] = {
      {C::kTxtSource, VK_RETURN, false, L"", C::kTxtSource},
      {C::kTxtDest, VK_ESCAPE, false, L"", C::kTxtDest},
      {C::kCmdConvert, VK_RETURN, false, converted, C::kCmdConvert},
      {C::kTxtDest, L'k', true, converted, C::kTxtDest},
      {C::kCmdEnde, L'a', true, L"", C::kTxtSource},
      {C::kCmdConvert, L'n', true, L"", C::kTxtDest},
  };
  for (const Press& press : presses) {
    Window window;
    SCOPED_TRACE(std::to_string(&press - presses));
    window.form().SetText(C::kTxtSource, source);
    window.form().SetText(C::kTxtDest, dest);
    std::filesystem::remove(dest);
    ::SetFocus(window[press.focus]);
    const auto notices = NoticesDuring(window, &Window::Key, press.key, press.alt_char);
    EXPECT_EQ(notices, press.notice.empty() ? std::vector<std::wstring>{}
                                            : std::vector<std::wstring>{press.notice});
    EXPECT_EQ(std::filesystem::exists(dest), !press.notice.empty());
    EXPECT_TRUE(::IsWindow(window.form().handle()));
    EXPECT_EQ(::GetFocus(), window[press.focus_after]);
  }
  Window window;
  ::SetFocus(window[C::kTxtDest]);
  window.Key(L'e', true);
  EXPECT_EQ(window.form().handle(), nullptr) << "Alt+E ends the window";
}

TEST(Form1Window, AFailedConversionShowsTheCriticalNotice) {
  Window window;
  testing::TempFolder folder;
  const std::string missing = folder.File("fehlt.kat");
  window.form().SetText(C::kTxtSource, missing);
  window.form().SetText(C::kTxtDest, folder.File("neu.kat"));
  ::SetFocus(window[C::kCmdConvert]);
  const auto notices = NoticesDuring(window, &Window::Key, VK_SPACE, false);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].substr(0, notices[0].find(L"[")),
            L"Velmora Tessaril 3.x --> 4.x|critical|OK|1|Fehler beim konvertieren: ");
  EXPECT_NE(notices[0].find(L"[53]"), std::wstring::npos) << notices[0];
  EXPECT_EQ(::GetFocus(), window[C::kCmdConvert]);
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
