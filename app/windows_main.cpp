// windows.h first: the other system headers build on it.
#include <windows.h>
//
#include <commctrl.h>
#include <ole2.h>

#include "ui/windows/form1_window.h"

// The start-up on Windows: the window alone, without a console.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  // Path completion and dropped files work through COM on this thread.
  const HRESULT ole = ::OleInitialize(nullptr);
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  int exit_code = 0;
  {
    tessaril::Form1 form(instance);
    form.Form_Load();
    ::ShowWindow(form.handle(), show);
    exit_code = tessaril::RunMessageLoop(form);
  }
  if (SUCCEEDED(ole)) ::OleUninitialize();
  return exit_code;
}
